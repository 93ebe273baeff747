// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Placing one new tile through the Qt-free helper that the window's SpawnTile and the
// headless league share: which cell, which value, and how many random draws it takes.
#include "engine/random.h"
#include "engine/rules.h"

#include <QTest>

using korvex::Cells;
using korvex::TileRule;

Q_DECLARE_METATYPE(Cells)
Q_DECLARE_METATYPE(TileRule)

class TestSpawnTile : public QObject {
    Q_OBJECT
private slots:
    void placesByTheDraws_data();
    void placesByTheDraws();
    void fullBoardDrawsNothing();
};

void TestSpawnTile::placesByTheDraws_data() {
    QTest::addColumn<Cells>("board");
    QTest::addColumn<TileRule>("rule");
    QTest::addColumn<int>("draws");

    Cells lastEmpty;
    lastEmpty.fill(8);
    lastEmpty[15] = 0;
    Cells twoEmpty;
    twoEmpty.fill(16);
    twoEmpty[5] = 0;
    twoEmpty[14] = 0;
    const struct {
        const char* name;
        Cells board;
    } boards[] = {{"empty board", Cells{}},
                  {"one empty cell", lastEmpty},
                  {"cells 5 and 14 empty", twoEmpty}};
    for (const auto& b : boards) {
        QTest::addRow("%s, random value", b.name) << b.board << TileRule::Random << 2;
        QTest::addRow("%s, only 2", b.name) << b.board << TileRule::Only2 << 1;
        QTest::addRow("%s, only 4", b.name) << b.board << TileRule::Only4 << 1;
    }
}

// The position draw comes first and picks the k-th empty cell; only the random rule draws
// again, for the value. Checked against a copy of the source over many seeds, so both values
// and every empty cell turn up.
void TestSpawnTile::placesByTheDraws() {
    QFETCH(Cells, board);
    QFETCH(TileRule, rule);
    QFETCH(int, draws);

    int fours = 0;
    for (quint32 seed = 1; seed <= 400; ++seed) {
        korvex::RandomSource random;
        random.seedRaw(seed);
        korvex::RandomSource expected = random;
        const float position = expected.next();
        const int index = korvex::spawnTarget(board, position);
        std::int32_t value = rule == TileRule::Only4 ? 4 : 2;
        if (draws == 2) {
            value = korvex::randomTileValue(expected.next());
        }

        Cells cells = board;
        const korvex::Spawned spawned = korvex::spawnTile(cells, random, rule);
        QCOMPARE(spawned.index, index);
        QCOMPARE(spawned.value, value);
        QCOMPARE(board[index], 0);
        Cells changed = board;
        changed[index] = value;
        QCOMPARE(cells, changed);
        QCOMPARE(random.next(), expected.next()); // took exactly `draws` draws
        fours += value == 4 ? 1 : 0;
    }
    if (rule == TileRule::Random) {
        QVERIFY2(fours > 10 && fours < 80, "about one new tile in ten is a 4");
    }
}

void TestSpawnTile::fullBoardDrawsNothing() {
    Cells full;
    full.fill(2);
    for (const TileRule rule : {TileRule::Random, TileRule::Only2, TileRule::Only4}) {
        korvex::RandomSource random;
        random.seedRaw(5);
        korvex::RandomSource untouched = random;
        Cells cells = full;
        const korvex::Spawned spawned = korvex::spawnTile(cells, random, rule);
        QCOMPARE(spawned.index, -1);
        QCOMPARE(spawned.value, 0);
        QCOMPARE(cells, full);
        QCOMPARE(random.next(), untouched.next());
    }
}

QTEST_GUILESS_MAIN(TestSpawnTile)
#include "test_spawntile.moc"
