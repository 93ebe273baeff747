// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game's icon: one design, drawn in code at every size and hand-written as SVG for
// launchers that scale; the two must agree, and the small sizes must stay readable.
#include "icon.h"
#include "testsupport.h"

#include <QColor>
#include <QDebug>
#include <QImage>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <vector>

using namespace korvex::test;

namespace {

constexpr QRgb kBoardGrey = qRgb(128, 128, 128);

// Runs of equal classification (board grey or not) along a line of pixels.
struct Run {
    bool grey;
    int length;
};

std::vector<Run> runsAlong(const QImage& image, bool horizontal, int at) {
    std::vector<Run> runs;
    for (int i = 0; i < image.width(); ++i) {
        const QRgb pixel = horizontal ? image.pixel(i, at) : image.pixel(at, i);
        const bool grey = qAlpha(pixel) == 255 && (pixel & 0xffffff) == (kBoardGrey & 0xffffff);
        if (runs.empty() || runs.back().grey != grey) {
            runs.push_back({grey, 0});
        }
        ++runs.back().length;
    }
    return runs;
}

} // namespace

class TestIcon : public QObject {
    Q_OBJECT
private slots:
    // Every size: 2 by 2 tiles of one width, equal grey margins, a gap at least a margin wide.
    void tilesSitSymmetricallyOnTheBoard_data() {
        QTest::addColumn<int>("size");
        for (const int size : {16, 24, 32, 48, 64, 128, 256}) {
            QTest::addRow("%d px", size) << size;
        }
    }
    void tilesSitSymmetricallyOnTheBoard() {
        QFETCH(int, size);
        const QImage image = korvex::renderIcon(size).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));
        for (const bool horizontal : {true, false}) {
            for (const int at : {size / 4, size - 1 - size / 4}) {
                const std::vector<Run> runs = runsAlong(image, horizontal, at);
                QString where;
                QDebug(&where).nospace() << (horizontal ? "row " : "column ") << at << ":";
                for (const Run& run : runs) {
                    QDebug(&where) << (run.grey ? "grey" : "tile") << run.length;
                }
                QVERIFY2(runs.size() == 5, qPrintable(where));
                QVERIFY2(runs[0].grey && !runs[1].grey && runs[2].grey && !runs[3].grey &&
                             runs[4].grey && runs[0].length == runs[4].length &&
                             runs[1].length == runs[3].length && runs[2].length >= runs[0].length,
                         qPrintable(where));
            }
        }
    }

    // The four tiles wear four different colours of the board, none of them the grey.
    void tilesHaveFourDistinctColours_data() { tilesSitSymmetricallyOnTheBoard_data(); }
    void tilesHaveFourDistinctColours() {
        QFETCH(int, size);
        const QImage image = korvex::renderIcon(size).convertToFormat(QImage::Format_ARGB32);
        const int near = size / 4;
        const int far = size - 1 - size / 4;
        QList<QRgb> colours{image.pixel(near, near), image.pixel(far, near), image.pixel(near, far),
                            image.pixel(far, far)};
        for (const QRgb colour : colours) {
            QVERIFY(qAlpha(colour) == 255 && colour != kBoardGrey);
        }
        std::sort(colours.begin(), colours.end());
        QVERIFY(std::adjacent_find(colours.begin(), colours.end()) == colours.end());
    }

    // The hand-written SVG at 64 px shows renderIcon(64), anti-aliasing apart by a few levels.
    void scalableIconMatchesTheDrawing() {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString png = dir.filePath(QStringLiteral("icon.png"));
        const ToolRun rsvg =
            runTool("rsvg-convert", {"-w", "64", "-h", "64", "-o", png,
                                     KORVEX_SOURCE_DIR "/resources/org.korvex.Korvex.svg"});
        QVERIFY2(rsvg.ok, qPrintable(rsvg.what()));

        const QImage fromSvg = QImage(png).convertToFormat(QImage::Format_ARGB32);
        const QImage drawn = korvex::renderIcon(64).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(fromSvg.size(), drawn.size());
        int differing = 0;
        for (int y = 0; y < 64; ++y) {
            for (int x = 0; x < 64; ++x) {
                const QRgb a = fromSvg.pixel(x, y);
                const QRgb b = drawn.pixel(x, y);
                const int delta =
                    std::max({std::abs(qRed(a) - qRed(b)), std::abs(qGreen(a) - qGreen(b)),
                              std::abs(qBlue(a) - qBlue(b)), std::abs(qAlpha(a) - qAlpha(b))});
                differing += delta > 8 ? 1 : 0;
            }
        }
        // A tile moved by one pixel, or a colour changed, differs in 50 pixels or more.
        QVERIFY2(differing <= 8, qPrintable(QStringLiteral("%1 pixels differ").arg(differing)));
    }
};

QTEST_MAIN(TestIcon)
#include "test_icon.moc"
