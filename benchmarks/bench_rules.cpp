// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The rules at full speed, without a window: one auto-play evaluation (four can-slide tests
// and four previews) and one whole legal move (slide, merge, slide, spawn), on positions taken
// from real auto-played games.
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
        RandomSource random;
        random.seedRaw(20240607);
        int seen = 0;
        const Strategy strategies[] = {Strategy::AllDirections, Strategy::ThreeDirections,
                                       Strategy::Corner};
        for (int game = 0; out.size() < kPositions; ++game) {
            playGame(strategies[game % 3], random, [&](const Cells& board, int direction) {
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
    cycle(state, [](const Position& p) {
        korvex::Evaluation e = evaluate(p.board);
        benchmark::DoNotOptimize(e);
    });
}

void LegalMove(benchmark::State& state) {
    RandomSource random;
    random.seedRaw(1);
    cycle(state, [&random](const Position& p) {
        Cells board = p.board; // a 64-byte copy, a few cycles of the figure
        std::int32_t points = applyMove(board, p.direction);
        Spawned spawned = spawnTile(board, random, TileRule::Random);
        benchmark::DoNotOptimize(points);
        benchmark::DoNotOptimize(spawned);
        benchmark::DoNotOptimize(board);
    });
}

// What one tick of the auto-player costs without the window: evaluate, choose, move, spawn.
void StrategyStep(benchmark::State& state) {
    RandomSource random;
    random.seedRaw(2);
    const auto strategy = static_cast<Strategy>(state.range(0));
    std::int32_t autoDir = 0;
    cycle(state, [&](const Position& p) {
        Cells board = p.board;
        const korvex::Evaluation e = evaluate(board);
        const int direction = chooseDirection(strategy, autoDir, e);
        if (direction >= 0) {
            benchmark::DoNotOptimize(applyMove(board, direction));
            benchmark::DoNotOptimize(spawnTile(board, random, TileRule::Random));
        }
        benchmark::DoNotOptimize(board);
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
