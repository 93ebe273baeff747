// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The auto-player's choice of direction without a window: the order of directions by
// `AutoDir`, `AutoDir` after each direction played, and whole headless games.
#include "autoplay/strategies.h"
#include "engine/random.h"
#include "engine/rules.h"

#include <QTest>

#include <array>
#include <cstdint>
#include <vector>

using korvex::Cells;
using korvex::Evaluation;
using korvex::Strategy;

Q_DECLARE_METATYPE(Strategy)
Q_DECLARE_METATYPE(Cells)

namespace {

constexpr int U = korvex::Up;
constexpr int R = korvex::Right;
constexpr int D = korvex::Down;
constexpr int L = korvex::Left;

// The strategies as chains of steps, walked top to bottom. A guarded step is taken only when
// `AutoDir` equals its guard, and stores its new value before testing its direction; a
// fallback step has no guard and stores its value only when it plays.
struct Step {
    int guard; // -1 for a fallback step
    int next;
    int direction;
};

const std::vector<Step>& chainOf(Strategy strategy) {
    static const std::vector<Step> all{{0, 1, U}, {1, 2, R}, {2, 3, D}, {3, 0, L},
                                       {0, 1, U}, {1, 2, R}, {2, 3, D}};
    static const std::vector<Step> three{{0, 1, R}, {1, 2, D}, {2, 0, L},
                                         {0, 1, R}, {1, 2, D}, {-1, 0, U}};
    static const std::vector<Step> corner{{0, 1, D}, {1, 0, L}, {0, 1, D}, {-1, 1, R}, {-1, 0, U}};
    switch (strategy) {
    case Strategy::AllDirections:
        return all;
    case Strategy::ThreeDirections:
        return three;
    default:
        return corner;
    }
}

int walkChain(Strategy strategy, std::int32_t& autoDir, const Evaluation& evaluation) {
    for (const Step& step : chainOf(strategy)) {
        if (step.guard >= 0) {
            if (autoDir != step.guard) {
                continue;
            }
            autoDir = step.next;
            if (evaluation.legal(step.direction)) {
                return step.direction;
            }
        } else if (evaluation.legal(step.direction)) {
            autoDir = step.next;
            return step.direction;
        }
    }
    return -1;
}

int cycleLength(Strategy strategy) {
    switch (strategy) {
    case Strategy::AllDirections:
        return 4;
    case Strategy::ThreeDirections:
        return 3;
    default:
        return 2;
    }
}

// An evaluation in which exactly the directions of the mask are legal, half of them by a
// slide and half by a merge only, so both halves of the legality rule are exercised.
Evaluation evaluationFor(int mask, bool byMerge) {
    Evaluation e;
    for (int d = 0; d < korvex::kDirections; ++d) {
        if (mask & (1 << d)) {
            if (byMerge) {
                e.preview[d] = 4;
            } else {
                e.canSlide[d] = 1;
            }
        }
    }
    return e;
}

const char* const kStrategyNames[] = {"", "all directions", "three directions", "corner"};
const char* const kDirectionNames[] = {"up", "right", "down", "left"};

} // namespace

class TestStrategies : public QObject {
    Q_OBJECT
private slots:
    void orderTried_data();
    void orderTried();
    void autoDirAfterMove_data();
    void autoDirAfterMove();
    void tablesAgreeWithChains_data();
    void tablesAgreeWithChains();
    void nothingLegalPlaysNothing();
    void evaluationOfBoards_data();
    void evaluationOfBoards();
    void headlessGamesEnd_data();
    void headlessGamesEnd();
};

// Which direction a call tries first, second, ...: with only the directions from the i-th on
// legal, the i-th is played.
void TestStrategies::orderTried_data() {
    QTest::addColumn<Strategy>("strategy");
    QTest::addColumn<int>("autoDir");
    QTest::addColumn<QList<int>>("order");
    QTest::newRow("all directions, 0") << Strategy::AllDirections << 0 << QList<int>{U, R, D, L};
    QTest::newRow("all directions, 1") << Strategy::AllDirections << 1 << QList<int>{R, D, L, U};
    QTest::newRow("all directions, 2") << Strategy::AllDirections << 2 << QList<int>{D, L, U, R};
    QTest::newRow("all directions, 3") << Strategy::AllDirections << 3 << QList<int>{L, U, R, D};
    QTest::newRow("three directions, 0")
        << Strategy::ThreeDirections << 0 << QList<int>{R, D, L, U};
    QTest::newRow("three directions, 1")
        << Strategy::ThreeDirections << 1 << QList<int>{D, L, R, U};
    QTest::newRow("three directions, 2")
        << Strategy::ThreeDirections << 2 << QList<int>{L, R, D, U};
    QTest::newRow("corner, 0") << Strategy::Corner << 0 << QList<int>{D, L, R, U};
    QTest::newRow("corner, 1") << Strategy::Corner << 1 << QList<int>{L, D, R, U};
}

void TestStrategies::orderTried() {
    QFETCH(Strategy, strategy);
    QFETCH(int, autoDir);
    QFETCH(QList<int>, order);
    for (const bool byMerge : {false, true}) {
        for (int i = 0; i < korvex::kDirections; ++i) {
            int mask = 0;
            for (int j = i; j < korvex::kDirections; ++j) {
                mask |= 1 << order[j];
            }
            std::int32_t dir = autoDir;
            QCOMPARE(korvex::chooseDirection(strategy, dir, evaluationFor(mask, byMerge)),
                     order[i]);
        }
    }
}

// `AutoDir` after a move depends only on the direction played.
void TestStrategies::autoDirAfterMove_data() {
    QTest::addColumn<Strategy>("strategy");
    QTest::addColumn<QList<int>>("after"); // after up, right, down, left
    QTest::newRow("all directions") << Strategy::AllDirections << QList<int>{1, 2, 3, 0};
    QTest::newRow("three directions") << Strategy::ThreeDirections << QList<int>{0, 1, 2, 0};
    QTest::newRow("corner") << Strategy::Corner << QList<int>{0, 1, 1, 0};
}

void TestStrategies::autoDirAfterMove() {
    QFETCH(Strategy, strategy);
    QFETCH(QList<int>, after);
    for (int entry = 0; entry < cycleLength(strategy); ++entry) {
        for (int d = 0; d < korvex::kDirections; ++d) {
            std::int32_t dir = entry;
            QCOMPARE(korvex::chooseDirection(strategy, dir, evaluationFor(1 << d, false)), d);
            QVERIFY2(dir == after[d], kDirectionNames[d]);
        }
    }
}

// Every set of legal directions from every place in the cycle: the product's tables play the
// same move and leave the same `AutoDir` as the step-by-step chains.
void TestStrategies::tablesAgreeWithChains_data() {
    QTest::addColumn<Strategy>("strategy");
    for (const Strategy s :
         {Strategy::AllDirections, Strategy::ThreeDirections, Strategy::Corner}) {
        QTest::newRow(kStrategyNames[static_cast<int>(s)]) << s;
    }
}

void TestStrategies::tablesAgreeWithChains() {
    QFETCH(Strategy, strategy);
    for (int entry = 0; entry < cycleLength(strategy); ++entry) {
        for (int mask = 1; mask < 16; ++mask) {
            const Evaluation e = evaluationFor(mask, mask % 2 == 0);
            std::int32_t byChain = entry;
            std::int32_t byTable = entry;
            const int expected = walkChain(strategy, byChain, e);
            const QByteArray where =
                "entry " + QByteArray::number(entry) + ", legal mask " + QByteArray::number(mask);
            QVERIFY2(korvex::chooseDirection(strategy, byTable, e) == expected, where);
            QVERIFY2(byTable == byChain, where);
            QVERIFY2(byTable >= 0 && byTable < cycleLength(strategy), where);
        }
    }
}

void TestStrategies::nothingLegalPlaysNothing() {
    const Evaluation none;
    QVERIFY(none.allZero());
    for (const Strategy s :
         {Strategy::AllDirections, Strategy::ThreeDirections, Strategy::Corner}) {
        for (int entry = 0; entry < cycleLength(s); ++entry) {
            std::int32_t dir = entry;
            QCOMPARE(korvex::chooseDirection(s, dir, none), -1);
        }
    }
    // A single non-zero value of the eight is enough to keep the game going.
    Evaluation oneSlide;
    oneSlide.canSlide[L] = 1;
    QVERIFY(!oneSlide.allZero());
    Evaluation oneMerge;
    oneMerge.preview[U] = 8;
    QVERIFY(!oneMerge.allZero());
}

// The evaluation of real boards, including a direction that is legal by its preview alone.
void TestStrategies::evaluationOfBoards_data() {
    QTest::addColumn<Cells>("board");
    QTest::addColumn<QList<int>>("canSlide");
    QTest::addColumn<QList<int>>("preview");
    QTest::newRow("bottom row 2 4 8 16: only up")
        << Cells{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 4, 8, 16} << QList<int>{1, 0, 0, 0}
        << QList<int>{0, 0, 0, 0};
    QTest::newRow("two 2s top-left: left by merge only")
        << Cells{2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0} << QList<int>{0, 1, 1, 0}
        << QList<int>{0, 4, 0, 4};
    QTest::newRow("full board, no equal neighbours")
        << Cells{2, 4, 2, 4, 4, 2, 4, 2, 2, 4, 2, 4, 4, 2, 4, 2} << QList<int>{0, 0, 0, 0}
        << QList<int>{0, 0, 0, 0};
}

void TestStrategies::evaluationOfBoards() {
    QFETCH(Cells, board);
    QFETCH(QList<int>, canSlide);
    QFETCH(QList<int>, preview);
    const Evaluation e = korvex::evaluate(board);
    bool anyLegal = false;
    for (int d = 0; d < korvex::kDirections; ++d) {
        QCOMPARE(e.canSlide[d], canSlide[d]);
        QCOMPARE(e.preview[d], preview[d]);
        QCOMPARE(e.legal(d), canSlide[d] == 1 || preview[d] != 0);
        anyLegal = anyLegal || e.legal(d);
    }
    QCOMPARE(e.allZero(), !anyLegal);
}

// Whole games on the rules alone: every move played changes the board, `AutoDir` stays in
// the strategy's range, and the game ends on a board where no direction is legal.
void TestStrategies::headlessGamesEnd_data() {
    QTest::addColumn<Strategy>("strategy");
    QTest::addColumn<quint32>("seed");
    for (const Strategy s :
         {Strategy::AllDirections, Strategy::ThreeDirections, Strategy::Corner}) {
        for (const quint32 seed : {1u, 77u, 20240601u}) {
            QTest::addRow("%s, seed %u", kStrategyNames[static_cast<int>(s)], seed) << s << seed;
        }
    }
}

void TestStrategies::headlessGamesEnd() {
    QFETCH(Strategy, strategy);
    QFETCH(quint32, seed);
    korvex::RandomSource rnd;
    rnd.seedRaw(seed);
    Cells board{};
    for (int i = 0; i < 2; ++i) {
        board[korvex::spawnTarget(board, rnd.next())] = korvex::randomTileValue(rnd.next());
    }
    std::int32_t autoDir =
        static_cast<std::int32_t>(rnd.next() * static_cast<float>(cycleLength(strategy)));
    int moves = 0;
    for (;; ++moves) {
        QVERIFY2(moves < 100000, "the game never ended");
        const Evaluation e = korvex::evaluate(board);
        const int d = korvex::chooseDirection(strategy, autoDir, e);
        if (d < 0) {
            QVERIFY(e.allZero());
            break;
        }
        QVERIFY(autoDir >= 0 && autoDir < cycleLength(strategy));
        const Cells before = board;
        korvex::applyMove(board, d);
        QVERIFY2(board != before, kDirectionNames[d]);
        QVERIFY(korvex::countEmpty(board) > 0);
        board[korvex::spawnTarget(board, rnd.next())] = korvex::randomTileValue(rnd.next());
    }
    QCOMPARE(korvex::countEmpty(board), 0);
    for (int d = 0; d < korvex::kDirections; ++d) {
        QVERIFY(!korvex::isLegal(board, d));
    }
    QVERIFY(moves > 0);
}

QTEST_GUILESS_MAIN(TestStrategies)
#include "test_strategies.moc"
