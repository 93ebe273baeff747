// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The auto-player's choice of direction, free of any window. Each strategy is data: the
// order in which it tries the directions for each place in its cycle, and its place in the
// cycle after each direction played. One walk over that data serves all three.
#pragma once

#include "rules.h"

#include <array>
#include <cstdint>

namespace korvex {

enum class Strategy : int { AllDirections = 1, ThreeDirections = 2, Corner = 3 };

// The eight values a strategy decides on, asked once at the start of its call
// (Game::Evaluate).
struct Evaluation {
    std::array<std::int32_t, kDirections> canSlide{};
    std::array<std::int32_t, kDirections> preview{};

    bool legal(int direction) const { return canSlide[direction] == 1 || preview[direction] != 0; }
    bool allZero() const;
};

struct StrategyTable {
    int cycleLength; // AutoDir runs over 0 .. cycleLength - 1
    std::array<std::array<int, kDirections>, 4>
        order;                                 // by AutoDir on entry; rows past the cycle unused
    std::array<int, kDirections> autoDirAfter; // by direction played
};

const StrategyTable& tableOf(Strategy strategy);

// Where a strategy starts in its cycle when it is switched on: the integer part of r times
// the cycle length, for one draw r in [0, 1).
std::int32_t seedAutoDir(Strategy strategy, float r);

// Picks the first legal direction in the strategy's order for autoDir, moves autoDir on as
// the strategy does after that direction, and returns it; returns -1 and leaves autoDir alone
// when nothing is legal.
int chooseDirection(Strategy strategy, std::int32_t& autoDir, const Evaluation& evaluation);

} // namespace korvex
