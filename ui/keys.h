// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Translation of Qt's key codes into the virtual-key codes the game's key handler reads.
#pragma once

#include "virtualkeys.h"

namespace korvex {

// Qt's codes for printable keys are their characters, so '%', '&', '\'' and '(' carry the
// same numbers as the arrows' virtual keys. Only the keys listed here translate; every other
// key arrives as a code that none of the game's five keys can be mistaken for.
int virtualKey(int qtKey);

// The shift state in the usual bits: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(int qtModifiers);

} // namespace korvex
