// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The real program, started as separate processes the way a player starts it: one copy at a
// time however the copies are started, a hard-killed copy blocks nothing, Esc and the close
// box end it, and it starts and stays single in hostile surroundings.
#include "processtest.h"

#include <QRect>

#ifdef KORVEX_HAVE_XLIB
// Last, and its macros that clash with Qt's names undone once its own code is written.
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#endif

using namespace korvex::test;

namespace {

const QString kGame = QStringLiteral(KORVEX_BINARY);

#ifdef KORVEX_HAVE_XLIB
// What a window manager does for the close box: a WM_DELETE_WINDOW request to the window.
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

// A window's place and its pixels that no tile changes (menu bar, score line); empty if unseen.
struct WindowShot {
    QRect Geometry;
    QByteArray Pixels;
};
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

// Counts the top-level windows mapped on a display from its creation on.
class MapCounter {
public:
    explicit MapCounter(const QString& display)
        : Connection(XOpenDisplay(display.toLatin1().constData()), &XCloseDisplay) {
        if (Connection) {
            // Without a window manager, every top-level window is a child of the root.
            XSelectInput(Connection.get(), DefaultRootWindow(Connection.get()),
                         SubstructureNotifyMask);
            XSync(Connection.get(), False);
        }
    }
    bool valid() const { return Connection != nullptr; }
    int count() {
        XSync(Connection.get(), False);
        while (XPending(Connection.get()) > 0) {
            XEvent event;
            XNextEvent(Connection.get(), &event);
            Maps += event.type == MapNotify ? 1 : 0;
        }
        return Maps;
    }

private:
    std::unique_ptr<Display, int (*)(Display*)> Connection;
    int Maps = 0;
};
#endif

} // namespace

#ifdef KORVEX_HAVE_XLIB
#undef Bool
#undef None
#undef Status
#undef True
#undef False
#undef Unsorted
#endif

class TestProcess : public QObject {
    Q_OBJECT

#ifdef KORVEX_HAVE_XLIB
    std::optional<WindowShot> Plain; // the window of a copy started without arguments
#endif
    // startsInHostileSurroundings' first copies, left running for one wait in hostileCopiesStayUp.
    struct Kept {
        QString Situation;
        std::unique_ptr<Place> Where;
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

    // A second copy leaves, the first goes on; a hard-killed copy's lock file stays but binds none.
    void secondCopyLeavesAndFirstGoesOn_data() {
        QTest::addColumn<bool>("afterKilled");
        QTest::newRow("first start") << false;
        QTest::newRow("after a hard-killed copy") << true;
    }
    void secondCopyLeavesAndFirstGoesOn() {
        QFETCH(bool, afterKilled);
        Place where;
        QVERIFY(where.valid());
        const QString lockFile = where.runtimeLock();
        if (afterKilled) {
            QProcess* killed = where.start(kGame);
            VERIFY_EMPTY(takesLock(killed, lockFile));
            killed->kill(); // SIGKILL: no handler, no clean-up
            QVERIFY(killed->waitForFinished(kGenerousMs));
            QVERIFY(killed->exitStatus() == QProcess::CrashExit && QFileInfo::exists(lockFile));
        }
        QProcess* first = where.start(kGame);
        VERIFY_EMPTY(takesLock(first, lockFile));
        const QDeadlineTimer staysUp(kStaysUpMs);

        VERIFY_EMPTY(leftSilently(where.start(kGame)));
        VERIFY_EMPTY(stillRuns(first, lockFile, staysUp));
    }

    // Copies started at the same instant race for the lock; exactly one may win.
    void copiesStartedTogetherLeaveOne() {
        constexpr int kCopies = 6;
        Place where;
        QVERIFY(where.valid());
        const QString lockFile = where.runtimeLock();
        QList<QProcess*> copies;
        for (int i = 0; i < kCopies; ++i) {
            copies << where.start(kGame);
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
            VERIFY_EMPTY(leftSilently(p));
        }
        QVERIFY(survivor != nullptr);
        QVERIFY2(holdsLock(survivor, lockFile), qPrintable(describe(survivor)));
    }

    // A real window on a real (virtual) X server: Esc ends the program, with status 0.
    void escEndsTheGame() {
        GameOnDisplay on;
        if (!startOnDisplay(on, kGame, __FILE__, __LINE__)) {
            return;
        }
        // No window manager runs, so focus the window directly; then the key goes to it.
        QVERIFY(on.xdotool({"windowfocus", "--sync", on.Window}));
        QVERIFY(on.xdotool({"key", "Left", "Up", "Escape"}));
        VERIFY_EMPTY(endsWell(on.Game));
    }

    // The game takes no command line, not even Qt's: with any arguments it shows the same window
    // in the same place and reads no named file; a second copy maps no window, even briefly, and
    // leaves silently; the close box ends the game. "%pipe" is a named pipe: opening it would hang.
    void argumentsChangeNothing_data() {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("none") << QStringList(); // first: the window the others must show
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
        GameOnDisplay on;
        const QString pipe = on.Where.Root.filePath(QStringLiteral("style.qss"));
        QVERIFY(::mkfifo(native(pipe).constData(), 0600) == 0);
        args.replaceInStrings(QStringLiteral("%pipe"), pipe);
        // Whether the first copy stays up on X, the wait is taken once, without arguments.
        const QDeadlineTimer staysUp(args.isEmpty() ? kStaysUpMs : 0);
        if (!startOnDisplay(on, kGame, __FILE__, __LINE__, args)) {
            return;
        }
        QVERIFY2(Plain || args.isEmpty(), "the row without arguments did not run first");
        std::optional<WindowShot> shot;
        const bool alike = QTest::qWaitFor(
            [&] {
                shot = shootWindow(on.Display.name(), on.Window.toULong());
                return shot && (!Plain || (shot->Geometry == Plain->Geometry &&
                                           shot->Pixels == Plain->Pixels));
            },
            kGenerousMs);
        QVERIFY(shot && !shot->Pixels.isEmpty());
        if (!Plain) {
            Plain = shot;
        }
        QCOMPARE(shot->Geometry, Plain->Geometry);
        QVERIFY2(alike, "the window looks different");

        MapCounter maps(on.Display.name());
        QVERIFY(maps.valid());
        VERIFY_EMPTY(leftSilently(on.Where.start(kGame, args)));
        QCOMPARE(maps.count(), 0);
        VERIFY_EMPTY(stillRuns(on.Game, on.Where.runtimeLock(), staysUp));

        QVERIFY(requestClose(on.Display.name(), on.Window.toULong()));
        VERIFY_EMPTY(endsWell(on.Game));
        if (args.isEmpty()) {
            // The counter does see a window that is mapped: a new copy's, once the first is gone.
            QProcess* next = on.Where.start(kGame);
            VERIFY_EMPTY(takesLock(next, on.Where.runtimeLock()));
            QVERIFY(QTest::qWaitFor([&maps] { return maps.count() > 0; }, kGenerousMs));
        }
#endif
    }

    // Where the runtime directory cannot hold the lock, the game keeps it in a user-private one,
    // says where in one line and stays single; a missing number font or scaling change nothing.
    void startsInHostileSurroundings_data() {
        QTest::addColumn<QString>("situation");
        for (const char* situation :
             {"runtime dir: unset", "runtime dir: missing", "runtime dir: a file",
              "runtime dir: world-writable", "runtime dir: relative", "runtime dir: another user's",
              "runtime dir: unwritable", "unwritable runtime dir, run as another user",
              "fallback taken by another user", "another tmpfs's lock on the same inode number",
              "no number font", "double scale"}) {
            QTest::newRow(situation) << QString::fromLatin1(situation);
        }
    }

    void startsInHostileSurroundings() {
        QFETCH(QString, situation);
        auto place = std::make_unique<Place>();
        Place& where = *place;
        QVERIFY(where.valid());
        QString program = kGame;
        QStringList args;
        uid_t owner = geteuid();
        QString lockDir = tmpFallback(where.Tmp, owner); // anywhere but Runtime: with a line
        QString otherwise;  // a second private place the lock may rightly go to, without a line
        QString seen, held; // the namespace the game's files are seen through; another's lock

        if (situation.contains(QLatin1String("another user")) && !canGiveAway()) {
            QSKIP("needs root and a user 'nobody' to give things to or run the game as");
        }
        const QString kind = situation.section(QStringLiteral(": "), 1);
        if (situation.startsWith(QLatin1String("runtime dir: "))) {
            QVERIFY(where.makeRuntime(kind));
            if (kind == QLatin1String("missing")) {
                // Qt makes a missing runtime directory, mode 0700, before the game looks.
                otherwise = where.Runtime;
            } else if (kind == QLatin1String("unwritable") && geteuid() == 0) {
                lockDir = where.Runtime; // root may write there all the same
            }
        } else if (situation == QLatin1String("unwritable runtime dir, run as another user")) {
            // Root cannot be kept out of a directory, so the game runs as 'nobody' here.
            const passwd* other = nobody();
            QVERIFY(::chmod(native(where.Root.path()).constData(), 0711) == 0);
            QVERIFY(giveToNobody(where.Runtime) && giveToNobody(where.Tmp));
            QVERIFY(::chmod(native(where.Runtime).constData(), 0500) == 0);
            where.Env.insert(QStringLiteral("HOME"), where.Tmp);
            program = QStringLiteral("setpriv");
            args = {QStringLiteral("--reuid=%1").arg(other->pw_uid),
                    QStringLiteral("--regid=%1").arg(other->pw_gid), "--clear-groups", "--", kGame};
            if (!runTool(program,
                         args.mid(0, 4) << "test"
                                        << "-x" << kGame,
                         where.Env, kGenerousMs)
                     .ok) {
                QSKIP("the game's binary cannot be run by 'nobody' from where it was built");
            }
            owner = other->pw_uid;
            lockDir = tmpFallback(where.Tmp, owner);
        } else if (situation == QLatin1String("fallback taken by another user")) {
            where.Env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
            QVERIFY(makeNobodysDir(lockDir));
            lockDir = homeFallback(where.Home);
        } else if (situation.startsWith(QLatin1String("another tmpfs"))) {
            // Both fresh tmpfs mounts in a namespace, first inodes alike; another locks TMPDIR's.
            lockDir = where.Runtime;
            QProcess* ns = where.start(
                "unshare", {"-rm", "sh", "-c",
                            "mount -t tmpfs -o mode=0700 k \"$0\" && mount -t tmpfs k \"$1\" && : "
                            ">\"$1/held\" && exec flock -F \"$1/held\" sleep infinity",
                            where.Runtime, where.Tmp});
            QVERIFY(ns->waitForStarted(kGenerousMs));
            const QString pid = QString::number(ns->processId());
            seen = QStringLiteral("/proc/") + pid + QStringLiteral("/root");
            held = seen + where.Tmp + QStringLiteral("/held");
            const QString none = takesLock(ns, held);
            if (ns->state() == QProcess::NotRunning) {
                QSKIP(qPrintable(QStringLiteral("needs a namespace of its own: ") + none));
            }
            VERIFY_EMPTY(none);
            program = QStringLiteral("nsenter");
            args = {"--preserve-credentials", "-U", "-m", "-t", pid, kGame};
        } else { // no number font, or double scale: the lock is where it always is
            lockDir = where.Runtime;
            if (situation == QLatin1String("double scale")) {
                where.Env.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("2"));
            } else {
                VERIFY_EMPTY(where.useFonts(kDejaVuSansFiles));
            }
        }

        QString lockFile = seen + lockIn(lockDir);
        QProcess* first = where.start(program, args);
        if (!otherwise.isEmpty()) {
            const QString otherFile = lockIn(otherwise);
            if (QTest::qWaitFor(
                    [&] { return holdsLock(first, lockFile) || holdsLock(first, otherFile); },
                    kGenerousMs) &&
                holdsLock(first, otherFile)) {
                lockDir = otherwise;
                lockFile = otherFile;
            }
        }
        const bool fallsBack = lockDir != where.Runtime;
        VERIFY_EMPTY(takesLock(first, lockFile));
        const QDeadlineTimer staysUp(kStaysUpMs);
        struct stat mine {};
        struct stat theirs {};
        QVERIFY(held.isEmpty() || (::stat(native(lockFile).constData(), &mine) == 0 &&
                                   ::stat(native(held).constData(), &theirs) == 0 &&
                                   mine.st_ino == theirs.st_ino && mine.st_dev != theirs.st_dev));

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
        if (fallsBack || !otherwise.isEmpty()) {
            VERIFY_EMPTY(notPrivate(lockDir, owner));
        }

        QProcess* second = where.start(program, args);
        VERIFY_EMPTY(leftSilently(second, said));
        QVERIFY2(holdsLock(first, lockFile), qPrintable(describe(first)));
        Hostile.push_back({situation, std::move(place), first, lockFile, staysUp, err, said});
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
