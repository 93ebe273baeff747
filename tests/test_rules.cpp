// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules of moving without a window: the line tables, slide, merge, preview and legality.
#include "engine/rules.h"

#include <QTest>

#include <array>
#include <cstdint>

using korvex::Cells;
using Line = std::array<std::int32_t, korvex::kSide>;

Q_DECLARE_METATYPE(Cells)
Q_DECLARE_METATYPE(Line)
Q_DECLARE_METATYPE(korvex::LineTable)

namespace {

const char* const kDirectionNames[] = {"up", "right", "down", "left"};

// Writes a line, position 1 first, into line `which` of a direction.
void putLine(Cells& cells, int direction, int which, const Line& line) {
    const auto& lines = korvex::linesOf(direction);
    for (int pos = 0; pos < korvex::kSide; ++pos) {
        cells[lines[which][pos]] = line[pos];
    }
}

Line getLine(const Cells& cells, int direction, int which) {
    const auto& lines = korvex::linesOf(direction);
    Line line{};
    for (int pos = 0; pos < korvex::kSide; ++pos) {
        line[pos] = cells[lines[which][pos]];
    }
    return line;
}

// Sixteen pairwise different tiles, so no two neighbours are equal anywhere.
constexpr Cells kDistinct{
    2,    4,     8,     16,    //
    32,   64,    128,   256,   //
    512,  1024,  2048,  4096,  //
    8192, 16384, 32768, 65536, //
};

} // namespace

class TestRules : public QObject {
    Q_OBJECT
private slots:
    void lineTables_data();
    void lineTables();
    void workedLines_data();
    void workedLines();
    void writtenOutBoards_data();
    void writtenOutBoards();
    void slideKeepsOrderAndPacks_data();
    void slideKeepsOrderAndPacks();
    void canSlideIgnoresEqualNeighbours_data();
    void canSlideIgnoresEqualNeighbours();
    void legalityOnFullBoards_data();
    void legalityOnFullBoards();
    void previewChangesNothing();
};

// Storage indices of the four lines of each direction, position 1 (the destination edge) first.
void TestRules::lineTables_data() {
    QTest::addColumn<int>("direction");
    QTest::addColumn<korvex::LineTable>("expected");
    QTest::newRow("up: columns, top first")
        << 0 << korvex::LineTable{{{0, 4, 8, 12}, {1, 5, 9, 13}, {2, 6, 10, 14}, {3, 7, 11, 15}}};
    QTest::newRow("right: rows, right first")
        << 1 << korvex::LineTable{{{3, 2, 1, 0}, {7, 6, 5, 4}, {11, 10, 9, 8}, {15, 14, 13, 12}}};
    QTest::newRow("down: columns, bottom first")
        << 2 << korvex::LineTable{{{12, 8, 4, 0}, {13, 9, 5, 1}, {14, 10, 6, 2}, {15, 11, 7, 3}}};
    QTest::newRow("left: rows, left first")
        << 3 << korvex::LineTable{{{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}}};
}

void TestRules::lineTables() {
    QFETCH(int, direction);
    QFETCH(korvex::LineTable, expected);
    QCOMPARE(korvex::linesOf(direction), expected);
}

// The merge table's lines, each already slid, in every direction and in every one of the
// four lines of that direction, alone on the board and with all four lines filled.
void TestRules::workedLines_data() {
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("which"); // -1: the line fills all four lines of the direction
    QTest::addColumn<Line>("before");
    QTest::addColumn<Line>("afterMerge");
    QTest::addColumn<Line>("after");
    QTest::addColumn<int>("points");

    struct Worked {
        const char* name;
        Line before, afterMerge, after;
        int points;
    };
    const Worked worked[] = {
        {"2 2 2 2", {2, 2, 2, 2}, {4, 0, 4, 0}, {4, 4, 0, 0}, 8},
        {"2 2 2 0", {2, 2, 2, 0}, {4, 0, 2, 0}, {4, 2, 0, 0}, 4},
        {"4 4 8 0", {4, 4, 8, 0}, {8, 0, 8, 0}, {8, 8, 0, 0}, 8},
        {"8 4 4 0", {8, 4, 4, 0}, {8, 8, 0, 0}, {8, 8, 0, 0}, 8},
        {"2 2 4 4", {2, 2, 4, 4}, {4, 0, 8, 0}, {4, 8, 0, 0}, 12},
        {"2 4 2 4", {2, 4, 2, 4}, {2, 4, 2, 4}, {2, 4, 2, 4}, 0},
    };
    for (int d = 0; d < korvex::kDirections; ++d) {
        for (const Worked& w : worked) {
            for (int which = -1; which < korvex::kSide; ++which) {
                const QByteArray place =
                    which < 0 ? QByteArray("all lines") : "line " + QByteArray::number(which + 1);
                QTest::addRow("%s %s %s", kDirectionNames[d], w.name, place.constData())
                    << d << which << w.before << w.afterMerge << w.after << w.points;
            }
        }
    }
}

void TestRules::workedLines() {
    QFETCH(int, direction);
    QFETCH(int, which);
    QFETCH(Line, before);
    QFETCH(Line, afterMerge);
    QFETCH(Line, after);
    QFETCH(int, points);

    Cells board{};
    for (int l = 0; l < korvex::kSide; ++l) {
        if (which < 0 || which == l) {
            putLine(board, direction, l, before);
        }
    }
    const int lines = which < 0 ? korvex::kSide : 1;
    auto lineOrEmpty = [which](int l, const Line& line) {
        return which < 0 || which == l ? line : Line{};
    };

    QCOMPARE(korvex::preview(board, direction), points * lines);

    Cells stepwise = board;
    korvex::slide(stepwise, direction);
    QCOMPARE(stepwise, board); // already packed: the first slide changes nothing
    QCOMPARE(korvex::merge(stepwise, direction), points * lines);
    for (int l = 0; l < korvex::kSide; ++l) {
        QCOMPARE(getLine(stepwise, direction, l), lineOrEmpty(l, afterMerge));
    }
    korvex::slide(stepwise, direction);
    for (int l = 0; l < korvex::kSide; ++l) {
        QCOMPARE(getLine(stepwise, direction, l), lineOrEmpty(l, after));
    }

    Cells moved = board;
    QCOMPARE(korvex::applyMove(moved, direction), points * lines);
    QCOMPARE(moved, stepwise);
    QCOMPARE(korvex::isLegal(board, direction), points != 0);
}

// Boards written out cell by cell, so a line table that is wrong in the same way as the
// helpers above cannot hide.
void TestRules::writtenOutBoards_data() {
    QTest::addColumn<int>("direction");
    QTest::addColumn<Cells>("before");
    QTest::addColumn<Cells>("after");
    QTest::addColumn<int>("points");

    QTest::newRow("left: 2 2 2 2 in row 1, 2 2 4 4 in row 3") << 3 << Cells{2, 2, 2, 2, //
                                                                            0, 0, 0, 0, //
                                                                            2, 2, 4, 4, //
                                                                            0, 0, 0, 8}
                                                              << Cells{4, 4, 0, 0, //
                                                                       0, 0, 0, 0, //
                                                                       4, 8, 0, 0, //
                                                                       8, 0, 0, 0}
                                                              << 8 + 12;
    QTest::newRow("right: 2 2 2 0 from the right edge in row 2, 8 4 4 0 in row 4")
        << 1 << Cells{0, 0, 0, 0, //
                      0, 2, 2, 2, //
                      0, 0, 0, 0, //
                      0, 4, 4, 8}
        << Cells{0, 0, 0, 0, //
                 0, 0, 2, 4, //
                 0, 0, 0, 0, //
                 0, 0, 8, 8}
        << 4 + 8;
    QTest::newRow("down: 4 4 8 0 from the bottom in column 3, 2 0 2 0 in column 1")
        << 2 << Cells{0, 0, 0, 0, //
                      2, 0, 8, 0, //
                      0, 0, 4, 0, //
                      2, 0, 4, 0}
        << Cells{0, 0, 0, 0, //
                 0, 0, 0, 0, //
                 0, 0, 8, 0, //
                 4, 0, 8, 0}
        << 8 + 4;
    QTest::newRow("up: 2 2 4 4 from the top in column 2, 2 4 2 4 in column 4")
        << 0 << Cells{0, 2, 0, 2, //
                      0, 2, 0, 4, //
                      0, 4, 0, 2, //
                      0, 4, 0, 4}
        << Cells{0, 4, 0, 2, //
                 0, 8, 0, 4, //
                 0, 0, 0, 2, //
                 0, 0, 0, 4}
        << 12;
    QTest::newRow("up: a gap in a column closes before it merges") << 0 << Cells{0, 0, 0, 0, //
                                                                                 2, 0, 0, 0, //
                                                                                 0, 0, 0, 0, //
                                                                                 2, 0, 0, 0}
                                                                   << Cells{4, 0, 0, 0, //
                                                                            0, 0, 0, 0, //
                                                                            0, 0, 0, 0, //
                                                                            0, 0, 0, 0}
                                                                   << 4;
    QTest::newRow("right: three equal tiles merge nearest the right edge first")
        << 1 << Cells{0, 8, 8, 8, //
                      0, 0, 0, 0, //
                      0, 0, 0, 0, //
                      0, 0, 0, 0}
        << Cells{0, 0, 8, 16, //
                 0, 0, 0, 0,  //
                 0, 0, 0, 0,  //
                 0, 0, 0, 0}
        << 16;
}

void TestRules::writtenOutBoards() {
    QFETCH(int, direction);
    QFETCH(Cells, before);
    QFETCH(Cells, after);
    QFETCH(int, points);

    QCOMPARE(korvex::preview(before, direction), points);
    Cells board = before;
    QCOMPARE(korvex::applyMove(board, direction), points);
    QCOMPARE(board, after);
}

void TestRules::slideKeepsOrderAndPacks_data() {
    QTest::addColumn<Line>("before");
    QTest::addColumn<Line>("after");
    QTest::newRow("0 2 0 4") << Line{0, 2, 0, 4} << Line{2, 4, 0, 0};
    QTest::newRow("8 0 0 2") << Line{8, 0, 0, 2} << Line{8, 2, 0, 0};
    QTest::newRow("0 0 0 2") << Line{0, 0, 0, 2} << Line{2, 0, 0, 0};
    QTest::newRow("0 4 8 16") << Line{0, 4, 8, 16} << Line{4, 8, 16, 0};
    QTest::newRow("equal tiles slide without merging") << Line{0, 2, 0, 2} << Line{2, 2, 0, 0};
    QTest::newRow("packed line stays") << Line{2, 4, 0, 0} << Line{2, 4, 0, 0};
    QTest::newRow("empty line stays") << Line{0, 0, 0, 0} << Line{0, 0, 0, 0};
}

void TestRules::slideKeepsOrderAndPacks() {
    QFETCH(Line, before);
    QFETCH(Line, after);
    for (int d = 0; d < korvex::kDirections; ++d) {
        for (int which = 0; which < korvex::kSide; ++which) {
            Cells board{};
            putLine(board, d, which, before);
            korvex::slide(board, d);
            Cells expected{};
            putLine(expected, d, which, after);
            QVERIFY2(board == expected, kDirectionNames[d]);
        }
    }
}

void TestRules::canSlideIgnoresEqualNeighbours_data() {
    QTest::addColumn<Cells>("board");
    QTest::addColumn<QList<int>>("canSlide"); // up, right, down, left

    Cells allTwos;
    allTwos.fill(2);
    QTest::newRow("full board of equal tiles") << allTwos << QList<int>{0, 0, 0, 0};
    QTest::newRow("full board of distinct tiles") << kDistinct << QList<int>{0, 0, 0, 0};
    QTest::newRow("empty board") << Cells{} << QList<int>{0, 0, 0, 0};
    Cells corner{};
    corner[0] = 2;
    QTest::newRow("one tile top-left") << corner << QList<int>{0, 1, 1, 0};
    Cells middle{};
    middle[korvex::cellIndex(2, 2)] = 2;
    QTest::newRow("one tile in the middle") << middle << QList<int>{1, 1, 1, 1};
    QTest::newRow("two equal tiles packed left in row 1")
        << Cells{2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{0, 1, 1, 0};
    QTest::newRow("bottom row full")
        << Cells{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 4, 8, 16} << QList<int>{1, 0, 0, 0};
}

void TestRules::canSlideIgnoresEqualNeighbours() {
    QFETCH(Cells, board);
    QFETCH(QList<int>, canSlide);
    for (int d = 0; d < korvex::kDirections; ++d) {
        QVERIFY2(korvex::canSlide(board, d) == canSlide[d], kDirectionNames[d]);
    }
}

// On a full board only merges make a move legal.
void TestRules::legalityOnFullBoards_data() {
    QTest::addColumn<Cells>("board");
    QTest::addColumn<QList<int>>("previews"); // up, right, down, left

    QTest::newRow("no equal neighbours") << kDistinct << QList<int>{0, 0, 0, 0};
    Cells checker;
    for (int i = 0; i < korvex::kCells; ++i) {
        checker[i] = ((i / 4 + i % 4) % 2 == 0) ? 2 : 4;
    }
    QTest::newRow("checkerboard of 2 and 4") << checker << QList<int>{0, 0, 0, 0};
    Cells rowPair = kDistinct;
    rowPair[1] = 2; // cells 0 and 1 of row 1 are both 2
    QTest::newRow("one equal pair in a row") << rowPair << QList<int>{0, 4, 0, 4};
    Cells columnPair = kDistinct;
    columnPair[korvex::cellIndex(4, 3)] = 2048; // under the 2048 of row 3
    QTest::newRow("one equal pair in a column") << columnPair << QList<int>{4096, 0, 4096, 0};
    Cells both = rowPair;
    both[korvex::cellIndex(4, 3)] = 2048;
    QTest::newRow("a pair in a row and one in a column") << both << QList<int>{4096, 4, 4096, 4};
}

void TestRules::legalityOnFullBoards() {
    QFETCH(Cells, board);
    QFETCH(QList<int>, previews);
    for (int d = 0; d < korvex::kDirections; ++d) {
        QCOMPARE(korvex::canSlide(board, d), 0);
        QCOMPARE(korvex::preview(board, d), previews[d]);
        QCOMPARE(korvex::isLegal(board, d), previews[d] != 0);
    }
}

void TestRules::previewChangesNothing() {
    // 4, 4, 8 in row 1: left scores 8, and the cells keep their values.
    const Cells board{4, 4, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    Cells copy = board;
    QCOMPARE(korvex::preview(copy, korvex::Left), 8);
    QCOMPARE(korvex::preview(copy, korvex::Right), 8);
    QCOMPARE(korvex::preview(copy, korvex::Up), 0);
    QCOMPARE(korvex::preview(copy, korvex::Down), 0);
    QCOMPARE(copy, board);
}

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
