// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules without a window: the line tables, slide, merge, preview and legality, the eight
// values a strategy decides on, and each strategy's choice of direction and `AutoDir`.
#include "game.h"
#include "reference.h"

using namespace korvex::test;
using korvex::Evaluation;
using korvex::Strategy;

Q_DECLARE_METATYPE(korvex::LineTable)
Q_DECLARE_METATYPE(korvex::test::WorkedLine)

namespace {

// An evaluation in which exactly the directions of the mask are legal, by a slide or by a
// merge only, so both halves of the legality rule are exercised.
Evaluation evaluationFor(int mask, bool byMerge) {
    Evaluation e;
    for (int d = 0; d < 4; ++d) {
        if (mask & (1 << d)) {
            (byMerge ? e.preview[d] : e.canSlide[d]) = byMerge ? 4 : 1;
        }
    }
    return e;
}

// The strategy's chain walked step by step, as the rules state it.
int walkChain(const StrategyRules& s, int& autoDir, int legal) {
    for (const ChainStep& step : s.chain) {
        const bool isLegal = (legal & (1 << step.direction)) != 0;
        // A guarded step moves AutoDir on whether it plays or not; a fallback only when it plays.
        if (step.guard >= 0 ? autoDir != step.guard : !isLegal) {
            continue;
        }
        autoDir = step.next;
        if (isLegal) {
            return step.direction;
        }
    }
    return -1;
}

} // namespace

class TestRules : public QObject {
    Q_OBJECT
private slots:
    // Each direction's lines, destination edge first: program's and reference's tables, as ruled.
    void lineTables_data() {
        addColumns<int, korvex::LineTable>("direction", "expected");
        QTest::newRow("up: columns, top first")
            << U
            << korvex::LineTable{{{0, 4, 8, 12}, {1, 5, 9, 13}, {2, 6, 10, 14}, {3, 7, 11, 15}}};
        QTest::newRow("right: rows, right first")
            << R
            << korvex::LineTable{{{3, 2, 1, 0}, {7, 6, 5, 4}, {11, 10, 9, 8}, {15, 14, 13, 12}}};
        QTest::newRow("down: columns, bottom first")
            << D
            << korvex::LineTable{{{12, 8, 4, 0}, {13, 9, 5, 1}, {14, 10, 6, 2}, {15, 11, 7, 3}}};
        QTest::newRow("left: rows, left first")
            << L
            << korvex::LineTable{{{0, 1, 2, 3}, {4, 5, 6, 7}, {8, 9, 10, 11}, {12, 13, 14, 15}}};
    }
    void lineTables() {
        QFETCH(int, direction);
        QFETCH(korvex::LineTable, expected);
        QCOMPARE(korvex::linesOf(direction), expected);
        for (int l = 0; l < 4; ++l) {
            for (int p = 0; p < 4; ++p) {
                QCOMPARE(cellOf(direction, l, p), expected[l][p]);
            }
        }
    }

    // The merge rule's worked lines in every direction and each of its four lines, alone and with
    // all four filled: stepwise, as a move, a preview and by the reference; one closes a gap first.
    void workedLines_data() {
        // which: -1 when the line fills all four lines of the direction
        addColumns<int, int, WorkedLine>("direction", "which", "line");
        std::vector<WorkedLine> lines(std::begin(kWorkedLines), std::end(kWorkedLines));
        lines.push_back({"0 2 0 2", {0, 2, 0, 2}, {4, 0, 0, 0}, {4, 0, 0, 0}, 4});
        for (int d = 0; d < 4; ++d) {
            for (const WorkedLine& w : lines) {
                for (int which = -1; which < 4; ++which) {
                    const QByteArray place = which < 0 ? QByteArray("all lines")
                                                       : "line " + QByteArray::number(which + 1);
                    QTest::addRow("%s %s %s", kDirectionNames[d], w.name, place.constData())
                        << d << which << w;
                }
            }
        }
    }
    void workedLines() {
        QFETCH(int, direction);
        QFETCH(int, which);
        QFETCH(WorkedLine, line);

        auto board = [which, direction](const Line& values) {
            Cells cells{};
            for (int l = 0; l < 4; ++l) {
                if (which < 0 || which == l) {
                    putLine(cells, direction, l, values);
                }
            }
            return cells;
        };
        const Cells start = board(line.before);
        const Cells after = board(line.after);
        const int total = line.points * (which < 0 ? 4 : 1);

        QCOMPARE(korvex::preview(start, direction), total);
        Cells stepwise = start;
        korvex::slide(stepwise, direction);
        QCOMPARE(stepwise, board(packed(line.before)));
        QCOMPARE(korvex::merge(stepwise, direction), total);
        QCOMPARE(stepwise, board(line.afterMerge));
        korvex::slide(stepwise, direction);
        QCOMPARE(stepwise, after);

        korvex::Game game; // the named operations, as a move runs them
        game.Board = start;
        QCOMPARE(game.MoveIsLegal(direction), after != start);
        game.MoveTiles(direction);
        QCOMPARE(std::pair(game.Board, game.MoveGain), std::pair(after, total));

        // The reference the other tests trust must know the same lines.
        const Moved reference = move(start, direction);
        QCOMPARE(std::pair(reference.cells, reference.points), std::pair(after, total));
    }

    void slideKeepsOrderAndPacks_data() {
        addColumns<Line, Line>("before", "after");
        QTest::newRow("0 2 0 4") << Line{0, 2, 0, 4} << Line{2, 4, 0, 0};
        QTest::newRow("8 0 0 2") << Line{8, 0, 0, 2} << Line{8, 2, 0, 0};
        QTest::newRow("0 0 0 2") << Line{0, 0, 0, 2} << Line{2, 0, 0, 0};
        QTest::newRow("0 4 8 16") << Line{0, 4, 8, 16} << Line{4, 8, 16, 0};
        QTest::newRow("equal tiles slide without merging") << Line{0, 2, 0, 2} << Line{2, 2, 0, 0};
        QTest::newRow("packed line stays") << Line{2, 4, 0, 0} << Line{2, 4, 0, 0};
        QTest::newRow("empty line stays") << Line{0, 0, 0, 0} << Line{0, 0, 0, 0};
    }
    void slideKeepsOrderAndPacks() {
        QFETCH(Line, before);
        QFETCH(Line, after);
        for (int d = 0; d < 4; ++d) {
            for (int which = 0; which < 4; ++which) {
                Cells board{};
                putLine(board, d, which, before);
                korvex::slide(board, d);
                Cells expected{};
                putLine(expected, d, which, after);
                QVERIFY2(board == expected, kDirectionNames[d]);
            }
        }
    }

    // The eight values of real boards: can-slide, which ignores equal neighbours, and the
    // previews, which alone make a move on a full board legal.
    void evaluationOfBoards_data() {
        // by direction: up, right, down, left
        addColumns<Cells, QList<int>, QList<int>>("board", "canSlide", "preview");
        const QList<int> zeros{0, 0, 0, 0};
        QTest::newRow("full board of equal tiles") << board("2 2 2 2 / 2 2 2 2 / 2 2 2 2 / 2 2 2 2")
                                                   << zeros << QList<int>{32, 32, 32, 32};
        QTest::newRow("full board of distinct tiles") << kDistinct << zeros << zeros;
        QTest::newRow("empty board") << Cells{} << zeros << zeros;
        QTest::newRow("one tile top-left")
            << board("2 0 0 0 / 0 0 0 0 / 0 0 0 0 / 0 0 0 0") << QList<int>{0, 1, 1, 0} << zeros;
        QTest::newRow("one tile in the middle")
            << boardWithLegal(15) << QList<int>{1, 1, 1, 1} << zeros;
        QTest::newRow("two 2s top-left: left by merge only")
            << kTwoTwos << QList<int>{0, 1, 1, 0} << QList<int>{0, 4, 0, 4};
        QTest::newRow("bottom row 2 4 8 16: only up")
            << kBottomRow << QList<int>{1, 0, 0, 0} << zeros;
        QTest::newRow("checkerboard of 2 and 4")
            << board("2 4 2 4 / 4 2 4 2 / 2 4 2 4 / 4 2 4 2") << zeros << zeros;
        QTest::newRow("full, one equal pair in a row")
            << kPairInRowOne << zeros << QList<int>{0, 4, 0, 4};
        Cells columnPair = kDistinct;
        columnPair[at(4, 3)] = 2048; // under the 2048 of row 3
        QTest::newRow("full, one equal pair in a column")
            << columnPair << zeros << QList<int>{4096, 0, 4096, 0};
        Cells both = kPairInRowOne;
        both[at(4, 3)] = 2048;
        QTest::newRow("full, a pair in a row and one in a column")
            << both << zeros << QList<int>{4096, 4, 4096, 4};
    }
    void evaluationOfBoards() {
        QFETCH(Cells, board);
        QFETCH(QList<int>, canSlide);
        QFETCH(QList<int>, preview);
        korvex::Game game;
        game.Board = board;
        const Evaluation e = game.Evaluate();
        bool anyLegal = false;
        for (int d = 0; d < 4; ++d) {
            const char* const name = kDirectionNames[d];
            const bool legal = canSlide[d] == 1 || preview[d] != 0;
            QVERIFY2(korvex::canSlide(board, d) == canSlide[d], name);
            QVERIFY2(korvex::preview(board, d) == preview[d], name);
            QVERIFY2(game.MoveIsLegal(d) == legal, name);
            QVERIFY2(e.canSlide[d] == canSlide[d] && e.preview[d] == preview[d], name);
            QVERIFY2(e.legal(d) == legal, name);
            // The reference agrees, so the tests that lean on it stand on the same ground.
            QVERIFY2(korvex::test::canSlide(board, d) == canSlide[d], name);
            QVERIFY2(move(board, d).points == preview[d] && move(board, d).changed == legal, name);
            anyLegal = anyLegal || legal;
        }
        QCOMPARE(e.allZero(), !anyLegal);
    }

    // Every strategy, `AutoDir` on entry and set of legal directions, legal by slide or merge: the
    // order's first legal direction is played and `AutoDir` follows it; with nothing legal nothing
    // is. The order and `AutoDir`-after tables give what the step-by-step chains give.
    void choiceOfDirection_data() { addStrategyEntryRows(); }

    void choiceOfDirection() {
        QFETCH(int, mode);
        QFETCH(int, entry);
        const StrategyRules& s = strategyOf(mode);
        for (int mask = 0; mask < 16; ++mask) {
            const int expected = firstLegal(s, entry, mask);
            int byChain = entry;
            const QByteArray where = "legal mask " + QByteArray::number(mask);
            QVERIFY2(walkChain(s, byChain, mask) == expected, where);
            if (expected >= 0) {
                QVERIFY2(byChain == s.autoDirAfter[expected], where);
            }
            for (const bool byMerge : {false, true}) {
                const Evaluation e = evaluationFor(mask, byMerge);
                QVERIFY2(e.allZero() == (mask == 0), where);
                std::int32_t autoDir = entry;
                QVERIFY2(korvex::chooseDirection(static_cast<Strategy>(mode), autoDir, e) ==
                             expected,
                         where);
                if (expected >= 0) {
                    QVERIFY2(autoDir == s.autoDirAfter[expected], where);
                }
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
