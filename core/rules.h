// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules of the board, free of any window: sliding, merging, previewing and choosing
// where a new tile goes, each written once over a direction's lines. Game's named operations
// and its spawn call into these; Game (game.h) puts them together into moves.
#pragma once

#include "random.h"

#include <array>
#include <cstdint>

namespace korvex {

constexpr int kSide = 4;
constexpr int kCells = kSide * kSide;

// Cell values in storage order: index (row - 1) * 4 + (column - 1), 0 = empty.
using Cells = std::array<std::int32_t, kCells>;

// Direction codes, clockwise from up.
enum Direction : int { Up = 0, Right = 1, Down = 2, Left = 3 };
constexpr int kDirections = 4;

constexpr int cellIndex(int row, int column) {
    return (row - 1) * kSide + (column - 1);
}

// For each direction, its four lines, each listed from position 1 (the destination edge)
// to position 4. Every rule below walks these lines, so one table serves all directions.
using LineTable = std::array<std::array<int, kSide>, kSide>;
const LineTable& linesOf(int direction);

// 1 when some tile has an empty cell in front of it in this direction, else 0.
// Equal neighbours do not count.
std::int32_t canSlide(const Cells& cells, int direction);

// Packs every line toward position 1, keeping the tiles' order.
void slide(Cells& cells, int direction);

// One pass from the destination edge: an equal pair doubles into the front cell and empties
// the back one. Returns the points (the sum of the doubled values).
std::int32_t merge(Cells& cells, int direction);

// The points a move in this direction would score; the cells are not changed.
std::int32_t preview(const Cells& cells, int direction);

// The storage index of the k-th empty cell with k = floor(r * n) + 1, or -1 on a full board.
// r must lie in [0, 1).
int spawnTarget(const Cells& cells, float r);

// The value of a new tile when no option forces it: 4 when floor(r * 10) = 9, else 2.
std::int32_t randomTileValue(float r);

// How a new tile's value is chosen: forced by one of the two options, or left to chance.
enum class TileRule : int { Random, Only2, Only4 };

struct Spawned {
    int index = -1;         // storage index of the new tile; -1 when the board was full
    std::int32_t value = 0; // 0 when nothing was placed
};

// Places one new tile: one draw picks the empty cell, and under TileRule::Random a second
// draw picks its value. A full board is left alone and nothing is drawn. Game::SpawnTile
// spawns through this.
Spawned spawnTile(Cells& cells, RandomSource& random, TileRule rule);

} // namespace korvex
