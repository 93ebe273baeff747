// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Drawing and ticks on the real window, offscreen: DrawBoard with no cell changed and with all
// sixteen changed, and whole auto-play ticks (strategy and redraw), each timed one by one for
// the median and the 99th percentile. The repaint that Qt runs afterwards on the event loop
// is timed apart, as "frame".
//   bench-drawing [--samples N] [--md FILE] [--goals FILE]
#include "league.h"
#include "report.h"
#include "windowsupport.h"

#include <chrono>
#include <string>
#include <vector>

using namespace korvex;
using namespace korvex::bench;
using Clock = std::chrono::steady_clock;

namespace {

double microseconds(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

struct Series {
    std::string name;
    std::vector<double> us;
};

std::string row(const Series& s) {
    return "| " + s.name + " | " + std::to_string(s.us.size()) + " | " + fixed(median(s.us), 2) +
           " | " + fixed(percentile(s.us, 0.99), 2) + " |\n";
}

// Times DrawBoard `samples` times; `prepare` sets the Board before each call, untimed, and
// the repaint each redraw asks for runs untimed after it.
template <typename Prepare>
Series timeRedraws(frmMain& window, const std::string& name, int samples, Prepare prepare) {
    Series s{name, {}};
    s.us.reserve(static_cast<std::size_t>(samples));
    for (int i = 0; i < samples; ++i) {
        prepare(i);
        const auto t0 = Clock::now();
        window.DrawBoard();
        const auto t1 = Clock::now();
        s.us.push_back(microseconds(t1 - t0));
        QApplication::processEvents();
    }
    return s;
}

} // namespace

int main(int argc, char** argv) {
    Report report(argc, argv);
    const int samples = std::stoi(takeOption(argc, argv, "--samples", "10000"));
    WindowBench bench(argc, argv);
    frmMain& window = bench.Window;
    window.Rnd.seedRaw(20240607);
    window.mnuNewGame_Click();
    showAndSettle(window);

    // --- DrawBoard with nothing changed, on a full board: every cell has a number ----------
    for (int k = 0; k < kCells; ++k) {
        window.Board[k] = 2 << k; // 2 ... 65536, every row of the colour table
    }
    window.DrawBoard();
    QApplication::processEvents();
    const quint64 cellsBefore = cellWrites(window);
    const quint64 scoreBefore = window.lblScore->Writes();
    const Series unchanged =
        timeRedraws(window, "`DrawBoard`, no cell changed (full board)", samples, [](int) {});
    const quint64 unchangedCellWrites = cellWrites(window) - cellsBefore;
    const quint64 unchangedScoreWrites = window.lblScore->Writes() - scoreBefore;

    // --- DrawBoard with all sixteen cells changed: caption, background and text colour ----
    // Dark-text tiles (2, 4) and light-text tiles (8 ... 1024) take turns in every cell.
    Cells dark{};
    Cells light{};
    for (int k = 0; k < kCells; ++k) {
        dark[k] = k % 2 == 0 ? 2 : 4;
        light[k] = 8 << (k % 8);
    }
    const quint64 allBefore = cellWrites(window);
    const Series allChanged = timeRedraws(window, "`DrawBoard`, all sixteen cells changed", samples,
                                          [&](int i) { window.Board = i % 2 == 0 ? dark : light; });
    const double writesPerChangedRedraw =
        static_cast<double>(cellWrites(window) - allBefore) / samples;

    // --- Whole ticks, driven by hand so the timer never fires in between ------------------
    std::vector<Series> ticks;
    std::vector<Series> frames;
    Series allTicks{"all three strategies", {}};
    int gamesEnded = 0;
    for (const StrategyItem& mode : kStrategyItems) {
        window.mnuNewGame_Click();
        (window.*mode.click)();
        window.tmrAuto.stop();
        Series tick{std::string("`tmrAuto_Timer`, \"") + strategyCaption(mode.strategy) + "\"", {}};
        Series frame{
            std::string("repaint after a tick, \"") + strategyCaption(mode.strategy) + "\"", {}};
        for (int i = 0; i < samples; ++i) {
            const auto t0 = Clock::now();
            window.tmrAuto_Timer();
            const auto t1 = Clock::now();
            QApplication::processEvents();
            const auto t2 = Clock::now();
            tick.us.push_back(microseconds(t1 - t0));
            frame.us.push_back(microseconds(t2 - t1));
            if (window.AutoMode == 0) { // the game ended: start the next, as a player would
                ++gamesEnded;
                (window.*mode.click)();
                window.tmrAuto.stop();
                QApplication::processEvents();
            }
        }
        allTicks.us.insert(allTicks.us.end(), tick.us.begin(), tick.us.end());
        ticks.push_back(std::move(tick));
        frames.push_back(std::move(frame));
    }
    allTicks.name = "`tmrAuto_Timer`, all three strategies";

    std::string md;
    md += "The real `frmMain` on the offscreen platform, shown. Every call is timed on its own "
          "(steady clock); " +
          std::to_string(samples) +
          " calls per row. The repaint that each call schedules runs afterwards on the event "
          "loop, untimed for the redraw rows and timed apart in the \"repaint\" rows.\n\n";
    md += "| Call | Samples | Median (µs) | 99th percentile (µs) |\n|---|---:|---:|---:|\n";
    md += row(unchanged) + row(allChanged);
    for (const Series& s : ticks) {
        md += row(s);
    }
    md += row(allTicks);
    for (const Series& s : frames) {
        md += row(s);
    }
    md += "\nLabel writes (`Label::Writes()`): " + std::to_string(samples) +
          " unchanged redraws wrote " + std::to_string(unchangedCellWrites) +
          " cell-label properties and the score line " + std::to_string(unchangedScoreWrites) +
          " times; a redraw with all sixteen cells changed wrote " +
          fixed(writesPerChangedRedraw, 1) + " cell-label properties (3 per cell). " +
          std::to_string(gamesEnded) +
          " games ended during the tick runs and were restarted "
          "untimed.\n";
    report.add(md);

    const double tickMedian = median(allTicks.us);
    report.goal("Drawing: a tick's median", "< 100 µs",
                fixed(tickMedian, 2) + " µs (99th percentile " +
                    fixed(percentile(allTicks.us, 0.99), 2) + " µs)",
                tickMedian < 100, "perf:bench-drawing --samples 20000");
    const bool scoreOnly =
        unchangedCellWrites == 0 && unchangedScoreWrites == static_cast<quint64>(samples);
    report.goal("Drawing: an unchanged redraw writes only the score line",
                "0 cell writes, 1 score write per redraw",
                std::to_string(unchangedCellWrites) + " cell writes, " +
                    fixed(static_cast<double>(unchangedScoreWrites) / samples, 2) +
                    " score writes per redraw",
                scoreOnly, "");
    return 0;
}
