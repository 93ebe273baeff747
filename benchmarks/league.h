// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The auto-player without a window: whole games played by the game's own new game and tick, the
// code the window runs, so a league run and a window fed the same seed play the same game move
// for move.
#pragma once

#include "game.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace korvex::bench {

struct GameResult {
    std::int32_t score = 0;
    std::int32_t largestTile = 0;
    std::int32_t moves = 0;
    Cells finalBoard{};
};

// Called before each move with the board the strategy decided on and the direction it chose.
using MoveObserver = std::function<void(const Cells& board, int direction)>;

// One game as the window plays it after "Новая" and a click on the strategy's item: a new
// game, the strategy switched on, then ticks until it switches itself off. The game's random
// source goes on from where the last game left it, as a window's does.
GameResult playGame(Strategy strategy, Game& game, const MoveObserver& observe = {});

struct LeagueRow {
    Strategy strategy{};
    int games = 0;
    double seconds = 0;
    double meanScore = 0;
    double medianScore = 0;
    std::int32_t bestScore = 0;
    double meanMoves = 0;
    std::map<std::int32_t, int> largestTileCount; // largest tile at the end -> games
};

// Plays `games` games in a row from one random source seeded with `seed`, as one window
// would over successive games.
LeagueRow playLeague(Strategy strategy, int games, std::uint32_t seed);

const char* strategyCaption(Strategy strategy);

// The middle value (the mean of the two middle values for an even count); 0 when empty.
double median(std::vector<double> values);

// The value below which `fraction` of the values lie (nearest rank); 0 when empty.
double percentile(std::vector<double> values, double fraction);

// The league as Markdown: one table of scores and speed, one of how often each largest tile
// is reached.
std::string leagueTables(const std::vector<LeagueRow>& rows);

} // namespace korvex::bench
