// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real program, started as separate processes the way a player starts it: one copy at a
// time however the copies are started, a hard-killed copy blocks nothing, Esc and the close
// box end it, and it starts and stays single in hostile surroundings.
#include "processtest.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRect>
#include <QTest>

#include <algorithm>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

using namespace korvex::test;

namespace {

const QString kGame = QStringLiteral(KORVEX_BINARY);

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
    // The first copies of startsInHostileSurroundings, left running so that a single wait in
    // hostileCopiesStayUp tells for all of them whether they stayed up.
    struct Kept {
        QString Situation;
        std::unique_ptr<Surroundings> Where;
        std::unique_ptr<Processes> Started; // after Where: its copies die before their place goes
        QProcess* First = nullptr;
        QString LockFile;
        QDeadlineTimer StaysUp;
        QByteArray Err;
        QStringList Said;
    };
    std::vector<Kept> Hostile;

private slots:
    void initTestCase() {
        QVERIFY2(QFileInfo(kGame).isExecutable(), qPrintable(kGame));
    }

    // A second copy leaves and the first goes on. The lock goes with the process, however it
    // dies: after a hard-killed copy, whose file stays behind and means nothing, all is as new.
    void secondCopyLeavesAndFirstGoesOn_data() {
        QTest::addColumn<bool>("afterKilled");
        QTest::newRow("first start") << false;
        QTest::newRow("after a hard-killed copy") << true;
    }
    void secondCopyLeavesAndFirstGoesOn() {
        QFETCH(bool, afterKilled);
        Surroundings where;
        QVERIFY(where.valid());
        const QString lockFile = where.runtimeLock();
        Processes processes;
        if (afterKilled) {
            QProcess* killed = processes.start(kGame, {}, where.Env);
            const QString started = takesLock(killed, lockFile);
            QVERIFY2(started.isEmpty(), qPrintable(started));
            killed->kill(); // SIGKILL: no handler, no clean-up
            QVERIFY(killed->waitForFinished(kGenerousMs));
            QCOMPARE(killed->exitStatus(), QProcess::CrashExit);
            QVERIFY(QFileInfo::exists(lockFile));
        }
        QProcess* first = processes.start(kGame, {}, where.Env);
        const QString started = takesLock(first, lockFile);
        QVERIFY2(started.isEmpty(), qPrintable(started));
        const QDeadlineTimer staysUp(kStaysUpMs);

        const QString left = leftSilently(processes.start(kGame, {}, where.Env));
        QVERIFY2(left.isEmpty(), qPrintable(left));
        const QString runs = stillRuns(first, lockFile, staysUp);
        QVERIFY2(runs.isEmpty(), qPrintable(runs));
    }

    // Copies started at the same instant race for the lock; exactly one may win.
    void copiesStartedTogetherLeaveOne() {
        constexpr int kCopies = 6;
        Surroundings where;
        QVERIFY(where.valid());
        const QString lockFile = where.runtimeLock();
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

    // A real window on a real (virtual) X server: Esc, or the close box as a window manager
    // asks the window to close, ends the program, with status 0.
    void windowEndsTheGame_data() {
        QTest::addColumn<bool>("closeBox");
        QTest::newRow("Esc") << false;
        QTest::newRow("the close box") << true;
    }
    void windowEndsTheGame() {
        QFETCH(bool, closeBox);
#ifndef KORVEX_HAVE_XLIB
        if (closeBox) {
            QSKIP("built without Xlib");
        }
#endif
        GameOnDisplay on;
        if (!startOnDisplay(on, kGame, __FILE__, __LINE__)) {
            return;
        }
        if (closeBox) {
#ifdef KORVEX_HAVE_XLIB
            QVERIFY(requestClose(on.Display.name(), on.Window.toULong()));
#endif
        } else {
            // No window manager runs, so focus the window directly; then the key goes to it.
            QVERIFY(
                on.xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), on.Window}));
            QVERIFY(on.xdotool({QStringLiteral("key"), QStringLiteral("Left"), QStringLiteral("Up"),
                                QStringLiteral("Escape")}));
        }
        QVERIFY2(on.Game->waitForFinished(kGenerousMs), qPrintable(describe(on.Game)));
        QCOMPARE(on.Game->exitStatus(), QProcess::NormalExit);
        QCOMPARE(on.Game->exitCode(), 0);
    }

    // A second copy on the same display maps no window at all, not even for a moment.
    void secondCopyShowsNothing() {
#ifndef KORVEX_HAVE_XLIB
        QSKIP("built without Xlib");
#else
        GameOnDisplay on;
        const QDeadlineTimer staysUp(kStaysUpMs);
        if (!startOnDisplay(on, kGame, __FILE__, __LINE__)) {
            return;
        }
        MapCounter maps(on.Display.name());
        QVERIFY(maps.valid());
        const QString left = leftSilently(on.Started.start(kGame, {}, on.Where.Env));
        QVERIFY2(left.isEmpty(), qPrintable(left));
        QCOMPARE(maps.count(), 0);
        const QString runs = stillRuns(on.Game, on.Where.runtimeLock(), staysUp);
        QVERIFY2(runs.isEmpty(), qPrintable(runs));

        // The counter does see a window that is mapped: once the first copy is gone, a new one.
        on.Game->kill();
        QVERIFY(on.Game->waitForFinished(kGenerousMs));
        QProcess* next = on.Started.start(kGame, {}, on.Where.Env);
        const QString restarted = takesLock(next, on.Where.runtimeLock());
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
            GameOnDisplay plain;
            if (!startOnDisplay(plain, kGame, __FILE__, __LINE__)) {
                return;
            }
            Plain = shootWindow(plain.Display.name(), plain.Window.toULong());
            QVERIFY(Plain && !Plain->Pixels.isEmpty());
        }

        GameOnDisplay on;
        const QString pipe = on.Where.Root.filePath(QStringLiteral("style.qss"));
        QVERIFY(::mkfifo(native(pipe).constData(), 0600) == 0);
        args.replaceInStrings(QStringLiteral("%pipe"), pipe);
        if (!startOnDisplay(on, kGame, __FILE__, __LINE__, args)) {
            return;
        }
        std::optional<WindowShot> shot;
        const bool alike = QTest::qWaitFor(
            [&] {
                shot = shootWindow(on.Display.name(), on.Window.toULong());
                return shot && shot->Geometry == Plain->Geometry && shot->Pixels == Plain->Pixels;
            },
            kGenerousMs);
        QVERIFY(shot);
        QCOMPARE(shot->Geometry, Plain->Geometry);
        QVERIFY2(alike, "the window looks different");

        MapCounter maps(on.Display.name());
        QVERIFY(maps.valid());
        const QString left = leftSilently(on.Started.start(kGame, args, on.Where.Env));
        QVERIFY2(left.isEmpty(), qPrintable(left));
        QCOMPARE(maps.count(), 0);
        QVERIFY2(holdsLock(on.Game, on.Where.runtimeLock()), qPrintable(describe(on.Game)));

        QVERIFY(requestClose(on.Display.name(), on.Window.toULong()));
        QVERIFY2(on.Game->waitForFinished(kGenerousMs), qPrintable(describe(on.Game)));
        QCOMPARE(on.Game->exitStatus(), QProcess::NormalExit);
        QCOMPARE(on.Game->exitCode(), 0);
#endif
    }

    // Where the runtime directory cannot hold the lock, the game still starts and runs, keeps
    // the lock in a directory private to the user, says where in one line, and two copies
    // still never run at once. A missing number font or a scaled display change nothing.
    void startsInHostileSurroundings_data() {
        QTest::addColumn<QString>("situation");
        for (const char* situation :
             {"runtime dir: unset", "runtime dir: missing", "runtime dir: a file",
              "runtime dir: world-writable", "runtime dir: relative", "runtime dir: another user's",
              "runtime dir: unwritable", "unwritable runtime dir, run as another user",
              "fallback taken by another user", "no number font", "double scale"}) {
            QTest::newRow(situation) << QString::fromLatin1(situation);
        }
    }

    void startsInHostileSurroundings() {
        QFETCH(QString, situation);
        auto place = std::make_unique<Surroundings>();
        Surroundings& where = *place;
        QVERIFY(where.valid());
        QString program = kGame;
        QStringList args;
        QString workingDir;
        uid_t owner = geteuid();
        QString lockDir = tmpFallback(where.Tmp, owner);
        bool fallsBack = true;
        QString otherwise; // a second private place the lock may rightly go to, without a line

        const QString kind = situation.section(QStringLiteral(": "), 1);
        if (situation.startsWith(QLatin1String("runtime dir: "))) {
            if (kind == QLatin1String("another user's") && !canGiveAway()) {
                QSKIP("needs root and a user 'nobody' to give the directory away");
            }
            QString value;
            QVERIFY(QDir().rmdir(where.Runtime) && makeRuntimeDir(kind, where.Runtime, &value));
            if (value.isNull()) {
                where.Env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            } else {
                where.Env.insert(QStringLiteral("XDG_RUNTIME_DIR"), value);
            }
            workingDir = where.Root.path(); // where a relative one is found
            if (kind == QLatin1String("missing")) {
                // Qt makes a missing runtime directory, mode 0700, before the game looks.
                otherwise = where.Runtime;
            } else if (kind == QLatin1String("unwritable") && geteuid() == 0) {
                fallsBack = false; // root may write there all the same
                lockDir = where.Runtime;
            }
        } else if (situation == QLatin1String("unwritable runtime dir, run as another user")) {
            // Root cannot be kept out of a directory, so the game runs as 'nobody' here.
            if (!canGiveAway()) {
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
            if (!runTool(program,
                         args.mid(0, 4) +
                             QStringList{QStringLiteral("test"), QStringLiteral("-x"), kGame},
                         where.Env, kGenerousMs)
                     .ok) {
                QSKIP("the game's binary cannot be run by 'nobody' from where it was built");
            }
            owner = other->pw_uid;
            lockDir = tmpFallback(where.Tmp, owner);
        } else if (situation == QLatin1String("fallback taken by another user")) {
            if (!canGiveAway()) {
                QSKIP("needs root and a user 'nobody' to take the fallback");
            }
            where.Env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            QVERIFY(makeNobodysDir(lockDir));
            lockDir = homeFallback(where.Home);
        } else if (situation == QLatin1String("no number font")) {
            QString failure;
            const QString conf = writeFontConfig(where.Root.path(), kDejaVuSansFiles, &failure);
            QVERIFY2(!conf.isEmpty(), qPrintable(failure));
            where.Env.insert(QStringLiteral("FONTCONFIG_FILE"), conf);
            fallsBack = false;
            lockDir = where.Runtime;
        } else if (situation == QLatin1String("double scale")) {
            where.Env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
            fallsBack = false;
            lockDir = where.Runtime;
        } else {
            QFAIL("unknown situation");
        }

        QString lockFile = lockIn(lockDir);
        auto started = std::make_unique<Processes>();
        Processes& processes = *started;
        QProcess* first = processes.start(program, args, where.Env, workingDir);
        if (!otherwise.isEmpty()) {
            const QString otherFile = lockIn(otherwise);
            if (QTest::qWaitFor(
                    [&] { return holdsLock(first, lockFile) || holdsLock(first, otherFile); },
                    kGenerousMs) &&
                holdsLock(first, otherFile)) {
                lockDir = otherwise;
                lockFile = otherFile;
                fallsBack = false;
            }
        }
        const QString locked = takesLock(first, lockFile);
        QVERIFY2(locked.isEmpty(), qPrintable(locked));
        const QDeadlineTimer staysUp(kStaysUpMs);

        // The line saying where may come just after the lock is taken; only whole lines count.
        QByteArray err;
        (void)QTest::qWaitFor(
            [&] {
                err += first->readAllStandardError();
                return !fallsBack || !gameLines(err.left(err.lastIndexOf('\n') + 1)).isEmpty();
            },
            kGenerousMs);
        const QStringList said = gameLines(err.left(err.lastIndexOf('\n') + 1));
        if (fallsBack) {
            QCOMPARE(said.size(), 1);
            QVERIFY2(said[0].contains(lockDir), qPrintable(said[0]));
        } else {
            QCOMPARE(said, QStringList());
        }
        if (fallsBack || lockDir == otherwise) {
            QVERIFY2(notPrivate(lockDir, owner).isEmpty(), qPrintable(notPrivate(lockDir, owner)));
        }

        QProcess* second = processes.start(program, args, where.Env, workingDir);
        const QString left = leftSilently(second, said);
        QVERIFY2(left.isEmpty(), qPrintable(left));
        QVERIFY2(holdsLock(first, lockFile), qPrintable(describe(first)));
        Hostile.push_back(
            {situation, std::move(place), std::move(started), first, lockFile, staysUp, err, said});
    }

    // One wait for all the situations above: each first copy stayed up and said no more.
    void hostileCopiesStayUp() {
        QVERIFY(!Hostile.empty());
        for (Kept& k : Hostile) {
            const QString runs = stillRuns(k.First, k.LockFile, k.StaysUp);
            QVERIFY2(runs.isEmpty(), qPrintable(k.Situation + QStringLiteral(": ") + runs));
            k.Err += k.First->readAllStandardError();
            QVERIFY2(gameLines(k.Err) == k.Said, qPrintable(k.Situation + QStringLiteral(": ") +
                                                            QString::fromLocal8Bit(k.Err)));
        }
        Hostile.clear();
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
