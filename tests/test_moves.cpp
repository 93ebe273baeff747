// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Moves through the window: arrows as real key events, the move sequence with spawn and score
// line, keys that must not move, Esc, the menus from the keyboard, and the victory preview.
#include "windowtest.h"

#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include <string>

using namespace korvex::test;

class TestMoves : public QObject {
    Q_OBJECT
    PrivateRuntimeDir Runtime; // before the first window
private slots:
    // Boards written out cell by cell, one key each, the spawned tile taken out before comparing:
    // written out, so that a line table wrong alike in game and reference cannot hide.
    void arrowsMoveWrittenOutBoards_data() {
        addColumns<int, Cells, Cells, int>("key", "before", "after", "points");
        QTest::newRow("left: 2 2 2 2 in row 1, 2 2 4 4 in row 3, a slide in row 4")
            << int(Qt::Key_Left) << board("2 2 2 2 / 0 0 0 0 / 2 2 4 4 / 0 0 0 8")
            << board("4 4 0 0 / 0 0 0 0 / 4 8 0 0 / 8 0 0 0") << 8 + 12;
        QTest::newRow("right: 2 2 2 0 from the right edge in row 2, 8 4 4 0 in row 4")
            << int(Qt::Key_Right) << board("0 0 0 0 / 0 2 2 2 / 0 0 0 0 / 0 4 4 8")
            << board("0 0 0 0 / 0 0 2 4 / 0 0 0 0 / 0 0 8 8") << 4 + 8;
        QTest::newRow("down: 4 4 8 0 from the bottom in column 3, 2 0 2 0 in column 1")
            << int(Qt::Key_Down) << board("0 0 0 0 / 2 0 8 0 / 0 0 4 0 / 2 0 4 0")
            << board("0 0 0 0 / 0 0 0 0 / 0 0 8 0 / 4 0 8 0") << 8 + 4;
        QTest::newRow("up: 2 2 4 4 from the top in column 2, 2 4 2 4 in column 4")
            << int(Qt::Key_Up) << board("0 2 0 2 / 0 2 0 4 / 0 4 0 2 / 0 4 0 4")
            << board("0 4 0 2 / 0 8 0 4 / 0 0 0 2 / 0 0 0 4") << 12;
        QTest::newRow("up: 8 4 4 0 from the top, a slide in another column")
            << int(Qt::Key_Up) << board("8 0 0 0 / 4 0 0 0 / 4 0 0 0 / 0 0 0 2")
            << board("8 0 0 2 / 8 0 0 0 / 0 0 0 0 / 0 0 0 0") << 8;
        QTest::newRow("up: a gap in a column closes before it merges")
            << int(Qt::Key_Up) << board("0 0 0 0 / 2 0 0 0 / 0 0 0 0 / 2 0 0 0")
            << board("4 0 0 0 / 0 0 0 0 / 0 0 0 0 / 0 0 0 0") << 4;
        QTest::newRow("right: three equal tiles merge nearest the right edge first")
            << int(Qt::Key_Right) << board("0 8 8 8 / 0 0 0 0 / 0 0 0 0 / 0 0 0 0")
            << board("0 0 8 16 / 0 0 0 0 / 0 0 0 0 / 0 0 0 0") << 16;
        QTest::newRow("left: two tiles slide, neither meets the other: no gain")
            << int(Qt::Key_Left) << board("0 0 0 0 / 0 2 0 0 / 0 0 0 2 / 0 0 0 0")
            << board("0 0 0 0 / 2 0 0 0 / 2 0 0 0 / 0 0 0 0") << 0;
        // On the one-pair board the gap the merge leaves is the one cell for the new tile.
        const std::string rest = " / 32 64 128 256 / 512 1024 2048 4096 / 8192 16384 32768 65536";
        QTest::newRow("left: one pair on a full board")
            << int(Qt::Key_Left) << kPairInRowOne << board(("4 8 16 0" + rest).c_str()) << 4;
        QTest::newRow("right: one pair on a full board")
            << int(Qt::Key_Right) << kPairInRowOne << board(("0 4 8 16" + rest).c_str()) << 4;
        QTest::newRow("up: one pair in a row, nothing moves")
            << int(Qt::Key_Up) << kPairInRowOne << kPairInRowOne << 0;
        QTest::newRow("down: one pair in a row, nothing moves")
            << int(Qt::Key_Down) << kPairInRowOne << kPairInRowOne << 0;
    }
    void arrowsMoveWrittenOutBoards() {
        QFETCH(int, key);
        QFETCH(Cells, before);
        QFETCH(Cells, after);
        QFETCH(int, points);

        frmMain w;
        QVERIFY(start(w));
        setBoard(w, before, 100);
        pressKey(w, static_cast<Qt::Key>(key));

        const QList<int> marked = marks(w);
        Cells withoutSpawn = w.Board;
        if (after == before) {
            QVERIFY(marked.isEmpty()); // an illegal move spawns nothing
        } else {
            QCOMPARE(marked.size(), 1);
            const int spawned = marked.first();
            QCOMPARE(after[spawned], 0); // the new tile went to a cell the move left empty
            QVERIFY(w.Board[spawned] == 2 || w.Board[spawned] == 4);
            withoutSpawn[spawned] = 0;
        }
        QCOMPARE(withoutSpawn, after);
        QCOMPARE(std::tuple(w.Score, w.MoveGain, w.lblScore->Caption()),
                 std::tuple(100 + points, 0, scoreLine(100 + points, points)));
        VERIFY_EMPTY(drawnWrong(w, w.Board));
    }

    // After a scoring move the score line shows the gain; the next key that moves nothing, an arrow
    // blocked on the full board or any other, still redraws and drops it. Tab and Shift+Tab too,
    // also after a lone Alt, which must not hand the menu bar the keys.
    void keyThatMovesNothingDropsTheGain_data() {
        addColumns<int, int, bool>("key", "modifiers", "altFirst");
        const int none = Qt::NoModifier;
        const int shift = Qt::ShiftModifier;
        for (int d = 0; d < 4; ++d) {
            QTest::addRow("%s, which cannot move", kDirectionNames[d])
                << int(kArrowKeys[d]) << none << false;
        }
        QTest::newRow("letter") << int(Qt::Key_A) << none << false;
        QTest::newRow("space") << int(Qt::Key_Space) << none << false;
        QTest::newRow("F5") << int(Qt::Key_F5) << none << false;
        QTest::newRow("F10, which then opens the menus") << int(Qt::Key_F10) << none << false;
        QTest::newRow("shift") << int(Qt::Key_Shift) << none << false;
        QTest::newRow("Tab") << int(Qt::Key_Tab) << none << false;
        QTest::newRow("Shift+Tab") << int(Qt::Key_Tab) << shift << false;
        QTest::newRow("Alt, then Tab") << int(Qt::Key_Tab) << none << true;
        QTest::newRow("Alt, then Shift+Tab") << int(Qt::Key_Tab) << shift << true;
        QTest::newRow("Alt, then Backtab") << int(Qt::Key_Backtab) << shift << true;
    }
    void keyThatMovesNothingDropsTheGain() {
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, altFirst);
        frmMain w;
        QVERIFY(start(w));
        QVERIFY(showActive(w));
        w.mnuOnly2_Click();
        // Left merges the 4s, and the new 2 fills the only gap: after that nothing can move.
        setBoard(
            w, board("4 4 16 32 / 64 128 256 512 / 1024 2048 4096 8192 / 16384 32768 65536 131072"),
            12);
        // Single events: a click with Shift would first press Shift, itself a key that redraws.
        auto send = [&w](bool press, int k, Qt::KeyboardModifiers m) {
            QTest::simulateEvent(&w, press, k, m, QString(), false, 0);
        };
        if (altFirst) {
            // As X11 reports a tap of Alt: the press without Alt held, the release with it.
            send(true, Qt::Key_Alt, Qt::NoModifier);
            send(false, Qt::Key_Alt, Qt::AltModifier);
        }
        send(true, Qt::Key_Left, Qt::NoModifier);
        send(false, Qt::Key_Left, Qt::NoModifier);
        QCOMPARE(std::pair(w.lblScore->Caption(), legalMask(w.Board)),
                 std::pair(QStringLiteral("Счёт: 20 +8"), 0));
        QVERIFY(!w.menuBar()->hasFocus());
        w.ClearSpawnMarks();
        const Cells before = w.Board;
        const quint64 scoreWrites = w.lblScore->Writes();

        send(true, key, Qt::KeyboardModifiers(modifiers));
        QCOMPARE(w.Board, before);
        QVERIFY(marks(w).isEmpty());
        QCOMPARE(std::tuple(w.Score, w.GameOver, w.lblScore->Writes(), w.lblScore->Caption()),
                 std::tuple(20, 0, scoreWrites + 1, QStringLiteral("Счёт: 20")));
    }

    void keysSharingArrowCodesDoNotMove_data() {
        addColumns<int, char, int>("key", "character", "arrowCode");
        QTest::newRow("percent") << int(Qt::Key_Percent) << '%' << 37;
        QTest::newRow("ampersand") << int(Qt::Key_Ampersand) << '&' << 38;
        QTest::newRow("apostrophe") << int(Qt::Key_Apostrophe) << '\'' << 39;
        QTest::newRow("left parenthesis") << int(Qt::Key_ParenLeft) << '(' << 40;
    }
    void keysSharingArrowCodesDoNotMove() {
        QFETCH(int, key);
        QFETCH(char, character);
        QFETCH(int, arrowCode);
        QCOMPARE(key, arrowCode); // the collision this test is about

        frmMain w;
        QVERIFY(start(w));
        const Cells lone = boardWithLegal(15); // a single 2: every direction is legal
        setBoard(w, lone);
        const quint64 scoreWrites = w.lblScore->Writes();
        pressKey(w, static_cast<Qt::Key>(key));
        QTest::keyClick(&w, character); // the key with its text, as typed
        QCOMPARE(w.Board, lone);
        QVERIFY(marks(w).isEmpty());
        QCOMPARE(w.lblScore->Writes(), scoreWrites + 2); // not arrows, but still redrawn
    }

    // A held key repeats; each repeated key-down is one attempt to move.
    void autoRepeatIsOneAttemptEach() {
        frmMain w;
        QVERIFY(start(w));
        for (int row = 1; row <= 4; ++row) {
            Cells board{};
            board[at(row, 1)] = 8;
            setBoard(w, board);
            pressKey(w, Qt::Key_Right, Held);
            QCOMPARE(std::tuple(w.Board[at(row, 4)], w.Board[at(row, 1)] == 8, emptyCells(w.Board)),
                     std::tuple(8, false, 14));
        }
        // Repeats of a key that can no longer move still redraw, one redraw each.
        setBoard(w, kDistinct);
        const quint64 scoreWrites = w.lblScore->Writes();
        for (int i = 0; i < 3; ++i) {
            pressKey(w, Qt::Key_Down, Held);
        }
        QCOMPARE(std::pair(w.lblScore->Writes(), w.Board), std::pair(scoreWrites + 3, kDistinct));
    }

    void gameOverIgnoresKeys() {
        frmMain w;
        QVERIFY(start(w));
        const Cells pair = board("0 0 0 0 / 0 2 2 0 / 0 0 0 0 / 0 0 0 0");
        setBoard(w, pair, 52);
        w.GameOver = 1;
        const quint64 writes = labelWrites(w);
        const QString caption = w.lblScore->Caption();
        for (const Qt::Key key : kArrowKeys) {
            pressKey(w, key);
            pressKey(w, key, Held);
        }
        pressKey(w, Qt::Key_A);
        QCOMPARE(w.Board, pair);
        QCOMPARE(std::tuple(w.Score, w.GameOver, labelWrites(w), w.lblScore->Caption()),
                 std::tuple(52, 1, writes, caption));
    }

    void escapeClosesTheWindow_data() {
        addColumns<bool, bool, bool>("gameOver", "autoPlay", "stuck");
        QTest::newRow("in play") << false << false << false;
        QTest::newRow("no legal direction") << false << false << true;
        QTest::newRow("game over") << true << false << false;
        QTest::newRow("auto-play running") << false << true << false;
    }
    void escapeClosesTheWindow() {
        QFETCH(bool, gameOver);
        QFETCH(bool, autoPlay);
        QFETCH(bool, stuck);
        frmMain w;
        QVERIFY(start(w));
        if (stuck) {
            setBoard(w, kDistinct);
        }
        // Shown before auto-play starts, so no real timer tick falls due while the test waits.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        if (autoPlay) {
            w.mnuAuto2_Click();
            QVERIFY(w.tmrAuto.isActive());
        }
        w.GameOver = gameOver ? 1 : 0;
        QVERIFY(!w.Unloaded());
        const Cells board = w.Board;
        pressKey(w, Qt::Key_Escape);
        QVERIFY(w.Unloaded() && !w.isVisible() && !w.tmrAuto.isActive());
        QCOMPARE(w.Board, board);
    }

    // F10 opens the menu bar in any state of the game; in it keys act as in every Qt program, and
    // once it closes (a choice, Esc or F10) the arrows move the board at once. Keys go where the
    // window system sends them; the highlight is followed on the test's own account of the bar.
    void f10ReachesEveryCommand_data() {
        // autoPlay: "Авто. Во все стороны" running before; board: same, left, new game, showcase
        addColumns<QString, bool, QString, QStringList>("keys", "autoPlay", "board", "checked");
        const QStringList medium{QStringLiteral("Скорость - Средне")};
        QTest::newRow("F10") << "F10" << false << "same" << medium;
        QTest::newRow("F10 while auto-play runs")
            << "F10" << true << "same" << (QStringList{"Авто. Во все стороны"} + medium);
        QTest::newRow("F10 Esc") << "F10 Esc" << false << "same" << medium;
        QTest::newRow("F10 F10") << "F10 F10" << false << "same" << medium;
        QTest::newRow("F10 Esc, then an arrow") << "F10 Esc Left" << false << "left" << medium;
        QTest::newRow("F10 F10, then an arrow") << "F10 F10 Left" << false << "left" << medium;
        QTest::newRow("F10 Return: Новая") << "F10 Return" << false << "new game" << medium;
        QTest::newRow("Новая ends auto-play") << "F10 Return" << true << "new game" << medium;
        QTest::newRow("an option") << "F10 Right Space Left" << false << "left"
                                   << (QStringList{"Появляется только 2"} + medium);
        QTest::newRow("a mode") << "F10 Right Down Down Down Down Return" << false << "same"
                                << (QStringList{"Авто. В угол"} + medium);
        QTest::newRow("a speed") << "F10 Right Down Down Down Down Down Return" << false << "same"
                                 << QStringList{"Скорость - Очень быстро"};
        QTest::newRow("up from the top: the victory preview")
            << "F10 Right Up Return" << false << "showcase" << medium;
        QTest::newRow("walked to the checked speed")
            << "F10 Right Down Down Down Down Down Down Down" << false << "same" << medium;
        QTest::newRow("right, then left") << "F10 Right Left" << false << "same" << medium;
        QTest::newRow("right round the bar") << "F10 Right Right Down" << false << "same" << medium;
    }
    void f10ReachesEveryCommand() {
        QFETCH(QString, keys);
        QFETCH(bool, autoPlay);
        QFETCH(QString, board);
        QFETCH(QStringList, checked);
        frmMain w;
        QVERIFY(start(w));
        setBoard(w, kTwoTwos, 10);
        QVERIFY(showActive(w));
        if (autoPlay) { // started once the wait is over: no tick of the real timer falls due
            w.mnuAuto1->trigger();
        }

        std::optional<MenuPlace> open; // where the highlight is, by the keys alone
        for (const QString& name : keys.split(QLatin1Char(' '))) {
            const Qt::Key key = QKeySequence(name)[0].key();
            QTest::keyClick(w.windowHandle(), key);
            if (!open) {
                open = key == Qt::Key_F10 ? std::optional<MenuPlace>(MenuPlace{}) : std::nullopt;
            } else if (key == Qt::Key_F10 || key == Qt::Key_Escape || key == Qt::Key_Return ||
                       key == Qt::Key_Space) {
                open.reset();
            } else {
                open->step(key);
            }
        }

        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        QCOMPARE(menu != nullptr, open.has_value());
        if (open) {
            QCOMPARE(menu->title(), open->menuCaption());
            QVERIFY(menu->activeAction() != nullptr);
            QCOMPARE(menu->activeAction()->text(), open->itemCaption());
        }
        QStringList marks;
        for (QAction* item : allItems(w)) {
            if (item->isChecked()) {
                marks << item->text();
            }
        }
        QCOMPARE(marks, checked);
        QVERIFY(!w.Unloaded());
        QCOMPARE(w.tmrAuto.isActive(), w.AutoMode != 0);
        if (board == QLatin1String("same")) {
            QCOMPARE(std::pair(w.Board, w.Score), std::pair(kTwoTwos, 10));
        } else if (board == QLatin1String("left")) {
            QCOMPARE(std::pair(w.Board[0], w.Score),
                     std::pair(4, 14)); // the 2s merged, to the left
        } else if (board == QLatin1String("new game")) {
            QCOMPARE(std::tuple(w.Score, emptyCells(w.Board), w.AutoMode), std::tuple(0, 14, 0));
        } else {
            QCOMPARE(w.Board, kShowcase);
        }
    }

    void victoryPreviewShowsTheShowcase_data() {
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
    void victoryPreviewShowsTheShowcase() {
        QFETCH(QString, before);
        frmMain w;
        QVERIFY(start(w, 7));
        w.Score = 300;
        if (before.startsWith(QLatin1String("auto"))) {
            modeItem(w, before.back().digitValue())->trigger();
            QVERIFY(w.tmrAuto.isActive() && w.AutoMode != 0);
        } else if (before == QLatin1String("over")) {
            setBoard(w, kDistinct, 300);
            w.GameOver = 1;
        } else if (before == QLatin1String("twice")) {
            w.mnuWin_Click();
            pressKey(w, Qt::Key_Right);
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

        QCOMPARE(std::pair(w.Board, marks(w)), std::pair(kShowcase, QList<int>{kShowcaseMark}));
        QCOMPARE(std::tuple(w.Score, w.MoveGain, w.GameOver, w.lblScore->Caption()),
                 std::tuple(0, 0, 0, QStringLiteral("Счёт: 0")));
        VERIFY_EMPTY(drawnWrong(w, kShowcase));
        QCOMPARE(w.lblNum[12]->Caption(), QStringLiteral("16384"));
        // Auto-play is off; what the player chose otherwise stays.
        QVERIFY(autoPlayOff(w) && !w.mnuWin->isChecked());
        QCOMPARE(std::pair(w.AutoDir, w.tmrAuto.interval()), std::pair(autoDir, interval));
        if (before == QLatin1String("options")) {
            QVERIFY(w.mnuOnly4->isChecked() && w.mnuSpeed2000->isChecked() && interval == 2000);
        }
        // In play: up packs column 1 into the empty corner, and the new tile fills the freed cell.
        pressKey(w, Qt::Key_Up);
        Cells afterUp = board("64 2 4 4 / 128 32 16 8 / 16384 256 512 1024 / 0 8192 4096 2048");
        afterUp[12] = w.Board[12];
        QVERIFY(afterUp[12] == 2 || afterUp[12] == 4);
        QCOMPARE(w.Board, afterUp);
        QCOMPARE(std::pair(marks(w), w.lblScore->Caption()),
                 std::pair(QList<int>{12}, QStringLiteral("Счёт: 0")));
    }

    // Right from the showcase merges the two 4s of row 1 and leaves the other rows alone.
    void victoryPreviewFirstMoveRight() {
        bool landedIn[2] = {false, false};
        for (quint32 seed = 1; seed <= 24; ++seed) {
            frmMain w;
            QVERIFY(start(w, seed));
            w.mnuWin_Click();
            pressKey(w, Qt::Key_Right);
            QCOMPARE(std::pair(w.Board[2], w.Board[3]), std::pair(2, 8));
            const QList<int> marked = marks(w);
            QCOMPARE(marked.size(), 1);
            const int spawned = marked.first();
            QVERIFY(spawned == 0 || spawned == 1);
            QVERIFY(w.Board[spawned] == 2 || w.Board[spawned] == 4);
            QCOMPARE(w.Board[1 - spawned], 0);
            landedIn[spawned] = true;
            QVERIFY(std::equal(w.Board.begin() + 4, w.Board.end(), kShowcase.begin() + 4));
            QCOMPARE(std::pair(w.Score, w.lblScore->Caption()),
                     std::pair(8, QStringLiteral("Счёт: 8 +8")));
        }
        QVERIFY(landedIn[0] && landedIn[1]);
    }
};

QTEST_MAIN(TestMoves)
#include "test_moves.moc"
