// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Sustained pace: the real window on the real event loop with "Скорость - Очень быстро" and
// a strategy switched on, for a fixed wall-clock time per strategy. Counts ticks and moves
// and the process's CPU time over that span. When a game ends, the strategy's item is clicked
// again at once, which starts the next game, as a player watching would.
//   bench-pace [--seconds S] [--strategies 123] [--md FILE] [--goals FILE]
#include "league.h"
#include "report.h"
#include "windowsupport.h"

#include <QTimer>

#include <chrono>
#include <sys/resource.h>
#include <vector>

using namespace korvex;
using namespace korvex::bench;
using Clock = std::chrono::steady_clock;

namespace {

struct PaceRun {
    Strategy strategy{};
    double wallSeconds = 0;
    double cpuSeconds = 0;
    double userSeconds = 0;
    double systemSeconds = 0;
    int ticks = 0;
    int moves = 0;
    int gamesEnded = 0;
    std::vector<double> intervalsMs; // from one tick to the next
};

double seconds(const timeval& t) {
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) * 1e-6;
}

PaceRun runPace(frmMain& window, Strategy strategy, void (frmMain::*click)(), double duration) {
    PaceRun run;
    run.strategy = strategy;
    Clock::time_point lastTick{};
    // Connected after the window's own tick handler, so it runs right after each tick.
    const QMetaObject::Connection hook =
        QObject::connect(&window.tmrAuto, &QTimer::timeout, &window, [&] {
            const auto now = Clock::now();
            if (run.ticks > 0) {
                run.intervalsMs.push_back(
                    std::chrono::duration<double, std::milli>(now - lastTick).count());
            }
            lastTick = now;
            ++run.ticks;
            // A tick either plays a move or ends the game and switches the auto-play off.
            if (window.AutoMode == 0) {
                ++run.gamesEnded;
                (window.*click)(); // GameOver is 1: a new game, and the mode on again
            } else {
                ++run.moves;
            }
        });

    window.mnuNewGame_Click();
    QApplication::processEvents();
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    const double cpu0 = cpuSeconds();
    const auto wall0 = Clock::now();
    (window.*click)();
    QEventLoop loop;
    QTimer::singleShot(static_cast<int>(duration * 1000), Qt::PreciseTimer, &loop,
                       &QEventLoop::quit);
    loop.exec();
    run.wallSeconds = std::chrono::duration<double>(Clock::now() - wall0).count();
    run.cpuSeconds = cpuSeconds() - cpu0;
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    run.userSeconds = seconds(after.ru_utime) - seconds(before.ru_utime);
    run.systemSeconds = seconds(after.ru_stime) - seconds(before.ru_stime);

    QObject::disconnect(hook);
    window.mnuNewGame_Click(); // switches the auto-play off
    QApplication::processEvents();
    return run;
}

} // namespace

int main(int argc, char** argv) {
    Report report(argc, argv);
    const double duration = std::stod(takeOption(argc, argv, "--seconds", "10"));
    const std::string chosen = takeOption(argc, argv, "--strategies", "123");
    WindowBench bench(argc, argv);
    frmMain& window = bench.Window;
    showAndSettle(window);
    window.mnuSpeed10_Click();

    std::vector<PaceRun> runs;
    for (const StrategyItem& mode : kStrategyItems) {
        if (chosen.find(mode.key) != std::string::npos) {
            runs.push_back(runPace(window, mode.strategy, mode.click, duration));
        }
    }
    rusage self{};
    getrusage(RUSAGE_SELF, &self);

    std::string md;
    md += "The real `frmMain` on the offscreen platform and the real event loop; `tmrAuto` is "
          "Qt's precise timer at the 10 ms of \"Скорость - Очень быстро\". Each strategy runs " +
          fixed(duration, 0) +
          " s of wall-clock time. A tick that ends a game plays no move; the strategy's item "
          "is then clicked again in the same tick, which starts a new game. CPU is the whole "
          "process (`CLOCK_PROCESS_CPUTIME_ID`), including Qt's repaints.\n\n";
    md += "| Strategy | Ticks/s | Moves/s | Games ended | CPU s per s | User / system s | "
          "Tick interval min / median / p99 / max (ms) |\n|---|---:|---:|---:|---:|---:|---:|\n";
    double worstMoves = 1e9;
    double worstCpu = 0;
    for (const PaceRun& run : runs) {
        const double movesPerSecond = run.moves / run.wallSeconds;
        const double cpuPerSecond = run.cpuSeconds / run.wallSeconds;
        worstMoves = std::min(worstMoves, movesPerSecond);
        worstCpu = std::max(worstCpu, cpuPerSecond);
        const double shortest = percentile(run.intervalsMs, 0.0);
        const double longest = percentile(run.intervalsMs, 1.0);
        md += std::string("| \"") + strategyCaption(run.strategy) + "\" | " +
              fixed(run.ticks / run.wallSeconds, 2) + " | " + fixed(movesPerSecond, 2) + " | " +
              std::to_string(run.gamesEnded) + " | " + fixed(cpuPerSecond, 4) + " (" +
              fixed(100 * cpuPerSecond, 2) + " %) | " + fixed(run.userSeconds, 3) + " / " +
              fixed(run.systemSeconds, 3) + " | " + fixed(shortest, 3) + " / " +
              fixed(median(run.intervalsMs), 3) + " / " +
              fixed(percentile(run.intervalsMs, 0.99), 3) + " / " + fixed(longest, 3) + " |\n";
    }
    md += "\nPeak resident memory of this process after the runs: " +
          fixed(static_cast<double>(self.ru_maxrss) / 1024.0, 1) + " MiB.\n";
    report.add(md);

    if (!runs.empty()) {
        report.goal("Pace: moves per second at 10 ms", ">= 99 moves/s",
                    fixed(worstMoves, 2) + " moves/s (slowest strategy)", worstMoves >= 99,
                    "perf:bench-pace --seconds 10 --strategies 1");
        report.goal("Pace: CPU of one core", "< 5 %",
                    fixed(100 * worstCpu, 2) + " % (busiest strategy)", worstCpu < 0.05,
                    "perf:bench-pace --seconds 10 --strategies 1");
    }
    return 0;
}
