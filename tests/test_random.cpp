// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The random source: every draw lies in [0, 1), even at the generator's extremes, and a seed
// fixes the whole sequence.
#include "random.h"
#include "rules.h"

#include <QTest>

#include <algorithm>
#include <cstdint>
#include <vector>

using korvex::RandomSource;

namespace {

std::vector<float> draws(RandomSource& source, int count) {
    std::vector<float> out(static_cast<std::size_t>(count));
    std::generate(out.begin(), out.end(), [&source] { return source.next(); });
    return out;
}

} // namespace

class TestRandom : public QObject {
    Q_OBJECT
private slots:
    void toUnitEnds() {
        QCOMPARE(std::pair(RandomSource::toUnit(0u), RandomSource::toUnit(0x80000000u)),
                 std::pair(0.0f, 0.5f));
        // The top is the float just below 1, so a product with a cell count floors below it.
        QCOMPARE(RandomSource::toUnit(0xFFFFFFFFu), 1.0f - 1.0f / 16777216.0f);
        for (int n = 1; n <= korvex::kCells; ++n) {
            const float product = RandomSource::toUnit(0xFFFFFFFFu) * static_cast<float>(n);
            QVERIFY2(static_cast<int>(product) == n - 1, qPrintable(QString::number(n)));
        }
    }

    // The mapping keeps the generator's order and never reaches 1.0, up to the largest raw output.
    void toUnitIsMonotonic() {
        float previous = 0.0f;
        for (std::uint64_t raw = 0; raw <= 0xFFFFFFFFull; raw += 0xFFull) {
            const float r = RandomSource::toUnit(static_cast<std::uint32_t>(raw));
            QVERIFY(r >= previous && r < 1.0f);
            previous = r;
        }
    }

    void sameSeedSameSequence() {
        RandomSource a;
        RandomSource b;
        a.seedRaw(12345u);
        b.seedRaw(12345u);
        const std::vector<float> first = draws(a, 1000);
        QCOMPARE(draws(b, 1000), first);
        // Seeding again restarts the sequence from its beginning.
        a.seedRaw(12345u);
        QCOMPARE(draws(a, 1000), first);

        RandomSource c;
        c.seedRaw(12346u);
        QVERIFY(draws(c, 1000) != first);
    }

    // Seeded from the time of day with its fraction: one instant, one sequence; 0.25 s on, another.
    void timeOfDaySeed() {
        RandomSource a;
        RandomSource b;
        a.seed(45296.25f);
        b.seed(45296.25f);
        const std::vector<float> first = draws(a, 100);
        QCOMPARE(draws(b, 100), first);
        b.seed(45296.5f);
        QVERIFY(draws(b, 100) != first);

        const float now = RandomSource::secondsSinceMidnight();
        QVERIFY(now >= 0.0f && now < 86401.0f); // a leap second may reach 86400
    }

    // The value of a free-choice tile: 4 only from the top tenth of the range.
    void tileValueFromDraw_data() {
        QTest::addColumn<float>("r");
        QTest::addColumn<int>("value");
        QTest::newRow("0") << 0.0f << 2;
        QTest::newRow("0.5") << 0.5f << 2;
        QTest::newRow("0.89") << 0.89f << 2;
        QTest::newRow("0.91") << 0.91f << 4;
        QTest::newRow("0.99") << 0.99f << 4;
        QTest::newRow("largest draw") << RandomSource::toUnit(0xFFFFFFFFu) << 4;
    }
    void tileValueFromDraw() {
        QFETCH(float, r);
        QFETCH(int, value);
        QCOMPARE(korvex::randomTileValue(r), value);
    }
};

QTEST_GUILESS_MAIN(TestRandom)
#include "test_random.moc"
