// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game's one source of chance: uniform single-precision values in [0, 1).
#pragma once

#include <cstdint>
#include <random>

namespace korvex {

class RandomSource {
public:
    // Seeds from the seconds since midnight, fraction included.
    void seed(float secondsSinceMidnight);
    void seedRaw(std::uint32_t seed) { engine.seed(seed); }

    float next() { return toUnit(engine()); }

    // Maps a raw 32-bit output to [0, 1) using its top 24 bits, which a float holds exactly.
    // std::generate_canonical<float> can round up to 1.0; this never does.
    static constexpr float toUnit(std::uint32_t raw) {
        return static_cast<float>(raw >> 8) * (1.0f / 16777216.0f);
    }

    static float secondsSinceMidnight();

private:
    std::mt19937 engine;
};

} // namespace korvex
