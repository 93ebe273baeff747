// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Placing new tiles: where they land, what value they get, what they draw from the random
// source, the spawn marks, and the two options that force the value.
#include "windowtest.h"

using korvex::RandomSource;
using korvex::TileRule;
using namespace korvex::test;

Q_DECLARE_METATYPE(TileRule)

namespace {

// A board with every cell 2 except the listed ones, which are empty.
Cells boardWithEmpty(std::initializer_list<int> empty) {
    Cells cells;
    cells.fill(2);
    for (const int i : empty) {
        cells[i] = 0;
    }
    return cells;
}

} // namespace

class TestSpawn : public QObject {
    Q_OBJECT
    PrivateRuntimeDir Runtime; // before the first window
private slots:
    // A spawn draws its position, the k-th empty cell, k = floor(r * n) + 1; only a free choice
    // draws its value. A twin source predicts both over many seeds, so every cell and value turns
    // up. The new tile alone is marked, nothing drawn, and the league's Qt-free helper places the
    // same. A full board ends the game instead, any option, with no draw; the helper places none.
    void spawnFollowsTheDraws_data() {
        addColumns<Cells, TileRule>("board", "rule");
        const std::pair<const char*, TileRule> rules[] = {{"random value", TileRule::Random},
                                                          {"only 2", TileRule::Only2},
                                                          {"only 4", TileRule::Only4}};
        const std::pair<const char*, Cells> boards[] = {
            {"empty board", Cells{}},
            {"cells 5 and 14 empty", boardWithEmpty({5, 14})},
            {"only cell 15 empty", boardWithEmpty({15})},
            {"full board", kDistinct}};
        for (const auto& [boardName, board] : boards) {
            for (const auto& [ruleName, rule] : rules) {
                QTest::addRow("%s, %s", boardName, ruleName) << board << rule;
            }
        }
        for (int i = 0; i < 15; ++i) {
            QTest::addRow("only cell %d empty, random value", i)
                << boardWithEmpty({i}) << TileRule::Random;
        }
    }
    void spawnFollowsTheDraws() {
        QFETCH(Cells, board);
        QFETCH(TileRule, rule);
        frmMain w;
        if (rule != TileRule::Random) {
            (rule == TileRule::Only2 ? w.mnuOnly2 : w.mnuOnly4)->trigger();
        }
        const bool full = emptyCells(board) == 0;
        const quint64 drawn = labelWrites(w, ScoreLabel | NumberLabels);
        QList<int> landed;
        int fours = 0;
        for (quint32 seed = 1; seed <= 200; ++seed) {
            w.Rnd.seedRaw(seed);
            RandomSource twin;
            twin.seedRaw(seed);
            RandomSource league = twin;
            const int target = full ? -1 : kthEmptyCell(board, twin.next());
            const std::int32_t value = full                      ? 0
                                       : rule == TileRule::Only2 ? 2
                                       : rule == TileRule::Only4 ? 4
                                                                 : tileOfDraw(twin.next());
            Cells expected = board;
            if (!full) {
                expected[target] = value;
            }

            w.Board = board;
            w.GameOver = 0;
            w.ClearSpawnMarks();
            w.SpawnTile();
            QCOMPARE(std::tuple(w.Board, marks(w), w.GameOver),
                     std::tuple(expected, full ? QList<int>{} : QList<int>{target}, full ? 1 : 0));
            const float afterSpawn = twin.next();
            QCOMPARE(w.Rnd.next(), afterSpawn); // exactly the draws the rule takes

            Cells cells = board;
            const korvex::Spawned spawned = korvex::spawnTile(cells, league, rule);
            QCOMPARE(std::pair(spawned.index, spawned.value), std::pair(target, value));
            QCOMPARE(std::pair(cells, league.next()), std::pair(expected, afterSpawn));
            landed << target;
            fours += value == 4 ? 1 : 0;
        }
        QCOMPARE(labelWrites(w, ScoreLabel | NumberLabels), drawn); // a spawn draws nothing
        for (int i = 0; i < 16; ++i) {
            QVERIFY2(landed.contains(i) == (board[i] == 0), qPrintable(QString::number(i)));
        }
        QCOMPARE(fours > 0, rule != TileRule::Only2 && !full);
    }

    // The k-th empty cell in storage order: with only 5 and 14 empty, low draws pick 5, high 14.
    void spawnTargetIsTheKthEmptyCell_data() {
        addColumns<float, int>("r", "target");
        QTest::newRow("r 0, k 1") << 0.0f << 5;
        QTest::newRow("r 0.25, k 1") << 0.25f << 5;
        QTest::newRow("r just below 0.5, k 1") << std::nextafter(0.5f, 0.0f) << 5;
        QTest::newRow("r 0.5, k 2") << 0.5f << 14;
        QTest::newRow("r 0.75, k 2") << 0.75f << 14;
        QTest::newRow("largest r, k 2") << RandomSource::toUnit(0xFFFFFFFFu) << 14;
    }
    void spawnTargetIsTheKthEmptyCell() {
        QFETCH(float, r);
        QFETCH(int, target);
        QCOMPARE(korvex::spawnTarget(boardWithEmpty({5, 14}), r), target);
    }

    // For any count of empty cells the largest draw picks the last, never past; the least, first.
    void extremeDrawsStayOnTheBoard() {
        const float top = RandomSource::toUnit(0xFFFFFFFFu);
        for (int n = 1; n <= 16; ++n) {
            Cells front = boardWithEmpty({});
            Cells back = front;
            for (int i = 0; i < n; ++i) {
                front[i] = 0;
                back[15 - i] = 0;
            }
            const QByteArray what = QByteArray::number(n) + " empty";
            QVERIFY2(korvex::spawnTarget(front, top) == n - 1, what);
            QVERIFY2(korvex::spawnTarget(back, top) == 15, what);
            QVERIFY2(korvex::spawnTarget(front, 0.0f) == 0, what);
            QVERIFY2(korvex::spawnTarget(back, 0.0f) == 16 - n, what);
        }
        QCOMPARE(korvex::spawnTarget(boardWithEmpty({}), 0.5f), -1);
    }

    // The largest value the source can give, reached in the real sequence: the spawn it feeds
    // picks the last empty cell. The draw is found by running a twin; at one chance in 2^24 a
    // draw, it comes within 2^28 draws all but surely, and a fixed seed makes it certain.
    void largestDrawInSequencePicksLastEmptyCell() {
        constexpr quint32 kSeed = 4242u;
        const float top = RandomSource::toUnit(0xFFFFFFFFu);
        RandomSource scan;
        scan.seedRaw(kSeed);
        qint64 before = -1;
        for (qint64 i = 0; i < (qint64{1} << 28); ++i) {
            if (scan.next() == top) {
                before = i;
                break;
            }
        }
        QVERIFY2(before >= 0, "the seed's sequence never reached its largest value");

        frmMain w;
        w.Rnd.seedRaw(kSeed);
        for (qint64 i = 0; i < before; ++i) {
            w.Rnd.next();
        }
        w.Board = boardWithEmpty({0, 6, 11});
        w.SpawnTile();
        QVERIFY(w.Board[11] == 2 || w.Board[11] == 4);
        QCOMPARE(std::tuple(w.Board[0], w.Board[6], w.lblFon[11]->BorderStyle(), w.GameOver),
                 std::tuple(0, 0, 1, 0));
    }

    // The option marks through click sequences, by a real click (QAction::trigger) and by the
    // handlers themselves. At most one is ever checked; a second click returns to chance.
    void optionMarks_data() {
        addColumns<QString, bool, bool, bool>("clicks", "viaAction", "only2", "only4");
        struct Row {
            const char* clicks;
            bool only2;
            bool only4;
        };
        const Row rows[] = {
            {"", false, false},    {"2", true, false},    {"4", false, true},
            {"22", false, false},  {"44", false, false},  {"24", false, true},
            {"42", true, false},   {"242", true, false},  {"424", false, true},
            {"2442", true, false}, {"4224", false, true}, {"2244", false, false},
        };
        for (const Row& row : rows) {
            for (const bool viaAction : {true, false}) {
                QTest::addRow("%s %s", *row.clicks ? row.clicks : "none",
                              viaAction ? "trigger" : "handler")
                    << QString::fromLatin1(row.clicks) << viaAction << row.only2 << row.only4;
            }
        }
    }
    void optionMarks() {
        QFETCH(QString, clicks);
        QFETCH(bool, viaAction);
        QFETCH(bool, only2);
        QFETCH(bool, only4);
        frmMain w;
        w.Rnd.seedRaw(1u);
        w.mnuNewGame_Click();
        const Cells board = w.Board;
        for (const QChar click : clicks) {
            if (click == QLatin1Char('2')) {
                viaAction ? w.mnuOnly2->trigger() : w.mnuOnly2_Click();
            } else {
                viaAction ? w.mnuOnly4->trigger() : w.mnuOnly4_Click();
            }
            QVERIFY(!(w.mnuOnly2->isChecked() && w.mnuOnly4->isChecked()));
        }
        QCOMPARE(std::pair(w.mnuOnly2->isChecked(), w.mnuOnly4->isChecked()),
                 std::pair(only2, only4));
        QCOMPARE(w.Board, board); // an option never touches the tiles on the board
    }

    // A forced option holds for every spawn, a new game's two too; a new game keeps its mark.
    void optionForcesEveryTile_data() {
        QTest::addColumn<bool>("only4");
        QTest::newRow("Появляется только 2") << false;
        QTest::newRow("Появляется только 4") << true;
    }
    void optionForcesEveryTile() {
        QFETCH(bool, only4);
        frmMain w;
        (only4 ? w.mnuOnly4 : w.mnuOnly2)->trigger();
        w.Rnd.seedRaw(31337u);
        const std::int32_t forced = only4 ? 4 : 2;
        for (int game = 0; game < 500; ++game) {
            game % 2 == 0 ? w.mnuNewGame_Click() : w.mnuNewGame->trigger();
            QCOMPARE(emptyCells(w.Board), 14);
            for (const std::int32_t v : w.Board) {
                QVERIFY(v == 0 || v == forced);
            }
            QCOMPARE(std::pair(w.mnuOnly4->isChecked(), w.mnuOnly2->isChecked()),
                     std::pair(only4, !only4));
        }
    }

    // ClearSpawnMarks writes only to marked labels and leaves every other property alone.
    void clearSpawnMarksTouchesOnlyMarked() {
        frmMain w;
        w.lblFon[3]->SetBorderStyle(1);
        w.lblFon[9]->SetBorderStyle(1);
        w.lblFon[9]->SetBackColor(qRgb(247, 93, 57));
        std::vector<quint64> before;
        for (const Label* fon : w.lblFon) {
            before.push_back(fon->Writes());
        }
        // A second call, without marks, writes nothing at all.
        for (int call = 0; call < 2; ++call) {
            w.ClearSpawnMarks();
            for (int i = 0; i < 16; ++i) {
                QCOMPARE(std::pair(w.lblFon[i]->BorderStyle(), w.lblFon[i]->Writes()),
                         std::pair(0, before[i] + (i == 3 || i == 9)));
            }
        }
        QCOMPARE(std::pair(rgb24(w.lblFon[9]->BackColor()), w.lblFon[9]->frameShape()),
                 std::pair(rgb(247, 93, 57), QFrame::NoFrame));
    }
};

QTEST_MAIN(TestSpawn)
#include "test_spawn.moc"
