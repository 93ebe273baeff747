// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The life of the program and of a game: start-up, a new game, leaving.
#include "app/frmmain.h"

#include <QAction>
#include <QCoreApplication>

void frmMain::Form_Load() {
    if (InstanceLock.acquire() == korvex::SingleInstance::Result::HeldElsewhere) {
        IsUnloaded = true; // another copy is running: end before showing anything
        return;
    }
    Rnd.seed(korvex::RandomSource::secondsSinceMidnight());
    mnuNewGame_Click();
}

void frmMain::mnuNewGame_Click() {
    NewGame();
    SpeakBoard(QStringLiteral("Новая игра"));
}

void frmMain::UncheckAutoMenus() {
    for (QAction* item : {mnuAuto1, mnuAuto2, mnuAuto3}) {
        if (item->isChecked()) {
            item->setChecked(false);
        }
    }
}

void frmMain::Form_Unload() {
    // Ends at once: no tick may follow, and the event loop returns to main.
    tmrAuto.stop();
    IsUnloaded = true;
    InstanceLock.release();
    QCoreApplication::quit();
}
