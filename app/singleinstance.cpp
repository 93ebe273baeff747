// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "singleinstance.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace korvex {

namespace {

constexpr const char* kLockName = "korvex.lock";

// A directory we may trust with the lock: really a directory (not a link to one), ours, and
// not writable by anyone else, so no other user can pre-empt or steal the lock.
bool isPrivateDirectory(const std::string& dir) {
    struct stat st {};
    if (dir.empty() || lstat(dir.c_str(), &st) != 0) {
        return false;
    }
    return S_ISDIR(st.st_mode) && st.st_uid == geteuid() && (st.st_mode & 0022) == 0 &&
           access(dir.c_str(), W_OK | X_OK) == 0;
}

bool makeDirectory(const std::string& dir) {
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// Makes dir with mode 0700 unless it exists, then trusts it only if it is private to us.
std::string ensurePrivate(const std::string& dir) {
    return makeDirectory(dir) && isPrivateDirectory(dir) ? dir : std::string{};
}

// First the shared temporary directory, named for the user; if someone else got that name
// first, the user's own cache directory.
std::string fallbackDirectory() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string base = (tmp != nullptr && *tmp == '/') ? tmp : "/tmp";
    std::string dir = ensurePrivate(base + "/korvex-" + std::to_string(geteuid()));
    if (dir.empty()) {
        const char* home = std::getenv("HOME");
        if (home != nullptr && *home == '/' && makeDirectory(std::string(home) + "/.cache")) {
            dir = ensurePrivate(std::string(home) + "/.cache/korvex");
        }
    }
    return dir;
}

} // namespace

std::string privateLockDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    // A relative path would move the lock with the working directory, letting two copies
    // started from different places both run; such a value counts as unusable.
    if (runtime != nullptr && *runtime == '/' && isPrivateDirectory(runtime)) {
        return runtime;
    }
    std::string dir = fallbackDirectory();
    if (!dir.empty()) {
        std::fprintf(stderr,
                     "korvex: XDG_RUNTIME_DIR is unset or unusable; keeping the lock in %s\n",
                     dir.c_str());
    } else {
        std::fprintf(stderr, "korvex: no private directory for the single-instance lock\n");
    }
    return dir;
}

SingleInstance::~SingleInstance() {
    release();
}

SingleInstance::Result SingleInstance::acquire() {
    release();
    const std::string dir = privateLockDirectory();
    if (dir.empty()) {
        return Result::Acquired;
    }
    LockPath = dir + "/" + kLockName;
    Fd = ::open(LockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (Fd < 0) {
        LockPath.clear();
        return Result::Acquired;
    }
    if (::flock(Fd, LOCK_EX | LOCK_NB) != 0) {
        const bool held = errno == EWOULDBLOCK;
        ::close(Fd);
        Fd = -1;
        if (held) {
            return Result::HeldElsewhere;
        }
        LockPath.clear();
    }
    return Result::Acquired;
}

void SingleInstance::release() {
    if (Fd >= 0) {
        ::close(Fd);
        Fd = -1;
    }
}

} // namespace korvex
