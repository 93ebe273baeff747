// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Placing new tiles, the spawn marks, and the two options that force a new tile's value.
#include "app/frmmain.h"

#include <QAction>

using namespace korvex;

void frmMain::SpawnTile() {
    TileRule rule = TileRule::Random;
    if (mnuOnly2->isChecked()) {
        rule = TileRule::Only2;
    } else if (mnuOnly4->isChecked()) {
        rule = TileRule::Only4;
    }
    const Spawned spawned = spawnTile(Board, Rnd, rule);
    if (spawned.index < 0) {
        GameOver = 1; // nothing drawn from the random source, nothing marked
        return;
    }
    lblFon[spawned.index]->SetBorderStyle(1);
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
