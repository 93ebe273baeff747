// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What every benchmark program hands back to scripts/bench: a Markdown section of figures
// and one line per goal (name, target, measured, met, and the command whose profile explains
// a miss). Both go to files named on the command line, or to standard output without them.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace korvex::bench {

// Takes "--name VALUE" out of argv and returns VALUE, or `fallback` when it is absent, so
// the rest of the command line can go on to Qt or Google Benchmark untouched.
inline std::string takeOption(int& argc, char** argv, const char* name, std::string fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0) {
            std::string value = argv[i + 1];
            for (int j = i; j + 2 <= argc; ++j) {
                argv[j] = argv[j + 2];
            }
            argc -= 2;
            return value;
        }
    }
    return fallback;
}

inline std::string fixed(double value, int decimals) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    return buffer;
}

class Report {
public:
    Report(int& argc, char** argv)
        : MarkdownPath(takeOption(argc, argv, "--md", "")),
          GoalsPath(takeOption(argc, argv, "--goals", "")) {}
    Report(const Report&) = delete;
    Report& operator=(const Report&) = delete;

    void add(const std::string& markdown) { Markdown += markdown; }

    // `profile` says how scripts/bench profiles a miss: "TOOL:PROGRAM ARGS", TOOL one of perf,
    // callgrind or massif, PROGRAM one of the benchmark programs.
    void goal(const std::string& name, const std::string& target, const std::string& measured,
              bool met, const std::string& profile) {
        Goals += name + "\t" + target + "\t" + measured + "\t" + (met ? "yes" : "no") + "\t" +
                 profile + "\n";
    }

    ~Report() {
        write(MarkdownPath, Markdown);
        write(GoalsPath, Goals);
    }

private:
    static void write(const std::string& path, const std::string& text) {
        if (path.empty()) {
            std::fputs(text.c_str(), stdout);
            return;
        }
        if (std::FILE* file = std::fopen(path.c_str(), "w")) {
            std::fputs(text.c_str(), file);
            std::fclose(file);
        } else {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
        }
    }

    std::string MarkdownPath;
    std::string GoalsPath;
    std::string Markdown;
    std::string Goals;
};

} // namespace korvex::bench
