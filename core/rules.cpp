// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "rules.h"

namespace korvex {

namespace {

constexpr LineTable makeLines(int direction) {
    LineTable lines{};
    for (int line = 0; line < kSide; ++line) {
        for (int pos = 0; pos < kSide; ++pos) {
            int row = 0;
            int column = 0;
            switch (direction) {
            case Up: // lines are columns, position 1 is row 1
                column = line + 1;
                row = pos + 1;
                break;
            case Right: // lines are rows, position 1 is column 4
                row = line + 1;
                column = kSide - pos;
                break;
            case Down: // lines are columns, position 1 is row 4
                column = line + 1;
                row = kSide - pos;
                break;
            default: // Left: lines are rows, position 1 is column 1
                row = line + 1;
                column = pos + 1;
                break;
            }
            lines[line][pos] = cellIndex(row, column);
        }
    }
    return lines;
}

constexpr std::array<LineTable, kDirections> kLines = {makeLines(Up), makeLines(Right),
                                                       makeLines(Down), makeLines(Left)};

} // namespace

const LineTable& linesOf(int direction) {
    return kLines[direction & 3];
}

std::int32_t canSlide(const Cells& cells, int direction) {
    for (const auto& line : linesOf(direction)) {
        for (int pos = 0; pos + 1 < kSide; ++pos) {
            if (cells[line[pos]] == 0 && cells[line[pos + 1]] != 0) {
                return 1;
            }
        }
    }
    return 0;
}

void slide(Cells& cells, int direction) {
    // Packing each line in one sweep gives the same result as repeated pair passes.
    for (const auto& line : linesOf(direction)) {
        int write = 0;
        for (int read = 0; read < kSide; ++read) {
            const std::int32_t v = cells[line[read]];
            if (v != 0) {
                if (read != write) {
                    cells[line[write]] = v;
                    cells[line[read]] = 0;
                }
                ++write;
            }
        }
    }
}

std::int32_t merge(Cells& cells, int direction) {
    std::int32_t points = 0;
    for (const auto& line : linesOf(direction)) {
        for (int pos = 0; pos + 1 < kSide; ++pos) {
            std::int32_t& front = cells[line[pos]];
            std::int32_t& back = cells[line[pos + 1]];
            if (front == back && front != 0) {
                front = 2 * front;
                points += front;
                back = 0;
            }
        }
    }
    return points;
}

std::int32_t preview(const Cells& cells, int direction) {
    Cells copy = cells;
    slide(copy, direction);
    return merge(copy, direction);
}

namespace {

int countEmpty(const Cells& cells) {
    int n = 0;
    for (const std::int32_t v : cells) {
        n += v == 0 ? 1 : 0;
    }
    return n;
}

} // namespace

int spawnTarget(const Cells& cells, float r) {
    const int n = countEmpty(cells);
    if (n == 0) {
        return -1;
    }
    int k = static_cast<int>(r * static_cast<float>(n)) + 1;
    // r < 1 keeps k within 1..n; the clamp only guards against a caller's out-of-range r.
    k = k < 1 ? 1 : (k > n ? n : k);
    for (int i = 0; i < kCells; ++i) {
        if (cells[i] == 0 && --k == 0) {
            return i;
        }
    }
    return -1;
}

std::int32_t randomTileValue(float r) {
    return static_cast<int>(r * 10.0f) == 9 ? 4 : 2;
}

Spawned spawnTile(Cells& cells, RandomSource& random, TileRule rule) {
    Spawned spawned;
    if (countEmpty(cells) == 0) {
        return spawned;
    }
    spawned.index = spawnTarget(cells, random.next()); // the position is always drawn first
    switch (rule) {
    case TileRule::Only2:
        spawned.value = 2;
        break;
    case TileRule::Only4:
        spawned.value = 4;
        break;
    default:
        spawned.value = randomTileValue(random.next());
        break;
    }
    cells[spawned.index] = spawned.value;
    return spawned;
}

} // namespace korvex
