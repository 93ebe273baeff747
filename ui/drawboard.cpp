// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Bringing the labels into line with the game state, and booking the last move's points.
#include "app/frmmain.h"

#include <QRgb>

#include <array>

namespace {

// The colours of the board, keyed by the exact cell value.
struct CellColors {
    QRgb back; // background of the cell
    QRgb fore; // colour of its number; unused for an empty cell
};

struct ColorRow {
    std::int32_t value;
    CellColors colors;
};

constexpr QRgb kDarkText = qRgb(115, 109, 99);
constexpr QRgb kLightText = qRgb(255, 247, 247);

constexpr std::array<ColorRow, 13> kColorTable{{
    {0, {qRgb(206, 195, 181), 0}},
    {2, {qRgb(239, 231, 222), kDarkText}},
    {4, {qRgb(239, 227, 206), kDarkText}},
    {8, {qRgb(247, 178, 123), kLightText}},
    {16, {qRgb(247, 150, 99), kLightText}},
    {32, {qRgb(247, 125, 90), kLightText}},
    {64, {qRgb(247, 93, 57), kLightText}},
    {128, {qRgb(239, 207, 115), kLightText}},
    {256, {qRgb(239, 207, 99), kLightText}},
    {512, {qRgb(239, 203, 82), kLightText}},
    {1024, {qRgb(239, 199, 57), kLightText}},
    {2048, {qRgb(239, 195, 41), qRgb(247, 243, 222)}},
    {4096, {qRgb(255, 60, 57), qRgb(247, 247, 247)}},
}};

// Every value without a row of its own: 8192, 16384 and beyond.
constexpr CellColors kOtherValue{qRgb(255, 32, 33), qRgb(247, 243, 239)};

CellColors cellColors(std::int32_t value) {
    for (const ColorRow& row : kColorTable) {
        if (row.value == value) {
            return row.colors;
        }
    }
    return kOtherValue;
}

} // namespace

void frmMain::DrawBoard() {
    for (int k = 0; k < korvex::kCells; ++k) {
        const std::int32_t v = Board[k];
        const QString text = v != 0 ? QString::number(v) : QString();
        if (lblNum[k]->Caption() != text) {
            lblNum[k]->SetCaption(text);
        }
        const CellColors colors = cellColors(v);
        if (lblFon[k]->BackColor() != colors.back) {
            lblFon[k]->SetBackColor(colors.back);
        }
        if (v != 0 && lblNum[k]->ForeColor() != colors.fore) {
            lblNum[k]->SetForeColor(colors.fore);
        }
    }
    const std::int32_t gain = MoveGain;
    Game::DrawBoard(); // the points booked
    QString line = QStringLiteral("Счёт: ") + QString::number(Score);
    if (gain != 0) {
        line += QStringLiteral(" +") + QString::number(gain);
    }
    lblScore->SetCaption(line);
}
