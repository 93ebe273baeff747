// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helpers for tests that start the real program: a place with its processes (killed whatever
// happens), who holds the lock, how a leaving copy left, and the game on a private X server.
#pragma once

#include "testsupport.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <fstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace korvex::test {

constexpr int kGenerousMs = 20000; // for anything that should take a moment
constexpr int kStaysUpMs = 2000;   // a copy that should run must still run after this long

// A place and the processes started there; whatever is left running, even on failure, is killed.
struct Place : Surroundings {
    ~Place() {
        for (auto& p : Started) {
            p->kill();
            p->waitForFinished(kGenerousMs);
        }
    }

    QProcess* start(const QString& program, const QStringList& args = {}) {
        Started.push_back(std::make_unique<QProcess>());
        QProcess* p = Started.back().get();
        p->setProcessEnvironment(Env);
        p->setWorkingDirectory(Root.path());
        p->start(program, args);
        return p;
    }

    std::vector<std::unique_ptr<QProcess>> Started;
};

// Whether `pid` holds a whole-file lock through its own descriptor of the file `st` describes.
inline bool locksThrough(qint64 pid, const struct stat& st) {
    const QString proc = QStringLiteral("/proc/%1/").arg(pid);
    for (const QString& fd :
         QDir(proc + QStringLiteral("fd"))
             .entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
        struct stat open {};
        QFile info(proc + QStringLiteral("fdinfo/") + fd);
        if (::stat(native(proc + QStringLiteral("fd/") + fd).constData(), &open) == 0 &&
            open.st_dev == st.st_dev && open.st_ino == st.st_ino &&
            info.open(QIODevice::ReadOnly) && info.readAll().contains("\nlock:\t")) {
            return true;
        }
    }
    return false;
}

// The processes holding a whole-file lock on `file`. The kernel's lock table names files by inode
// only, which each tmpfs counts from its own start, so each holder is asked for its open file.
// Looking takes no lock, so it cannot take the lock from a copy that is just starting.
inline QList<qint64> lockHolders(const QString& file) {
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
            f[5].section(QLatin1Char(':'), 2).toULongLong() == st.st_ino &&
            !holders.contains(f[4].toLongLong()) && locksThrough(f[4].toLongLong(), st)) {
            holders << f[4].toLongLong();
        }
    }
    return holders;
}

// `p` and only `p` holds the lock: a second copy from the same test is as much in the table.
inline bool holdsLock(QProcess* p, const QString& file) {
    return p->state() == QProcess::Running && lockHolders(file) == QList<qint64>{p->processId()};
}

// The game's own lines on standard error; the platform's warnings are not the game's to keep.
inline QStringList gameLines(const QByteArray& err) {
    QStringList lines;
    for (const QByteArray& line : err.split('\n')) {
        if (line.startsWith("korvex:")) {
            lines << QString::fromLocal8Bit(line);
        }
    }
    return lines;
}

inline QString describe(QProcess* p) {
    return QStringLiteral("state %1, exit status %2, code %3, stderr: %4")
        .arg(static_cast<int>(p->state()))
        .arg(static_cast<int>(p->exitStatus()))
        .arg(p->exitCode())
        .arg(QString::fromLocal8Bit(p->readAllStandardError()));
}

// Empty when the copy took the lock in a generous wait; stillRuns() tells later if it stayed up.
inline QString takesLock(QProcess* p, const QString& lockFile) {
    if (!QTest::qWaitFor(
            [&] { return holdsLock(p, lockFile) || p->state() == QProcess::NotRunning; },
            kGenerousMs) ||
        !holdsLock(p, lockFile)) {
        return QStringLiteral("no lock on %1: %2").arg(lockFile, describe(p));
    }
    return {};
}

// Empty when `p` still holds the lock once `until` has passed: a copy that should run must not
// end by itself in the meantime. Take `until` as QDeadlineTimer(kStaysUpMs) when it took the lock.
inline QString stillRuns(QProcess* p, const QString& lockFile, const QDeadlineTimer& until) {
    if (p->state() != QProcess::NotRunning) {
        p->waitForFinished(static_cast<int>(std::max<qint64>(until.remainingTime(), 1)));
    }
    return holdsLock(p, lockFile) ? QString()
                                  : QStringLiteral("the game ended by itself: ") + describe(p);
}

// Empty when `p` ended by itself within a generous wait, normally, with status 0.
inline QString endsWell(QProcess* p) {
    if (p->state() != QProcess::NotRunning) {
        p->waitForFinished(kGenerousMs);
    }
    return p->state() == QProcess::NotRunning && p->exitStatus() == QProcess::NormalExit &&
                   p->exitCode() == 0
               ? QString()
               : QStringLiteral("it did not end by itself with status 0: ") + describe(p);
}

// Empty when a copy that found another running ended well and silently. In hostile surroundings
// the platform may warn on its own; there only the game's own lines are held to `gameSays`.
inline QString leftSilently(QProcess* p, std::optional<QStringList> gameSays = std::nullopt) {
    if (const QString ended = endsWell(p); !ended.isEmpty()) {
        return QStringLiteral("a second copy: ") + ended;
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
    ~VirtualDisplay() {
        Server.terminate(); // so that it removes its lock file and socket
        Server.waitForFinished(kGenerousMs);
    }

    // Empty when the server is up and taking clients.
    QString start() {
        Server.setStandardErrorFile(QProcess::nullDevice());
        // -displayfd: the server picks a free display and writes its number once it listens.
        Server.start("Xvfb",
                     {"-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
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

// The game running on its own X server, with its one window found.
struct GameOnDisplay {
    VirtualDisplay Display;
    Place Where; // after Display: the game goes before its X server
    QProcess* Game = nullptr;
    QString Window; // the X window id, as xdotool gives it

    // Runs xdotool on this display; true when it succeeded.
    bool xdotool(const QStringList& args, QByteArray* out = nullptr) {
        const ToolRun run = runTool(QStringLiteral("xdotool"), args, Where.Env, kGenerousMs);
        if (out != nullptr) {
            *out = run.out;
        }
        return run.ok;
    }
};

// Starts `program` with `args` in `on`; false, the test failed or skipped, unless one window came
// up. Without Xvfb or xdotool it skips, but not under CI, where scripts/setup installs both.
inline bool startOnDisplay(GameOnDisplay& on, const QString& program, const char* file, int line,
                           const QStringList& args = {}) {
    if (QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty()) {
        if (qEnvironmentVariableIsSet("CI")) {
            QTest::qFail("Xvfb or xdotool is missing", file, line);
        } else {
            QTest::qSkip("needs Xvfb and xdotool", file, line);
        }
        return false;
    }
    QString failed = on.Where.valid() ? on.Display.start() : QStringLiteral("no surroundings");
    if (failed.isEmpty()) {
        on.Where.Env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        on.Where.Env.insert(QStringLiteral("DISPLAY"), on.Display.name());
        on.Game = on.Where.start(program, args);
        failed = takesLock(on.Game, on.Where.runtimeLock());
    }
    QByteArray found;
    if (failed.isEmpty()) {
        const bool searched =
            on.xdotool({"search", "--sync", "--onlyvisible", "--name", "Korvex"}, &found);
        // The caption as the window gives it in UTF-8, whatever the locale: without one the
        // legacy name, which is all that xdotool search matches, cannot carry the Cyrillic.
        QStringList windows;
        for (const QByteArray& id : found.trimmed().split('\n')) {
            QByteArray name;
            if (!id.isEmpty() &&
                on.xdotool({QStringLiteral("getwindowname"), QString::fromLatin1(id)}, &name) &&
                name.trimmed() == QStringLiteral("Игра Korvex").toUtf8()) {
                windows << QString::fromLatin1(id);
            }
        }
        if (!searched || windows.size() != 1) {
            failed =
                QStringLiteral("no single window \"Игра Korvex\": ") + QString::fromLatin1(found);
        } else {
            on.Window = windows[0];
        }
    }
    if (!failed.isEmpty()) {
        QTest::qFail(qPrintable(failed), file, line);
        return false;
    }
    return true;
}

} // namespace korvex::test
