// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helpers for tests that drive the window: starting it reproducibly, putting a position on
// the board, and reading the spawn marks.
#pragma once

#include "app/frmmain.h"

#include <QList>
#include <QMetaType>

#include <cstdint>

Q_DECLARE_METATYPE(korvex::Cells)

namespace korvex::test {

// Sixteen pairwise different tiles: a full board on which nothing is legal.
constexpr Cells kDistinct{
    2,    4,     8,     16,    //
    32,   64,    128,   256,   //
    512,  1024,  2048,  4096,  //
    8192, 16384, 32768, 65536, //
};

// Starts the window as the program does, then makes its chance reproducible.
inline bool start(frmMain& w, quint32 seed = 1) {
    w.Form_Load();
    if (w.Unloaded()) {
        return false;
    }
    w.Rnd.seedRaw(seed);
    w.mnuNewGame_Click();
    return true;
}

// Puts a position on the board with no spawn mark and no pending points, as it would be
// shown between two events.
inline void setBoard(frmMain& w, const Cells& cells, std::int32_t score = 0) {
    w.Board = cells;
    w.ClearSpawnMarks();
    w.MoveGain = 0;
    w.Score = score;
    w.DrawBoard();
}

// The storage indices of the cells that carry the spawn mark.
inline QList<int> marks(const frmMain& w) {
    QList<int> marked;
    for (int i = 0; i < kCells; ++i) {
        if (w.lblFon[i]->BorderStyle() == 1) {
            marked << i;
        }
    }
    return marked;
}

} // namespace korvex::test
