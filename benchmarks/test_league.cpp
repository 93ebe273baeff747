// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The league plays the window's games: the same seed gives the same game, move for move, in
// the headless league and in the real window driven tick by tick. Also the figures the
// benchmark tables are made of.
#include "app/frmmain.h"
#include "league.h"
#include "report.h"
#include "windowsupport.h"

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <array>

using namespace korvex;
using namespace korvex::bench;

class TestLeague : public QObject {
    Q_OBJECT
    korvex::test::PrivateRuntimeDir Runtime; // before the first window
private slots:
    void leagueGameIsTheWindowsGame_data();
    void leagueGameIsTheWindowsGame();
    void leagueIsReproducible();
    void medianAndPercentile_data();
    void medianAndPercentile();
    void largestTileSharesAreCumulative();
    void takeOptionLeavesTheRest_data();
    void takeOptionLeavesTheRest();
    void reportWritesWhatScriptsBenchReads();
};

void TestLeague::leagueGameIsTheWindowsGame_data() {
    QTest::addColumn<int>("strategy");
    QTest::addColumn<quint32>("seed");
    for (const quint32 seed : {1u, 77u, 20240607u}) {
        QTest::addRow("all directions, seed %u", seed) << 1 << seed;
        QTest::addRow("three directions, seed %u", seed) << 2 << seed;
        QTest::addRow("corner, seed %u", seed) << 3 << seed;
    }
}

void TestLeague::leagueGameIsTheWindowsGame() {
    QFETCH(int, strategy);
    QFETCH(quint32, seed);

    // The league's game, with every board it moved on.
    Game game;
    game.Rnd.seedRaw(seed);
    std::vector<Cells> leagueBoards;
    const GameResult league =
        playGame(static_cast<Strategy>(strategy), game,
                 [&](const Cells& board, int) { leagueBoards.push_back(board); });
    QVERIFY(league.moves > 10);
    QCOMPARE(static_cast<int>(leagueBoards.size()), league.moves);

    // The window's game: "Новая", then the strategy's item, then ticks by hand until the
    // auto-player switches itself off.
    frmMain window;
    window.Form_Load();
    window.Rnd.seedRaw(seed);
    window.mnuNewGame->trigger();
    const std::array<QAction*, 3> items{window.mnuAuto1, window.mnuAuto2, window.mnuAuto3};
    items[static_cast<std::size_t>(strategy - 1)]->trigger();
    QCOMPARE(window.AutoMode, strategy);
    window.tmrAuto.stop();
    int moves = 0;
    while (window.AutoMode != 0 && moves <= league.moves) {
        if (moves < league.moves) {
            QCOMPARE(window.Board, leagueBoards[static_cast<std::size_t>(moves)]);
        }
        window.tmrAuto_Timer();
        if (window.AutoMode != 0) {
            ++moves;
        }
    }
    QCOMPARE(moves, league.moves);
    QCOMPARE(window.GameOver, 1);
    QCOMPARE(window.Board, league.finalBoard);
    QCOMPARE(window.Score, league.score);
}

void TestLeague::leagueIsReproducible() {
    const LeagueRow first = playLeague(Strategy::Corner, 50, 99);
    const LeagueRow again = playLeague(Strategy::Corner, 50, 99);
    QCOMPARE(again.meanScore, first.meanScore);
    QCOMPARE(again.bestScore, first.bestScore);
    QCOMPARE(again.largestTileCount, first.largestTileCount);
    const LeagueRow other = playLeague(Strategy::Corner, 50, 100);
    QVERIFY(other.meanScore != first.meanScore);
}

void TestLeague::medianAndPercentile_data() {
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<double>("median");
    QTest::addColumn<double>("p99");
    QTest::addColumn<double>("lowest");
    QTest::addColumn<double>("highest");
    QTest::newRow("empty") << QList<double>{} << 0.0 << 0.0 << 0.0 << 0.0;
    QTest::newRow("one value") << QList<double>{7} << 7.0 << 7.0 << 7.0 << 7.0;
    QTest::newRow("odd count, unsorted") << QList<double>{5, 1, 3} << 3.0 << 5.0 << 1.0 << 5.0;
    QTest::newRow("even count: mean of the middle two")
        << QList<double>{4, 1, 3, 2} << 2.5 << 4.0 << 1.0 << 4.0;
    QList<double> hundred;
    for (int i = 100; i >= 1; --i) {
        hundred.append(i);
    }
    QTest::newRow("1 to 100") << hundred << 50.5 << 99.0 << 1.0 << 100.0;
    QList<double> spike(1000, 10.0);
    spike[500] = 1000; // one slow call in a thousand stays out of the 99th percentile
    QTest::newRow("one outlier in 1000") << spike << 10.0 << 10.0 << 10.0 << 1000.0;
}

void TestLeague::medianAndPercentile() {
    QFETCH(QList<double>, values);
    QFETCH(double, median);
    QFETCH(double, p99);
    QFETCH(double, lowest);
    QFETCH(double, highest);
    const std::vector<double> v(values.begin(), values.end());
    QCOMPARE(bench::median(v), median);
    QCOMPARE(percentile(v, 0.99), p99);
    QCOMPARE(percentile(v, 0.0), lowest);
    QCOMPARE(percentile(v, 1.0), highest);
}

void TestLeague::largestTileSharesAreCumulative() {
    LeagueRow row;
    row.strategy = Strategy::Corner;
    row.games = 4;
    row.largestTileCount = {{256, 1}, {512, 2}, {1024, 1}};
    const QString tables = QString::fromStdString(leagueTables({row}));
    QVERIFY2(tables.contains(QStringLiteral("| 1\u2009024 | 25.00 % |")), qPrintable(tables));
    QVERIFY2(tables.contains(QStringLiteral("| 512 | 75.00 % |")), qPrintable(tables));
    QVERIFY2(tables.contains(QStringLiteral("| 256 | 100.00 % |")), qPrintable(tables));
}

// Each program takes its own options out of argv before Qt or Google Benchmark see it.
void TestLeague::takeOptionLeavesTheRest_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("value");
    QTest::addColumn<QStringList>("rest");
    QTest::newRow("absent") << QStringList{"prog", "--other", "1"} << "fallback"
                            << QStringList{"prog", "--other", "1"};
    QTest::newRow("in the middle") << QStringList{"prog", "-a", "--games", "300", "-b"} << "300"
                                   << QStringList{"prog", "-a", "-b"};
    QTest::newRow("last") << QStringList{"prog", "--games", "7"} << "7" << QStringList{"prog"};
    QTest::newRow("no value after it")
        << QStringList{"prog", "--games"} << "fallback" << QStringList{"prog", "--games"};
    QTest::newRow("the first of two") << QStringList{"prog", "--games", "1", "--games", "2"} << "1"
                                      << QStringList{"prog", "--games", "2"};
}

void TestLeague::takeOptionLeavesTheRest() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, value);
    QFETCH(QStringList, rest);
    std::vector<QByteArray> storage;
    for (const QString& a : arguments) {
        storage.push_back(a.toUtf8());
    }
    std::vector<char*> argv;
    for (QByteArray& a : storage) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);
    int argc = static_cast<int>(arguments.size());
    QCOMPARE(QString::fromStdString(takeOption(argc, argv.data(), "--games", "fallback")), value);
    QStringList left;
    for (int i = 0; i < argc; ++i) {
        left << QString::fromUtf8(argv[static_cast<std::size_t>(i)]);
    }
    QCOMPARE(left, rest);
}

// scripts/bench splits each goal line at tabs into five fields and reads "yes" or "no".
void TestLeague::reportWritesWhatScriptsBenchReads() {
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QByteArray md = dir.filePath(QStringLiteral("out.md")).toLocal8Bit();
    const QByteArray goals = dir.filePath(QStringLiteral("out.goals")).toLocal8Bit();
    QByteArray args[] = {"prog", "--md", md, "--goals", goals, "--keep"};
    char* argv[] = {args[0].data(), args[1].data(), args[2].data(), args[3].data(),
                    args[4].data(), args[5].data(), nullptr};
    int argc = 6;
    {
        Report report(argc, argv);
        QCOMPARE(argc, 2); // only the program and --keep are left
        QCOMPARE(QByteArray(argv[1]), QByteArray("--keep"));
        report.add("| a | b |\n");
        report.goal("Pace: moves", ">= 99 moves/s", "98.50 moves/s", false, "perf:bench-pace");
        report.goal("Rules: move", "< 300 ns", "70 ns", true, "");
    }
    QFile mdFile(QString::fromLocal8Bit(md));
    QVERIFY(mdFile.open(QIODevice::ReadOnly));
    QCOMPARE(mdFile.readAll(), QByteArray("| a | b |\n"));
    QFile goalsFile(QString::fromLocal8Bit(goals));
    QVERIFY(goalsFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = goalsFile.readAll().split('\n');
    QCOMPARE(lines.size(), 3); // two lines and the empty rest after the last newline
    QCOMPARE(lines[0].split('\t'), (QList<QByteArray>{"Pace: moves", ">= 99 moves/s",
                                                      "98.50 moves/s", "no", "perf:bench-pace"}));
    QCOMPARE(lines[1].split('\t'),
             (QList<QByteArray>{"Rules: move", "< 300 ns", "70 ns", "yes", ""}));
    QVERIFY(lines[2].isEmpty());
}

QTEST_MAIN(TestLeague)
#include "test_league.moc"
