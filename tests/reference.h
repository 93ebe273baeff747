// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The tests' own account of the game, from its rules and not the program: moves, the strategies'
// orders, colours, the score line, spawning and test boards. Nothing here calls the program, so a
// fault in it cannot also be a fault in what it is held to.
#pragma once

#include <QMetaType>
#include <QString>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <iterator>
#include <utility>
#include <vector>

namespace korvex::test {

// Cells in storage order, index (row - 1) * 4 + (column - 1), 0 = empty; the same type as the
// program's board. A line is written from position 1 (the destination edge) to position 4.
using Cells = std::array<std::int32_t, 16>;
using Line = std::array<std::int32_t, 4>;

// Direction codes, clockwise from up.
constexpr int U = 0, R = 1, D = 2, L = 3;
inline const char* const kDirectionNames[] = {"up", "right", "down", "left"};

constexpr int at(int row, int column) {
    return (row - 1) * 4 + (column - 1);
}

// Storage index of position p (0 = destination edge) of line l (0 = top row or left column).
constexpr int cellOf(int direction, int line, int position) {
    const int fromStart = direction == U || direction == L ? position : 3 - position;
    return direction == U || direction == D ? at(fromStart + 1, line + 1)
                                            : at(line + 1, fromStart + 1);
}

inline Line lineOf(const Cells& cells, int direction, int line) {
    Line out{};
    for (int p = 0; p < 4; ++p) {
        out[p] = cells[cellOf(direction, line, p)];
    }
    return out;
}

inline void putLine(Cells& cells, int direction, int line, const Line& values) {
    for (int p = 0; p < 4; ++p) {
        cells[cellOf(direction, line, p)] = values[p];
    }
}

// The tiles of a line in order, packed toward position 1.
inline Line packed(const Line& line) {
    Line out{};
    std::copy_if(line.begin(), line.end(), out.begin(), [](std::int32_t v) { return v != 0; });
    return out;
}

struct Moved {
    Cells cells{};
    std::int32_t points = 0;
    bool changed = false; // a move is legal exactly when it changes the board
};

// Packs each line toward the edge, then joins equal neighbours once, nearest the edge first.
inline Moved move(const Cells& before, int direction) {
    Moved out{before, 0, false};
    for (int l = 0; l < 4; ++l) {
        const Line tiles = packed(lineOf(before, direction, l));
        Line joined{};
        int n = 0;
        for (int i = 0; i < 4 && tiles[i] != 0; ++i) {
            if (i + 1 < 4 && tiles[i] == tiles[i + 1]) {
                joined[n++] = 2 * tiles[i];
                out.points += 2 * tiles[i];
                ++i;
            } else {
                joined[n++] = tiles[i];
            }
        }
        putLine(out.cells, direction, l, joined);
    }
    out.changed = out.cells != before;
    return out;
}

// 1 when some line would pack differently, i.e. some tile has room in front of it.
inline std::int32_t canSlide(const Cells& cells, int direction) {
    for (int l = 0; l < 4; ++l) {
        if (packed(lineOf(cells, direction, l)) != lineOf(cells, direction, l)) {
            return 1;
        }
    }
    return 0;
}

// Bit d set when direction d is legal.
inline int legalMask(const Cells& cells) {
    int mask = 0;
    for (int d = 0; d < 4; ++d) {
        mask |= move(cells, d).changed ? 1 << d : 0;
    }
    return mask;
}

inline int emptyCells(const Cells& cells) {
    return static_cast<int>(std::count(cells.begin(), cells.end(), 0));
}

// The merge rule's worked lines, each slid once: after the merge pass, the second slide, points.
struct WorkedLine {
    const char* name;
    Line before, afterMerge, after;
    int points;
};
inline constexpr WorkedLine kWorkedLines[] = {
    {"2 2 2 2", {2, 2, 2, 2}, {4, 0, 4, 0}, {4, 4, 0, 0}, 8},
    {"2 2 2 0", {2, 2, 2, 0}, {4, 0, 2, 0}, {4, 2, 0, 0}, 4},
    {"4 4 8 0", {4, 4, 8, 0}, {8, 0, 8, 0}, {8, 8, 0, 0}, 8},
    {"8 4 4 0", {8, 4, 4, 0}, {8, 8, 0, 0}, {8, 8, 0, 0}, 8},
    {"2 2 4 4", {2, 2, 4, 4}, {4, 0, 8, 0}, {4, 8, 0, 0}, 12},
    {"2 4 2 4", {2, 4, 2, 4}, {2, 4, 2, 4}, {2, 4, 2, 4}, 0},
};

// A chain step: a guarded one runs only when AutoDir equals its guard and stores its value before
// trying its direction; a fallback (guard -1) stores its value only when it plays.
struct ChainStep {
    int guard;
    int next;
    int direction;
};

struct StrategyRules {
    const char* name;
    int mode;                                // AutoMode
    int cycle;                               // AutoDir runs over 0 .. cycle - 1
    std::array<std::array<int, 4>, 4> order; // directions tried, by AutoDir on entry
    std::array<int, 4> autoDirAfter;         // by the direction played
    std::vector<ChainStep> chain;
};

inline const StrategyRules kStrategies[] = {
    {"all directions",
     1,
     4,
     {{{U, R, D, L}, {R, D, L, U}, {D, L, U, R}, {L, U, R, D}}},
     {1, 2, 3, 0},
     {{0, 1, U}, {1, 2, R}, {2, 3, D}, {3, 0, L}, {0, 1, U}, {1, 2, R}, {2, 3, D}}},
    {"three directions",
     2,
     3,
     {{{R, D, L, U}, {D, L, R, U}, {L, R, D, U}, {}}},
     {0, 1, 2, 0},
     {{0, 1, R}, {1, 2, D}, {2, 0, L}, {0, 1, R}, {1, 2, D}, {-1, 0, U}}},
    {"corner",
     3,
     2,
     {{{D, L, R, U}, {L, D, R, U}, {}, {}}},
     {0, 1, 1, 0},
     {{0, 1, D}, {1, 0, L}, {0, 1, D}, {-1, 1, R}, {-1, 0, U}}},
};

inline const StrategyRules& strategyOf(int mode) {
    return kStrategies[mode - 1];
}

// A data table's columns, a type for each name: addColumns<int, bool>("mode", "over").
template <typename... Types, typename... Names> void addColumns(Names... names) {
    (QTest::addColumn<Types>(names), ...);
}

// Data rows "strategy, AutoDir n", columns mode and entry: every place of every cycle.
inline void addStrategyEntryRows() {
    addColumns<int, int>("mode", "entry");
    for (const StrategyRules& s : kStrategies) {
        for (int entry = 0; entry < s.cycle; ++entry) {
            QTest::addRow("%s, AutoDir %d", s.name, entry) << s.mode << entry;
        }
    }
}

// The direction played when those in `legal` (bit d for d) are legal, by the order table; or -1.
inline int firstLegal(const StrategyRules& s, int autoDir, int legal) {
    const auto& order = s.order[autoDir];
    const auto* found =
        std::find_if(order.begin(), order.end(), [legal](int d) { return legal & (1 << d); });
    return found != order.end() ? *found : -1;
}

// Colours as 24-bit RGB, without the alpha byte that Qt's colours carry.
using Rgb = std::uint32_t;
constexpr Rgb rgb24(std::uint32_t colour) {
    return colour & 0xFFFFFFu;
}
constexpr Rgb rgb(int r, int g, int b) {
    return static_cast<Rgb>((r << 16) | (g << 8) | b);
}

struct Colours {
    Rgb back; // background of lblFon
    Rgb fore; // text colour of lblNum; not set for an empty cell
};

// The colour table, keyed by the exact cell value; every other value takes the last row.
inline Colours coloursOf(std::int32_t value) {
    constexpr Rgb dark = rgb(115, 109, 99);
    constexpr Rgb light = rgb(255, 247, 247);
    constexpr std::pair<std::int32_t, Colours> table[] = {
        {0, {rgb(206, 195, 181), 0}},
        {2, {rgb(239, 231, 222), dark}},
        {4, {rgb(239, 227, 206), dark}},
        {8, {rgb(247, 178, 123), light}},
        {16, {rgb(247, 150, 99), light}},
        {32, {rgb(247, 125, 90), light}},
        {64, {rgb(247, 93, 57), light}},
        {128, {rgb(239, 207, 115), light}},
        {256, {rgb(239, 207, 99), light}},
        {512, {rgb(239, 203, 82), light}},
        {1024, {rgb(239, 199, 57), light}},
        {2048, {rgb(239, 195, 41), rgb(247, 243, 222)}},
        {4096, {rgb(255, 60, 57), rgb(247, 247, 247)}},
    };
    const auto* row = std::find_if(std::begin(table), std::end(table),
                                   [value](const auto& r) { return r.first == value; });
    return row != std::end(table) ? row->second : Colours{rgb(255, 32, 33), rgb(247, 243, 239)};
}

inline QString cellText(std::int32_t value) {
    return value != 0 ? QString::number(value) : QString();
}

inline QString scoreLine(std::int32_t score, std::int32_t gain = 0) {
    return QStringLiteral("Счёт: ") + QString::number(score) +
           (gain != 0 ? QStringLiteral(" +") + QString::number(gain) : QString());
}

// The k-th empty cell in storage order for k = floor(r * n) + 1; -1 on a full board.
inline int kthEmptyCell(const Cells& cells, float r) {
    const int n = emptyCells(cells);
    int k = static_cast<int>(r * static_cast<float>(n));
    for (int i = 0; i < 16; ++i) {
        if (cells[i] == 0 && k-- == 0) {
            return i;
        }
    }
    return -1;
}

// A free-choice tile from its value draw: 4 when floor(r * 10) is 9, else 2.
inline std::int32_t tileOfDraw(float r) {
    return static_cast<int>(r * 10.0f) == 9 ? 4 : 2;
}

// A board written row by row from the top, rows parted by "/": "2 2 0 0 / 0 0 0 0 / ...".
inline Cells board(const char* rows) {
    Cells cells{};
    int k = 0;
    for (const QString& v : QString::fromLatin1(rows)
                                .remove(QLatin1Char('/'))
                                .split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        cells[k++ & 15] = v.toInt();
    }
    return cells;
}

// The same notation back, for messages.
inline QString boardText(const Cells& cells) {
    QString text;
    for (int k = 0; k < 16; ++k) {
        text +=
            QString::number(cells[k]) + (k % 4 == 3 ? QStringLiteral(" / ") : QStringLiteral(" "));
    }
    return text;
}

// Sixteen pairwise different tiles: a full board on which nothing is legal.
inline constexpr Cells kDistinct{
    2,    4,     8,     16,    //
    32,   64,    128,   256,   //
    512,  1024,  2048,  4096,  //
    8192, 16384, 32768, 65536, //
};

// The victory preview's position, with its spawn mark on cell 1.
inline constexpr Cells kShowcase{
    0,     2,    4,    4,    //
    64,    32,   16,   8,    //
    128,   256,  512,  1024, //
    16384, 8192, 4096, 2048, //
};
constexpr int kShowcaseMark = 1;

// 2, 4, 8, 16 along the bottom row: only up is legal.
inline constexpr Cells kBottomRow{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 4, 8, 16};
// Two 2s in the two leftmost cells of the top row: left is legal by its merge alone.
inline constexpr Cells kTwoTwos{2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
// A full board of distinct tiles but for row 1's only pair, 2 2: only left and right are legal.
inline const Cells kPairInRowOne =
    board("2 2 8 16 / 32 64 128 256 / 512 1024 2048 4096 / 8192 16384 32768 65536");

// A position on which exactly the directions of the mask (bit d for direction d) are legal:
// 2, 4, 8, 16 along one row or column where two opposite directions are blocked, a single 2
// elsewhere, pressed against the edges of the blocked directions; no direction, kDistinct.
inline Cells boardWithLegal(int mask) {
    struct Fixture {
        int mask, row, column; // column 0: the whole row; row 0: the whole column
    };
    constexpr int u = 1 << U, r = 1 << R, d = 1 << D, l = 1 << L;
    constexpr Fixture fixtures[] = {
        {u, 4, 0},         {d, 1, 0},         {l, 0, 4},         {r, 0, 1},         {u | d, 2, 0},
        {l | r, 0, 2},     {u | l, 4, 4},     {u | r, 4, 1},     {d | l, 1, 4},     {d | r, 1, 1},
        {u | l | r, 4, 2}, {d | l | r, 1, 2}, {u | d | l, 2, 4}, {u | d | r, 2, 1}, {15, 2, 2},
    };
    Cells b{};
    for (const Fixture& f : fixtures) {
        if (f.mask != mask) {
            continue;
        }
        if (f.row != 0 && f.column != 0) {
            b[at(f.row, f.column)] = 2;
        }
        for (int i = 1; i <= 4 && (f.row == 0 || f.column == 0); ++i) {
            b[f.column == 0 ? at(f.row, i) : at(i, f.column)] = 1 << i;
        }
        return b;
    }
    return kDistinct;
}

// The menu bar as the player meets it: each menu's caption, then its items, "-" a separator.
struct MenuOfTheBar {
    const char* caption;
    std::vector<const char*> items;
};
inline const std::vector<MenuOfTheBar> kMenuBar{
    {"Игра", {"Новая"}},
    {"Настройки",
     {"Появляется только 2", "Появляется только 4", "-", "Авто. Во все стороны",
      "Авто. В три стороны", "Авто. В угол", "-", "Скорость - Очень быстро", "Скорость - Быстро",
      "Скорость - Средне", "Скорость - Медленно", "-", "Подсмотреть победу"}},
};

// Where the keyboard's highlight is after keys pressed in an open menu, as in every Qt program:
// F10 opens the first menu on its first item; Left and Right go to the menu beside, on its
// first item, round the bar; Up and Down walk the items, round the menu, past separators.
struct MenuPlace {
    int menu = 0;
    int item = 0; // index into the menu's items
    QString menuCaption() const { return QString::fromUtf8(kMenuBar[menu].caption); }
    QString itemCaption() const { return QString::fromUtf8(kMenuBar[menu].items[item]); }
    void step(Qt::Key key) {
        const int menus = static_cast<int>(kMenuBar.size());
        if (key == Qt::Key_Left || key == Qt::Key_Right) {
            menu = (menu + (key == Qt::Key_Right ? 1 : menus - 1)) % menus;
            item = 0;
            return;
        }
        const auto& items = kMenuBar[menu].items;
        const int count = static_cast<int>(items.size());
        do {
            item = (item + (key == Qt::Key_Down ? 1 : count - 1)) % count;
        } while (QByteArray(items[item]) == "-");
    }
};

} // namespace korvex::test

Q_DECLARE_METATYPE(korvex::test::Cells)
Q_DECLARE_METATYPE(korvex::test::Line)
