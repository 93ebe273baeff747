// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game at full speed, without a window: one auto-play evaluation (four can-slide tests
// and four previews) and one whole legal move (slide, merge, slide, spawn), through the game's
// own procedures, on positions taken from real auto-played games.
#include "league.h"
#include "report.h"

#include <benchmark/benchmark.h>

#include <map>
#include <vector>

using namespace korvex;
using namespace korvex::bench;

namespace {

struct Position {
    Cells board;
    int direction; // what the strategy played there: a legal move
};

// A power of two, so the benchmarks can step through it with a mask. Small enough (32 KiB)
// to stay in the first-level cache, as the one board of a running game does.
constexpr std::size_t kPositions = 512;

// Every fifth position of league games of all three strategies, from the opening to the last
// move, so empty, crowded and full boards all take their share.
const std::vector<Position>& positions() {
    static const std::vector<Position> all = [] {
        std::vector<Position> out;
        Game game;
        game.Rnd.seedRaw(20240607);
        int seen = 0;
        const Strategy strategies[] = {Strategy::AllDirections, Strategy::ThreeDirections,
                                       Strategy::Corner};
        for (int g = 0; out.size() < kPositions; ++g) {
            playGame(strategies[g % 3], game, [&](const Cells& board, int direction) {
                if (seen++ % 5 == 0 && out.size() < kPositions) {
                    out.push_back({board, direction});
                }
            });
        }
        return out;
    }();
    return all;
}

// Runs `step` on the positions in turn for as long as the benchmark asks.
template <typename Step> void cycle(benchmark::State& state, Step step) {
    const auto& p = positions();
    std::size_t i = 0;
    for (auto _ : state) {
        step(p[i]);
        i = (i + 1) & (kPositions - 1);
    }
}

void Evaluation(benchmark::State& state) {
    Game game;
    cycle(state, [&game](const Position& p) {
        game.Board = p.board;
        korvex::Evaluation e = game.Evaluate();
        benchmark::DoNotOptimize(e);
    });
}

void LegalMove(benchmark::State& state) {
    Game game;
    game.Rnd.seedRaw(1);
    cycle(state, [&game](const Position& p) {
        game.Board = p.board; // a 64-byte copy, a few cycles of the figure
        game.MoveGain = 0;    // billions of moves would overflow it
        game.PlayMove(p.direction);
        benchmark::DoNotOptimize(game.Board);
        benchmark::DoNotOptimize(game.MoveGain);
    });
}

// What one tick of the auto-player costs without the window: evaluate, choose, move, spawn and
// the points booked.
void StrategyStep(benchmark::State& state) {
    Game game;
    game.Rnd.seedRaw(2);
    const auto mode = static_cast<std::int32_t>(state.range(0));
    cycle(state, [&](const Position& p) {
        game.Board = p.board;
        game.Score = 0; // billions of ticks would overflow it
        game.GameOver = 0;
        game.AutoMode = mode; // a position with no move left switches it off
        benchmark::DoNotOptimize(game.Tick());
        benchmark::DoNotOptimize(game.Board);
    });
}

// The parts of the evaluation, to see where its time goes.
void CanSlideFour(benchmark::State& state) {
    cycle(state, [](const Position& p) {
        for (int d = 0; d < kDirections; ++d) {
            benchmark::DoNotOptimize(canSlide(p.board, d));
        }
    });
}

void PreviewFour(benchmark::State& state) {
    cycle(state, [](const Position& p) {
        for (int d = 0; d < kDirections; ++d) {
            benchmark::DoNotOptimize(preview(p.board, d));
        }
    });
}

constexpr int kRepetitions = 5;

void registerAll() {
    auto repeat = [](benchmark::internal::Benchmark* b) {
        b->Repetitions(kRepetitions)->ReportAggregatesOnly(true);
    };
    repeat(benchmark::RegisterBenchmark("Evaluation", Evaluation));
    repeat(benchmark::RegisterBenchmark("LegalMove", LegalMove));
    repeat(benchmark::RegisterBenchmark("StrategyStep", StrategyStep)
               ->Arg(static_cast<int>(Strategy::AllDirections))
               ->Arg(static_cast<int>(Strategy::ThreeDirections))
               ->Arg(static_cast<int>(Strategy::Corner)));
    repeat(benchmark::RegisterBenchmark("CanSlideFour", CanSlideFour));
    repeat(benchmark::RegisterBenchmark("PreviewFour", PreviewFour));
}

// Prints as usual and keeps the median and spread of each benchmark for the report.
class Collector : public benchmark::ConsoleReporter {
public:
    struct Figures {
        double medianNs = 0;
        double stddevNs = 0;
    };
    std::map<std::string, Figures> byName;
    std::vector<std::string> order;

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Aggregate) {
                continue;
            }
            // The name without the "repeats:" part that str() would add.
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) {
                name += "/" + run.run_name.args;
            }
            const double ns =
                run.GetAdjustedCPUTime() * (1e9 / benchmark::GetTimeUnitMultiplier(run.time_unit));
            if (byName.emplace(name, Figures{}).second) {
                order.push_back(name);
            }
            if (run.aggregate_name == "median") {
                byName[name].medianNs = ns;
            } else if (run.aggregate_name == "stddev") {
                byName[name].stddevNs = ns;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
};

std::string describe(const std::string& name) {
    static const std::map<std::string, std::string> text{
        {"Evaluation", "one auto-play evaluation: four can-slide tests and four previews"},
        {"LegalMove", "one whole legal move: slide, merge, slide and the spawn"},
        {"StrategyStep/1", "evaluation, choice, move and spawn, \"Авто. Во все стороны\""},
        {"StrategyStep/2", "evaluation, choice, move and spawn, \"Авто. В три стороны\""},
        {"StrategyStep/3", "evaluation, choice, move and spawn, \"Авто. В угол\""},
        {"CanSlideFour", "the four can-slide tests alone"},
        {"PreviewFour", "the four previews alone"},
    };
    const auto it = text.find(name);
    return it != text.end() ? it->second : name;
}

} // namespace

int main(int argc, char** argv) {
    Report report(argc, argv);
    positions(); // built before any timing
    registerAll();
    benchmark::Initialize(&argc, argv);
    Collector collector;
    benchmark::RunSpecifiedBenchmarks(&collector);
    benchmark::Shutdown();

    std::string md;
    md += "Google Benchmark, CPU time per operation, median of " + std::to_string(kRepetitions) +
          " repetitions, over " + std::to_string(kPositions) +
          " positions taken from league games of all three strategies (every fifth position, "
          "opening to end).\n\n";
    md += "| Benchmark | What it does | Median (ns) | Std. dev. (ns) |\n|---|---|---:|---:|\n";
    for (const std::string& name : collector.order) {
        const auto& f = collector.byName[name];
        md += "| `" + name + "` | " + describe(name) + " | " + fixed(f.medianNs, 1) + " | " +
              fixed(f.stddevNs, 1) + " |\n";
    }
    report.add(md);

    const struct {
        const char* name;
        const char* goal;
        double limitNs;
    } goals[] = {{"Evaluation", "Rules: one evaluation", 500},
                 {"LegalMove", "Rules: one legal move", 300}};
    for (const auto& g : goals) {
        const auto found = collector.byName.find(g.name);
        if (found != collector.byName.end()) {
            const double ns = found->second.medianNs;
            report.goal(g.goal, "< " + fixed(g.limitNs, 0) + " ns", fixed(ns, 1) + " ns",
                        ns < g.limitNs,
                        std::string("perf:bench-rules --benchmark_filter=^") + g.name + "$");
        }
    }
    return 0;
}
