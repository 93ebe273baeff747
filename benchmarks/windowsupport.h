// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Setting up the real window for a benchmark: offscreen, with a lock directory of its own so
// a running game is never disturbed, shown and exposed before anything is timed.
#pragma once

#include "app/frmmain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QWindow>

#include <cstdlib>
#include <ctime>

namespace korvex::bench {

// Call before the QApplication is made.
inline void prepareQtEnvironment() {
    static QTemporaryDir runtime; // 0700, removed at exit
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
}

// Shows the window and lets it paint its first frame.
inline void showAndSettle(frmMain& window) {
    window.show();
    QElapsedTimer waited;
    waited.start();
    while (waited.elapsed() < 2000 &&
           (window.windowHandle() == nullptr || !window.windowHandle()->isExposed())) {
        QApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    for (int i = 0; i < 5; ++i) {
        QApplication::processEvents();
    }
}

inline double cpuSeconds() {
    timespec ts{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The sum of property writes the 32 cell labels have taken.
inline quint64 cellWrites(const frmMain& window) {
    quint64 sum = 0;
    for (int k = 0; k < korvex::kCells; ++k) {
        sum += window.lblNum[k]->Writes() + window.lblFon[k]->Writes();
    }
    return sum;
}

} // namespace korvex::bench
