// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The colours of the board, keyed by the exact cell value.
#pragma once

#include <QRgb>

#include <cstdint>

namespace korvex {

struct CellColors {
    QRgb back; // background of the cell
    QRgb fore; // colour of its number; unused for an empty cell
};

CellColors cellColors(std::int32_t value);

} // namespace korvex
