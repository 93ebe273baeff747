// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A label seen through the four properties the game reads and writes: Caption, BackColor,
// ForeColor and BorderStyle. Reading returns what was last written, so the drawing code can
// compare before it writes and leave unchanged labels alone.
#pragma once

#include <QLabel>
#include <QRgb>

#include <functional>
#include <utility>

class Label : public QLabel {
public:
    // backColor and foreColor are the design-time colours; opaque labels paint backColor.
    Label(QWidget* parent, QRgb backColor, QRgb foreColor, bool opaque);

    QString Caption() const { return text(); }
    void SetCaption(const QString& caption);

    QRgb BackColor() const { return Back; }
    void SetBackColor(QRgb color);

    QRgb ForeColor() const { return Fore; }
    void SetForeColor(QRgb color);

    // 0 no border, 1 a one-pixel line inside the label.
    int BorderStyle() const { return Border; }
    void SetBorderStyle(int style);

    // How many property writes this label has taken; lets tests and benchmarks see that an
    // unchanged redraw writes nothing.
    quint64 Writes() const { return WriteCount; }

    // The name a screen reader reads for the label: what the label shows, worked out when a
    // reader asks. That is its caption, unless the game names it otherwise (a cell shows its
    // value by colour, so it is named by its place and value).
    QString SpokenName() const { return Namer ? Namer() : text(); }
    void SetNamer(std::function<QString()> namer) { Namer = std::move(namer); }

    // Whether the name differs from the one assistive technology was last told; if so, it is
    // taken as told. The game decides when to tell: at the fastest speed the captions change a
    // hundred times a second, and a reader told of each change falls seconds behind the game.
    bool TakeNameChange();

private:
    void ApplyColors();

    QRgb Back;
    QRgb Fore;
    int Border = 0;
    quint64 WriteCount = 0;
    std::function<QString()> Namer;
    QString Told;
};
