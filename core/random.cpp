// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "random.h"

#include <bit>
#include <chrono>
#include <ctime>

namespace korvex {

void RandomSource::seed(float secondsSinceMidnight) {
    engine.seed(std::bit_cast<std::uint32_t>(secondsSinceMidnight));
}

float RandomSource::secondsSinceMidnight() {
    using namespace std::chrono;
    const auto now = system_clock::now();
    const std::time_t whole = system_clock::to_time_t(now);
    std::tm local{};
    localtime_r(&whole, &local);
    const double fraction = duration<double>(now - system_clock::from_time_t(whole)).count();
    return static_cast<float>(local.tm_hour * 3600 + local.tm_min * 60 + local.tm_sec + fraction);
}

} // namespace korvex
