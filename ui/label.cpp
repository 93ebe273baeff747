// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "label.h"

#include <QPalette>

namespace {
constexpr QRgb rgb24(QRgb color) {
    return (color & 0xFFFFFFu) | 0xFF000000u;
}
} // namespace

Label::Label(QWidget* parent, QRgb backColor, bool opaque)
    : QLabel(parent), Back(rgb24(backColor)),
      Fore(rgb24(palette().color(QPalette::WindowText).rgb())) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(opaque);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor::fromRgb(Back));
    setPalette(p);
}

void Label::SetCaption(const QString& caption) {
    ++WriteCount;
    setText(caption);
}

void Label::SetBackColor(QRgb color) {
    ++WriteCount;
    Back = rgb24(color);
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor::fromRgb(Back));
    setPalette(p);
}

void Label::SetForeColor(QRgb color) {
    ++WriteCount;
    Fore = rgb24(color);
    QPalette p = palette();
    p.setColor(QPalette::WindowText, QColor::fromRgb(Fore));
    setPalette(p);
}

void Label::SetBorderStyle(int style) {
    ++WriteCount;
    Border = style == 1 ? 1 : 0;
    setFrameShape(Border == 1 ? QFrame::Box : QFrame::NoFrame);
    setLineWidth(1);
}
