// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The strategy league: each auto-player plays many whole games from a fixed seed, headless,
// through the game's own new game and tick, the code the window runs. Writes the league tables (for
// BENCHMARKS.md, and with --table FILE alone for the README).
//   bench-league [--games N] [--seed S] [--table FILE] [--md FILE] [--goals FILE]
#include "league.h"
#include "report.h"

#include <cstdio>
#include <string>

using namespace korvex;
using namespace korvex::bench;

int main(int argc, char** argv) {
    Report report(argc, argv);
    const int games = std::stoi(takeOption(argc, argv, "--games", "100000"));
    const auto seed =
        static_cast<std::uint32_t>(std::stoul(takeOption(argc, argv, "--seed", "20240607")));
    const std::string tablePath = takeOption(argc, argv, "--table", "");

    std::vector<LeagueRow> rows;
    for (const Strategy strategy :
         {Strategy::AllDirections, Strategy::ThreeDirections, Strategy::Corner}) {
        rows.push_back(playLeague(strategy, games, seed));
        std::fprintf(stderr, "%s: %d games in %.2f s\n", strategyCaption(strategy), games,
                     rows.back().seconds);
    }
    const std::string tables = leagueTables(rows);

    std::string md = "Each strategy plays " + std::to_string(games) +
                     " games to the end, one after another from one random source seeded with " +
                     std::to_string(seed) +
                     ", as one window would: a new game, the strategy switched on, ticks until "
                     "its end test fires. No option forces the new tiles. Games/s is one core, "
                     "single-threaded.\n\n";
    report.add(md + tables);

    if (!tablePath.empty()) {
        if (std::FILE* file = std::fopen(tablePath.c_str(), "w")) {
            std::fputs(tables.c_str(), file);
            std::fclose(file);
        }
    }
    return 0;
}
