// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The surroundings the tests and benchmarks set up, each put back when done, so that parallel
// runs never meet each other's lock, and helper programs run to their end.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTemporaryDir>

#include <optional>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>

// Fails the test with `failure` unless it is empty: the helpers that check say what is wrong.
#define VERIFY_EMPTY(failure)                                                                      \
    do {                                                                                           \
        const QString failure_ = (failure);                                                        \
        QVERIFY2(failure_.isEmpty(), qPrintable(failure_));                                        \
    } while (false)

namespace korvex::test {

inline QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

// Gives this process `env`'s runtime directory, temporary directory and home: all a test changes.
inline void adopt(const QProcessEnvironment& env) {
    for (const char* name : {"XDG_RUNTIME_DIR", "TMPDIR", "HOME"}) {
        const QString key = QString::fromLatin1(name);
        if (env.contains(key)) {
            qputenv(name, native(env.value(key)));
        } else {
            qunsetenv(name);
        }
    }
}

// This process's environment and working directory, put back when this goes: the next test must not
// find what one changed (Qt 6.11 makes no temporary directory under a TMPDIR that is gone).
struct KeptEnvironment {
    QProcessEnvironment Env = QProcessEnvironment::systemEnvironment();
    QString Cwd = QDir::currentPath();
    ~KeptEnvironment() {
        adopt(Env);
        QDir::setCurrent(Cwd);
    }
};

// This process's own runtime directory (0700) while it lives: a test member, there before a window.
struct PrivateRuntimeDir {
    QTemporaryDir Dir;
    KeptEnvironment Kept; // after Dir: put back before Dir goes
    PrivateRuntimeDir() { qputenv("XDG_RUNTIME_DIR", native(Dir.path())); }
};

inline QString lockIn(const QString& dir) {
    return dir + QStringLiteral("/korvex.lock");
}

// Where the lock goes when the runtime directory will not do: first under TMPDIR, then HOME.
inline QString tmpFallback(const QString& tmp, uid_t owner = geteuid()) {
    return tmp + QStringLiteral("/korvex-%1").arg(owner);
}
inline QString homeFallback(const QString& home) {
    return home + QStringLiteral("/.cache/korvex");
}

// Made 0700 first, so that no one can slip in before the mode is set.
inline bool makeDir(const QString& path, mode_t mode) {
    return ::mkdir(native(path).constData(), 0700) == 0 &&
           ::chmod(native(path).constData(), mode) == 0;
}

// Another user to give things to; null when there is none, or it is this user.
inline const passwd* nobody() {
    const passwd* entry = getpwnam("nobody");
    return entry != nullptr && entry->pw_uid != geteuid() ? entry : nullptr;
}

// Only root can give a file away.
inline bool canGiveAway() {
    return geteuid() == 0 && nobody() != nullptr;
}

inline bool giveToNobody(const QString& path) {
    const passwd* other = nobody();
    return other != nullptr &&
           ::lchown(native(path).constData(), other->pw_uid, other->pw_gid) == 0;
}

// A directory someone else made, private to them.
inline bool makeNobodysDir(const QString& path) {
    return makeDir(path, 0700) && giveToNobody(path);
}

// Makes the new `path` into the runtime directory a session may hand the game, by name, and sets
// `value` to XDG_RUNTIME_DIR's: null for "unset", the bare name for "relative" (from the parent).
// False when it could not be made; "another user's" needs canGiveAway().
inline bool makeRuntimeDir(const QString& situation, const QString& path, QString* value) {
    *value = path;
    const std::pair<const char*, mode_t> modes[] = {
        {"private", 0700},        {"readable by others", 0755},     {"relative", 0700},
        {"world-writable", 0777}, {"sticky world-writable", 01777}, {"group-writable", 0770},
        {"unwritable", 0500}};
    for (const auto& [name, mode] : modes) {
        if (situation == QLatin1String(name)) {
            if (situation == QLatin1String("relative")) {
                *value = QFileInfo(path).fileName();
            }
            return makeDir(path, mode);
        }
    }
    if (situation == QLatin1String("unset") || situation == QLatin1String("empty")) {
        *value = situation == QLatin1String("unset") ? QString() : QStringLiteral("");
        return true;
    }
    if (situation == QLatin1String("a file")) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly);
    }
    if (situation == QLatin1String("symlink to a private dir")) {
        const QString target = path + QStringLiteral("-target");
        return makeDir(target, 0700) && QFile::link(target, path);
    }
    if (situation == QLatin1String("another user's")) {
        return makeNobodysDir(path);
    }
    return situation == QLatin1String("missing");
}

// A fresh place: own runtime directory (0700), temporary directory and home, so no run meets
// another's or a player's lock. Env is a child's environment there; live() makes it this process's.
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
        // A desktop's UTF-8 locale: in plain C, Qt 6.8 says on stderr it switched to C.UTF-8,
        // and a copy that leaves must leave without a word.
        Env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
        Env.insert(QStringLiteral("XDG_RUNTIME_DIR"), Runtime);
        Env.insert(QStringLiteral("TMPDIR"), Tmp);
        Env.insert(QStringLiteral("HOME"), Home);
    }
    bool valid() const {
        return Root.isValid() && QFileInfo(Runtime).isDir() && QFileInfo(Tmp).isDir() &&
               QFileInfo(Home).isDir();
    }
    QString runtimeLock() const { return lockIn(Runtime); }

    // Points FONTCONFIG_FILE at a configuration in Root that knows only `files`; empty, or why not.
    QString useFonts(const QStringList& files) {
        const QString fonts = Root.filePath(QStringLiteral("fonts"));
        if (!QDir().mkpath(fonts)) {
            return QStringLiteral("cannot make ") + fonts;
        }
        for (const QString& file : files) {
            if (!QFileInfo::exists(file)) {
                return file + QStringLiteral(" is missing: run scripts/setup");
            }
            if (!QFile::link(file, fonts + QLatin1Char('/') + QFileInfo(file).fileName())) {
                return QStringLiteral("cannot link ") + file;
            }
        }
        QFile conf(Root.filePath(QStringLiteral("fonts.conf")));
        if (!conf.open(QIODevice::WriteOnly)) {
            return QStringLiteral("cannot write ") + conf.fileName();
        }
        conf.write(QStringLiteral("<?xml version=\"1.0\"?>\n"
                                  "<!DOCTYPE fontconfig SYSTEM \"urn:fontconfig:fonts.dtd\">\n"
                                  "<fontconfig>\n  <dir>%1</dir>\n  <cachedir>%2</cachedir>\n"
                                  "</fontconfig>\n")
                       .arg(fonts, Root.filePath(QStringLiteral("fc-cache")))
                       .toUtf8());
        Env.insert(QStringLiteral("FONTCONFIG_FILE"), conf.fileName());
        return {};
    }

    // Makes the runtime directory into one of makeRuntimeDir()'s situations and hands it over.
    bool makeRuntime(const QString& situation) {
        QString value;
        if (!QDir().rmdir(Runtime) || !makeRuntimeDir(situation, Runtime, &value)) {
            return false;
        }
        if (value.isNull()) {
            Env.remove(QStringLiteral("XDG_RUNTIME_DIR"));
        } else {
            Env.insert(QStringLiteral("XDG_RUNTIME_DIR"), value);
        }
        return true;
    }

    // Until this goes, this process has Env's directories and works in Root (for a relative one).
    void live() {
        if (!Before) {
            Before.emplace();
        }
        adopt(Env);
        QDir::setCurrent(Root.path());
    }
    std::optional<KeptEnvironment> Before; // last, so put back before Root goes
};

// Empty when path is a real directory of `owner`'s with mode 0700, else what is wrong.
inline QString notPrivate(const QString& path, uid_t owner = geteuid()) {
    struct stat st {};
    if (::lstat(native(path).constData(), &st) != 0) {
        return path + QStringLiteral(" does not exist");
    }
    if (!S_ISDIR(st.st_mode)) {
        return path + QStringLiteral(" is not a directory");
    }
    if (st.st_uid != owner) {
        return path + QStringLiteral(" belongs to uid %1").arg(st.st_uid);
    }
    if ((st.st_mode & 07777) != 0700) {
        return path + QStringLiteral(" has mode %1").arg(st.st_mode & 07777, 0, 8);
    }
    return {};
}

// The faces the tests build private font configurations from; scripts/setup installs both.
inline const QStringList kDejaVuSansFiles{
    QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf"),
    QStringLiteral("/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf")};
inline const QStringList kCarlitoFiles{
    QStringLiteral("/usr/share/fonts/truetype/crosextra/Carlito-Regular.ttf"),
    QStringLiteral("/usr/share/fonts/truetype/crosextra/Carlito-Bold.ttf")};

struct ToolRun {
    bool ok = false; // ended normally with status 0
    QByteArray out;
    QByteArray err;
    QString what() const { return QString::fromLocal8Bit(out + "\n" + err); }
};

inline ToolRun runTool(const QString& tool, const QStringList& args,
                       const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
                       int timeoutMs = 300000) {
    ToolRun run;
    const QString program = QStandardPaths::findExecutable(tool);
    if (program.isEmpty()) {
        run.err = tool.toLocal8Bit() + " is missing: run scripts/setup";
        return run;
    }
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        run.err = tool.toLocal8Bit() + " did not finish";
        return run;
    }
    run.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

} // namespace korvex::test
