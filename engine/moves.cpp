// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window's moves: the sixteen named rule operations, the move sequence shared by the
// arrow keys and the auto-player, and the key handler.
#include "app/frmmain.h"
#include "virtualkeys.h"

using namespace korvex;

std::int32_t frmMain::CanSlideUp() const {
    return canSlide(Board, Up);
}
std::int32_t frmMain::CanSlideRight() const {
    return canSlide(Board, Right);
}
std::int32_t frmMain::CanSlideDown() const {
    return canSlide(Board, Down);
}
std::int32_t frmMain::CanSlideLeft() const {
    return canSlide(Board, Left);
}

void frmMain::SlideUp() {
    slide(Board, Up);
}
void frmMain::SlideRight() {
    slide(Board, Right);
}
void frmMain::SlideDown() {
    slide(Board, Down);
}
void frmMain::SlideLeft() {
    slide(Board, Left);
}

void frmMain::MergeUp() {
    MoveGain += merge(Board, Up);
}
void frmMain::MergeRight() {
    MoveGain += merge(Board, Right);
}
void frmMain::MergeDown() {
    MoveGain += merge(Board, Down);
}
void frmMain::MergeLeft() {
    MoveGain += merge(Board, Left);
}

std::int32_t frmMain::PreviewUp() const {
    return preview(Board, Up);
}
std::int32_t frmMain::PreviewRight() const {
    return preview(Board, Right);
}
std::int32_t frmMain::PreviewDown() const {
    return preview(Board, Down);
}
std::int32_t frmMain::PreviewLeft() const {
    return preview(Board, Left);
}

bool frmMain::MoveIsLegal(int direction) const {
    return isLegal(Board, direction);
}

void frmMain::PlayMove(int direction) {
    MoveGain += applyMove(Board, direction);
    ClearSpawnMarks();
    SpawnTile();
}

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
