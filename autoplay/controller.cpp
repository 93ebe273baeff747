// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The auto-player in the window: the timer that ticks the game, and the mode and speed commands
// of the "Настройки" menu.
#include "app/frmmain.h"

#include <QAction>

using namespace korvex;

void frmMain::tmrAuto_Timer() {
    Tick();
    SpeakTick();
}

void frmMain::AutoStopped() {
    UncheckAutoMenus();
    if (tmrAuto.isActive()) {
        tmrAuto.stop();
    }
}

void frmMain::SwitchAutoMode(std::int32_t mode, QAction* item) {
    if (GameOver == 1) {
        mnuNewGame_Click();
    }
    UncheckAutoMenus();
    if (AutoMode == mode) {
        AutoMode = 0;
        tmrAuto.stop();
        return;
    }
    StartAuto(static_cast<Strategy>(mode));
    item->setChecked(true);
    // Switching between modes keeps the running timer's rhythm.
    if (!tmrAuto.isActive()) {
        tmrAuto.start();
    }
}

void frmMain::mnuAuto1_Click() {
    SwitchAutoMode(1, mnuAuto1);
}
void frmMain::mnuAuto2_Click() {
    SwitchAutoMode(2, mnuAuto2);
}
void frmMain::mnuAuto3_Click() {
    SwitchAutoMode(3, mnuAuto3);
}

void frmMain::ChooseSpeed(int interval, QAction* item) {
    if (tmrAuto.interval() == interval) {
        return;
    }
    UncheckSpeedMenus();
    tmrAuto.setInterval(interval);
    item->setChecked(true);
}

void frmMain::mnuSpeed10_Click() {
    ChooseSpeed(10, mnuSpeed10);
}
void frmMain::mnuSpeed200_Click() {
    ChooseSpeed(200, mnuSpeed200);
}
void frmMain::mnuSpeed700_Click() {
    ChooseSpeed(700, mnuSpeed700);
}
void frmMain::mnuSpeed2000_Click() {
    ChooseSpeed(2000, mnuSpeed2000);
}

void frmMain::UncheckSpeedMenus() {
    for (QAction* item : {mnuSpeed10, mnuSpeed200, mnuSpeed700, mnuSpeed2000}) {
        if (item->isChecked()) {
            item->setChecked(false);
        }
    }
}
