// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Moves through the window: arrow keys as real key events, the move sequence with its spawn
// and score line, the keys that must not move, Esc, and the victory preview.
#include "app/frmmain.h"
#include "testsupport.h"
#include "windowtest.h"

#include <QAction>
#include <QKeyEvent>
#include <QTest>

#include <array>
#include <cstdint>

using korvex::Cells;
using korvex::test::kDistinct;
using korvex::test::marks;
using korvex::test::setBoard;
using korvex::test::start;

namespace {

constexpr Cells kShowcase{
    0,     2,    4,    4,    //
    64,    32,   16,   8,    //
    128,   256,  512,  1024, //
    16384, 8192, 4096, 2048, //
};

const Qt::Key kArrows[] = {Qt::Key_Up, Qt::Key_Right, Qt::Key_Down, Qt::Key_Left};

std::int64_t sum(const Cells& cells) {
    std::int64_t total = 0;
    for (const std::int32_t v : cells) {
        total += v;
    }
    return total;
}

// Every write any label has taken: a handler that draws changes it, one that does not, cannot.
quint64 allWrites(const frmMain& w) {
    quint64 total = w.lblScore->Writes();
    for (int i = 0; i < korvex::kCells; ++i) {
        total += w.lblNum[i]->Writes() + w.lblFon[i]->Writes();
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

QString scoreLine(int score, int gain = 0) {
    QString line = QStringLiteral("Счёт: ") + QString::number(score);
    if (gain != 0) {
        line += QStringLiteral(" +") + QString::number(gain);
    }
    return line;
}

void sendAutoRepeat(frmMain& w, Qt::Key key) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), /*autorep=*/true);
    QCoreApplication::sendEvent(&w, &press);
}

} // namespace

class TestMoves : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { korvex::test::usePrivateRuntimeDir(); }

    void arrowsMoveWrittenOutBoards_data();
    void arrowsMoveWrittenOutBoards();
    void noLegalDirectionOnlyRedraws();
    void onePairInARowAllowsOnlyLeftAndRight_data();
    void onePairInARowAllowsOnlyLeftAndRight();
    void slideWithoutMergeShowsNoGain();
    void keyThatMovesNothingDropsTheGain_data();
    void keyThatMovesNothingDropsTheGain();
    void keysSharingArrowCodesDoNotMove_data();
    void keysSharingArrowCodesDoNotMove();
    void autoRepeatIsOneAttemptEach();
    void gameOverIgnoresKeys();
    void escapeClosesTheWindow_data();
    void escapeClosesTheWindow();
    void previewLeftChangesNothing();
    void randomPlayKeepsTheBooks();

    void victoryPreviewShowsTheShowcase_data();
    void victoryPreviewShowsTheShowcase();
    void victoryPreviewFirstMoveRight();
};

// One literal board per key; the spawned tile is taken out again before comparing.
void TestMoves::arrowsMoveWrittenOutBoards_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<Cells>("before");
    QTest::addColumn<Cells>("after");
    QTest::addColumn<int>("points");

    QTest::newRow("left: 2 2 2 2 and 2 2 4 4") << int(Qt::Key_Left) << Cells{2, 2, 2, 2, //
                                                                             0, 0, 0, 0, //
                                                                             2, 2, 4, 4, //
                                                                             0, 0, 0, 0}
                                               << Cells{4, 4, 0, 0, //
                                                        0, 0, 0, 0, //
                                                        4, 8, 0, 0, //
                                                        0, 0, 0, 0}
                                               << 20;
    QTest::newRow("right: 2 2 2 0 from the right edge")
        << int(Qt::Key_Right) << Cells{0, 0, 0, 0, //
                                       0, 2, 2, 2, //
                                       0, 0, 0, 0, //
                                       0, 0, 0, 0}
        << Cells{0, 0, 0, 0, //
                 0, 0, 2, 4, //
                 0, 0, 0, 0, //
                 0, 0, 0, 0}
        << 4;
    QTest::newRow("down: 4 4 8 0 from the bottom") << int(Qt::Key_Down) << Cells{0, 0, 0, 0, //
                                                                                 0, 0, 8, 0, //
                                                                                 0, 0, 4, 0, //
                                                                                 0, 0, 4, 0}
                                                   << Cells{0, 0, 0, 0, //
                                                            0, 0, 0, 0, //
                                                            0, 0, 8, 0, //
                                                            0, 0, 8, 0}
                                                   << 8;
    QTest::newRow("up: 8 4 4 0 from the top, a slide in another column")
        << int(Qt::Key_Up) << Cells{8, 0, 0, 0, //
                                    4, 0, 0, 0, //
                                    4, 0, 0, 0, //
                                    0, 0, 0, 2}
        << Cells{8, 0, 0, 2, //
                 8, 0, 0, 0, //
                 0, 0, 0, 0, //
                 0, 0, 0, 0}
        << 8;
}

void TestMoves::arrowsMoveWrittenOutBoards() {
    QFETCH(int, key);
    QFETCH(Cells, before);
    QFETCH(Cells, after);
    QFETCH(int, points);

    frmMain w;
    QVERIFY(start(w));
    setBoard(w, before, 100);
    QTest::keyClick(&w, static_cast<Qt::Key>(key));

    const QList<int> marked = marks(w);
    QCOMPARE(marked.size(), 1);
    const int spawned = marked.first();
    QCOMPARE(after[spawned], 0); // the new tile went to a cell the move left empty
    QVERIFY(w.Board[spawned] == 2 || w.Board[spawned] == 4);
    Cells withoutSpawn = w.Board;
    withoutSpawn[spawned] = 0;
    QCOMPARE(withoutSpawn, after);
    QCOMPARE(w.Score, 100 + points);
    QCOMPARE(w.MoveGain, 0);
    QCOMPARE(w.lblScore->Caption(), scoreLine(100 + points, points));
    QVERIFY(labelsShow(w, w.Board));
}

void TestMoves::noLegalDirectionOnlyRedraws() {
    frmMain w;
    QVERIFY(start(w));
    setBoard(w, kDistinct, 40);
    for (const Qt::Key key : kArrows) {
        const quint64 scoreWrites = w.lblScore->Writes();
        QTest::keyClick(&w, key);
        QCOMPARE(w.Board, kDistinct);
        QVERIFY(marks(w).isEmpty());
        QCOMPARE(w.GameOver, 0);
        QCOMPARE(w.Score, 40);
        QCOMPARE(w.lblScore->Writes(), scoreWrites + 1);
        QCOMPARE(w.lblScore->Caption(), scoreLine(40));
    }
}

void TestMoves::onePairInARowAllowsOnlyLeftAndRight_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("legal");
    QTest::newRow("up") << int(Qt::Key_Up) << false;
    QTest::newRow("right") << int(Qt::Key_Right) << true;
    QTest::newRow("down") << int(Qt::Key_Down) << false;
    QTest::newRow("left") << int(Qt::Key_Left) << true;
}

void TestMoves::onePairInARowAllowsOnlyLeftAndRight() {
    QFETCH(int, key);
    QFETCH(bool, legal);
    Cells board = kDistinct;
    board[1] = 2; // row 1 starts 2 2
    frmMain w;
    QVERIFY(start(w));
    setBoard(w, board);
    QTest::keyClick(&w, static_cast<Qt::Key>(key));
    if (!legal) {
        QCOMPARE(w.Board, board);
        QVERIFY(marks(w).isEmpty());
        QCOMPARE(w.Score, 0);
        return;
    }
    QCOMPARE(w.Score, 4);
    // Row 1 was 2 2 8 16; the gap the merge leaves is the only empty cell, so the new tile
    // lands there.
    const int spawned = key == Qt::Key_Left ? 3 : 0;
    QCOMPARE(marks(w), QList<int>{spawned});
    const std::array<std::int32_t, 3> packed =
        key == Qt::Key_Left ? std::array<std::int32_t, 3>{w.Board[0], w.Board[1], w.Board[2]}
                            : std::array<std::int32_t, 3>{w.Board[1], w.Board[2], w.Board[3]};
    QCOMPARE(packed, (std::array<std::int32_t, 3>{4, 8, 16}));
    for (int i = 4; i < korvex::kCells; ++i) {
        QCOMPARE(w.Board[i], board[i]);
    }
}

void TestMoves::slideWithoutMergeShowsNoGain() {
    frmMain w;
    QVERIFY(start(w));
    Cells board{};
    board[korvex::cellIndex(2, 2)] = 2;
    board[korvex::cellIndex(3, 4)] = 2;
    setBoard(w, board, 36);
    QTest::keyClick(&w, Qt::Key_Left); // both slide, neither meets the other
    QCOMPARE(w.Board[korvex::cellIndex(2, 1)], 2);
    QCOMPARE(w.Board[korvex::cellIndex(3, 1)], 2);
    QCOMPARE(marks(w).size(), 1);
    QCOMPARE(w.Score, 36);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 36"));
}

// After a scoring move the score line shows the gain; the next key that moves nothing still
// redraws, and the gain is gone.
void TestMoves::keyThatMovesNothingDropsTheGain_data() {
    QTest::addColumn<int>("key");
    QTest::newRow("illegal arrow") << int(Qt::Key_Left);
    QTest::newRow("letter") << int(Qt::Key_A);
    QTest::newRow("space") << int(Qt::Key_Space);
    QTest::newRow("F5") << int(Qt::Key_F5);
    QTest::newRow("shift") << int(Qt::Key_Shift);
}

void TestMoves::keyThatMovesNothingDropsTheGain() {
    QFETCH(int, key);
    frmMain w;
    QVERIFY(start(w));
    w.mnuOnly2_Click();
    // Left merges the 4s, and the new 2 fills the only gap: after that Left cannot move.
    setBoard(w,
             Cells{4, 4, 16, 32,                 //
                   64, 128, 256, 512,            //
                   1024, 2048, 4096, 8192,       //
                   16384, 32768, 65536, 131072}, //
             12);
    QTest::keyClick(&w, Qt::Key_Left);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 20 +8"));
    QCOMPARE(korvex::countEmpty(w.Board), 0);
    w.ClearSpawnMarks();
    const Cells before = w.Board;
    const quint64 scoreWrites = w.lblScore->Writes();

    QTest::keyClick(&w, static_cast<Qt::Key>(key));
    QCOMPARE(w.Board, before);
    QVERIFY(marks(w).isEmpty());
    QCOMPARE(w.Score, 20);
    QCOMPARE(w.lblScore->Writes(), scoreWrites + 1);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 20"));
}

// Qt gives printable keys their character codes, and '%', '&', '\'' and '(' are 37 to 40,
// the very numbers of the arrows' virtual keys.
void TestMoves::keysSharingArrowCodesDoNotMove_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<char>("character");
    QTest::addColumn<int>("arrowCode");
    QTest::newRow("percent") << int(Qt::Key_Percent) << '%' << 37;
    QTest::newRow("ampersand") << int(Qt::Key_Ampersand) << '&' << 38;
    QTest::newRow("apostrophe") << int(Qt::Key_Apostrophe) << '\'' << 39;
    QTest::newRow("left parenthesis") << int(Qt::Key_ParenLeft) << '(' << 40;
}

void TestMoves::keysSharingArrowCodesDoNotMove() {
    QFETCH(int, key);
    QFETCH(char, character);
    QFETCH(int, arrowCode);
    QCOMPARE(key, arrowCode); // the collision this test is about

    frmMain w;
    QVERIFY(start(w));
    Cells board{};
    board[korvex::cellIndex(2, 2)] = 2; // every direction is legal
    setBoard(w, board);
    const quint64 scoreWrites = w.lblScore->Writes();
    QTest::keyClick(&w, static_cast<Qt::Key>(key));
    QTest::keyClick(&w, character);
    QCOMPARE(w.Board, board);
    QVERIFY(marks(w).isEmpty());
    QCOMPARE(w.lblScore->Writes(), scoreWrites + 2); // not arrows, but still redrawn
}

// A held key repeats; each repeated key-down is one attempt to move.
void TestMoves::autoRepeatIsOneAttemptEach() {
    frmMain w;
    QVERIFY(start(w));
    for (int row = 1; row <= korvex::kSide; ++row) {
        Cells board{};
        board[korvex::cellIndex(row, 1)] = 8;
        setBoard(w, board);
        sendAutoRepeat(w, Qt::Key_Right);
        QCOMPARE(w.Board[korvex::cellIndex(row, 4)], 8);
        QCOMPARE(w.Board[korvex::cellIndex(row, 1)] == 8, false);
        QCOMPARE(korvex::countEmpty(w.Board), 14);
    }
    // Repeats of a key that can no longer move still redraw, one redraw each.
    setBoard(w, kDistinct);
    const quint64 scoreWrites = w.lblScore->Writes();
    for (int i = 0; i < 3; ++i) {
        sendAutoRepeat(w, Qt::Key_Down);
    }
    QCOMPARE(w.lblScore->Writes(), scoreWrites + 3);
    QCOMPARE(w.Board, kDistinct);
}

void TestMoves::gameOverIgnoresKeys() {
    frmMain w;
    QVERIFY(start(w));
    Cells board{};
    board[korvex::cellIndex(2, 2)] = 2;
    board[korvex::cellIndex(2, 3)] = 2;
    setBoard(w, board, 52);
    w.GameOver = 1;
    const quint64 writes = allWrites(w);
    const QString caption = w.lblScore->Caption();
    for (const Qt::Key key : kArrows) {
        QTest::keyClick(&w, key);
        sendAutoRepeat(w, key);
    }
    QTest::keyClick(&w, Qt::Key_A);
    QCOMPARE(w.Board, board);
    QCOMPARE(w.Score, 52);
    QCOMPARE(w.GameOver, 1);
    QCOMPARE(allWrites(w), writes);
    QCOMPARE(w.lblScore->Caption(), caption);
}

void TestMoves::escapeClosesTheWindow_data() {
    QTest::addColumn<bool>("gameOver");
    QTest::addColumn<bool>("autoPlay");
    QTest::addColumn<bool>("stuck");
    QTest::newRow("in play") << false << false << false;
    QTest::newRow("no legal direction") << false << false << true;
    QTest::newRow("game over") << true << false << false;
    QTest::newRow("auto-play running") << false << true << false;
}

void TestMoves::escapeClosesTheWindow() {
    QFETCH(bool, gameOver);
    QFETCH(bool, autoPlay);
    QFETCH(bool, stuck);
    frmMain w;
    QVERIFY(start(w));
    if (stuck) {
        setBoard(w, kDistinct);
    }
    if (autoPlay) {
        w.mnuAuto2_Click();
        QVERIFY(w.tmrAuto.isActive());
    }
    w.GameOver = gameOver ? 1 : 0;
    w.show();
    QVERIFY(QTest::qWaitForWindowExposed(&w));
    QVERIFY(!w.Unloaded());
    const Cells board = w.Board;
    QTest::keyClick(&w, Qt::Key_Escape);
    QVERIFY(w.Unloaded());
    QVERIFY(!w.isVisible());
    QVERIFY(!w.tmrAuto.isActive());
    QCOMPARE(w.Board, board);
}

void TestMoves::previewLeftChangesNothing() {
    frmMain w;
    QVERIFY(start(w));
    const Cells board{4, 4, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    setBoard(w, board);
    QCOMPARE(w.PreviewLeft(), 8);
    QCOMPARE(w.Board, board);
    QCOMPARE(w.MoveGain, 0);
    w.MoveGain = 6; // points of merges not yet drawn stay as they are
    QCOMPARE(w.PreviewLeft(), 8);
    QCOMPARE(w.PreviewRight(), 8);
    QCOMPARE(w.PreviewUp(), 0);
    QCOMPARE(w.PreviewDown(), 0);
    QCOMPARE(w.MoveGain, 6);
    QCOMPARE(w.Board, board);
}

// Many keys from a fixed seed: after each legal move one cell carries the mark, the tiles'
// sum grew by exactly the new tile, and the score by the move's points; an illegal key
// changes nothing but the score line.
void TestMoves::randomPlayKeepsTheBooks() {
    frmMain w;
    QVERIFY(start(w, 4242));
    korvex::RandomSource keys;
    keys.seedRaw(99);
    int legalMoves = 0;
    int illegalMoves = 0;
    int games = 1;
    for (int step = 0; step < 3000; ++step) {
        bool stuck = true;
        for (int d = 0; d < korvex::kDirections; ++d) {
            stuck = stuck && !korvex::isLegal(w.Board, d);
        }
        if (stuck) {
            w.mnuNewGame_Click();
            ++games;
        }
        const int direction = static_cast<int>(keys.next() * 4.0f);
        const Cells before = w.Board;
        const QList<int> marksBefore = marks(w);
        const std::int32_t scoreBefore = w.Score;
        const bool legal = korvex::isLegal(before, direction);
        const std::int32_t points = korvex::preview(before, direction);
        Cells expected = before;
        korvex::applyMove(expected, direction);

        QTest::keyClick(&w, kArrows[direction]);

        QCOMPARE(w.MoveGain, 0);
        if (!legal) {
            ++illegalMoves;
            QCOMPARE(w.Board, before);
            QCOMPARE(marks(w), marksBefore);
            QCOMPARE(w.Score, scoreBefore);
            QCOMPARE(w.lblScore->Caption(), scoreLine(scoreBefore));
            continue;
        }
        ++legalMoves;
        const QList<int> marked = marks(w);
        QCOMPARE(marked.size(), 1);
        const int spawned = marked.first();
        const std::int32_t tile = w.Board[spawned];
        QVERIFY(tile == 2 || tile == 4);
        QCOMPARE(sum(w.Board), sum(before) + tile);
        QCOMPARE(expected[spawned], 0);
        expected[spawned] = tile;
        QCOMPARE(w.Board, expected);
        QCOMPARE(w.Score, scoreBefore + points);
        QCOMPARE(w.lblScore->Caption(), scoreLine(w.Score, points));
        QVERIFY(labelsShow(w, w.Board));
    }
    // The run must have exercised both branches and more than one game.
    QVERIFY(legalMoves > 1000);
    QVERIFY(illegalMoves > 50);
    QVERIFY(games > 1);
}

void TestMoves::victoryPreviewShowsTheShowcase_data() {
    QTest::addColumn<QString>("before");
    QTest::newRow("fresh game") << "fresh";
    QTest::newRow("during auto-play 1") << "auto1";
    QTest::newRow("during auto-play 2") << "auto2";
    QTest::newRow("during auto-play 3") << "auto3";
    QTest::newRow("after the game is over") << "over";
    QTest::newRow("chosen twice") << "twice";
    QTest::newRow("through the menu item") << "trigger";
    QTest::newRow("with a spawn option and a speed set") << "options";
}

void TestMoves::victoryPreviewShowsTheShowcase() {
    QFETCH(QString, before);
    frmMain w;
    QVERIFY(start(w, 7));
    w.Score = 300;
    if (before.startsWith(QLatin1String("auto"))) {
        QAction* item[] = {w.mnuAuto1, w.mnuAuto2, w.mnuAuto3};
        item[before.back().digitValue() - 1]->trigger();
        QVERIFY(w.tmrAuto.isActive());
        QVERIFY(w.AutoMode != 0);
    } else if (before == QLatin1String("over")) {
        setBoard(w, kDistinct, 300);
        w.GameOver = 1;
    } else if (before == QLatin1String("twice")) {
        w.mnuWin_Click();
        QTest::keyClick(&w, Qt::Key_Right);
    } else if (before == QLatin1String("options")) {
        w.mnuOnly4_Click();
        w.mnuSpeed2000_Click();
    }
    const std::int32_t autoDir = w.AutoDir;
    const int interval = w.tmrAuto.interval();

    if (before == QLatin1String("trigger")) {
        w.mnuWin->trigger();
    } else {
        w.mnuWin_Click();
    }

    QCOMPARE(w.Board, kShowcase);
    QCOMPARE(marks(w), QList<int>{1});
    QCOMPARE(w.Score, 0);
    QCOMPARE(w.MoveGain, 0);
    QCOMPARE(w.GameOver, 0);
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 0"));
    QVERIFY(labelsShow(w, kShowcase));
    QCOMPARE(w.lblNum[12]->Caption(), QStringLiteral("16384"));
    // Auto-play is off; what the player chose otherwise stays.
    QCOMPARE(w.AutoMode, 0);
    QVERIFY(!w.tmrAuto.isActive());
    QVERIFY(!w.mnuAuto1->isChecked());
    QVERIFY(!w.mnuAuto2->isChecked());
    QVERIFY(!w.mnuAuto3->isChecked());
    QVERIFY(!w.mnuWin->isChecked());
    QCOMPARE(w.AutoDir, autoDir);
    QCOMPARE(w.tmrAuto.interval(), interval);
    if (before == QLatin1String("options")) {
        QVERIFY(w.mnuOnly4->isChecked());
        QVERIFY(w.mnuSpeed2000->isChecked());
        QCOMPARE(interval, 2000);
    }
    // The game is in play: up packs column 1 into the empty corner, and the new tile lands in
    // the one cell that frees.
    QTest::keyClick(&w, Qt::Key_Up);
    Cells afterUp = kShowcase;
    afterUp[0] = 64;
    afterUp[4] = 128;
    afterUp[8] = 16384;
    afterUp[12] = w.Board[12];
    QVERIFY(afterUp[12] == 2 || afterUp[12] == 4);
    QCOMPARE(w.Board, afterUp);
    QCOMPARE(marks(w), QList<int>{12});
    QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 0"));
}

// Right from the showcase merges the two 4s of row 1 and leaves the other rows alone.
void TestMoves::victoryPreviewFirstMoveRight() {
    bool landedIn[2] = {false, false};
    for (quint32 seed = 1; seed <= 24; ++seed) {
        frmMain w;
        QVERIFY(start(w, seed));
        w.mnuWin_Click();
        QTest::keyClick(&w, Qt::Key_Right);
        QCOMPARE(w.Board[2], 2);
        QCOMPARE(w.Board[3], 8);
        const QList<int> marked = marks(w);
        QCOMPARE(marked.size(), 1);
        const int spawned = marked.first();
        QVERIFY(spawned == 0 || spawned == 1);
        QVERIFY(w.Board[spawned] == 2 || w.Board[spawned] == 4);
        QCOMPARE(w.Board[1 - spawned], 0);
        landedIn[spawned] = true;
        for (int i = 4; i < korvex::kCells; ++i) {
            QCOMPARE(w.Board[i], kShowcase[i]);
        }
        QCOMPARE(w.Score, 8);
        QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 8 +8"));
    }
    QVERIFY(landedIn[0] && landedIn[1]);
}

QTEST_MAIN(TestMoves)
#include "test_moves.moc"
