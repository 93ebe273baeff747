// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One game, free of any window: its state and the procedures that play it, from a new game
// through the moves and the spawns to the auto-player's tick. The window is a Game that also
// shows it; the headless league is a Game that shows nothing. Both run this code, so a league
// game and a window's game from the same seed are the same game, move for move.
#pragma once

#include "random.h"
#include "rules.h"
#include "strategies.h"

#include <cstdint>

namespace korvex {

class Game {
public:
    virtual ~Game() = default;

    // --- State, all zero at creation ------------------------------------------------------
    Cells Board{};
    std::int32_t GameOver = 0;
    std::int32_t MoveGain = 0; // the points of the moves not yet booked into Score
    std::int32_t Score = 0;
    std::int32_t AutoMode = 0; // 0 off, else the Strategy played
    std::int32_t AutoDir = 0;
    RandomSource Rnd;

    // --- The sixteen named operations, the ones a move and the auto-player run ------------
    std::int32_t CanSlideUp() const { return canSlide(Board, Up); }
    std::int32_t CanSlideRight() const { return canSlide(Board, Right); }
    std::int32_t CanSlideDown() const { return canSlide(Board, Down); }
    std::int32_t CanSlideLeft() const { return canSlide(Board, Left); }
    void SlideUp() { slide(Board, Up); }
    void SlideRight() { slide(Board, Right); }
    void SlideDown() { slide(Board, Down); }
    void SlideLeft() { slide(Board, Left); }
    void MergeUp() { MoveGain += merge(Board, Up); }
    void MergeRight() { MoveGain += merge(Board, Right); }
    void MergeDown() { MoveGain += merge(Board, Down); }
    void MergeLeft() { MoveGain += merge(Board, Left); }
    std::int32_t PreviewUp() const { return preview(Board, Up); }
    std::int32_t PreviewRight() const { return preview(Board, Right); }
    std::int32_t PreviewDown() const { return preview(Board, Down); }
    std::int32_t PreviewLeft() const { return preview(Board, Left); }

    // --- Moves ----------------------------------------------------------------------------
    // Legal when it scores or when something can slide; the preview is asked first.
    bool MoveIsLegal(int direction) const;
    // Slide, merge, slide: the tiles' part of a move, its points added to MoveGain.
    void MoveTiles(int direction);
    // The move sequence of a legal move: the tiles' part, then the marks cleared and a spawn.
    void PlayMove(int direction);
    // The eight values the auto-player decides on, asked as the named operations.
    Evaluation Evaluate() const;

    // --- Spawning and a new game ----------------------------------------------------------
    // One new tile where the rules put it; a full board ends the game and draws nothing.
    void SpawnTile();
    // An empty board with two new tiles, the score at 0 and the auto-player off.
    void NewGame();

    // --- The auto-player ------------------------------------------------------------------
    // Switches `strategy` on: AutoMode set and AutoDir seeded with one draw.
    void StartAuto(Strategy strategy);
    // One turn of a strategy; returns the direction it played, or -1. Once nothing is left to
    // play, the game ends and the auto-player switches itself off.
    int AutoAllDirections();
    int AutoThreeDirections();
    int AutoCorner();
    // One tick: the strategy of AutoMode, then the board drawn. Returns the direction played.
    int Tick();

protected:
    // What a window does beside the game; the defaults are a game that shows nothing.
    virtual TileRule SpawnRule() const { return TileRule::Random; }
    virtual void MarkSpawn(int /*index*/) {}
    virtual void ClearSpawnMarks() {}
    virtual void AutoStopped() {} // AutoMode has just been set to 0
    // Books MoveGain into Score; a window draws the board first.
    virtual void DrawBoard();

private:
    int RunStrategy(Strategy strategy);
};

} // namespace korvex
