// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Long play: the auto-player ticked through game after game with the window shown. Resident
// memory must stay flat once warmed up: a window playing for days at 10 ms a move may not grow.
//
//   KORVEX_LONGPLAY_TICKS  ticks to play (default 100,000; with KORVEX_SOAK=1 1,000,000, or
//                          200,000 under the sanitizers)
#include "windowtest.h"

#include <QElapsedTimer>

namespace {

// The game it plays is built with the sanitizers (the test's own code is not: see
// tests/CMakeLists.txt), whose allocator holds freed memory back, so growth is not judged there.
#ifdef KORVEX_SANITIZED
constexpr bool kUnderSanitizer = true;
#else
constexpr bool kUnderSanitizer = false;
#endif
constexpr std::int64_t kQuickTicks = 100000;
constexpr std::int64_t kSoakTicks = kUnderSanitizer ? 200000 : 1000000;
constexpr std::int64_t kWarmUpTicks = 100000;
// Bytes resident memory may still grow by after the warm-up; the quick run, a tenth as long,
// allows a quarter as much, to stay as sensitive to a leak per move or per game.
constexpr std::int64_t kQuickGrowth = 256 * 1024;
constexpr std::int64_t kSoakGrowth = 1024 * 1024;

// Resident set size from /proc/self/statm (second field, in pages).
std::int64_t residentBytes() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) {
        return -1;
    }
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    if (fields.size() < 2) {
        return -1;
    }
    return fields[1].toLongLong() * static_cast<std::int64_t>(sysconf(_SC_PAGESIZE));
}

} // namespace

using namespace korvex::test;

class TestLongPlay : public QObject {
    Q_OBJECT
    PrivateRuntimeDir Runtime; // before the first window
private slots:
    void memoryStaysFlatOverLongPlay() {
        const std::int64_t ticks = runSize("KORVEX_LONGPLAY_TICKS", kQuickTicks, kSoakTicks);
        const std::int64_t warmUp = std::min(kWarmUpTicks, ticks / 10);

        frmMain w;
        QVERIFY(start(w, 1234567)); // the same games on every run
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Ticks come only from this loop, never from the clock.
        int clockTicks = 0;
        connect(&w.tmrAuto, &QTimer::timeout, this, [&clockTicks] { ++clockTicks; });

        std::int64_t games = 0;
        std::int64_t gamesEnded = 0;
        std::int32_t bestTile = 0;
        std::int64_t rssAfterWarmUp = -1;
        std::int64_t rssPeak = 0;

        // Next game: a mode item after a finished one, at times the preview first; options rotate.
        auto nextGame = [&] {
            // Paint between games, while the timer is stopped and no tick can fall due.
            QCoreApplication::processEvents();
            if (games % 7 == 3) {
                w.mnuWin->trigger();
            }
            if (games % 5 == 1) {
                w.mnuOnly2->trigger();
            } else if (games % 5 == 2) {
                w.mnuOnly4->trigger();
            } else if (games % 5 == 4 && (w.mnuOnly2->isChecked() || w.mnuOnly4->isChecked())) {
                (w.mnuOnly2->isChecked() ? w.mnuOnly2 : w.mnuOnly4)->trigger();
            }
            speedItem(w, kSpeeds[games % 4])->trigger();
            modeItem(w, static_cast<int>(games % 3) + 1)->trigger();
            ++games;
        };

        QElapsedTimer clock;
        clock.start();
        nextGame();
        for (std::int64_t t = 0; t < ticks; ++t) {
            if (!w.tmrAuto.isActive()) {
                nextGame();
            }
            const std::int32_t gameOverBefore = w.GameOver;
            w.tmrAuto_Timer();
            if (gameOverBefore == 0 && w.GameOver == 1) {
                ++gamesEnded;
                QVERIFY(autoPlayOff(w));
            }
            QCOMPARE(w.MoveGain, 0);
            for (const std::int32_t v : w.Board) {
                bestTile = std::max(bestTile, v);
            }
            if (t + 1 == warmUp) {
                rssAfterWarmUp = residentBytes();
            }
            if (t % 65536 == 0 && t > warmUp) {
                rssPeak = std::max(rssPeak, residentBytes());
            }
        }
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        w.tmrAuto.stop();
        QCoreApplication::processEvents();
        const std::int64_t rssEnd = residentBytes();
        rssPeak = std::max(rssPeak, rssEnd);

        qInfo("long play: %lld ticks (%s size) in %.1f s, %lld games started, %lld ended by the "
              "auto-player, largest tile %d",
              qlonglong{ticks}, soak() ? "soak" : "quick", seconds, qlonglong{games},
              qlonglong{gamesEnded}, bestTile);
        qInfo("long play: resident memory after %lld warm-up ticks %lld KiB, at the end %lld KiB, "
              "peak %lld KiB, growth %lld KiB%s",
              qlonglong{warmUp}, qlonglong{rssAfterWarmUp / 1024}, qlonglong{rssEnd / 1024},
              qlonglong{rssPeak / 1024}, qlonglong{(rssPeak - rssAfterWarmUp) / 1024},
              kUnderSanitizer ? " (not judged under the sanitizers)" : "");

        QCOMPARE(clockTicks, 0);
        QVERIFY(gamesEnded > 10); // many whole games, each played to its end
        QVERIFY(rssAfterWarmUp > 0);
        if (!kUnderSanitizer) {
            QVERIFY2(rssPeak - rssAfterWarmUp < (soak() ? kSoakGrowth : kQuickGrowth),
                     qPrintable(QStringLiteral("resident memory grew by %1 KiB")
                                    .arg((rssPeak - rssAfterWarmUp) / 1024)));
        }
    }
};

QTEST_MAIN(TestLongPlay)
#include "test_longplay.moc"
