// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Keeps a second copy of the game from running: an exclusive lock on a file in a directory
// private to the user. The kernel drops the lock when the process ends in any way, a hard
// kill included, and taking it is atomic, so copies started at the same instant cannot both win.
#pragma once

#include <string>

namespace korvex {

class SingleInstance {
public:
    SingleInstance() = default;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;
    ~SingleInstance();

    enum class Result { Acquired, HeldElsewhere };

    // Takes the lock, or reports that another copy holds it. Where no private directory can
    // be had at all, the game still runs, unguarded, rather than not at all.
    Result acquire();
    void release();

    // The lock file used by the last acquire(), empty when none could be had.
    const std::string& path() const { return LockPath; }

private:
    int Fd = -1;
    std::string LockPath;
};

// The directory for the lock: $XDG_RUNTIME_DIR when it is an absolute path to a directory
// owned by this user and closed to others, else a 0700 directory of this user's that it
// creates in the temporary directory (or, if another user took that name, in the user's cache
// directory). Empty when none can be had. Says on standard error when it falls back.
std::string privateLockDirectory();

} // namespace korvex
