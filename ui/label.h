// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A label seen through the four properties the game reads and writes: Caption, BackColor,
// ForeColor and BorderStyle. Reading returns what was last written, so the drawing code can
// compare before it writes and leave unchanged labels alone.
#pragma once

#include <QLabel>
#include <QRgb>

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

    // The name a screen reader reads for the label, given by the game only while a reader
    // listens. It is not the caption: at the fastest speed the captions change a hundred times a
    // second, and a reader told of each change falls seconds behind the game.
    QString SpokenName() const { return Spoken; }
    void SetSpokenName(const QString& name);

private:
    void ApplyColors();

    QRgb Back;
    QRgb Fore;
    int Border = 0;
    quint64 WriteCount = 0;
    QString Spoken;
};
