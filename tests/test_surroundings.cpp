// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game in hostile surroundings, in-process: where the lock goes when the runtime directory
// cannot hold it, how two locks meet, and the board scaled or without its usual number font.
#include "app/singleinstance.h"
#include "windowtest.h"

#include <QDebug>
#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>
#include <QTemporaryFile>

#include <cstdio>
#include <functional>

using korvex::SingleInstance;
using namespace korvex::test;

namespace {

// Set in the copy of this test that checks the board under changed surroundings.
constexpr const char* kChildVariable = "KORVEX_SURROUNDINGS_CHILD";

// Runs f with standard error going to a file, and returns what it wrote there.
QByteArray captureStderr(const std::function<void()>& f) {
    QTemporaryFile file;
    if (!file.open()) {
        return "cannot capture standard error";
    }
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    f();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

// Takes the lock; a fallback's line on standard error is not this test's to read.
SingleInstance::Result acquireQuietly(SingleInstance& lock) {
    SingleInstance::Result result{};
    captureStderr([&] { result = lock.acquire(); });
    return result;
}

QString lockDirectory(QByteArray* err) {
    QString dir;
    *err = captureStderr([&dir] { dir = QString::fromStdString(korvex::privateLockDirectory()); });
    return dir;
}

// The extent in device pixels of the ink `paint` draws on a transparent canvas of `size`.
template <typename Paint> QRect inkOf(QSize size, qreal ratio, Paint paint) {
    QImage image(size * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    paint(image);
    return korvex::test::inkIn(image, image.rect(), [](QRgb p) { return qAlpha(p) != 0; }).box;
}

// The ink of the label's text (not its background), and of that text drawn with room to spare.
QRect inkOf(QWidget* label, qreal ratio) {
    return inkOf(label->size(), ratio, [label](QImage& image) {
        label->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    });
}
QRect freeInkOf(const QLabel* label, qreal ratio) {
    const QSize room = label->size() * 4;
    return inkOf(room, ratio, [&](QImage& image) {
        QPainter painter(&image);
        painter.setFont(label->font());
        painter.setPen(Qt::black);
        painter.drawText(QRect(QPoint(0, 0), room), Qt::AlignCenter, label->text());
    });
}

} // namespace

class TestSurroundings : public QObject {
    Q_OBJECT

    // Each test lives in its own place, so a fallback never meets a real player's lock.
    std::optional<Surroundings> Where;

    QString fallback() const { return tmpFallback(Where->Tmp); }
    QString homeFallback() const { return korvex::test::homeFallback(Where->Home); }
    void noRuntimeDir() {
        Where->Env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        Where->live();
    }

private slots:
    void init() {
        Where.emplace();
        QVERIFY(Where->valid());
        Where->live();
    }

    // Only a real directory of this user's that no one else can write to may hold the lock; any
    // other sends it to a private fallback, named in one line on standard error.
    void runtimeDirectoryChoice_data() {
        addColumns<QString, bool>("situation", "usesRuntime");
        for (const char* situation :
             {"private", "readable by others", "unset", "empty", "missing", "relative", "a file",
              "world-writable", "sticky world-writable", "group-writable",
              "symlink to a private dir", "another user's", "unwritable"}) {
            const QString name = QString::fromLatin1(situation);
            // Root may write anywhere, so an unwritable mode does not stop it.
            QTest::newRow(situation) << name
                                     << (name == QLatin1String("private") ||
                                         name == QLatin1String("readable by others") ||
                                         (name == QLatin1String("unwritable") && geteuid() == 0));
        }
    }
    void runtimeDirectoryChoice() {
        QFETCH(QString, situation);
        QFETCH(bool, usesRuntime);
        if (situation == QLatin1String("another user's") && !canGiveAway()) {
            QSKIP("needs root and a user 'nobody' to give the directory away");
        }
        // Lived in from Root: a relative path would put the lock wherever the game is started.
        QVERIFY(Where->makeRuntime(situation));
        Where->live();

        QByteArray err;
        const QString dir = lockDirectory(&err);
        if (usesRuntime) {
            QCOMPARE(std::pair(dir, err), std::pair(Where->Runtime, QByteArray()));
            return;
        }
        QCOMPARE(dir, fallback());
        VERIFY_EMPTY(notPrivate(dir));
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.startsWith("korvex: ") && err.contains(native(dir)), err.constData());
    }

    // A umask that lets everyone in does not widen the fallback directory.
    void fallbackIsPrivateWhateverTheUmask() {
        noRuntimeDir();
        const mode_t saved = ::umask(0);
        QByteArray err;
        const QString dir = lockDirectory(&err);
        ::umask(saved);
        QCOMPARE(dir, fallback());
        VERIFY_EMPTY(notPrivate(dir));
    }

    // The fallback's name in the temporary directory is public, so someone may have taken it first;
    // then the lock goes to the user's cache directory, and nothing is written into the other's.
    void takenFallbackIsNotUsed_data() {
        QTest::addColumn<QString>("situation");
        for (const char* situation :
             {"another user's", "world-writable", "symlink to a private dir", "a file"}) {
            QTest::newRow(situation) << QString::fromLatin1(situation);
        }
    }
    void takenFallbackIsNotUsed() {
        QFETCH(QString, situation);
        if (situation == QLatin1String("another user's") && !canGiveAway()) {
            QSKIP("needs root and a user 'nobody' to give the directory away");
        }
        noRuntimeDir();
        const QString taken = fallback();
        QString ignored;
        QVERIFY(makeRuntimeDir(situation, taken, &ignored));
        // Where the game must not have written: what the taken name leads to, if a directory.
        const QString lookInside = situation == QLatin1String("a file") ? QString()
                                   : situation == QLatin1String("symlink to a private dir")
                                       ? taken + QStringLiteral("-target")
                                       : taken;

        QByteArray err;
        QCOMPARE(lockDirectory(&err), homeFallback());
        VERIFY_EMPTY(notPrivate(homeFallback()));
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.contains(native(homeFallback())), err.constData());

        SingleInstance lock;
        QCOMPARE(acquireQuietly(lock), SingleInstance::Result::Acquired);
        QCOMPARE(QString::fromStdString(lock.path()), lockIn(homeFallback()));
        if (!lookInside.isEmpty()) {
            QCOMPARE(
                QDir(lookInside).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System),
                QStringList());
        }
    }

    // With no private place at all the game still runs, unguarded, and says why.
    void noPrivatePlaceLeavesTheGameUnguarded() {
        Where->Env.remove(QStringLiteral("HOME"));
        noRuntimeDir();
        const QString elsewhere = Where->Root.filePath(QStringLiteral("elsewhere"));
        QVERIFY(makeDir(elsewhere, 0700));
        QVERIFY(QFile::link(elsewhere, fallback()));

        QByteArray err;
        QCOMPARE(lockDirectory(&err), QString());
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.startsWith("korvex: "), err.constData());

        SingleInstance lock;
        QCOMPARE(acquireQuietly(lock), SingleInstance::Result::Acquired);
        QCOMPARE(lock.path(), std::string());
        QVERIFY(!QFileInfo::exists(lockIn(elsewhere)));
    }

    // Two locks conflict even in one process, anywhere; the loser wins on release() or exit.
    void twoLocksConflict_data() {
        QTest::addColumn<bool>("inRuntime");
        QTest::newRow("in the runtime directory") << true;
        QTest::newRow("in the fallback") << false;
    }
    void twoLocksConflict() {
        QFETCH(bool, inRuntime);
        if (!inRuntime) {
            noRuntimeDir();
        }
        const QString lockFile = lockIn(inRuntime ? Where->Runtime : fallback());

        std::optional<SingleInstance> first(std::in_place);
        SingleInstance second;
        captureStderr([&] {
            QCOMPARE(first->acquire(), SingleInstance::Result::Acquired);
            QCOMPARE(QString::fromStdString(first->path()), lockFile);
            QCOMPARE(second.acquire(), SingleInstance::Result::HeldElsewhere);
            QCOMPARE(second.acquire(), SingleInstance::Result::HeldElsewhere);
            first->release();
            QCOMPARE(second.acquire(), SingleInstance::Result::Acquired);
            QCOMPARE(first->acquire(), SingleInstance::Result::HeldElsewhere);
            second.release();
            QCOMPARE(first->acquire(), SingleInstance::Result::Acquired);
            first.reset();
            QCOMPARE(second.acquire(), SingleInstance::Result::Acquired);
        });
        if (QTest::currentTestFailed()) {
            return;
        }

        // Only this user may open the lock file.
        struct stat st {};
        QCOMPARE(::lstat(native(lockFile).constData(), &st), 0);
        QVERIFY(S_ISREG(st.st_mode));
        QCOMPARE(std::pair(st.st_uid, st.st_mode & 0077), std::pair(geteuid(), mode_t{0}));
    }

    // A lock file left behind by a copy that died does not keep the next one out.
    void leftoverLockFileDoesNotBlock() {
        QFile leftover(Where->runtimeLock());
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();

        SingleInstance lock;
        QCOMPARE(lock.acquire(), SingleInstance::Result::Acquired);
        QCOMPARE(QString::fromStdString(lock.path()), leftover.fileName());
    }

    // On a display scaled by two, and with one face only (DejaVu Sans, in every Debian, much wider
    // than Carlito), the layout keeps its logical pixels and every number, 16384 too, is whole and
    // centred in its cell. Each row runs in a fresh copy: fonts and scale are read at start-up.
    void boardLayoutAndNumbers_data() {
        // face: the only family the fonts hold; empty: as installed
        addColumns<int, QString, QStringList>("scale", "face", "files");
        QTest::newRow("as installed") << 1 << QString() << QStringList();
        QTest::newRow("double scale") << 2 << QString() << QStringList();
        QTest::newRow("without Carlito") << 1 << QStringLiteral("DejaVu Sans") << kDejaVuSansFiles;
        QTest::newRow("without Carlito, double scale")
            << 2 << QStringLiteral("DejaVu Sans") << kDejaVuSansFiles;
        QTest::newRow("Carlito alone") << 1 << QStringLiteral("Carlito") << kCarlitoFiles;
    }
    void boardLayoutAndNumbers() {
        QFETCH(int, scale);
        QFETCH(QString, face);
        QFETCH(QStringList, files);
        if (qEnvironmentVariableIsSet(kChildVariable)) {
            checkBoard(scale, face);
            return;
        }

        // The child lives in this test's place, but for the scale and the fonts.
        QProcessEnvironment& env = Where->Env;
        env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
        if (scale != 1) {
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
        }
        if (!files.isEmpty()) {
            VERIFY_EMPTY(Where->useFonts(files));
        }
        const ToolRun child = runTool(
            QCoreApplication::applicationFilePath(),
            {QStringLiteral("boardLayoutAndNumbers:") + QString::fromUtf8(QTest::currentDataTag())},
            env);
        QVERIFY2(child.ok, qPrintable(child.what()));
        QVERIFY2(child.out.contains("PASS   : TestSurroundings::boardLayoutAndNumbers") ||
                     child.out.contains("SKIP   : TestSurroundings::boardLayoutAndNumbers"),
                 qPrintable(child.what()));
    }

private:
    void checkBoard(int scale, const QString& face) {
        if (!face.isEmpty()) {
            QStringList families = QFontDatabase::families();
            families.removeIf([](const QString& family) {
                // the generic names Qt's fontconfig database always adds
                return family == QLatin1String("Sans Serif") || family == QLatin1String("Serif") ||
                       family == QLatin1String("Monospace");
            });
            QCOMPARE(families, QStringList{face});
        } else if (!QFontDatabase::families().contains(QStringLiteral("Carlito"))) {
            QSKIP("Carlito is not installed");
        }
        QCOMPARE(qApp->devicePixelRatio(), qreal(scale));

        frmMain w;
        w.Form_Load();
        QVERIFY(!w.Unloaded());
        w.mnuWin_Click();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));

        QWidget* client = w.centralWidget();
        QCOMPARE(client->size(), QSize(319, 335));
        QVERIFY(w.rect().contains(client->geometry()));
        const QPixmap shot = w.grab();
        QCOMPARE(std::pair(shot.devicePixelRatio(), shot.size()),
                 std::pair(qreal(scale), w.size() * scale));

        for (int k = 0; k < 16; ++k) {
            QCOMPARE(w.lblFon[k]->geometry(), fonRect(k));
            QCOMPARE(w.lblNum[k]->geometry(), numRect(k));
            QVERIFY(client->rect().contains(w.lblNum[k]->geometry()));
        }
        QVERIFY(client->rect().contains(w.lblScore->geometry()));

        const QFont font = w.lblNum[12]->font();
        QVERIFY(font.pixelSize() == 29 && QFontInfo(font).bold());
        if (!face.isEmpty()) {
            QCOMPARE(QFontInfo(font).family(), face);
        }

        // Every showcase number is whole in its label: as wide and tall as with room to spare
        // (clipping cuts whole digits), clear of its edges; across, inside its cell (6 px in, 73
        // wide) with a pixel of cell colour on each side, centred on it to within a pixel.
        QCOMPARE(w.lblNum[12]->Caption(), QStringLiteral("16384"));
        for (int k = 0; k < korvex::kCells; ++k) {
            Label* label = w.lblNum[k];
            if (label->Caption().isEmpty()) {
                continue;
            }
            const QRect ink = inkOf(label, scale);
            const QRect free = freeInkOf(label, scale);
            const QSize device = label->size() * scale;
            const int cellLeft = 6 * scale;
            const int cellRight = (6 + 73) * scale - 1;
            QString where;
            QDebug(&where) << label->Caption() << "paints" << ink << "in" << device << "cell"
                           << cellLeft << "to" << cellRight << "unclipped" << free.size();
            QVERIFY2(!ink.isEmpty() && qAbs(ink.width() - free.width()) <= 1 &&
                         qAbs(ink.height() - free.height()) <= 1,
                     qPrintable(where));
            const int spareLeft = ink.left() - cellLeft;
            const int spareRight = cellRight - ink.right();
            QVERIFY2(ink.left() > 0 && ink.right() < device.width() - 1 && ink.top() > 0 &&
                         ink.bottom() < device.height() - 1 && spareLeft >= scale &&
                         spareRight >= scale && qAbs(spareLeft - spareRight) <= 2 * scale,
                     qPrintable(where));
        }
    }
};

QTEST_MAIN(TestSurroundings)
#include "test_surroundings.moc"
