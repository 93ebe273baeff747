// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "game.h"

#include <array>

namespace korvex {

namespace {

// The named operations of each direction, so that one move sequence serves all four.
struct NamedOperations {
    std::int32_t (Game::*canSlide)() const;
    void (Game::*slide)();
    void (Game::*merge)();
    std::int32_t (Game::*preview)() const;
};

constexpr std::array<NamedOperations, kDirections> kNamed{{
    {&Game::CanSlideUp, &Game::SlideUp, &Game::MergeUp, &Game::PreviewUp},
    {&Game::CanSlideRight, &Game::SlideRight, &Game::MergeRight, &Game::PreviewRight},
    {&Game::CanSlideDown, &Game::SlideDown, &Game::MergeDown, &Game::PreviewDown},
    {&Game::CanSlideLeft, &Game::SlideLeft, &Game::MergeLeft, &Game::PreviewLeft},
}};

} // namespace

bool Game::MoveIsLegal(int direction) const {
    const NamedOperations& named = kNamed[static_cast<std::size_t>(direction)];
    return (this->*named.preview)() != 0 || (this->*named.canSlide)() == 1;
}

void Game::MoveTiles(int direction) {
    const NamedOperations& named = kNamed[static_cast<std::size_t>(direction)];
    (this->*named.slide)();
    (this->*named.merge)();
    (this->*named.slide)();
}

void Game::PlayMove(int direction) {
    MoveTiles(direction);
    ClearSpawnMarks();
    SpawnTile();
}

Evaluation Game::Evaluate() const {
    Evaluation e;
    for (int d = 0; d < kDirections; ++d) {
        e.canSlide[d] = (this->*kNamed[d].canSlide)();
    }
    for (int d = 0; d < kDirections; ++d) {
        e.preview[d] = (this->*kNamed[d].preview)();
    }
    return e;
}

void Game::SpawnTile() {
    const Spawned spawned = spawnTile(Board, Rnd, SpawnRule());
    if (spawned.index < 0) {
        GameOver = 1; // nothing drawn from the random source, nothing marked
        return;
    }
    MarkSpawn(spawned.index);
}

void Game::NewGame() {
    GameOver = 0;
    Board.fill(0);
    ClearSpawnMarks();
    SpawnTile();
    SpawnTile();
    Score = 0;
    DrawBoard();
    AutoMode = 0;
    AutoStopped();
}

void Game::StartAuto(Strategy strategy) {
    AutoMode = static_cast<std::int32_t>(strategy);
    AutoDir = seedAutoDir(strategy, Rnd.next());
}

int Game::RunStrategy(Strategy strategy) {
    const Evaluation evaluation = Evaluate();
    const int direction = chooseDirection(strategy, AutoDir, evaluation);
    if (direction >= 0) {
        PlayMove(direction);
    }
    // The end test looks at the evaluation, not at the board after the move: a move that
    // leaves nothing legal ends the game only on the next call.
    if (GameOver == 1 || evaluation.allZero()) {
        GameOver = 1;
        AutoMode = 0;
        AutoStopped();
    }
    return direction;
}

int Game::AutoAllDirections() {
    return RunStrategy(Strategy::AllDirections);
}
int Game::AutoThreeDirections() {
    return RunStrategy(Strategy::ThreeDirections);
}
int Game::AutoCorner() {
    return RunStrategy(Strategy::Corner);
}

int Game::Tick() {
    int direction = -1;
    switch (AutoMode) {
    case 1:
        direction = AutoAllDirections();
        break;
    case 2:
        direction = AutoThreeDirections();
        break;
    case 3:
        direction = AutoCorner();
        break;
    default:
        break;
    }
    DrawBoard();
    return direction;
}

void Game::DrawBoard() {
    Score += MoveGain;
    MoveGain = 0;
}

} // namespace korvex
