// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "icon.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <array>

namespace korvex {

namespace {
constexpr std::array<int, 5> kWindowIconSizes{16, 24, 32, 48, 64};
// Tiles of the board's own colours, from the big gold tile down to a fresh 2.
constexpr std::array<QRgb, 4> kTileColors{qRgb(239, 195, 41), qRgb(247, 150, 99), qRgb(247, 93, 57),
                                          qRgb(239, 231, 222)};
constexpr QRgb kBoardGrey = qRgb(128, 128, 128);
} // namespace

QImage renderIcon(int size) {
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, size >= 32);
    painter.setPen(Qt::NoPen);

    // Whole-pixel geometry, symmetric at every size: equal outer margins of 1/16 (at least one
    // pixel), and the gap between the tiles takes the odd pixel the two tiles cannot share.
    const int margin = std::max(1, size / 16);
    const int tile = (size - 3 * margin) / 2;
    const int gap = size - 2 * margin - 2 * tile;
    const qreal boardRadius = size >= 32 ? size / 8.0 : 0.0;
    const qreal tileRadius = size >= 32 ? size / 16.0 : 0.0;

    painter.setBrush(QColor::fromRgb(kBoardGrey));
    painter.drawRoundedRect(QRectF(0, 0, size, size), boardRadius, boardRadius);
    for (int i = 0; i < 4; ++i) {
        const int x = margin + (i % 2) * (tile + gap);
        const int y = margin + (i / 2) * (tile + gap);
        painter.setBrush(QColor::fromRgb(kTileColors[i]));
        painter.drawRoundedRect(QRectF(x, y, tile, tile), tileRadius, tileRadius);
    }
    return image;
}

QIcon windowIcon() {
    QIcon icon;
    for (const int size : kWindowIconSizes) {
        icon.addPixmap(QPixmap::fromImage(renderIcon(size)));
    }
    return icon;
}

} // namespace korvex
