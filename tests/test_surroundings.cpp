// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game in hostile surroundings, checked in-process: where the single-instance lock goes
// when the runtime directory cannot hold it, how two locks meet, and the board's layout and
// number font on a scaled display or without the usual number font.
#include "app/frmmain.h"
#include "app/singleinstance.h"
#include "windowtest.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontInfo>
#include <QImage>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

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

// What is not transparent: ink.
QRect inkIn(const QImage& image) {
    return korvex::test::inkIn(image, image.rect(), [](QRgb p) { return qAlpha(p) != 0; }).box;
}

// The extent of what the label paints (its text) in device pixels; the label's background is
// left out, so any pixel that is not transparent is ink.
QRect inkOf(QWidget* label, qreal ratio) {
    QImage image(label->size() * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    label->render(&image, QPoint(), QRegion(), QWidget::RenderFlags());
    return inkIn(image);
}

// The extent of the same text drawn in the same font with room to spare: what the label
// would paint if nothing were cut off.
QRect freeInkOf(const QLabel* label, qreal ratio) {
    const QSize room = label->size() * 4;
    QImage image(room * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setFont(label->font());
    painter.setPen(Qt::black);
    painter.drawText(QRect(QPoint(0, 0), room), Qt::AlignCenter, label->text());
    painter.end();
    return inkIn(image);
}

} // namespace

class TestSurroundings : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> Scratch;
    QString Tmp;  // TMPDIR during a test: where the fallback goes first
    QString Home; // HOME during a test: where the fallback goes next
    QByteArray SavedRuntime, SavedTmp, SavedHome;
    QString SavedCwd;

    QString fallback() const { return tmpFallback(Tmp); }
    QString homeFallback() const { return korvex::test::homeFallback(Home); }

    static void restore(const char* name, const QByteArray& value) {
        if (value.isNull()) {
            qunsetenv(name);
        } else {
            qputenv(name, value);
        }
    }

private slots:
    void initTestCase() {
        usePrivateRuntimeDir();
        SavedRuntime = qgetenv("XDG_RUNTIME_DIR");
        SavedTmp = qEnvironmentVariableIsSet("TMPDIR") ? qgetenv("TMPDIR") : QByteArray();
        SavedHome = qEnvironmentVariableIsSet("HOME") ? qgetenv("HOME") : QByteArray();
        SavedCwd = QDir::currentPath();
    }

    // Each test gets its own TMPDIR and HOME, so a fallback never meets a real player's lock.
    void init() {
        Scratch = std::make_unique<QTemporaryDir>();
        QVERIFY(Scratch->isValid());
        Tmp = Scratch->filePath(QStringLiteral("tmp"));
        Home = Scratch->filePath(QStringLiteral("home"));
        QVERIFY(makeDir(Tmp, 0700));
        QVERIFY(makeDir(Home, 0700));
        qputenv("TMPDIR", native(Tmp));
        qputenv("HOME", native(Home));
    }

    void cleanup() {
        QDir::setCurrent(SavedCwd);
        restore("XDG_RUNTIME_DIR", SavedRuntime);
        restore("TMPDIR", SavedTmp);
        restore("HOME", SavedHome);
        Scratch.reset();
    }

    // Which runtime directories may hold the lock: only a real directory of this user's that
    // no one else can write to. Every other one sends the lock to a private fallback, with one
    // line on standard error naming it.
    void runtimeDirectoryChoice_data() {
        QTest::addColumn<QString>("situation");
        QTest::addColumn<bool>("usesRuntime");
        QTest::newRow("private") << "private" << true;
        QTest::newRow("readable by others") << "readable by others" << true;
        QTest::newRow("unset") << "unset" << false;
        QTest::newRow("empty") << "empty" << false;
        QTest::newRow("missing") << "missing" << false;
        QTest::newRow("relative") << "relative" << false;
        QTest::newRow("a file") << "a file" << false;
        QTest::newRow("world-writable") << "world-writable" << false;
        QTest::newRow("sticky world-writable") << "sticky world-writable" << false;
        QTest::newRow("group-writable") << "group-writable" << false;
        QTest::newRow("symlink to a private dir") << "symlink to a private dir" << false;
        QTest::newRow("another user's") << "another user's" << false;
        // Root may write anywhere, so an unwritable mode does not stop it.
        QTest::newRow("unwritable") << "unwritable" << (geteuid() == 0);
    }

    void runtimeDirectoryChoice() {
        QFETCH(QString, situation);
        QFETCH(bool, usesRuntime);
        if (situation == QLatin1String("another user's") && !canGiveAway()) {
            QSKIP("needs root and a user 'nobody' to give the directory away");
        }
        QString value;
        QVERIFY(makeRuntimeDir(situation, Scratch->filePath(QStringLiteral("run")), &value));
        // A relative path would put the lock wherever the game happens to be started.
        QVERIFY(QDir::setCurrent(Scratch->path()));
        if (value.isNull()) {
            qunsetenv("XDG_RUNTIME_DIR");
        } else {
            qputenv("XDG_RUNTIME_DIR", native(value));
        }

        QByteArray err;
        const QString dir = lockDirectory(&err);
        if (usesRuntime) {
            QCOMPARE(dir, value);
            QCOMPARE(err, QByteArray());
            return;
        }
        QCOMPARE(dir, fallback());
        QVERIFY2(notPrivate(dir).isEmpty(), qPrintable(notPrivate(dir)));
        QCOMPARE(err.count('\n'), 1);
        QVERIFY2(err.startsWith("korvex: ") && err.contains(native(dir)), err.constData());
    }

    // A umask that lets everyone in does not widen the fallback directory.
    void fallbackIsPrivateWhateverTheUmask() {
        qunsetenv("XDG_RUNTIME_DIR");
        const mode_t saved = ::umask(0);
        QByteArray err;
        const QString dir = lockDirectory(&err);
        ::umask(saved);
        QCOMPARE(dir, fallback());
        QVERIFY2(notPrivate(dir).isEmpty(), qPrintable(notPrivate(dir)));
    }

    // The fallback's name in the temporary directory is known to everyone, so someone else may
    // have taken it first; then the lock goes to the user's own cache directory instead, and
    // nothing is written into what the other one made.
    void takenFallbackIsNotUsed_data() {
        QTest::addColumn<QString>("situation");
        QTest::newRow("another user's") << "another user's";
        QTest::newRow("world-writable") << "world-writable";
        QTest::newRow("symlink to a private dir") << "symlink to a private dir";
        QTest::newRow("a file") << "a file";
    }

    void takenFallbackIsNotUsed() {
        QFETCH(QString, situation);
        qunsetenv("XDG_RUNTIME_DIR");
        if (situation == QLatin1String("another user's") && !canGiveAway()) {
            QSKIP("needs root and a user 'nobody' to give the directory away");
        }
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
        QVERIFY2(notPrivate(homeFallback()).isEmpty(), qPrintable(notPrivate(homeFallback())));
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
        qunsetenv("XDG_RUNTIME_DIR");
        qunsetenv("HOME");
        const QString elsewhere = Scratch->filePath(QStringLiteral("elsewhere"));
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

    // Two locks conflict even inside one process, wherever the lock lives; the loser wins once
    // the holder lets go, by release() or by going away.
    void twoLocksConflict_data() {
        QTest::addColumn<bool>("inRuntime");
        QTest::newRow("in the runtime directory") << true;
        QTest::newRow("in the fallback") << false;
    }

    void twoLocksConflict() {
        QFETCH(bool, inRuntime);
        QString dir = fallback();
        if (inRuntime) {
            dir = Scratch->filePath(QStringLiteral("run"));
            QVERIFY(makeDir(dir, 0700));
            qputenv("XDG_RUNTIME_DIR", native(dir));
        } else {
            qunsetenv("XDG_RUNTIME_DIR");
        }
        const QString lockFile = lockIn(dir);

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
        QCOMPARE(st.st_uid, geteuid());
        QCOMPARE(st.st_mode & 0077, mode_t{0});
    }

    // A lock file left behind by a copy that died does not keep the next one out.
    void leftoverLockFileDoesNotBlock() {
        const QString dir = Scratch->filePath(QStringLiteral("run"));
        QVERIFY(makeDir(dir, 0700));
        qputenv("XDG_RUNTIME_DIR", native(dir));
        QFile leftover(lockIn(dir));
        QVERIFY(leftover.open(QIODevice::WriteOnly));
        leftover.close();

        SingleInstance lock;
        QCOMPARE(lock.acquire(), SingleInstance::Result::Acquired);
        QCOMPARE(QString::fromStdString(lock.path()), leftover.fileName());
    }

    // The board on a display scaled by two, and with no fonts but one face: the layout stays
    // in the same logical pixels, and every number, the widest (16384) included, is painted
    // whole and centred inside its cell. Without Carlito the face is the one every Debian has,
    // fonts-dejavu-core's DejaVu Sans, much wider than Carlito. Each row runs in a fresh copy
    // of this test, since fonts and scale are read when the application starts.
    void boardLayoutAndNumbers_data() {
        QTest::addColumn<int>("scale");
        QTest::addColumn<QString>("face"); // the only family the fonts hold; empty: as installed
        QTest::addColumn<QStringList>("files");
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

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QString::fromLatin1(kChildVariable), QStringLiteral("1"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.remove(QStringLiteral("QT_SCALE_FACTOR"));
        env.remove(QStringLiteral("FONTCONFIG_FILE"));
        if (scale != 1) {
            env.insert(QStringLiteral("QT_SCALE_FACTOR"), QString::number(scale));
        }
        QTemporaryDir fonts;
        if (!files.isEmpty()) {
            QVERIFY(fonts.isValid());
            QString failure;
            const QString conf = writeFontConfig(fonts.path(), files, &failure);
            QVERIFY2(!conf.isEmpty(), qPrintable(failure));
            env.insert(QStringLiteral("FONTCONFIG_FILE"), conf);
        }

        QProcess child;
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(QCoreApplication::applicationFilePath(),
                    {QStringLiteral("boardLayoutAndNumbers:") +
                     QString::fromUtf8(QTest::currentDataTag())});
        const bool finished = child.waitForFinished(120000);
        if (!finished) {
            child.kill();
            child.waitForFinished();
        }
        const QByteArray output = child.readAll();
        QVERIFY2(finished && child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0,
                 output.constData());
        QVERIFY2(output.contains("PASS   : TestSurroundings::boardLayoutAndNumbers") ||
                     output.contains("SKIP   : TestSurroundings::boardLayoutAndNumbers"),
                 output.constData());
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
        QCOMPARE(shot.devicePixelRatio(), qreal(scale));
        QCOMPARE(shot.size(), w.size() * scale);

        for (int k = 0; k < 16; ++k) {
            QCOMPARE(w.lblFon[k]->geometry(), fonRect(k));
            QCOMPARE(w.lblNum[k]->geometry(), numRect(k));
            QVERIFY(client->rect().contains(w.lblNum[k]->geometry()));
        }
        QVERIFY(client->rect().contains(w.lblScore->geometry()));

        const QFont font = w.lblNum[12]->font();
        QCOMPARE(font.pixelSize(), 29);
        QVERIFY(QFontInfo(font).bold());
        if (!face.isEmpty()) {
            QCOMPARE(QFontInfo(font).family(), face);
        }

        // Every number of the showcase is painted whole inside its label: as wide and as tall
        // as with room to spare (clipping can cut off whole digits), and clear of its edges.
        // Across, it stays inside its own cell (6 px into the label, 73 px wide) with at least a
        // pixel of the cell's colour on each side, and centred on the cell to within a pixel.
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
            const QString where =
                QStringLiteral(
                    "%1 paints %2,%3 to %4,%5 in %6x%7 (cell %8 to %9), unclipped %10x%11")
                    .arg(label->Caption())
                    .arg(ink.left())
                    .arg(ink.top())
                    .arg(ink.right())
                    .arg(ink.bottom())
                    .arg(device.width())
                    .arg(device.height())
                    .arg(cellLeft)
                    .arg(cellRight)
                    .arg(free.width())
                    .arg(free.height());
            QVERIFY2(!ink.isEmpty(), qPrintable(where));
            QVERIFY2(qAbs(ink.width() - free.width()) <= 1 &&
                         qAbs(ink.height() - free.height()) <= 1,
                     qPrintable(where));
            QVERIFY2(ink.left() > 0 && ink.right() < device.width() - 1 && ink.top() > 0 &&
                         ink.bottom() < device.height() - 1,
                     qPrintable(where));
            const int spareLeft = ink.left() - cellLeft;
            const int spareRight = cellRight - ink.right();
            QVERIFY2(spareLeft >= scale && spareRight >= scale, qPrintable(where));
            QVERIFY2(qAbs(spareLeft - spareRight) <= 2 * scale, qPrintable(where));
        }
    }
};

QTEST_MAIN(TestSurroundings)
#include "test_surroundings.moc"
