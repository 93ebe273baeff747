// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The auto-player through the window: the strategies' choices and `AutoDir`, the end of a
// game, the mode and speed commands, and whole games played by the real timer.
#include "windowtest.h"

#include <QSignalSpy>

using namespace korvex::test;

class TestAutoplay : public QObject {
    Q_OBJECT
    PrivateRuntimeDir Runtime; // before the first window
private slots:
    // The boards below are the ground the strategy tests stand on; check them first.
    void fixturesHaveTheirLegalDirections() {
        for (int mask = 0; mask < 16; ++mask) {
            QCOMPARE(legalMask(boardWithLegal(mask)), mask);
        }
    }

    // The end test: on a full board where nothing is legal any strategy plays nothing, ends the
    // game and the auto-play, and does not draw; the tick draws once more. With `GameOver` already
    // 1 the chain still plays its move first, then the auto-play goes off in the same call.
    void endOfTheGame_data() {
        addColumns<int, bool>("mode", "alreadyOver");
        for (const StrategyRules& s : kStrategies) {
            QTest::addRow("%s, nothing legal", s.name) << s.mode << false;
            QTest::addRow("%s, GameOver already 1", s.name) << s.mode << true;
        }
    }

    void endOfTheGame() {
        QFETCH(int, mode);
        QFETCH(bool, alreadyOver);
        const StrategyRules& s = strategyOf(mode);
        frmMain w;
        QVERIFY(start(w));
        clickMode(w, mode);
        QVERIFY(w.tmrAuto.isActive());
        const Cells board = alreadyOver ? boardWithLegal(15) : kDistinct;
        setBoard(w, board, 500);
        w.GameOver = alreadyOver ? 1 : 0;
        const int entry = w.AutoDir;
        const quint64 writes = labelWrites(w, ScoreLabel | NumberLabels);

        callStrategy(w, mode);
        if (alreadyOver) {
            const int expected = s.order[entry][0]; // every direction is legal here
            QCOMPARE(directionPlayed(w, board), expected);
            QCOMPARE(w.AutoDir, s.autoDirAfter[expected]);
        } else {
            QCOMPARE(w.Board, board);
        }
        QCOMPARE(w.GameOver, 1);
        QVERIFY(autoPlayOff(w));
        QCOMPARE(labelWrites(w, ScoreLabel | NumberLabels), writes); // a strategy never draws

        const Cells last = w.Board;
        w.tmrAuto_Timer(); // the controller draws once more
        if (!alreadyOver) {
            QCOMPARE(labelWrites(w, ScoreLabel | NumberLabels), writes + 1); // the score line only
        }
        QCOMPARE(std::pair(w.Board, w.lblScore->Caption()), std::pair(last, scoreLine(500)));
        QVERIFY2(drawnWrong(w, last).isEmpty(), qPrintable(drawnWrong(w, last)));
    }

    // Every strategy, `AutoDir` on entry and set of legal directions, and two 2s legal left by
    // merge alone: the call plays its order's first legal direction through the move sequence (old
    // mark gone, one new tile marked), leaves `MoveGain` for the tick and sets `AutoDir` by it.
    void choiceAndAutoDirByTable_data() { addStrategyEntryRows(); }

    void choiceAndAutoDirByTable() {
        QFETCH(int, mode);
        QFETCH(int, entry);
        const StrategyRules& s = strategyOf(mode);
        frmMain w;
        QVERIFY(start(w));
        std::vector<Cells> boards{kTwoTwos};
        for (int mask = 1; mask < 16; ++mask) {
            boards.push_back(boardWithLegal(mask));
        }
        for (const Cells& board : boards) {
            const int expected = firstLegal(s, entry, legalMask(board));
            setBoard(w, board, 10);
            w.lblFon[5]->SetBorderStyle(1); // the previous move's mark
            w.AutoDir = entry;
            const quint64 writes = labelWrites(w, ScoreLabel | NumberLabels);
            callStrategy(w, mode);
            const QByteArray where = boardText(board).toUtf8();
            QVERIFY2(directionPlayed(w, board) == expected, where);
            QVERIFY2(w.AutoDir == s.autoDirAfter[expected], where);
            QVERIFY2(w.MoveGain == move(board, expected).points, where);
            QVERIFY2(w.Score == 10 && w.GameOver == 0, where);
            QVERIFY2(labelWrites(w, ScoreLabel | NumberLabels) == writes, where); // never draws
        }
    }

    // A move leaving nothing legal: that call goes on as usual, the next ends the game; both draw.
    void gameEndsOnlyOnTheNextTick() {
        frmMain w;
        QVERIFY(start(w));
        w.mnuOnly2_Click();
        w.mnuAuto3_Click();
        // Down frees the top-left cell; the new 2 there, by 16 and over 8, leaves no equal pair.
        const Cells board = korvex::test::board(
            "8 16 32 64 / 128 256 512 1024 / 2048 4096 8192 16384 / 0 32768 65536 131072");
        setBoard(w, board, 70);
        w.AutoDir = 0;
        quint64 scoreWrites = w.lblScore->Writes();

        w.tmrAuto_Timer();
        QCOMPARE(directionPlayed(w, board), D);
        QCOMPARE(std::pair(w.Board[0], legalMask(w.Board)), std::pair(2, 0));
        QCOMPARE(std::tuple(w.GameOver, w.AutoMode, w.tmrAuto.isActive()), std::tuple(0, 3, true));
        QCOMPARE(checkedModes(w), QList<int>{3});
        QCOMPARE(w.lblScore->Writes(), scoreWrites + 1);
        QVERIFY2(drawnWrong(w, w.Board).isEmpty(), qPrintable(drawnWrong(w, w.Board)));

        const Cells last = w.Board;
        scoreWrites = w.lblScore->Writes();
        w.tmrAuto_Timer();
        QCOMPARE(w.Board, last);
        QVERIFY(w.GameOver == 1 && autoPlayOff(w));
        QCOMPARE(std::pair(w.lblScore->Writes(), w.lblScore->Caption()),
                 std::pair(scoreWrites + 1, scoreLine(70)));
    }

    void modeCommands_data() {
        // viaMenu: QAction::trigger(), the real click; unmarked: the running mode's mark off first
        addColumns<int, bool, int, bool, bool>("running", "gameOver", "item", "viaMenu",
                                               "unmarked");
        for (int k = 1; k <= 3; ++k) {
            for (const bool viaMenu : {false, true}) {
                const char* how = viaMenu ? "menu" : "handler";
                QTest::addRow("off -> running %d (%s)", k, how)
                    << 0 << false << k << viaMenu << false;
                QTest::addRow("running %d -> off (%s)", k, how)
                    << k << false << k << viaMenu << false;
                QTest::addRow("game over, item %d -> new game, running (%s)", k, how)
                    << 0 << true << k << viaMenu << false;
                for (int j = 1; j <= 3; ++j) {
                    if (j != k) {
                        QTest::addRow("running %d -> running %d (%s)", k, j, how)
                            << k << false << j << viaMenu << false;
                    }
                }
            }
            QTest::addRow("game over while running %d, item %d -> new game, running", k, k)
                << k << true << k << true << false;
            // Whether the item is the off switch is decided by `AutoMode`, not by its mark.
            QTest::addRow("running %d, its mark taken off -> off", k)
                << k << false << k << true << true;
        }
    }

    void modeCommands() {
        QFETCH(int, running);
        QFETCH(bool, gameOver);
        QFETCH(int, item);
        QFETCH(bool, viaMenu);
        QFETCH(bool, unmarked);

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
            pressKey(w, Qt::Key_Down);
            pressKey(w, Qt::Key_Left);
        }
        w.Score += 1000;
        w.DrawBoard();
        w.GameOver = gameOver ? 1 : 0;
        const Cells board = w.Board;
        const std::int32_t score = w.Score;
        const std::int32_t autoDir = w.AutoDir;
        if (unmarked) {
            modeItem(w, running)->setChecked(false);
        }

        if (viaMenu) {
            modeItem(w, item)->trigger();
        } else {
            clickMode(w, item);
        }

        QCOMPARE(std::pair(w.tmrAuto.interval(), checkedSpeeds(w)),
                 std::pair(200, QList<int>{200}));
        if (!gameOver && running == item) {
            // The running mode's item is its off switch; nothing else changes.
            QVERIFY(autoPlayOff(w));
            QCOMPARE(w.Board, board);
            QCOMPARE(std::tuple(w.Score, w.GameOver, w.AutoDir), std::tuple(score, 0, autoDir));
            return;
        }
        QCOMPARE(std::pair(w.AutoMode, w.tmrAuto.isActive()), std::pair(item, true));
        QCOMPARE(checkedModes(w), QList<int>{item});
        QVERIFY(w.AutoDir >= 0 && w.AutoDir < strategyOf(item).cycle);
        if (gameOver) {
            QCOMPARE(std::tuple(w.GameOver, w.Score, emptyCells(w.Board), marks(w).size()),
                     std::tuple(0, 0, 14, 2));
            QCOMPARE(w.lblScore->Caption(), scoreLine(0));
        } else {
            QCOMPARE(std::pair(w.Board, w.Score), std::pair(board, score));
        }
    }

    // Switching a mode on draws `AutoDir` afresh within that mode's range, every value of it.
    void seededAutoDirCoversItsRange() {
        frmMain w;
        QVERIFY(start(w, 3));
        for (int mode = 1; mode <= 3; ++mode) {
            QList<int> seen(4, 0);
            for (int i = 0; i < 200; ++i) {
                w.AutoDir = 99;
                clickMode(w, mode); // on
                QVERIFY(w.AutoDir >= 0 && w.AutoDir < strategyOf(mode).cycle);
                ++seen[w.AutoDir];
                clickMode(w, mode); // off
            }
            for (int v = 0; v < strategyOf(mode).cycle; ++v) {
                QVERIFY2(seen[v] > 200 / strategyOf(mode).cycle / 3,
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

    // "Новая" (handler, menu, F2) and the victory preview stop auto-play in any mode, keeping the
    // speed, `AutoDir` and spawn option (for the new tiles too); menu and F2 start one new game.
    void newGameStopsAutoPlay_data() {
        addColumns<QString, int, bool, int>("how", "mode", "only4", "speed");
        QTest::newRow("Новая, handler, В три стороны") << "handler" << 2 << true << 10;
        QTest::newRow("Новая, menu, Во все стороны") << "menu" << 1 << false << 200;
        QTest::newRow("Новая, menu, В три стороны") << "menu" << 2 << true << 10;
        QTest::newRow("Новая, menu, В угол") << "menu" << 3 << false << 200;
        QTest::newRow("F2, В угол") << "F2" << 3 << true << 10;
        QTest::newRow("victory preview, menu, В три стороны") << "win" << 2 << true << 10;
    }

    void newGameStopsAutoPlay() {
        QFETCH(QString, how);
        QFETCH(int, mode);
        QFETCH(bool, only4);
        QFETCH(int, speed);
        frmMain w;
        QVERIFY(start(w, 8));
        if (how == QLatin1String("F2")) {
            QVERIFY(showActive(w)); // before the auto-player starts
        }
        speedItem(w, speed)->trigger();
        (only4 ? w.mnuOnly4 : w.mnuOnly2)->trigger();
        modeItem(w, mode)->trigger();
        QVERIFY(w.tmrAuto.isActive());
        w.tmrAuto_Timer(); // a tick or two of play first
        w.tmrAuto_Timer();
        w.Score = 123;
        const std::int32_t autoDir = w.AutoDir;
        QSignalSpy newGames(w.mnuNewGame, &QAction::triggered);
        if (how == QLatin1String("F2")) {
            pressKey(w, Qt::Key_F2);
        } else if (how == QLatin1String("menu")) {
            w.mnuNewGame->trigger();
        } else if (how == QLatin1String("win")) {
            w.mnuWin->trigger();
        } else {
            w.mnuNewGame_Click();
        }
        QCOMPARE(newGames.count(),
                 how == QLatin1String("menu") || how == QLatin1String("F2") ? 1 : 0);
        QCOMPARE(std::pair(w.Score, w.GameOver), std::pair(0, 0));
        QVERIFY(!w.mnuNewGame->isChecked() && autoPlayOff(w));
        QCOMPARE(checkedSpeeds(w), QList<int>{speed});
        QCOMPARE(std::pair(w.tmrAuto.interval(), w.AutoDir), std::pair(speed, autoDir));
        QCOMPARE(std::pair(w.mnuOnly4->isChecked(), w.mnuOnly2->isChecked()),
                 std::pair(only4, !only4));
        if (how != QLatin1String("win")) {
            QCOMPARE(std::tuple(emptyCells(w.Board), marks(w).size()), std::tuple(14, 2));
            for (const std::int32_t v : w.Board) {
                QVERIFY(v == 0 || v == (only4 ? 4 : 2));
            }
        }
    }

    // The speed items from the design-time 700 ms, one then another, by menu or handler, auto-play
    // off or running: only the last is checked, the timer runs at it while a mode runs, else stays
    // stopped, and the next mode runs at it; choosing the checked speed again changes nothing.
    void speedCommands_data() {
        // running: the mode running meanwhile, 0 for none
        addColumns<int, int, bool, int>("first", "second", "viaMenu", "running");
        for (const int a : kSpeeds) {
            for (const int b : kSpeeds) {
                QTest::addRow("%d then %d, menu", a, b) << a << b << true << 0;
            }
        }
        QTest::newRow("700 again, handler") << 700 << 700 << false << 0;
        QTest::newRow("10 then 200, handler") << 10 << 200 << false << 0;
        QTest::newRow("700 then 2000, menu, while В угол runs") << 700 << 2000 << true << 3;
        QTest::newRow("200 again, handler, while Во все стороны runs") << 200 << 200 << false << 1;
    }

    void speedCommands() {
        QFETCH(int, first);
        QFETCH(int, second);
        QFETCH(bool, viaMenu);
        QFETCH(int, running);
        frmMain w;
        QVERIFY(start(w));
        QCOMPARE(std::pair(checkedSpeeds(w), w.tmrAuto.interval()),
                 std::pair(QList<int>{700}, 700));
        if (running != 0) {
            modeItem(w, running)->trigger();
        }
        for (const int speed : {first, second}) {
            if (viaMenu) {
                speedItem(w, speed)->trigger();
            } else {
                const std::array<void (frmMain::*)(), 4> handlers{
                    &frmMain::mnuSpeed10_Click, &frmMain::mnuSpeed200_Click,
                    &frmMain::mnuSpeed700_Click, &frmMain::mnuSpeed2000_Click};
                (w.*handlers[std::find(kSpeeds.begin(), kSpeeds.end(), speed) - kSpeeds.begin()])();
            }
            QCOMPARE(checkedSpeeds(w), QList<int>{speed});
            QCOMPARE(std::tuple(w.tmrAuto.interval(), w.tmrAuto.isActive(), w.AutoMode),
                     std::tuple(speed, running != 0, running));
        }
        if (running == 0) {
            w.mnuAuto1->trigger();
            QVERIFY(w.tmrAuto.isActive());
            QCOMPARE(w.tmrAuto.interval(), second);
        }
    }

    // With no mode the tick plays nothing, but still draws and books the points.
    void tickWithoutModeOnlyDraws() {
        frmMain w;
        QVERIFY(start(w));
        const Cells board = boardWithLegal(15);
        setBoard(w, board, 30);
        w.MoveGain = 8;
        w.tmrAuto_Timer();
        QCOMPARE(w.Board, board);
        QCOMPARE(std::tuple(w.Score, w.lblScore->Caption(), w.GameOver),
                 std::tuple(38, scoreLine(38, 8), 0));
    }

    // Each strategy, chosen by its item, plays a game out on the real timer at 10 ms a move; each
    // tick draws, plays its order's pick from `AutoDir` and leaves it as the mode's rules do.
    void wholeGamesOnTheRealTimer_data() {
        QTest::addColumn<int>("mode");
        for (const StrategyRules& s : kStrategies) {
            QTest::newRow(s.name) << s.mode;
        }
    }

    void wholeGamesOnTheRealTimer() {
        QFETCH(int, mode);
        frmMain w;
        QVERIFY(start(w, 2023 + mode));
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.mnuSpeed10->trigger();
        const StrategyRules& s = strategyOf(mode);
        Cells before{};
        int autoDir = 0;
        int ticks = 0;
        QString wrong;
        // Connected after the window's own handler, so it sees each tick's outcome.
        connect(&w.tmrAuto, &QTimer::timeout, &w, [&] {
            ++ticks;
            const int expected = firstLegal(s, autoDir, legalMask(before));
            if (wrong.isEmpty() && expected >= 0 &&
                (directionPlayed(w, before) != expected || w.AutoDir != s.autoDirAfter[expected])) {
                wrong = QStringLiteral("tick %1 from AutoDir %2 on %3")
                            .arg(ticks)
                            .arg(autoDir)
                            .arg(boardText(before));
            }
            before = w.Board;
            autoDir = w.AutoDir;
        });
        const quint64 scoreWrites = w.lblScore->Writes();

        modeItem(w, mode)->trigger();
        before = w.Board;
        autoDir = w.AutoDir;
        QVERIFY(w.tmrAuto.isActive());
        QCOMPARE(w.tmrAuto.interval(), 10);
        QTRY_VERIFY_WITH_TIMEOUT(w.GameOver == 1, 120000);

        QVERIFY2(wrong.isEmpty(), qPrintable(wrong));
        QVERIFY(ticks > 50);
        QCOMPARE(w.lblScore->Writes(), scoreWrites + static_cast<quint64>(ticks));
        QVERIFY(autoPlayOff(w));
        QCOMPARE(std::pair(legalMask(w.Board), w.MoveGain), std::pair(0, 0));
        QVERIFY(w.Score > 0);
        QCOMPARE(w.lblScore->Caption(), scoreLine(w.Score));
        QVERIFY2(drawnWrong(w, w.Board).isEmpty(), qPrintable(drawnWrong(w, w.Board)));
        // No tick follows the end: the timer is stopped (above); a late one would change nothing.
        const std::pair ended{w.Board, w.Score};
        w.tmrAuto_Timer();
        QCOMPARE(std::pair(w.Board, w.Score), ended);
        QVERIFY(autoPlayOff(w) && w.GameOver == 1);
    }
};

QTEST_MAIN(TestAutoplay)
#include "test_autoplay.moc"
