// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real program, started as separate processes the way a player starts it: one copy at a
// time however the copies are started, a hard-killed copy blocks nothing, Esc and the close
// box end it, and it starts and stays single in hostile surroundings.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <pwd.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

const QString kGame = QStringLiteral(KORVEX_BINARY);
const QString kLockName = QStringLiteral("korvex.lock");
constexpr int kGenerousMs = 20000; // for anything that should take a moment
constexpr int kStaysUpMs = 2000;   // a copy that should run must still run after this long

QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

bool makeDir(const QString& path, mode_t mode) {
    return ::mkdir(native(path).constData(), 0700) == 0 &&
           ::chmod(native(path).constData(), mode) == 0;
}

const passwd* nobody() {
    const passwd* entry = getpwnam("nobody");
    return entry != nullptr && entry->pw_uid != geteuid() ? entry : nullptr;
}

bool giveToNobody(const QString& path) {
    const passwd* other = nobody();
    return other != nullptr &&
           ::lchown(native(path).constData(), other->pw_uid, other->pw_gid) == 0;
}

// Every process a test starts. Whatever a test leaves running, a failed check included, is
// killed when this goes out of scope.
class Processes {
public:
    Processes() = default;
    Processes(const Processes&) = delete;
    Processes& operator=(const Processes&) = delete;
    ~Processes() {
        for (auto& p : List) {
            if (p->state() != QProcess::NotRunning) {
                p->kill();
                p->waitForFinished(kGenerousMs);
            }
        }
    }

    QProcess* start(const QString& program, const QStringList& args, const QProcessEnvironment& env,
                    const QString& workingDir = {}) {
        List.push_back(std::make_unique<QProcess>());
        QProcess* p = List.back().get();
        p->setProcessEnvironment(env);
        if (!workingDir.isEmpty()) {
            p->setWorkingDirectory(workingDir);
        }
        p->start(program, args);
        return p;
    }

    // Runs a helper program to its end; true when it succeeded, and then its output in `out`.
    bool run(const QString& program, const QStringList& args, const QProcessEnvironment& env,
             QByteArray* out = nullptr) {
        QProcess* p = start(program, args, env);
        if (!p->waitForFinished(kGenerousMs)) {
            p->kill();
            p->waitForFinished(kGenerousMs);
            return false;
        }
        if (out != nullptr) {
            *out = p->readAllStandardOutput();
        }
        return p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0;
    }

private:
    std::vector<std::unique_ptr<QProcess>> List;
};

// A fresh place for each run: its own runtime directory (0700), temporary directory and home,
// so no run meets another's lock, nor a real player's.
struct Surroundings {
    QTemporaryDir Root;
    QString Runtime = Root.filePath(QStringLiteral("run"));
    QString Tmp = Root.filePath(QStringLiteral("tmp"));
    QString Home = Root.filePath(QStringLiteral("home"));
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();

    Surroundings() {
        for (const QString& dir : {Runtime, Tmp, Home}) {
            makeDir(dir, 0700);
        }
        for (const char* name :
             {"DISPLAY", "WAYLAND_DISPLAY", "QT_SCALE_FACTOR", "FONTCONFIG_FILE"}) {
            Env.remove(QString::fromLatin1(name));
        }
        Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        Env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime);
        Env.insert(QStringLiteral("TMPDIR"), Tmp);
        Env.insert(QStringLiteral("HOME"), Home);
    }
    bool valid() const {
        return Root.isValid() && QFileInfo(Runtime).isDir() && QFileInfo(Tmp).isDir() &&
               QFileInfo(Home).isDir();
    }
};

// The processes holding a whole-file lock on `file`, read from the kernel's table of locks.
// Looking takes no lock, so it cannot take the lock from a copy that is just starting.
QList<qint64> lockHolders(const QString& file) {
    struct stat st {};
    if (::stat(native(file).constData(), &st) != 0) {
        return {};
    }
    QList<qint64> holders;
    std::ifstream table("/proc/locks");
    std::string line;
    while (std::getline(table, line)) {
        // "1: FLOCK  ADVISORY  WRITE 4242 fe:00:10952974 0 EOF"; waiters have "->" second
        const QStringList f = QString::fromStdString(line).simplified().split(QLatin1Char(' '));
        if (f.size() >= 6 && f[1] == QLatin1String("FLOCK") &&
            f[5].section(QLatin1Char(':'), 2).toULongLong() == st.st_ino) {
            holders << f[4].toLongLong();
        }
    }
    return holders;
}

bool holdsLock(QProcess* p, const QString& file) {
    return p->state() == QProcess::Running && lockHolders(file) == QList<qint64>{p->processId()};
}

// The game's own lines on standard error; the platform's warnings are not the game's to keep.
QStringList gameLines(const QByteArray& err) {
    QStringList lines;
    for (const QByteArray& line : err.split('\n')) {
        if (line.startsWith("korvex:")) {
            lines << QString::fromLocal8Bit(line);
        }
    }
    return lines;
}

QString describe(QProcess* p) {
    return QStringLiteral("state %1, exit status %2, code %3, stderr: %4")
        .arg(static_cast<int>(p->state()))
        .arg(static_cast<int>(p->exitStatus()))
        .arg(p->exitCode())
        .arg(QString::fromLocal8Bit(p->readAllStandardError()));
}

// Empty when the copy took the lock within a generous wait and then kept running.
QString startsAndRuns(QProcess* p, const QString& lockFile) {
    if (!QTest::qWaitFor(
            [&] { return holdsLock(p, lockFile) || p->state() == QProcess::NotRunning; },
            kGenerousMs) ||
        !holdsLock(p, lockFile)) {
        return QStringLiteral("no lock on %1: %2").arg(lockFile, describe(p));
    }
    if (p->waitForFinished(kStaysUpMs)) {
        return QStringLiteral("the game ended by itself: ") + describe(p);
    }
    return {};
}

// Empty when a copy that found another one running ended by itself, normally, with status 0
// and without a word. In hostile surroundings the platform may warn about them on its own;
// there only the game's own lines are held to `gameSays`.
QString leftSilently(QProcess* p, std::optional<QStringList> gameSays = std::nullopt) {
    if (p->state() != QProcess::NotRunning && !p->waitForFinished(kGenerousMs)) {
        return QStringLiteral("a second copy is still running");
    }
    if (p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0) {
        return QStringLiteral("a second copy ended badly: ") + describe(p);
    }
    const QByteArray out = p->readAllStandardOutput();
    const QByteArray err = p->readAllStandardError();
    if (!out.isEmpty()) {
        return QStringLiteral("a second copy printed: ") + QString::fromLocal8Bit(out);
    }
    if (gameSays ? gameLines(err) != *gameSays : !err.isEmpty()) {
        return QStringLiteral("a second copy said: ") + QString::fromLocal8Bit(err);
    }
    return {};
}

// A private X server, on a display number it picks itself, stopped when this goes away.
class VirtualDisplay {
public:
    VirtualDisplay() = default;
    VirtualDisplay(const VirtualDisplay&) = delete;
    VirtualDisplay& operator=(const VirtualDisplay&) = delete;
    ~VirtualDisplay() {
        if (Server.state() != QProcess::NotRunning) {
            Server.terminate();
            if (!Server.waitForFinished(kGenerousMs)) {
                Server.kill();
                Server.waitForFinished(kGenerousMs);
            }
        }
    }

    // Empty when the server is up and taking clients.
    QString start() {
        Server.setStandardErrorFile(QProcess::nullDevice());
        // -displayfd: the server picks a free display and writes its number once it listens.
        Server.start(QStringLiteral("Xvfb"),
                     {QStringLiteral("-displayfd"), QStringLiteral("1"),
                      QStringLiteral("-nolisten"), QStringLiteral("tcp"), QStringLiteral("-screen"),
                      QStringLiteral("0"), QStringLiteral("1024x768x24")});
        if (!Server.waitForStarted(kGenerousMs)) {
            return QStringLiteral("Xvfb did not start");
        }
        const bool named = QTest::qWaitFor([this] { return Server.canReadLine(); }, kGenerousMs);
        const QByteArray number = Server.readLine().trimmed();
        if (!named || number.isEmpty()) {
            return QStringLiteral("Xvfb named no display");
        }
        Name = QStringLiteral(":") + QString::fromLatin1(number);
        return {};
    }

    const QString& name() const { return Name; }

private:
    QProcess Server;
    QString Name;
};

#ifdef KORVEX_HAVE_XLIB
// What a window manager does for the close box: a WM_DELETE_WINDOW request to the window.
bool requestClose(const QString& display, unsigned long window);
// Where a window is on the screen, and its pixels outside the board: the menu bar and the score
// line, which do not depend on the tiles. Empty when the window cannot be seen.
struct WindowShot {
    QRect Geometry;
    QByteArray Pixels;
};
std::optional<WindowShot> shootWindow(const QString& display, unsigned long window);
// Counts the top-level windows mapped on a display from its creation on.
class MapCounter {
public:
    explicit MapCounter(const QString& display);
    ~MapCounter();
    MapCounter(const MapCounter&) = delete;
    MapCounter& operator=(const MapCounter&) = delete;
    bool valid() const { return Connection != nullptr; }
    int count();

private:
    void* Connection = nullptr;
    int Maps = 0;
};
#endif

} // namespace

class TestProcess : public QObject {
    Q_OBJECT

#ifdef KORVEX_HAVE_XLIB
    std::optional<WindowShot> Plain; // the window of a copy started without arguments
#endif

    // Starts the game on a private X server and finds its window; empty when all went well.
    QString startOnDisplay(VirtualDisplay& display, Processes& processes, Surroundings& where,
                           QProcess** game, QString* window, const QStringList& args = {}) {
        if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
            QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
            // scripts/setup installs both, so a CI run without them has lost its set-up.
            return qEnvironmentVariableIsSet("CI") ? QStringLiteral("Xvfb or xdotool is missing")
                                                   : QStringLiteral("skip");
        }
        if (QString failed = display.start(); !failed.isEmpty()) {
            return failed;
        }
        where.Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        where.Env.insert(QStringLiteral("DISPLAY"), display.name());
        *game = processes.start(kGame, args, where.Env);
        if (QString failed = startsAndRuns(*game, where.Runtime + QLatin1Char('/') + kLockName);
            !failed.isEmpty()) {
            return failed;
        }
        QByteArray found;
        const bool searched = processes.run(QStringLiteral("xdotool"),
                                            {QStringLiteral("search"), QStringLiteral("--sync"),
                                             QStringLiteral("--onlyvisible"),
                                             QStringLiteral("--name"), QStringLiteral("Korvex")},
                                            where.Env, &found);
        // The caption as the window gives it in UTF-8, whatever the locale: without one the
        // legacy name, which is all that xdotool search matches, cannot carry the Cyrillic.
        QStringList windows;
        for (const QByteArray& id : found.trimmed().split('\n')) {
            QByteArray name;
            if (!id.isEmpty() &&
                processes.run(QStringLiteral("xdotool"),
                              {QStringLiteral("getwindowname"), QString::fromLatin1(id)}, where.Env,
                              &name) &&
                name.trimmed() == QStringLiteral("Игра Korvex").toUtf8()) {
                windows << QString::fromLatin1(id);
            }
        }
        if (!searched || windows.size() != 1) {
            return QStringLiteral("no single window \"Игра Korvex\": ") +
                   QString::fromLatin1(found);
        }
        *window = windows[0];
        return {};
    }

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(kGame).isExecutable(), qPrintable(kGame));
    }

    void secondCopyLeavesAndFirstGoesOn() {
        Surroundings where;
        QVERIFY(where.valid());
        const QString lockFile = where.Runtime + QLatin1Char('/') + kLockName;
        Processes processes;
        QProcess* first = processes.start(kGame, {}, where.Env);
        const QString started = startsAndRuns(first, lockFile);
        QVERIFY2(started.isEmpty(), qPrintable(started));

        QProcess* second = processes.start(kGame, {}, where.Env);
        const QString left = leftSilently(second);
        QVERIFY2(left.isEmpty(), qPrintable(left));
        QVERIFY2(holdsLock(first, lockFile), qPrintable(describe(first)));
        QVERIFY2(!first->waitForFinished(kStaysUpMs), qPrintable(describe(first)));
    }

    // Copies started at the same instant race for the lock; exactly one may win.
    void copiesStartedTogetherLeaveOne() {
        constexpr int kCopies = 6;
        Surroundings where;
        QVERIFY(where.valid());
        const QString lockFile = where.Runtime + QLatin1Char('/') + kLockName;
        Processes processes;
        QList<QProcess*> copies;
        for (int i = 0; i < kCopies; ++i) {
            copies << processes.start(kGame, {}, where.Env);
        }
        const auto ended = [&copies] {
            return static_cast<int>(std::count_if(copies.begin(), copies.end(), [](QProcess* p) {
                return p->state() == QProcess::NotRunning;
            }));
        };
        QVERIFY(QTest::qWaitFor([&] { return ended() >= kCopies - 1; }, kGenerousMs));
        QTest::qWait(kStaysUpMs);
        QCOMPARE(ended(), kCopies - 1);

        QProcess* survivor = nullptr;
        for (QProcess* p : copies) {
            if (p->state() != QProcess::NotRunning) {
                survivor = p;
                continue;
            }
            const QString left = leftSilently(p);
            QVERIFY2(left.isEmpty(), qPrintable(left));
        }
        QVERIFY(survivor != nullptr);
        QVERIFY2(holdsLock(survivor, lockFile), qPrintable(describe(survivor)));
    }

    // The lock goes with the process, however it dies; the file it leaves behind means nothing.
    void hardKilledCopyDoesNotBlock() {
        Surroundings where;
        QVERIFY(where.valid());
        const QString lockFile = where.Runtime + QLatin1Char('/') + kLockName;
        Processes processes;
        QProcess* killed = processes.start(kGame, {}, where.Env);
        QString started = startsAndRuns(killed, lockFile);
        QVERIFY2(started.isEmpty(), qPrintable(started));
        killed->kill(); // SIGKILL: no handler, no clean-up
        QVERIFY(killed->waitForFinished(kGenerousMs));
        QCOMPARE(killed->exitStatus(), QProcess::CrashExit);
        QVERIFY(QFileInfo::exists(lockFile));

        QProcess* next = processes.start(kGame, {}, where.Env);
        started = startsAndRuns(next, lockFile);
        QVERIFY2(started.isEmpty(), qPrintable(started));
        const QString left = leftSilently(processes.start(kGame, {}, where.Env));
        QVERIFY2(left.isEmpty(), qPrintable(left));
    }

    // A real window on a real (virtual) X server: Esc ends the program, with status 0.
    void escapeEndsTheGame() {
        Surroundings where;
        QVERIFY(where.valid());
        VirtualDisplay display;
        Processes processes;
        QProcess* game = nullptr;
        QString window;
        const QString started = startOnDisplay(display, processes, where, &game, &window);
        if (started == QLatin1String("skip")) {
            QSKIP("needs Xvfb and xdotool");
        }
        QVERIFY2(started.isEmpty(), qPrintable(started));

        // No window manager runs, so focus the window directly; then the key goes to it.
        QVERIFY(processes.run(QStringLiteral("xdotool"),
                              {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window},
                              where.Env));
        QVERIFY(processes.run(QStringLiteral("xdotool"),
                              {QStringLiteral("key"), QStringLiteral("Left"), QStringLiteral("Up"),
                               QStringLiteral("Escape")},
                              where.Env));
        QVERIFY2(game->waitForFinished(kGenerousMs), qPrintable(describe(game)));
        QCOMPARE(game->exitStatus(), QProcess::NormalExit);
        QCOMPARE(game->exitCode(), 0);
    }

    // The close box: the window manager asks the window to close, and the program ends with 0.
    void closeBoxEndsTheGame() {
#ifndef KORVEX_HAVE_XLIB
        QSKIP("built without Xlib");
#else
        Surroundings where;
        QVERIFY(where.valid());
        VirtualDisplay display;
        Processes processes;
        QProcess* game = nullptr;
        QString window;
        const QString started = startOnDisplay(display, processes, where, &game, &window);
        if (started == QLatin1String("skip")) {
            QSKIP("needs Xvfb and xdotool");
        }
        QVERIFY2(started.isEmpty(), qPrintable(started));

        QVERIFY(requestClose(display.name(), window.toULong()));
        QVERIFY2(game->waitForFinished(kGenerousMs), qPrintable(describe(game)));
        QCOMPARE(game->exitStatus(), QProcess::NormalExit);
        QCOMPARE(game->exitCode(), 0);
#endif
    }

    // A second copy on the same display maps no window at all, not even for a moment.
    void secondCopyShowsNothing() {
#ifndef KORVEX_HAVE_XLIB
        QSKIP("built without Xlib");
#else
        Surroundings where;
        QVERIFY(where.valid());
        VirtualDisplay display;
        Processes processes;
        QProcess* game = nullptr;
        QString window;
        const QString started = startOnDisplay(display, processes, where, &game, &window);
        if (started == QLatin1String("skip")) {
            QSKIP("needs Xvfb and xdotool");
        }
        QVERIFY2(started.isEmpty(), qPrintable(started));

        MapCounter maps(display.name());
        QVERIFY(maps.valid());
        const QString left = leftSilently(processes.start(kGame, {}, where.Env));
        QVERIFY2(left.isEmpty(), qPrintable(left));
        QCOMPARE(maps.count(), 0);
        QCOMPARE(game->state(), QProcess::Running);

        // The counter does see a window that is mapped: once the first copy is gone, a new one.
        game->kill();
        QVERIFY(game->waitForFinished(kGenerousMs));
        QProcess* next = processes.start(kGame, {}, where.Env);
        const QString restarted = startsAndRuns(next, where.Runtime + QLatin1Char('/') + kLockName);
        QVERIFY2(restarted.isEmpty(), qPrintable(restarted));
        QVERIFY(QTest::qWaitFor([&maps] { return maps.count() > 0; }, kGenerousMs));
#endif
    }

    // The game takes no command line, not even Qt's own options: whatever it is given, it shows
    // the same window in the same place as without arguments (the pixels outside the board
    // alike), reads none of the files named, a second copy still leaves without a word, and the
    // close box ends it as usual. "%pipe" stands for a named pipe: opening it would hang.
    void argumentsChangeNothing_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("-platform offscreen") << QStringList{"-platform", "offscreen"};
        QTest::newRow("-platform nonexistent") << QStringList{"-platform", "nonexistent"};
        QTest::newRow("-display") << QStringList{"-display", ":12345"};
        QTest::newRow("-style Windows") << QStringList{"-style", "Windows"};
        QTest::newRow("-stylesheet FILE") << QStringList{"-stylesheet", "%pipe"};
        QTest::newRow("-geometry") << QStringList{"-geometry", "200x100+10+10"};
        QTest::newRow("-qwindowicon FILE") << QStringList{"-qwindowicon", "%pipe"};
        QTest::newRow("-qwindowtitle") << QStringList{"-qwindowtitle", "Другое окно"};
        QTest::newRow("-reverse") << QStringList{"-reverse"};
        QTest::newRow("-session") << QStringList{"-session", "korvex-1"};
        QTest::newRow("--help") << QStringList{"--help"};
        QTest::newRow("stray words") << QStringList{"board.txt", "--", "-x", ""};
    }

    void argumentsChangeNothing() {
#ifndef KORVEX_HAVE_XLIB
        QSKIP("built without Xlib");
#else
        QFETCH(QStringList, args);
        if (!Plain) {
            // What the game shows when started the usual way, without arguments.
            Surroundings where;
            QVERIFY(where.valid());
            VirtualDisplay display;
            Processes processes;
            QProcess* game = nullptr;
            QString window;
            const QString started = startOnDisplay(display, processes, where, &game, &window);
            if (started == QLatin1String("skip")) {
                QSKIP("needs Xvfb and xdotool");
            }
            QVERIFY2(started.isEmpty(), qPrintable(started));
            Plain = shootWindow(display.name(), window.toULong());
            QVERIFY(Plain && !Plain->Pixels.isEmpty());
        }

        Surroundings where;
        QVERIFY(where.valid());
        const QString pipe = where.Root.filePath(QStringLiteral("style.qss"));
        QVERIFY(::mkfifo(native(pipe).constData(), 0600) == 0);
        args.replaceInStrings(QStringLiteral("%pipe"), pipe);
        VirtualDisplay display;
        Processes processes;
        QProcess* game = nullptr;
        QString window;
        const QString started = startOnDisplay(display, processes, where, &game, &window, args);
        QVERIFY2(started.isEmpty(), qPrintable(started));
        std::optional<WindowShot> shot;
        const bool alike = QTest::qWaitFor(
            [&] {
                shot = shootWindow(display.name(), window.toULong());
                return shot && shot->Geometry == Plain->Geometry && shot->Pixels == Plain->Pixels;
            },
            kGenerousMs);
        QVERIFY(shot);
        QCOMPARE(shot->Geometry, Plain->Geometry);
        QVERIFY2(alike, "the window looks different");

        MapCounter maps(display.name());
        QVERIFY(maps.valid());
        const QString left = leftSilently(processes.start(kGame, args, where.Env));
        QVERIFY2(left.isEmpty(), qPrintable(left));
        QCOMPARE(maps.count(), 0);

        QVERIFY(requestClose(display.name(), window.toULong()));
        QVERIFY2(game->waitForFinished(kGenerousMs), qPrintable(describe(game)));
        QCOMPARE(game->exitStatus(), QProcess::NormalExit);
        QCOMPARE(game->exitCode(), 0);
#endif
    }

    // Where the runtime directory cannot hold the lock, the game still starts and runs, keeps
    // the lock in a directory private to the user, says where in one line, and two copies
    // still never run at once. A missing number font or a scaled display change nothing.
    void startsInHostileSurroundings_data() {
        QTest::addColumn<QString>("situation");
        for (const char* situation :
             {"runtime dir unset", "runtime dir missing", "runtime dir is a file",
              "runtime dir world-writable", "runtime dir relative", "runtime dir another user's",
              "runtime dir unwritable", "unwritable runtime dir, run as another user",
              "fallback taken by another user", "no number font", "double scale"}) {
            QTest::newRow(situation) << QString::fromLatin1(situation);
        }
    }

    void startsInHostileSurroundings() {
        QFETCH(QString, situation);
        Surroundings where;
        QVERIFY(where.valid());
        QString program = kGame;
        QStringList args;
        QString workingDir;
        uid_t owner = geteuid();
        QString lockDir = where.Tmp + QStringLiteral("/korvex-%1").arg(owner);
        bool fallsBack = true;
        QString otherwise; // a second private place the lock may rightly go to, without a line
        const auto needNobody = [] { return geteuid() == 0 && nobody() != nullptr; };

        if (situation == QLatin1String("runtime dir unset")) {
            where.Env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        } else if (situation == QLatin1String("runtime dir missing")) {
            // Qt makes a missing runtime directory, mode 0700, before the game looks for one.
            QVERIFY(QDir(where.Runtime).removeRecursively());
            otherwise = where.Runtime;
        } else if (situation == QLatin1String("runtime dir is a file")) {
            QVERIFY(QDir(where.Runtime).removeRecursively());
            QFile file(where.Runtime);
            QVERIFY(file.open(QIODevice::WriteOnly));
        } else if (situation == QLatin1String("runtime dir world-writable")) {
            QVERIFY(::chmod(native(where.Runtime).constData(), 0777) == 0);
        } else if (situation == QLatin1String("runtime dir relative")) {
            workingDir = where.Root.path();
            where.Env.insert(QStringLiteral("XDG_RUNTIME_DIR"), QStringLiteral("run"));
        } else if (situation == QLatin1String("runtime dir another user's")) {
            if (!needNobody()) {
                QSKIP("needs root and a user 'nobody' to give the directory away");
            }
            QVERIFY(giveToNobody(where.Runtime));
        } else if (situation == QLatin1String("runtime dir unwritable")) {
            QVERIFY(::chmod(native(where.Runtime).constData(), 0500) == 0);
            if (geteuid() == 0) {
                fallsBack = false; // root may write there all the same
                lockDir = where.Runtime;
            }
        } else if (situation == QLatin1String("unwritable runtime dir, run as another user")) {
            // Root cannot be kept out of a directory, so the game runs as 'nobody' here.
            if (!needNobody()) {
                QSKIP("needs root and a user 'nobody' to run the game as");
            }
            const passwd* other = nobody();
            QVERIFY(::chmod(native(where.Root.path()).constData(), 0711) == 0);
            QVERIFY(giveToNobody(where.Runtime) && giveToNobody(where.Tmp));
            QVERIFY(::chmod(native(where.Runtime).constData(), 0500) == 0);
            where.Env.insert(QStringLiteral("HOME"), where.Tmp);
            program = QStringLiteral("setpriv");
            args = QStringList{QStringLiteral("--reuid=%1").arg(other->pw_uid),
                               QStringLiteral("--regid=%1").arg(other->pw_gid),
                               QStringLiteral("--clear-groups"), QStringLiteral("--"), kGame};
            Processes probe;
            if (!probe.run(program,
                           args.mid(0, 4) +
                               QStringList{QStringLiteral("test"), QStringLiteral("-x"), kGame},
                           where.Env)) {
                QSKIP("the game's binary cannot be run by 'nobody' from where it was built");
            }
            owner = other->pw_uid;
            lockDir = where.Tmp + QStringLiteral("/korvex-%1").arg(owner);
        } else if (situation == QLatin1String("fallback taken by another user")) {
            if (!needNobody()) {
                QSKIP("needs root and a user 'nobody' to take the fallback");
            }
            where.Env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            QVERIFY(makeDir(lockDir, 0700) && giveToNobody(lockDir));
            lockDir = where.Home + QStringLiteral("/.cache/korvex");
        } else if (situation == QLatin1String("no number font")) {
            if (!QFileInfo(QStringLiteral("/usr/share/fonts/truetype/dejavu")).isDir()) {
                QSKIP("no DejaVu fonts to fall back on");
            }
            QFile conf(where.Root.filePath(QStringLiteral("fonts.conf")));
            QVERIFY(conf.open(QIODevice::WriteOnly));
            conf.write("<?xml version=\"1.0\"?>\n<!DOCTYPE fontconfig SYSTEM "
                       "\"urn:fontconfig:fonts.dtd\">\n"
                       "<fontconfig><dir>/usr/share/fonts/truetype/dejavu</dir><cachedir>" +
                       native(where.Root.filePath(QStringLiteral("fc-cache"))) +
                       "</cachedir></fontconfig>\n");
            conf.close();
            where.Env.insert(QStringLiteral("FONTCONFIG_FILE"), conf.fileName());
            fallsBack = false;
            lockDir = where.Runtime;
        } else if (situation == QLatin1String("double scale")) {
            where.Env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
            fallsBack = false;
            lockDir = where.Runtime;
        } else {
            QFAIL("unknown situation");
        }

        QString lockFile = lockDir + QLatin1Char('/') + kLockName;
        Processes processes;
        QProcess* first = processes.start(program, args, where.Env, workingDir);
        if (!otherwise.isEmpty()) {
            const QString otherFile = otherwise + QLatin1Char('/') + kLockName;
            if (QTest::qWaitFor(
                    [&] { return holdsLock(first, lockFile) || holdsLock(first, otherFile); },
                    kGenerousMs) &&
                holdsLock(first, otherFile)) {
                lockDir = otherwise;
                lockFile = otherFile;
                fallsBack = false;
            }
        }
        const QString started = startsAndRuns(first, lockFile);
        QVERIFY2(started.isEmpty(), qPrintable(started));

        const QStringList said = gameLines(first->readAllStandardError());
        if (fallsBack) {
            QCOMPARE(said.size(), 1);
            QVERIFY2(said[0].contains(lockDir), qPrintable(said[0]));
        } else {
            QCOMPARE(said, QStringList());
        }
        if (fallsBack || lockDir == otherwise) {
            struct stat st {};
            QCOMPARE(::lstat(native(lockDir).constData(), &st), 0);
            QVERIFY(S_ISDIR(st.st_mode));
            QCOMPARE(st.st_uid, owner);
            QCOMPARE(st.st_mode & 07777, mode_t{0700});
        }

        QProcess* second = processes.start(program, args, where.Env, workingDir);
        const QString left = leftSilently(second, said);
        QVERIFY2(left.isEmpty(), qPrintable(left));
        QVERIFY2(holdsLock(first, lockFile), qPrintable(describe(first)));
    }
};

QTEST_MAIN(TestProcess)
#include "test_process.moc"

#ifdef KORVEX_HAVE_XLIB
// Xlib's macros (None, Bool, Status, ...) clash with Qt's names, so it comes in last.
#include <X11/Xlib.h>
#include <X11/Xutil.h>

namespace {

bool requestClose(const QString& display, unsigned long window) {
    Display* dpy = XOpenDisplay(display.toLatin1().constData());
    if (dpy == nullptr) {
        return false;
    }
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = window;
    event.xclient.message_type = XInternAtom(dpy, "WM_PROTOCOLS", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = static_cast<long>(XInternAtom(dpy, "WM_DELETE_WINDOW", False));
    event.xclient.data.l[1] = CurrentTime;
    const bool sent = XSendEvent(dpy, window, False, NoEventMask, &event) != 0;
    XSync(dpy, False);
    XCloseDisplay(dpy);
    return sent;
}

std::optional<WindowShot> shootWindow(const QString& display, unsigned long window) {
    Display* dpy = XOpenDisplay(display.toLatin1().constData());
    if (dpy == nullptr) {
        return std::nullopt;
    }
    std::optional<WindowShot> shot;
    XWindowAttributes attributes{};
    int x = 0;
    int y = 0;
    Window child = 0;
    if (XGetWindowAttributes(dpy, window, &attributes) != 0 && attributes.map_state == IsViewable &&
        XTranslateCoordinates(dpy, window, DefaultRootWindow(dpy), 0, 0, &x, &y, &child) != 0) {
        if (XImage* image = XGetImage(dpy, window, 0, 0, attributes.width, attributes.height,
                                      AllPlanes, ZPixmap)) {
            shot.emplace();
            shot->Geometry = QRect(x, y, attributes.width, attributes.height);
            // The client area is the bottom 335 px; its board takes rows 6 to 312 of it.
            const int client = attributes.height - 335;
            for (int row = 0; row < attributes.height; ++row) {
                if (row >= client + 6 && row < client + 313) {
                    continue;
                }
                for (int column = 0; column < attributes.width; ++column) {
                    const auto pixel = static_cast<quint32>(XGetPixel(image, column, row));
                    shot->Pixels.append(reinterpret_cast<const char*>(&pixel), sizeof pixel);
                }
            }
            XDestroyImage(image);
        }
    }
    XCloseDisplay(dpy);
    return shot;
}

MapCounter::MapCounter(const QString& display) {
    Display* dpy = XOpenDisplay(display.toLatin1().constData());
    if (dpy != nullptr) {
        // Without a window manager, every top-level window is a child of the root.
        XSelectInput(dpy, DefaultRootWindow(dpy), SubstructureNotifyMask);
        XSync(dpy, False);
        Connection = dpy;
    }
}

MapCounter::~MapCounter() {
    if (Connection != nullptr) {
        XCloseDisplay(static_cast<Display*>(Connection));
    }
}

int MapCounter::count() {
    auto* dpy = static_cast<Display*>(Connection);
    XSync(dpy, False);
    while (XPending(dpy) > 0) {
        XEvent event;
        XNextEvent(dpy, &event);
        if (event.type == MapNotify) {
            ++Maps;
        }
    }
    return Maps;
}

} // namespace
#endif
