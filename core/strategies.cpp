// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "strategies.h"

namespace korvex {

bool Evaluation::allZero() const {
    for (int d = 0; d < kDirections; ++d) {
        if (canSlide[d] != 0 || preview[d] != 0) {
            return false;
        }
    }
    return true;
}

namespace {

// Clockwise round: each call starts with the direction after the one last played.
constexpr StrategyTable kAllDirections{4,
                                       {{{Up, Right, Down, Left},
                                         {Right, Down, Left, Up},
                                         {Down, Left, Up, Right},
                                         {Left, Up, Right, Down}}},
                                       {1, 2, 3, 0}};

// Right, down, left in turn; up only when none of them can move.
constexpr StrategyTable kThreeDirections{3,
                                         {{{Right, Down, Left, Up},
                                           {Down, Left, Right, Up},
                                           {Left, Right, Down, Up},
                                           {Right, Down, Left, Up}}},
                                         {0, 1, 2, 0}};

// Down and left alternate toward the bottom-left corner; right, then up, when both are blocked.
constexpr StrategyTable kCorner{2,
                                {{{Down, Left, Right, Up},
                                  {Left, Down, Right, Up},
                                  {Down, Left, Right, Up},
                                  {Down, Left, Right, Up}}},
                                {0, 1, 1, 0}};

} // namespace

const StrategyTable& tableOf(Strategy strategy) {
    switch (strategy) {
    case Strategy::AllDirections:
        return kAllDirections;
    case Strategy::ThreeDirections:
        return kThreeDirections;
    default:
        return kCorner;
    }
}

std::int32_t seedAutoDir(Strategy strategy, float r) {
    return static_cast<std::int32_t>(r * static_cast<float>(tableOf(strategy).cycleLength));
}

int chooseDirection(Strategy strategy, std::int32_t& autoDir, const Evaluation& evaluation) {
    const StrategyTable& table = tableOf(strategy);
    // AutoDir is always seeded and stored within the cycle; reduce it anyway so a stray
    // value can never index past the table.
    const int entry =
        static_cast<int>(((autoDir % table.cycleLength) + table.cycleLength) % table.cycleLength);
    for (const int direction : table.order[entry]) {
        if (evaluation.legal(direction)) {
            autoDir = table.autoDirAfter[direction];
            return direction;
        }
    }
    return -1;
}

} // namespace korvex
