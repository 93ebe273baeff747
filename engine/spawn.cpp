// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's part of spawning: the marks of new tiles, and the two options that force a new
// tile's value.
#include "app/frmmain.h"

#include <QAction>

using namespace korvex;

TileRule frmMain::SpawnRule() const {
    if (mnuOnly2->isChecked()) {
        return TileRule::Only2;
    }
    return mnuOnly4->isChecked() ? TileRule::Only4 : TileRule::Random;
}

void frmMain::MarkSpawn(int index) {
    lblFon[index]->SetBorderStyle(1);
}

void frmMain::ClearSpawnMarks() {
    for (Label* fon : lblFon) {
        if (fon->BorderStyle() == 1) {
            fon->SetBorderStyle(0);
        }
    }
}

void frmMain::mnuOnly2_Click() {
    if (mnuOnly4->isChecked()) {
        mnuOnly4->setChecked(false);
    }
    mnuOnly2->setChecked(!mnuOnly2->isChecked());
}

void frmMain::mnuOnly4_Click() {
    if (mnuOnly2->isChecked()) {
        mnuOnly2->setChecked(false);
    }
    mnuOnly4->setChecked(!mnuOnly4->isChecked());
}
