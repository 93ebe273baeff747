// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a screen reader hears, through Qt's accessibility interfaces as a reader reads: the text
// told after each kind of event, labels' names that are what they show in any window state, quiet
// fast auto-play, and nothing at all while no assistive technology is on.
#include "ui/reader.h"
#include "windowtest.h"

#include <QAccessible>
#include <QRegularExpression>

using namespace korvex::test;

namespace {

// kPairInRowOne with the pair's first tile taken out: a slide, no points.
const Cells kGapInRowOne =
    board("0 2 8 16 / 32 64 128 256 / 512 1024 2048 4096 / 8192 16384 32768 65536");

enum Action { KeyLeft, KeyAfterEnd, Tick, NewGame, Victory, Activation, ActivationAfterEnd };
enum Shown { Never, Active, Background };

// The name a reader reads for an object.
QString nameOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

// The board's labels, score line first, and what each shows: its text, or a cell's place and frame.
QList<QObject*> labels(const frmMain& w) {
    QList<QObject*> all{w.lblScore};
    for (int k = 0; k < korvex::kCells; ++k) {
        all << w.lblFon[k] << w.lblNum[k];
    }
    return all;
}

QStringList screenOf(const frmMain& w) {
    QStringList all{w.lblScore->text()};
    for (int k = 0; k < korvex::kCells; ++k) {
        const QString number = w.lblNum[k]->text();
        all << QStringLiteral("Ряд %1, столбец %2: %3%4")
                   .arg(k / 4 + 1)
                   .arg(k % 4 + 1)
                   .arg(number.isEmpty() ? QStringLiteral("пусто") : number)
                   .arg(w.lblFon[k]->frameShape() == QFrame::Box ? ", новая" : "")
            << number;
    }
    return all;
}

// What the reader was given, event by event: each text and its source, and the labels' names as a
// client keeping them knows them. Texts come once their event is handled, so the posted telling
// runs first; before Qt 6.8 the reader's focus moves to a hidden object named with the text.
struct Ears {
    QStringList texts;
    QList<QAccessible::Id> from;
    QHash<const QObject*, QString> kept;
    int renamed = 0;
    QString problems; // events of any other kind, or announcements that would wait their turn

    void hear(QAccessibleEvent* event) {
        if (event->type() == QAccessible::NameChanged) {
            kept[event->object()] = nameOf(event->object());
            ++renamed;
            return;
        }
        from << QAccessible::uniqueId(event->accessibleInterface());
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        if (event->type() == QAccessible::Announcement) {
            const auto* announcement = static_cast<QAccessibleAnnouncementEvent*>(event);
            if (announcement->politeness() != QAccessible::AnnouncementPoliteness::Assertive) {
                problems += QStringLiteral("a polite announcement; ");
            }
            texts << announcement->message();
            return;
        }
#else
        if (event->type() == QAccessible::Focus) {
            texts << nameOf(event->object());
            return;
        }
#endif
        problems += QStringLiteral("event %1; ").arg(int(event->type()));
    }

    QString last() {
        QCoreApplication::sendPostedEvents();
        return texts.isEmpty() ? QString() : texts.last();
    }

    QStringList keptOf(const frmMain& w) const {
        QStringList all;
        for (QObject* label : labels(w)) {
            all << kept.value(label);
        }
        return all;
    }

    // Empty when every label, read now or as last told, is what it shows.
    QString misnamed(const frmMain& w) const {
        QStringList read;
        for (QObject* label : labels(w)) {
            read << nameOf(label);
        }
        const QStringList shown = screenOf(w);
        return read == shown && keptOf(w) == shown
                   ? QString()
                   : shown.join(u'|') + " read as " + read.join(u'|') + ", kept as " +
                         keptOf(w).join(u'|');
    }
};

// An assistive technology on, and what the window tells it going to ears.
void listen(frmMain& w, Ears& ears) {
    w.Link.Active = [] { return true; };
    w.Link.Deliver = [&ears](QAccessibleEvent* event) { ears.hear(event); };
}

// Starts the window as the player sees it, active, with a reader listening.
bool startListened(frmMain& w, Ears& ears, quint32 seed = 1) {
    if (!start(w, seed)) {
        return false;
    }
    listen(w, ears);
    const bool active = showActive(w);
    QCoreApplication::sendPostedEvents();
    return active;
}

// The source of the reader's last text never takes the focus: every key still goes to the window.
void checkSource(const frmMain& w, const Ears& ears) {
    QCOMPARE(ears.problems, QString());
    QVERIFY(!ears.from.isEmpty());
    QCOMPARE(QApplication::focusWidget(), &w);
    QObject* source = QAccessible::accessibleInterface(ears.from.last())->object();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QCOMPARE(source, &w); // the reader's focus: Orca takes it for spam from anything else
#else
    const auto* voice = qobject_cast<const QWidget*>(source);
    QVERIFY(voice != nullptr);
    QCOMPARE(std::pair(voice->parentWidget(), voice->focusPolicy()),
             std::pair(w.centralWidget(), Qt::NoFocus));
#endif
}

} // namespace

class TestReader : public QObject {
    Q_OBJECT
    PrivateRuntimeDir Runtime; // before the first window
private slots:
    void toldAfterEachEvent_data() {
        addColumns<int, Cells, int, QString>("action", "board", "score", "told");
        QTest::newRow("a move that scores")
            << int(KeyLeft) << kPairInRowOne << 100 << "Счёт: 104 +4. Новая 2: ряд 1, столбец 4.";
        QTest::newRow("a move without points")
            << int(KeyLeft) << kGapInRowOne << 100 << "Счёт: 100. Новая 2: ряд 1, столбец 4.";
        QTest::newRow("an arrow that moves nothing")
            << int(KeyLeft) << kDistinct << 40 << "Нет хода.";
        QTest::newRow("an arrow after the game is over")
            << int(KeyAfterEnd) << kDistinct << 300 << "Игра окончена. Счёт: 300.";
        QTest::newRow("the tick that ends the game")
            << int(Tick) << kDistinct << 120 << "Игра окончена. Счёт: 120.";
        // Seed 1 puts the new game's tiles in row 2, column 3 and in row 4, column 4.
        QTest::newRow("a new game")
            << int(NewGame) << kDistinct << 500
            << "Новая игра. Счёт: 0. Ряд 1: пусто. Ряд 2: пусто, пусто, 2, пусто. Ряд 3: пусто. "
               "Ряд 4: пусто, пусто, пусто, 2.";
        QTest::newRow("the victory preview")
            << int(Victory) << kDistinct << 500
            << "Подсмотреть победу. Счёт: 0. Ряд 1: пусто, 2, 4, 4. Ряд 2: 64, 32, 16, 8. "
               "Ряд 3: 128, 256, 512, 1024. Ряд 4: 16384, 8192, 4096, 2048.";
        QTest::newRow("the window becomes active")
            << int(Activation) << kPairInRowOne << 36 << "Счёт: 36.";
        QTest::newRow("the window becomes active after the game ended")
            << int(ActivationAfterEnd) << kDistinct << 980 << "Игра окончена. Счёт: 980.";
    }

    void toldAfterEachEvent() {
        QFETCH(int, action);
        QFETCH(Cells, board);
        QFETCH(int, score);
        QFETCH(QString, told);

        frmMain w;
        Ears ears;
        QVERIFY(startListened(w, ears));
        w.mnuOnly2->setChecked(true);
        setBoard(w, board, score);
        const quint64 toldBefore = w.Reader->told();
        switch (action) {
        case KeyAfterEnd:
            w.GameOver = 1;
            [[fallthrough]];
        case KeyLeft:
            QTest::keyClick(&w, Qt::Key_Left);
            break;
        case Tick:
            w.mnuAuto1_Click();
            w.tmrAuto_Timer();
            break;
        case NewGame:
            w.Rnd.seedRaw(1);
            QTest::keyClick(&w, Qt::Key_F2);
            break;
        case Victory:
            w.mnuWin->trigger();
            break;
        case ActivationAfterEnd:
            w.GameOver = 1;
            [[fallthrough]];
        case Activation: {
            QEvent activation(QEvent::ActivationChange);
            QCoreApplication::sendEvent(&w, &activation);
            break;
        }
        }
        QCOMPARE(ears.last(), told);
        QCOMPARE(w.Reader->told(), toldBefore + 1); // one text an event, however many steps it ran
        QCOMPARE(ears.misnamed(w), QString());
        // Else Qt would tell a reader of every new caption, a hundred a second in fast play.
        QVERIFY(!w.lblNum[0]->accessibleName().isEmpty() &&
                !w.lblScore->accessibleName().isEmpty());
        checkSource(w, ears);
    }

    // After every kind of event, in the window, the background or an open menu, each label reads as
    // it shows and a name-keeping client was told. The board goes on once the window is placed.
    // Steps: a key as the window system sends it, "@" and a caption for a reader's "Press" (no key,
    // even in a window never shown), "tick" for the timer's tick.
    void namesAreTheScreen_data() {
        // menu: a menu open at the end
        addColumns<int, bool, Cells, QStringList>("window", "menu", "board", "steps");
        const Cells pair = kPairInRowOne;
        const QString fast = QStringLiteral("@Скорость - Очень быстро");
        const QString corner = QStringLiteral("@Авто. В угол");
        QTest::newRow("start-up, never shown") << int(Never) << false << Cells{} << QStringList{};
        QTest::newRow("an arrow that moves, in the background")
            << int(Background) << false << pair << QStringList{"Left"};
        QTest::newRow("an arrow that moves nothing, in the background")
            << int(Background) << false << kDistinct << QStringList{"Up"};
        QTest::newRow("a key that only redraws")
            << int(Active) << false << pair << QStringList{"Left", "F9"};
        QTest::newRow("Home after a move, in the background")
            << int(Background) << false << pair << QStringList{"Left", "Home"};
        QTest::newRow("F2 in an open menu")
            << int(Active) << true << pair << QStringList{"F10", "F2"};
        QTest::newRow("Esc in a menu after a tick")
            << int(Active) << false << pair << QStringList{corner, "F10", "tick", "Esc"};
        for (const char* item :
             {"Новая", "Появляется только 2", "Появляется только 4", "Авто. Во все стороны",
              "Авто. В три стороны", "Авто. В угол", "Скорость - Очень быстро", "Скорость - Быстро",
              "Скорость - Средне", "Скорость - Медленно", "Подсмотреть победу"}) {
            QTest::addRow("%s, never shown", item)
                << int(Never) << false << pair << QStringList{QString("@") + item};
        }
        QTest::newRow("an arrow after the preview, in the background")
            << int(Background) << false << pair << QStringList{"@Подсмотреть победу", "Down"};
        QTest::newRow("auto-play switched off, in the background")
            << int(Background) << false << pair
            << QStringList{fast, corner, "tick", "tick", corner};
        QTest::newRow("the end of a game, a menu open")
            << int(Active) << true << kDistinct << QStringList{fast, corner, "F10", "tick"};
        QTest::newRow("a tick at 700 ms, a menu open")
            << int(Active) << true << pair << QStringList{corner, "F10", "tick"};
        QTest::newRow("a tick at 2000 ms, never shown")
            << int(Never) << false << pair << QStringList{"@Скорость - Медленно", corner, "tick"};
    }

    void namesAreTheScreen() {
        QFETCH(int, window);
        QFETCH(bool, menu);
        QFETCH(Cells, board);
        QFETCH(QStringList, steps);
        frmMain w;
        Ears ears;
        std::int64_t now = 0;
        w.Link.Clock = [&now] { return now; };
        listen(w, ears);
        QVERIFY(start(w, 3));
        QWidget elsewhere; // the window the player is in, for a game in the background
        QVERIFY(window == Never || showActive(w));
        if (window == Background) {
            elsewhere.show();
            elsewhere.activateWindow();
            QVERIFY(QTest::qWaitForWindowActive(&elsewhere));
        }
        if (board != Cells{}) {
            setBoard(w, board, 100);
        }
        const QList<QAction*> items = allItems(w);
        for (const QString& step : steps) {
            if (step == QLatin1String("tick")) {
                now += w.tmrAuto.interval();
                w.tmrAuto_Timer();
            } else if (step.startsWith(u'@')) {
                const auto item = std::find_if(items.begin(), items.end(), [&](QAction* a) {
                    return u'@' + a->text() == step;
                });
                QVERIFY2(item != items.end(), qPrintable(step));
                (*item)->trigger();
            } else {
                QTest::keyClick(w.windowHandle(), QKeySequence(step)[0].key());
            }
        }
        QCOMPARE(std::pair(QApplication::activePopupWidget() != nullptr, ears.misnamed(w)),
                 std::pair(menu, QString()));
    }

    // In auto-play at most one text a second, the first a second after the last; the game's end is
    // told at once, with the final score. Below 700 ms a move the reader hears nothing of the board
    // between texts, not even captions, and kept names trail the screen by a second at most; from
    // 700 ms on they follow every move. At the end they are what it shows, in the background too.
    void fastAutoPlayKeepsQuiet_data() {
        addColumns<int, bool>("speed", "active");
        QTest::newRow("10 ms") << 10 << true;
        QTest::newRow("10 ms, in the background") << 10 << false;
        QTest::newRow("200 ms") << 200 << true;
        QTest::newRow("700 ms") << 700 << true;
    }

    void fastAutoPlayKeepsQuiet() {
        QFETCH(int, speed);
        QFETCH(bool, active);
        frmMain w;
        std::int64_t now = 0;
        w.Link.Clock = [&now] { return now; };
        Ears ears;
        QVERIFY(active ? startListened(w, ears, 7) : start(w, 7));
        listen(w, ears);
        w.TellNames(); // in the background, the names as the first client to ask finds them
        speedItem(w, speed)->trigger();
        w.mnuAuto3->trigger();

        const QRegularExpression move(
            QStringLiteral("^Счёт: \\d+( \\+\\d+)?\\. Новая [24]: ряд [1-4], столбец [1-4]\\.$"));
        QList<std::int64_t> toldAt;
        QString last;
        // What the screen showed as long ago as the names may trail, and since when.
        const std::int64_t lag = speed >= 700 ? 0 : 1000;
        QList<QPair<std::int64_t, QStringList>> screens;
        const auto look = [&] {
            screens << qMakePair(now, screenOf(w));
            while (screens.size() > 1 && screens[1].first <= now - lag) {
                screens.removeFirst();
            }
        };
        look();
        while (w.GameOver == 0 && now < 3600 * 1000) {
            const int renamed = ears.renamed;
            const quint64 toldBefore = active ? w.Reader->told() : 0;
            now += speed;
            w.tmrAuto_Timer();
            last = ears.last();
            look();
            QVERIFY2(std::any_of(screens.begin(), screens.end(),
                                 [&](const auto& seen) { return seen.second == ears.keptOf(w); }),
                     "the names kept trail the screen");
            if (!active) {
                continue;
            }
            QVERIFY(w.Reader->told() - toldBefore <= 1);
            if (w.Reader->told() == toldBefore) {
                QVERIFY(ears.renamed == renamed || lag == 0);
                continue;
            }
            toldAt << now;
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
            // Orca reads no second focus of one object: every text comes from one never heard.
            QCOMPARE(ears.from.count(ears.from.last()), 1);
#endif
            if (w.GameOver == 0) {
                QVERIFY2(move.match(last).hasMatch(), qPrintable(last));
            }
        }
        QCOMPARE(std::pair(w.GameOver, ears.misnamed(w)), std::pair(1, QString()));
        if (!active) {
            QVERIFY(w.Reader == nullptr);
            return;
        }
        QCOMPARE(last, QStringLiteral("Игра окончена. Счёт: %1.").arg(w.Score));
        checkSource(w, ears);
        QCOMPARE(toldAt.last(), now); // the end, on the tick that ended the game
        // Counted from the score told when the window came up, at 0.
        QVERIFY(toldAt.size() >= 3);
        for (int i = 0; i + 1 < toldAt.size(); ++i) {
            const std::int64_t due = (i > 0 ? toldAt[i - 1] : 0) + 1000;
            QCOMPARE(toldAt[i], (due + speed - 1) / speed * speed);
        }
    }

    // With no assistive technology nothing is told, made or added; in the background, names only.
    void nothingWithoutAListeningReader() {
        QVERIFY(!QAccessible::isActive()); // the offscreen platform has no accessibility
        for (const bool readerButInactiveWindow : {false, true}) {
            frmMain w;
            Ears ears;
            w.Link.Deliver = [&ears](QAccessibleEvent* event) { ears.hear(event); };
            QVERIFY(start(w));
            if (readerButInactiveWindow) {
                w.Link.Active = [] { return true; };
            } else {
                QVERIFY(showActive(w));
            }
            const QObjectList children = w.centralWidget()->children();
            setBoard(w, kPairInRowOne, 10);
            QTest::keyClick(&w, Qt::Key_Left);
            w.mnuAuto1_Click();
            w.tmrAuto_Timer();
            w.mnuAuto1_Click();
            w.mnuNewGame_Click();
            w.mnuWin_Click();
            QEvent activation(QEvent::ActivationChange);
            QCoreApplication::sendEvent(&w, &activation);
            QCoreApplication::sendPostedEvents();
            QVERIFY(w.Reader == nullptr);
            QCOMPARE(w.centralWidget()->children(), children);
            QCOMPARE(std::tuple(ears.texts, ears.from.size()), std::tuple(QStringList(), 0));
            QCOMPARE(ears.renamed > 0, readerButInactiveWindow);
        }
    }
};

QTEST_MAIN(TestReader)
#include "test_reader.moc"
