// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Start-up and memory: starts the game and the empty-window floor as fresh processes, many
// times in turn, and takes from each the time from just before the process is started to its
// first drawn frame (reported by the probe linked into both) and its peak resident memory.
// A third program, the floor with one line of text, shows what Qt's font system alone adds.
//   bench-startup [--runs N] [--game PATH] [--floor PATH] [--textfloor PATH] [--md FILE]
//                 [--goals FILE]
#include "clock.h"
#include "league.h"
#include "report.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char** environ;

using namespace korvex::bench;

namespace {

struct Launch {
    bool ok = false;
    double loadedMs = 0; // libraries loaded, before main()
    double appMs = 0;    // the application's start-up routines run
    double frameMs = 0;  // the first frame drawn
    double peakMiB = 0;
};

long long valueOf(const std::string& text, const char* key) {
    const std::string needle = std::string(key) + " ";
    const auto at = text.find(needle);
    return at == std::string::npos ? 0 : std::stoll(text.substr(at + needle.size()));
}

Launch launch(const std::string& program) {
    Launch result;
    int out[2];
    if (pipe(out) != 0) {
        return result;
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    std::string path = program;
    char* argv[] = {path.data(), nullptr};

    pid_t pid = 0;
    const long long startedAt = monotonicNs();
    const int spawned = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0) {
        close(out[0]);
        return result;
    }

    std::string text;
    char buffer[256];
    pollfd pfd{out[0], POLLIN, 0};
    const long long deadline = startedAt + 30'000'000'000LL; // a hung child is killed
    for (;;) {
        const int left = static_cast<int>((deadline - monotonicNs()) / 1'000'000);
        if (left <= 0 || poll(&pfd, 1, left) <= 0) {
            kill(pid, SIGKILL);
            break;
        }
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(n));
    }
    close(out[0]);
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }

    const long long frame = valueOf(text, "frame");
    if (frame == 0 || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        return result;
    }
    result.ok = true;
    result.loadedMs = static_cast<double>(valueOf(text, "loaded") - startedAt) / 1e6;
    result.appMs = static_cast<double>(valueOf(text, "app") - startedAt) / 1e6;
    result.frameMs = static_cast<double>(frame - startedAt) / 1e6;
    result.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0; // ru_maxrss is in KiB
    return result;
}

struct Summary {
    std::vector<double> loaded, app, frame, peak;
    int failed = 0;
    void add(const Launch& l) {
        if (!l.ok) {
            ++failed;
            return;
        }
        loaded.push_back(l.loadedMs);
        app.push_back(l.appMs);
        frame.push_back(l.frameMs);
        peak.push_back(l.peakMiB);
    }
};

std::string summaryRow(const char* name, const Summary& s) {
    return std::string("| ") + name + " | " + std::to_string(s.frame.size()) + " | " +
           fixed(median(s.loaded), 2) + " | " + fixed(median(s.app), 2) + " | " +
           fixed(median(s.frame), 2) + " | " + fixed(percentile(s.frame, 0.0), 2) + " – " +
           fixed(percentile(s.frame, 1.0), 2) + " | " + fixed(median(s.peak), 2) + " |\n";
}

// What every program started here inherits: the offscreen platform, and a lock directory of
// this run's own (mkdtemp makes it 0700), so a running game is never disturbed.
struct Surroundings {
    char Runtime[32] = "/tmp/korvex-bench-XXXXXX";
    bool Made = mkdtemp(Runtime) != nullptr && setenv("XDG_RUNTIME_DIR", Runtime, 1) == 0 &&
                setenv("QT_QPA_PLATFORM", "offscreen", 1) == 0;
    ~Surroundings() {
        std::error_code ignored;
        std::filesystem::remove_all(Runtime, ignored);
    }
};

} // namespace

int main(int argc, char** argv) {
    const Surroundings surroundings;
    if (!surroundings.Made) {
        std::perror("bench-startup: a lock directory of its own");
        return 1;
    }
    Report report(argc, argv);
    const int runs = std::stoi(takeOption(argc, argv, "--runs", "21"));
    const std::string game = takeOption(argc, argv, "--game", KORVEX_STARTUP_GAME);
    const std::string floorProgram = takeOption(argc, argv, "--floor", KORVEX_STARTUP_FLOOR);
    const std::string textFloorProgram =
        takeOption(argc, argv, "--textfloor", KORVEX_STARTUP_TEXTFLOOR);

    // Two unrecorded starts of each first, so both find the same warm caches.
    for (int i = 0; i < 2; ++i) {
        launch(game);
        launch(floorProgram);
        launch(textFloorProgram);
    }
    Summary korvex;
    Summary floor;
    Summary textFloor;
    for (int i = 0; i < runs; ++i) {
        korvex.add(launch(game));
        floor.add(launch(floorProgram));
        textFloor.add(launch(textFloorProgram));
    }
    if (korvex.frame.empty() || floor.frame.empty() || textFloor.frame.empty()) {
        std::fprintf(stderr, "bench-startup: no first frame was reported (%d, %d, %d failed)\n",
                     korvex.failed, floor.failed, textFloor.failed);
        return 1;
    }

    const double ratio = median(korvex.frame) / median(floor.frame);
    const double extraMiB = median(korvex.peak) - median(floor.peak);
    std::string md;
    md += "Each program is started " + std::to_string(runs) +
          " times, the three in turn, after two unrecorded starts of each, as a fresh process "
          "on the offscreen platform with a lock directory of the benchmark's own. Times run "
          "from just before `posix_spawn` to the moments noted by a probe linked beside the "
          "program's own `main()`: its libraries loaded (before `main()`), the `QApplication` "
          "running its start-up routines (inside its constructor), and the first frame of the "
          "main window painted and flushed. The game is built from the game's own "
          "`app/main.cpp`; the floor is an empty `QMainWindow`; the text floor is the same "
          "window showing one `QLabel` of text. Peak memory is the child's `ru_maxrss`; each "
          "program quits right after its first frame.\n\n";
    md += "| Program | Runs | Libraries loaded (ms) | `QApplication` start-up routines (ms) | "
          "First frame, median (ms) | First frame, min – max (ms) | Peak resident memory "
          "(MiB) |\n|---|---:|---:|---:|---:|---:|---:|\n";
    md += summaryRow("Korvex", korvex) + summaryRow("empty `QMainWindow` (floor)", floor) +
          summaryRow("`QMainWindow` with one line of text (text floor)", textFloor);
    md +=
        "\nStart-up ratio: " + fixed(ratio, 3) + "× the floor. Memory: " + fixed(extraMiB, 2) +
        " MiB above the floor (" + fixed(median(korvex.peak) / median(floor.peak), 3) +
        "×). Against the text floor: " + fixed(median(korvex.frame) / median(textFloor.frame), 3) +
        "× the start-up, " + fixed(median(korvex.peak) - median(textFloor.peak), 2) +
        " MiB of memory.";
    if (korvex.failed + floor.failed + textFloor.failed > 0) {
        md += " Failed starts left out: " + std::to_string(korvex.failed) + " of the game, " +
              std::to_string(floor.failed) + " of the floor, " + std::to_string(textFloor.failed) +
              " of the text floor.";
    }
    md += "\n";
    report.add(md);

    report.goal("Start-up: first frame against the floor", "<= 1.3× the floor",
                fixed(ratio, 3) + "× (" + fixed(median(korvex.frame), 2) + " ms against " +
                    fixed(median(floor.frame), 2) + " ms)",
                ratio <= 1.3, "callgrind:startup-game");
    report.goal("Memory: peak resident against the floor", "<= floor + 5 MiB",
                "+" + fixed(extraMiB, 2) + " MiB (" + fixed(median(korvex.peak), 2) +
                    " MiB against " + fixed(median(floor.peak), 2) + " MiB)",
                extraMiB <= 5.0, "massif:startup-game");
    return 0;
}
