// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Setting up the real window for a benchmark: offscreen, with a lock directory of its own so
// a running game is never disturbed, shown and exposed before anything is timed.
#pragma once

#include "../tests/testsupport.h"
#include "app/frmmain.h"
#include "clock.h"
#include "strategies.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QWindow>

namespace korvex::bench {

// The application and its window, loaded, on the offscreen platform unless another is asked
// for, with the lock directory of this process's own.
class WindowBench {
    korvex::test::PrivateRuntimeDir Runtime;
    struct Prepared {
        Prepared() {
            if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
                qputenv("QT_QPA_PLATFORM", "offscreen");
            }
        }
    } Prepare; // before the application is made
    QApplication App;

public:
    frmMain Window;
    WindowBench(int& argc, char** argv) : App(argc, argv) { Window.Form_Load(); }
};

// The three strategies' menu items, each with the digit that names it on a command line.
struct StrategyItem {
    char key;
    Strategy strategy;
    void (frmMain::*click)();
};
inline constexpr StrategyItem kStrategyItems[] = {
    {'1', Strategy::AllDirections, &frmMain::mnuAuto1_Click},
    {'2', Strategy::ThreeDirections, &frmMain::mnuAuto2_Click},
    {'3', Strategy::Corner, &frmMain::mnuAuto3_Click}};

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

// The sum of property writes the 32 cell labels have taken.
inline quint64 cellWrites(const frmMain& window) {
    quint64 sum = 0;
    for (int k = 0; k < korvex::kCells; ++k) {
        sum += window.lblNum[k]->Writes() + window.lblFon[k]->Writes();
    }
    return sum;
}

} // namespace korvex::bench
