// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "league.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <set>

namespace korvex::bench {

GameResult playGame(Strategy strategy, Game& game, const MoveObserver& observe) {
    // As the window plays after "Новая" and a click on the strategy's item.
    game.NewGame();
    game.StartAuto(strategy);
    GameResult result;
    while (game.AutoMode != 0) {
        const Cells before = game.Board;
        const int direction = game.Tick();
        if (direction >= 0) {
            if (observe) {
                observe(before, direction);
            }
            ++result.moves;
        }
    }
    result.score = game.Score;
    result.finalBoard = game.Board;
    result.largestTile = *std::max_element(game.Board.begin(), game.Board.end());
    return result;
}

LeagueRow playLeague(Strategy strategy, int games, std::uint32_t seed) {
    Game game;
    game.Rnd.seedRaw(seed);
    LeagueRow row;
    row.strategy = strategy;
    row.games = games;
    std::vector<double> scores;
    scores.reserve(static_cast<std::size_t>(games));
    double moves = 0;
    const auto start = std::chrono::steady_clock::now();
    for (int g = 0; g < games; ++g) {
        const GameResult played = playGame(strategy, game);
        scores.push_back(played.score);
        moves += played.moves;
        row.bestScore = std::max(row.bestScore, played.score);
        ++row.largestTileCount[played.largestTile];
    }
    row.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    double sum = 0;
    for (const double s : scores) {
        sum += s;
    }
    row.meanScore = games > 0 ? sum / games : 0;
    row.meanMoves = games > 0 ? moves / games : 0;
    row.medianScore = median(std::move(scores));
    return row;
}

const char* strategyCaption(Strategy strategy) {
    switch (strategy) {
    case Strategy::AllDirections:
        return "Авто. Во все стороны";
    case Strategy::ThreeDirections:
        return "Авто. В три стороны";
    default:
        return "Авто. В угол";
    }
}

double median(std::vector<double> values) {
    if (values.empty()) {
        return 0;
    }
    const std::size_t mid = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid),
                     values.end());
    const double upper = values[mid];
    if (values.size() % 2 == 1) {
        return upper;
    }
    const double lower =
        *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(mid));
    return (lower + upper) / 2;
}

double percentile(std::vector<double> values, double fraction) {
    if (values.empty()) {
        return 0;
    }
    // Nearest rank: the smallest value with at least `fraction` of the values at or below it.
    const double rank = std::ceil(fraction * static_cast<double>(values.size()));
    const std::size_t index =
        static_cast<std::size_t>(std::clamp(rank, 1.0, static_cast<double>(values.size()))) - 1;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(index),
                     values.end());
    return values[index];
}

namespace {

std::string format(const char* pattern, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, pattern, value);
    return buffer;
}

// Thousands grouped with a thin space, so wide scores stay readable in a table.
std::string grouped(double value) {
    std::string digits = format("%.0f", value);
    std::string out;
    const int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        out += digits[static_cast<std::size_t>(i)];
        if (i + 1 < n && (n - i - 1) % 3 == 0) {
            out += "\u2009";
        }
    }
    return out;
}

} // namespace

std::string leagueTables(const std::vector<LeagueRow>& rows) {
    std::string md;
    md += "| Strategy | Games | Games/s | Mean score | Median score | Best score | Moves per game "
          "|\n";
    md += "|---|---:|---:|---:|---:|---:|---:|\n";
    for (const LeagueRow& row : rows) {
        md += "| \"" + std::string(strategyCaption(row.strategy)) + "\" | " + grouped(row.games) +
              " | " + grouped(row.seconds > 0 ? row.games / row.seconds : 0) + " | " +
              grouped(row.meanScore) + " | " + grouped(row.medianScore) + " | " +
              grouped(row.bestScore) + " | " + format("%.0f", row.meanMoves) + " |\n";
    }

    std::set<std::int32_t> tiles;
    for (const LeagueRow& row : rows) {
        for (const auto& [tile, count] : row.largestTileCount) {
            tiles.insert(tile);
        }
    }
    md += "\nShare of games whose largest tile reached at least the tile of the row:\n\n";
    md += "| Largest tile |";
    for (const LeagueRow& row : rows) {
        md += " \"" + std::string(strategyCaption(row.strategy)) + "\" |";
    }
    md += "\n|---:|";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        md += "---:|";
    }
    md += "\n";
    for (auto tile = tiles.rbegin(); tile != tiles.rend(); ++tile) {
        md += "| " + grouped(*tile) + " |";
        for (const LeagueRow& row : rows) {
            int reached = 0;
            for (const auto& [largest, count] : row.largestTileCount) {
                if (largest >= *tile) {
                    reached += count;
                }
            }
            const double share = row.games > 0 ? 100.0 * reached / row.games : 0;
            md += ' ';
            // Rare tiles keep a digit more, so they never read as 0.00 %.
            md += reached == 0 ? std::string("—")
                               : format(share < 0.1 ? "%.3f %%" : "%.2f %%", share);
            md += " |";
        }
        md += "\n";
    }
    return md;
}

} // namespace korvex::bench
