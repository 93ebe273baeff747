// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Shared set-up for the window tests: a private runtime directory per test process, so runs
// in parallel never meet each other's single-instance lock.
#pragma once

#include <QByteArray>
#include <QTemporaryDir>

#include <cstdlib>

namespace korvex::test {

// Call before the first window is made; the directory lives for the whole test process.
inline void usePrivateRuntimeDir() {
    static QTemporaryDir dir; // created with mode 0700
    qputenv("XDG_RUNTIME_DIR", dir.path().toLocal8Bit());
}

} // namespace korvex::test
