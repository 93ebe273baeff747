// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The arrow keys and Esc: a legal move is played through the game's move sequence, the one the
// auto-player plays through too.
#include "app/frmmain.h"
#include "virtualkeys.h"

using namespace korvex;

void frmMain::Form_KeyDown(int KeyCode, int /*Shift*/) {
    if (KeyCode == VkEscape) {
        close(); // unloading ends the program
        return;
    }
    int direction = -1;
    switch (KeyCode) {
    case VkUp:
        direction = Up;
        break;
    case VkRight:
        direction = Right;
        break;
    case VkDown:
        direction = Down;
        break;
    case VkLeft:
        direction = Left;
        break;
    default:
        break;
    }
    if (GameOver == 1) {
        if (direction >= 0) {
            SpeakMove(false);
        }
        return;
    }
    const bool moved = direction >= 0 && MoveIsLegal(direction);
    if (moved) {
        PlayMove(direction);
    }
    DrawBoard();
    if (direction >= 0) {
        SpeakMove(moved);
    }
}
