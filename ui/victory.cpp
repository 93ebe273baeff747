// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The victory preview: a showcase of every tile from 2 to 16384, ready to play on from.
#include "app/frmmain.h"

namespace {

// Read along a snake from the top-left, the tiles double from 2 to 16384.
constexpr korvex::Cells kShowcase{
    0,     2,    4,    4,    //
    64,    32,   16,   8,    //
    128,   256,  512,  1024, //
    16384, 8192, 4096, 2048, //
};

} // namespace

void frmMain::mnuWin_Click() {
    mnuNewGame_Click();
    ClearSpawnMarks();
    lblFon[1]->SetBorderStyle(1);
    Board = kShowcase;
    DrawBoard();
    SpeakBoard(QStringLiteral("Подсмотреть победу"));
}
