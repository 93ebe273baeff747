// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game's icon, drawn in code so every size is sharp: four tiles on the board's grey.
#pragma once

#include <QIcon>
#include <QImage>

namespace korvex {

// The icon at size x size pixels, laid out on whole pixels for that size.
QImage renderIcon(int size);

// The window's icon: the images of 16, 24, 32, 48 and 64 pixels.
QIcon windowIcon();

} // namespace korvex
