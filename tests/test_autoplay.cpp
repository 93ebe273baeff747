// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The auto-player through the window: the strategies' choices and `AutoDir`, the end of a
// game, the mode and speed commands, and whole games played by the real timer.
#include "app/frmmain.h"
#include "testsupport.h"
#include "windowtest.h"

#include <QAction>
#include <QTest>

#include <array>
#include <cstdint>

using korvex::Cells;
using korvex::test::kDistinct;
using korvex::test::marks;
using korvex::test::setBoard;
using korvex::test::start;

namespace {

constexpr int U = korvex::Up;
constexpr int R = korvex::Right;
constexpr int D = korvex::Down;
constexpr int L = korvex::Left;

const char* const kDirectionNames[] = {"up", "right", "down", "left"};

// The writes only drawing makes: captions and colours. Spawn marks are borders, which the
// strategies' own spawn sets, so they are left out.
quint64 drawWrites(const frmMain& w) {
    quint64 total = w.lblScore->Writes();
    for (int i = 0; i < korvex::kCells; ++i) {
        total += w.lblNum[i]->Writes();
    }
    return total;
}

bool labelsShow(const frmMain& w, const Cells& cells) {
    for (int i = 0; i < korvex::kCells; ++i) {
        const QString text = cells[i] != 0 ? QString::number(cells[i]) : QString();
        if (w.lblNum[i]->Caption() != text) {
            return false;
        }
    }
    return true;
}

// A position on which exactly the directions of the mask (bit d for direction d) are legal.
Cells boardWithLegal(int mask) {
    Cells b{};
    auto tile = [&b](int row, int column, std::int32_t v = 2) {
        b[korvex::cellIndex(row, column)] = v;
    };
    switch (mask) {
    case 1 << U: // bottom row full of different tiles
        tile(4, 1, 2), tile(4, 2, 4), tile(4, 3, 8), tile(4, 4, 16);
        break;
    case 1 << D:
        tile(1, 1, 2), tile(1, 2, 4), tile(1, 3, 8), tile(1, 4, 16);
        break;
    case 1 << L:
        tile(1, 4, 2), tile(2, 4, 4), tile(3, 4, 8), tile(4, 4, 16);
        break;
    case 1 << R:
        tile(1, 1, 2), tile(2, 1, 4), tile(3, 1, 8), tile(4, 1, 16);
        break;
    case (1 << U) | (1 << D):
        tile(2, 1, 2), tile(2, 2, 4), tile(2, 3, 8), tile(2, 4, 16);
        break;
    case (1 << L) | (1 << R):
        tile(1, 2, 2), tile(2, 2, 4), tile(3, 2, 8), tile(4, 2, 16);
        break;
    case (1 << U) | (1 << L):
        tile(4, 4);
        break;
    case (1 << U) | (1 << R):
        tile(4, 1);
        break;
    case (1 << D) | (1 << L):
        tile(1, 4);
        break;
    case (1 << D) | (1 << R):
        tile(1, 1);
        break;
    case (1 << U) | (1 << L) | (1 << R):
        tile(4, 2);
        break;
    case (1 << D) | (1 << L) | (1 << R):
        tile(1, 2);
        break;
    case (1 << U) | (1 << D) | (1 << L):
        tile(2, 4);
        break;
    case (1 << U) | (1 << D) | (1 << R):
        tile(2, 1);
        break;
    case 15:
        tile(2, 2);
        break;
    default:
        return kDistinct;
    }
    return b;
}

int legalMask(const Cells& cells) {
    int mask = 0;
    for (int d = 0; d < korvex::kDirections; ++d) {
        mask |= korvex::isLegal(cells, d) ? 1 << d : 0;
    }
    return mask;
}

// Which direction turned `before` into `after`: the new tile (the one marked) is taken out,
// and what is left must be exactly one direction's move. -1 when the board did not change.
int directionPlayed(const frmMain& w, const Cells& before) {
    if (w.Board == before) {
        return -1;
    }
    const QList<int> marked = marks(w);
    if (marked.size() != 1) {
        return -2;
    }
    Cells withoutSpawn = w.Board;
    withoutSpawn[marked.first()] = 0;
    int found = -2;
    for (int d = 0; d < korvex::kDirections; ++d) {
        Cells moved = before;
        korvex::applyMove(moved, d);
        if (moved == withoutSpawn && moved != before) {
            found = found == -2 ? d : -3; // -3: ambiguous, the fixture is no good
        }
    }
    return found;
}

struct StrategyInfo {
    const char* name;
    int mode;
    int cycle;
    void (frmMain::*call)();
    std::array<std::array<int, 4>, 4> order; // by AutoDir on entry
    std::array<int, 4> after;                // AutoDir after up, right, down, left
};

const StrategyInfo kStrategies[] = {
    {"all directions",
     1,
     4,
     &frmMain::AutoAllDirections,
     {{{U, R, D, L}, {R, D, L, U}, {D, L, U, R}, {L, U, R, D}}},
     {1, 2, 3, 0}},
    {"three directions",
     2,
     3,
     &frmMain::AutoThreeDirections,
     {{{R, D, L, U}, {D, L, R, U}, {L, R, D, U}, {}}},
     {0, 1, 2, 0}},
    {"corner", 3, 2, &frmMain::AutoCorner, {{{D, L, R, U}, {L, D, R, U}, {}, {}}}, {0, 1, 1, 0}},
};

QAction* modeItem(const frmMain& w, int mode) {
    const std::array<QAction*, 3> items{w.mnuAuto1, w.mnuAuto2, w.mnuAuto3};
    return items[mode - 1];
}

void clickMode(frmMain& w, int mode) {
    const std::array<void (frmMain::*)(), 3> handlers{
        &frmMain::mnuAuto1_Click, &frmMain::mnuAuto2_Click, &frmMain::mnuAuto3_Click};
    (w.*handlers[mode - 1])();
}

QList<int> checkedModes(const frmMain& w) {
    QList<int> checked;
    for (int mode = 1; mode <= 3; ++mode) {
        if (modeItem(w, mode)->isChecked()) {
            checked << mode;
        }
    }
    return checked;
}

QList<int> checkedSpeeds(const frmMain& w) {
    QList<int> checked;
    const std::pair<QAction*, int> speeds[] = {
        {w.mnuSpeed10, 10}, {w.mnuSpeed200, 200}, {w.mnuSpeed700, 700}, {w.mnuSpeed2000, 2000}};
    for (const auto& [item, ms] : speeds) {
        if (item->isChecked()) {
            checked << ms;
        }
    }
    return checked;
}

} // namespace

class TestAutoplay : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { korvex::test::usePrivateRuntimeDir(); }

    void fixturesHaveTheirLegalDirections();
    void workedExampleCornerPushesUp();
    void workedExampleThreeDirectionsMergesLeft();
    void workedExampleAllDirectionsPlaysDown();
    void workedExampleFullBoardEndsTheGame_data();
    void workedExampleFullBoardEndsTheGame();
    void choiceAndAutoDirByTable_data();
    void choiceAndAutoDirByTable();
    void cornerAlternatesDownAndLeft();
    void gameEndsOnlyOnTheNextTick();
    void gameOverAlreadySetStillPlaysOnce();
    void steppedGamesFollowTheTables_data();
    void steppedGamesFollowTheTables();

    void modeCommands_data();
    void modeCommands();
    void offSwitchReadsAutoModeNotTheMark();
    void seededAutoDirCoversItsRange();
    void newGameStopsAutoPlay_data();
    void newGameStopsAutoPlay();
    void speedWhileOffAppliesToTheNextMode();
    void checkedSpeedChangesNothing();
    void exactlyOneSpeedChecked();
    void tickWithoutModeOnlyDraws();

    void wholeGamesOnTheRealTimer_data();
    void wholeGamesOnTheRealTimer();
};

// The boards below are the ground the strategy tests stand on; check them first.
void TestAutoplay::fixturesHaveTheirLegalDirections() {
    for (int mask = 0; mask < 16; ++mask) {
        QCOMPARE(legalMask(boardWithLegal(mask)), mask);
    }
}

void TestAutoplay::workedExampleCornerPushesUp() {
    frmMain w;
    QVERIFY(start(w));
    const Cells bottom{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 4, 8, 16};
    setBoard(w, bottom);
    w.lblFon[5]->SetBorderStyle(1); // the previous move's mark
    w.AutoDir = 0;
    w.AutoCorner();
    QCOMPARE(directionPlayed(w, bottom), U);
    for (int column = 1; column <= 4; ++column) {
        QCOMPARE(w.Board[korvex::cellIndex(1, column)], bottom[korvex::cellIndex(4, column)]);
    }
    QCOMPARE(marks(w).size(), 1); // old mark cleared, new tile marked
    QCOMPARE(w.AutoDir, 0);       // the next call tries down first
    QCOMPARE(w.GameOver, 0);
}

void TestAutoplay::workedExampleThreeDirectionsMergesLeft() {
    frmMain w;
    QVERIFY(start(w));
    const Cells twos{2, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    setBoard(w, twos, 10);
    w.AutoDir = 2;
    w.AutoThreeDirections();
    QCOMPARE(directionPlayed(w, twos), L);
    QCOMPARE(w.Board[0], 4);
    QCOMPARE(w.MoveGain, 4); // booked only when the tick draws
    QCOMPARE(w.Score, 10);
    QCOMPARE(w.AutoDir, 0); // the next call tries right first
}

void TestAutoplay::workedExampleAllDirectionsPlaysDown() {
    frmMain w;
    QVERIFY(start(w));
    const Cells onlyDown = boardWithLegal(1 << D);
    setBoard(w, onlyDown);
    w.AutoDir = 3;
    w.AutoAllDirections();
    QCOMPARE(directionPlayed(w, onlyDown), D);
    QCOMPARE(w.AutoDir, 3); // the next call again tries left first
}

void TestAutoplay::workedExampleFullBoardEndsTheGame_data() {
    QTest::addColumn<int>("strategy");
    for (int s = 0; s < 3; ++s) {
        QTest::newRow(kStrategies[s].name) << s;
    }
}

void TestAutoplay::workedExampleFullBoardEndsTheGame() {
    QFETCH(int, strategy);
    const StrategyInfo& info = kStrategies[strategy];
    frmMain w;
    QVERIFY(start(w));
    clickMode(w, info.mode);
    QVERIFY(w.tmrAuto.isActive());
    setBoard(w, kDistinct, 500);
    const quint64 writes = drawWrites(w);

    (w.*info.call)();
    QCOMPARE(w.Board, kDistinct);
    QCOMPARE(w.GameOver, 1);
    QCOMPARE(w.AutoMode, 0);
    QVERIFY(checkedModes(w).isEmpty());
    QVERIFY(!w.tmrAuto.isActive());
    QCOMPARE(drawWrites(w), writes); // a strategy never draws

    w.tmrAuto_Timer(); // the controller draws once more
    QCOMPARE(drawWrites(w), writes + 1);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 500"));
    QCOMPARE(w.Board, kDistinct);
}

// For every strategy, every `AutoDir` on entry and every set of legal directions: the first
// legal direction of the strategy's order is played, and `AutoDir` follows the direction.
void TestAutoplay::choiceAndAutoDirByTable_data() {
    QTest::addColumn<int>("strategy");
    QTest::addColumn<int>("entry");
    for (int s = 0; s < 3; ++s) {
        for (int entry = 0; entry < kStrategies[s].cycle; ++entry) {
            QTest::addRow("%s, AutoDir %d", kStrategies[s].name, entry) << s << entry;
        }
    }
}

void TestAutoplay::choiceAndAutoDirByTable() {
    QFETCH(int, strategy);
    QFETCH(int, entry);
    const StrategyInfo& info = kStrategies[strategy];
    frmMain w;
    QVERIFY(start(w));
    for (int mask = 1; mask < 16; ++mask) {
        int expected = -1;
        for (const int d : info.order[entry]) {
            if (mask & (1 << d)) {
                expected = d;
                break;
            }
        }
        const Cells board = boardWithLegal(mask);
        setBoard(w, board);
        w.MoveGain = 0;
        w.AutoDir = entry;
        const quint64 writes = drawWrites(w);
        (w.*info.call)();
        const QByteArray where = "legal mask " + QByteArray::number(mask);
        QVERIFY2(directionPlayed(w, board) == expected, where);
        QVERIFY2(w.AutoDir == info.after[expected], where);
        QVERIFY2(w.GameOver == 0, where);
        QVERIFY2(drawWrites(w) == writes, where);
    }
}

// With the same position each time (both down and left legal), successive calls alternate.
void TestAutoplay::cornerAlternatesDownAndLeft() {
    const Cells board = boardWithLegal((1 << D) | (1 << L) | (1 << R));
    for (const int entry : {0, 1}) {
        frmMain w;
        QVERIFY(start(w));
        w.AutoDir = entry;
        int expected = entry == 0 ? D : L;
        for (int call = 0; call < 6; ++call) {
            setBoard(w, board);
            w.AutoCorner();
            QCOMPARE(directionPlayed(w, board), expected);
            expected = expected == D ? L : D;
        }
    }
    // And on a board that evolves: every call that finds both legal plays the other one of
    // the two than the call before, once the corner player has played one of them.
    frmMain w;
    QVERIFY(start(w, 31));
    w.mnuAuto3_Click();
    int previous = -1;
    int alternations = 0;
    for (int call = 0; call < 400 && w.GameOver == 0; ++call) {
        const Cells before = w.Board;
        const bool both = korvex::isLegal(before, D) && korvex::isLegal(before, L);
        w.tmrAuto_Timer();
        const int played = directionPlayed(w, before);
        if (both && (previous == D || previous == L)) {
            QCOMPARE(played, previous == D ? L : D);
            ++alternations;
        }
        previous = played;
    }
    QVERIFY(alternations > 20);
}

// A move that leaves nothing legal: the call that made it goes on as usual, and the next one
// ends the game; both ticks draw.
void TestAutoplay::gameEndsOnlyOnTheNextTick() {
    frmMain w;
    QVERIFY(start(w));
    w.mnuOnly2_Click();
    w.mnuAuto3_Click();
    // Down packs column 1 and frees the top-left cell; the new 2 lands there, beside 16 and
    // above 8, and the board is full with no equal neighbours.
    const Cells board{8,    16,    32,    64,    //
                      128,  256,   512,   1024,  //
                      2048, 4096,  8192,  16384, //
                      0,    32768, 65536, 131072};
    setBoard(w, board, 70);
    w.AutoDir = 0;
    w.MoveGain = 0;
    quint64 scoreWrites = w.lblScore->Writes();

    w.tmrAuto_Timer();
    QCOMPARE(directionPlayed(w, board), D);
    QCOMPARE(w.Board[0], 2);
    QCOMPARE(legalMask(w.Board), 0);
    QCOMPARE(w.GameOver, 0);
    QCOMPARE(w.AutoMode, 3);
    QVERIFY(w.tmrAuto.isActive());
    QCOMPARE(checkedModes(w), QList<int>{3});
    QCOMPARE(w.lblScore->Writes(), scoreWrites + 1);
    QVERIFY(labelsShow(w, w.Board));

    const Cells last = w.Board;
    scoreWrites = w.lblScore->Writes();
    w.tmrAuto_Timer();
    QCOMPARE(w.Board, last);
    QCOMPARE(w.GameOver, 1);
    QCOMPARE(w.AutoMode, 0);
    QVERIFY(!w.tmrAuto.isActive());
    QVERIFY(checkedModes(w).isEmpty());
    QCOMPARE(w.lblScore->Writes(), scoreWrites + 1);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 70"));
}

// The end test looks at `GameOver` too: already set, the chain still plays its move, then
// the auto-play goes off in the same call.
void TestAutoplay::gameOverAlreadySetStillPlaysOnce() {
    for (const StrategyInfo& info : kStrategies) {
        frmMain w;
        QVERIFY(start(w));
        clickMode(w, info.mode);
        const Cells board = boardWithLegal(15);
        setBoard(w, board);
        w.GameOver = 1;
        const quint64 writes = drawWrites(w);
        const int entry = w.AutoDir;
        const int expected = info.order[entry][0]; // every direction is legal here
        (w.*info.call)();
        QVERIFY2(directionPlayed(w, board) == expected, info.name);
        QCOMPARE(w.AutoDir, info.after[expected]);
        QCOMPARE(marks(w).size(), 1);
        QCOMPARE(w.GameOver, 1);
        QCOMPARE(w.AutoMode, 0);
        QVERIFY(!w.tmrAuto.isActive());
        QVERIFY(checkedModes(w).isEmpty());
        QCOMPARE(drawWrites(w), writes);
    }
}

// Whole games by calling the tick handler: each call plays the first legal direction of the
// order for `AutoDir` on entry, the score grows by the move's points when the tick draws, and
// the game ends on the call after the last move.
void TestAutoplay::steppedGamesFollowTheTables_data() {
    QTest::addColumn<int>("strategy");
    QTest::addColumn<quint32>("seed");
    for (int s = 0; s < 3; ++s) {
        for (const quint32 seed : {5u, 123u}) {
            QTest::addRow("%s, seed %u", kStrategies[s].name, seed) << s << seed;
        }
    }
}

void TestAutoplay::steppedGamesFollowTheTables() {
    QFETCH(int, strategy);
    QFETCH(quint32, seed);
    const StrategyInfo& info = kStrategies[strategy];
    frmMain w;
    QVERIFY(start(w, seed));
    clickMode(w, info.mode);
    int moves = 0;
    int ticks = 0;
    while (w.GameOver == 0) {
        QVERIFY2(ticks < 100000, "the game never ended");
        ++ticks;
        const Cells before = w.Board;
        const int entry = w.AutoDir;
        QVERIFY(entry >= 0 && entry < info.cycle);
        int expected = -1;
        for (const int d : info.order[entry]) {
            if (korvex::isLegal(before, d)) {
                expected = d;
                break;
            }
        }
        const std::int32_t score = w.Score;
        const quint64 scoreWrites = w.lblScore->Writes();
        w.tmrAuto_Timer();
        QCOMPARE(w.lblScore->Writes(), scoreWrites + 1);
        QCOMPARE(w.MoveGain, 0);
        if (expected < 0) {
            QCOMPARE(w.Board, before);
            QCOMPARE(w.GameOver, 1);
            break;
        }
        ++moves;
        QCOMPARE(directionPlayed(w, before), expected);
        QCOMPARE(w.AutoDir, info.after[expected]);
        QCOMPARE(w.Score, score + korvex::preview(before, expected));
        QCOMPARE(w.GameOver, 0);
        QCOMPARE(w.AutoMode, info.mode);
    }
    QVERIFY(moves > 50);
    QCOMPARE(ticks, moves + 1);
    QCOMPARE(w.AutoMode, 0);
    QVERIFY(!w.tmrAuto.isActive());
    QVERIFY(checkedModes(w).isEmpty());
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: ") + QString::number(w.Score));
}

// The controller's states: from (mode running, game over) an item K leads to the next state.
void TestAutoplay::modeCommands_data() {
    QTest::addColumn<int>("running");
    QTest::addColumn<bool>("gameOver");
    QTest::addColumn<int>("item");
    QTest::addColumn<bool>("viaMenu"); // QAction::trigger(), the real click path

    for (int k = 1; k <= 3; ++k) {
        for (const bool viaMenu : {false, true}) {
            const char* how = viaMenu ? "menu" : "handler";
            QTest::addRow("off -> running %d (%s)", k, how) << 0 << false << k << viaMenu;
            QTest::addRow("running %d -> off (%s)", k, how) << k << false << k << viaMenu;
            QTest::addRow("game over, item %d -> new game, running (%s)", k, how)
                << 0 << true << k << viaMenu;
            for (int j = 1; j <= 3; ++j) {
                if (j != k) {
                    QTest::addRow("running %d -> running %d (%s)", k, j, how)
                        << k << false << j << viaMenu;
                }
            }
        }
        QTest::addRow("game over while running %d, item %d -> new game, running", k, k)
            << k << true << k << true;
    }
}

void TestAutoplay::modeCommands() {
    QFETCH(int, running);
    QFETCH(bool, gameOver);
    QFETCH(int, item);
    QFETCH(bool, viaMenu);

    frmMain w;
    QVERIFY(start(w, 17));
    w.mnuSpeed200_Click();
    if (running != 0) {
        modeItem(w, running)->trigger();
        QCOMPARE(w.AutoMode, running);
        QVERIFY(w.tmrAuto.isActive());
    }
    // Some play first, so that a new game would show.
    for (int i = 0; i < 5; ++i) {
        w.tmrAuto_Timer();
        QTest::keyClick(&w, Qt::Key_Down);
        QTest::keyClick(&w, Qt::Key_Left);
    }
    w.Score += 1000;
    w.DrawBoard();
    w.GameOver = gameOver ? 1 : 0;
    const Cells board = w.Board;
    const std::int32_t score = w.Score;
    const std::int32_t autoDir = w.AutoDir;

    if (viaMenu) {
        modeItem(w, item)->trigger();
    } else {
        clickMode(w, item);
    }

    QCOMPARE(w.tmrAuto.interval(), 200);
    QCOMPARE(checkedSpeeds(w), QList<int>{200});
    if (!gameOver && running == item) {
        // The running mode's item is its off switch; nothing else changes.
        QCOMPARE(w.AutoMode, 0);
        QVERIFY(!w.tmrAuto.isActive());
        QVERIFY(checkedModes(w).isEmpty());
        QCOMPARE(w.Board, board);
        QCOMPARE(w.Score, score);
        QCOMPARE(w.GameOver, 0);
        QCOMPARE(w.AutoDir, autoDir);
        return;
    }
    QCOMPARE(w.AutoMode, item);
    QVERIFY(w.tmrAuto.isActive());
    QCOMPARE(checkedModes(w), QList<int>{item});
    QVERIFY(w.AutoDir >= 0 && w.AutoDir < kStrategies[item - 1].cycle);
    if (gameOver) {
        QCOMPARE(w.GameOver, 0);
        QCOMPARE(w.Score, 0);
        QCOMPARE(korvex::countEmpty(w.Board), 14);
        QCOMPARE(marks(w).size(), 2);
        QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 0"));
    } else {
        QCOMPARE(w.Board, board);
        QCOMPARE(w.Score, score);
    }
}

// Whether the item is the off switch is decided by `AutoMode`; its check mark plays no part.
void TestAutoplay::offSwitchReadsAutoModeNotTheMark() {
    for (int mode = 1; mode <= 3; ++mode) {
        frmMain w;
        QVERIFY(start(w));
        clickMode(w, mode);
        modeItem(w, mode)->setChecked(false);
        modeItem(w, mode)->trigger();
        QCOMPARE(w.AutoMode, 0);
        QVERIFY(!w.tmrAuto.isActive());
        QVERIFY(checkedModes(w).isEmpty());
    }
}

// Switching a mode on draws `AutoDir` afresh within that mode's range, every value of it.
void TestAutoplay::seededAutoDirCoversItsRange() {
    frmMain w;
    QVERIFY(start(w, 3));
    for (int mode = 1; mode <= 3; ++mode) {
        QList<int> seen(4, 0);
        for (int i = 0; i < 200; ++i) {
            w.AutoDir = 99;
            clickMode(w, mode); // on
            QVERIFY(w.AutoDir >= 0 && w.AutoDir < kStrategies[mode - 1].cycle);
            ++seen[w.AutoDir];
            clickMode(w, mode); // off
        }
        for (int v = 0; v < kStrategies[mode - 1].cycle; ++v) {
            QVERIFY2(seen[v] > 200 / kStrategies[mode - 1].cycle / 3,
                     qPrintable(QStringLiteral("mode %1, AutoDir %2").arg(mode).arg(v)));
        }
    }
    // From one running mode straight to another: a fresh value in the new range.
    for (int i = 0; i < 50; ++i) {
        w.mnuAuto1_Click();
        w.AutoDir = 3;
        w.mnuAuto3_Click();
        QVERIFY(w.AutoDir == 0 || w.AutoDir == 1);
        QCOMPARE(checkedModes(w), QList<int>{3});
        w.mnuAuto3_Click();
    }
}

// "Новая" (by handler, by the menu, by F2) and the victory preview switch auto-play off.
void TestAutoplay::newGameStopsAutoPlay_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("Новая, handler") << "handler";
    QTest::newRow("Новая, menu") << "menu";
    QTest::newRow("F2") << "F2";
    QTest::newRow("victory preview, menu") << "win";
}

void TestAutoplay::newGameStopsAutoPlay() {
    QFETCH(QString, how);
    frmMain w;
    QVERIFY(start(w, 8));
    w.mnuSpeed10->trigger();
    w.mnuOnly4->trigger();
    w.mnuAuto2->trigger();
    QVERIFY(w.tmrAuto.isActive());
    w.Score = 123;
    if (how == QLatin1String("F2")) {
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::keyClick(&w, Qt::Key_F2);
    } else if (how == QLatin1String("menu")) {
        w.mnuNewGame->trigger();
    } else if (how == QLatin1String("win")) {
        w.mnuWin->trigger();
    } else {
        w.mnuNewGame_Click();
    }
    QCOMPARE(w.Score, 0);
    QCOMPARE(w.GameOver, 0);
    QCOMPARE(w.AutoMode, 0);
    QVERIFY(!w.tmrAuto.isActive());
    QVERIFY(checkedModes(w).isEmpty());
    QCOMPARE(checkedSpeeds(w), QList<int>{10});
    QVERIFY(w.mnuOnly4->isChecked());
    if (how != QLatin1String("win")) {
        QCOMPARE(korvex::countEmpty(w.Board), 14);
        QCOMPARE(marks(w).size(), 2);
        for (const std::int32_t v : w.Board) {
            QVERIFY(v == 0 || v == 4); // "Появляется только 4" holds for the new game too
        }
    }
}

void TestAutoplay::speedWhileOffAppliesToTheNextMode() {
    frmMain w;
    QVERIFY(start(w));
    QCOMPARE(w.tmrAuto.interval(), 700);
    QCOMPARE(checkedSpeeds(w), QList<int>{700});
    const std::pair<QAction*, int> speeds[] = {
        {w.mnuSpeed10, 10}, {w.mnuSpeed2000, 2000}, {w.mnuSpeed200, 200}, {w.mnuSpeed700, 700}};
    for (const auto& [item, ms] : speeds) {
        item->trigger();
        QVERIFY(!w.tmrAuto.isActive());
        QCOMPARE(w.AutoMode, 0);
        QCOMPARE(w.tmrAuto.interval(), ms);
        QCOMPARE(checkedSpeeds(w), QList<int>{ms});
        w.mnuAuto1->trigger();
        QVERIFY(w.tmrAuto.isActive());
        QCOMPARE(w.tmrAuto.interval(), ms);
        w.mnuAuto1->trigger();
        QVERIFY(!w.tmrAuto.isActive());
    }
    // While running, a new speed keeps the timer running at the new interval.
    w.mnuAuto3->trigger();
    w.mnuSpeed2000->trigger();
    QVERIFY(w.tmrAuto.isActive());
    QCOMPARE(w.tmrAuto.interval(), 2000);
    QCOMPARE(w.AutoMode, 3);
}

// Choosing the checked speed again does not toggle its mark off.
void TestAutoplay::checkedSpeedChangesNothing() {
    frmMain w;
    QVERIFY(start(w));
    w.mnuSpeed700->trigger();
    QCOMPARE(checkedSpeeds(w), QList<int>{700});
    QCOMPARE(w.tmrAuto.interval(), 700);
    w.mnuSpeed700_Click();
    QCOMPARE(checkedSpeeds(w), QList<int>{700});
    w.mnuSpeed200->trigger();
    w.mnuSpeed200->trigger();
    QCOMPARE(checkedSpeeds(w), QList<int>{200});
    QCOMPARE(w.tmrAuto.interval(), 200);
    QVERIFY(!w.tmrAuto.isActive());
}

void TestAutoplay::exactlyOneSpeedChecked() {
    frmMain w;
    QVERIFY(start(w));
    QAction* items[] = {w.mnuSpeed10, w.mnuSpeed200, w.mnuSpeed700, w.mnuSpeed2000};
    const int intervals[] = {10, 200, 700, 2000};
    for (int a = 0; a < 4; ++a) {
        for (int b = 0; b < 4; ++b) {
            items[a]->trigger();
            items[b]->trigger();
            QCOMPARE(checkedSpeeds(w), QList<int>{intervals[b]});
            QCOMPARE(w.tmrAuto.interval(), intervals[b]);
        }
    }
}

// With no mode the tick plays nothing, but still draws and books the points.
void TestAutoplay::tickWithoutModeOnlyDraws() {
    frmMain w;
    QVERIFY(start(w));
    const Cells board = boardWithLegal(15);
    setBoard(w, board, 30);
    w.MoveGain = 8;
    w.tmrAuto_Timer();
    QCOMPARE(w.Board, board);
    QCOMPARE(w.Score, 38);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 38 +8"));
    QCOMPARE(w.GameOver, 0);
}

// Each strategy plays a game to its end on the real timer at 10 ms a move, drawing every tick.
void TestAutoplay::wholeGamesOnTheRealTimer_data() {
    QTest::addColumn<int>("strategy");
    for (int s = 0; s < 3; ++s) {
        QTest::newRow(kStrategies[s].name) << s;
    }
}

void TestAutoplay::wholeGamesOnTheRealTimer() {
    QFETCH(int, strategy);
    const StrategyInfo& info = kStrategies[strategy];
    frmMain w;
    QVERIFY(start(w, 2024 + strategy));
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    w.mnuSpeed10->trigger();
    int ticks = 0;
    connect(&w.tmrAuto, &QTimer::timeout, &w, [&ticks] { ++ticks; });
    const quint64 scoreWrites = w.lblScore->Writes();

    modeItem(w, info.mode)->trigger();
    QVERIFY(w.tmrAuto.isActive());
    QCOMPARE(w.tmrAuto.interval(), 10);
    QTRY_VERIFY_WITH_TIMEOUT(w.GameOver == 1, 120000);

    QVERIFY(ticks > 50);
    QCOMPARE(w.lblScore->Writes(), scoreWrites + static_cast<quint64>(ticks));
    QCOMPARE(w.AutoMode, 0);
    QVERIFY(!w.tmrAuto.isActive());
    QVERIFY(!modeItem(w, info.mode)->isChecked());
    QVERIFY(checkedModes(w).isEmpty());
    QCOMPARE(legalMask(w.Board), 0);
    QCOMPARE(w.MoveGain, 0);
    QVERIFY(w.Score > 0);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: ") + QString::number(w.Score));
    QVERIFY(labelsShow(w, w.Board));
    // No tick comes after the end.
    const int ended = ticks;
    QTest::qWait(100);
    QCOMPARE(ticks, ended);
}

QTEST_MAIN(TestAutoplay)
#include "test_autoplay.moc"
