// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The virtual-key codes the game's key handler reads: the window translates the platform's
// keys into these, and the handler knows nothing of the platform.
#pragma once

namespace korvex {

enum VirtualKey : int {
    VkNone = 0,
    VkEscape = 27,
    VkLeft = 37,
    VkUp = 38,
    VkRight = 39,
    VkDown = 40,
};

} // namespace korvex
