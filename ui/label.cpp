// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "label.h"

#include <QPalette>

namespace {
constexpr QRgb rgb24(QRgb color) {
    return (color & 0xFFFFFFu) | 0xFF000000u;
}
} // namespace

Label::Label(QWidget* parent, QRgb backColor, QRgb foreColor, bool opaque)
    : QLabel(parent), Back(rgb24(backColor)), Fore(rgb24(foreColor)) {
    setFocusPolicy(Qt::NoFocus);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAutoFillBackground(opaque);
    ApplyColors();
    // QLabel tells a reader of every new caption unless the label has an accessible name of its
    // own; this one is never read, since the reader's interface reads SpokenName instead.
    setAccessibleName(QStringLiteral("Label"));
}

// Both colours go into the label's own palette from the start, so that neither the desktop's
// palette nor a later change of it reaches the label: its text and its plain border are drawn
// in WindowText, which a dark scheme makes near-white.
void Label::ApplyColors() {
    QPalette p = palette();
    p.setColor(QPalette::Window, QColor::fromRgb(Back));
    p.setColor(QPalette::WindowText, QColor::fromRgb(Fore));
    setPalette(p);
}

void Label::SetCaption(const QString& caption) {
    ++WriteCount;
    setText(caption);
}

void Label::SetBackColor(QRgb color) {
    ++WriteCount;
    Back = rgb24(color);
    ApplyColors();
}

void Label::SetForeColor(QRgb color) {
    ++WriteCount;
    Fore = rgb24(color);
    ApplyColors();
}

void Label::SetBorderStyle(int style) {
    ++WriteCount;
    Border = style == 1 ? 1 : 0;
    setFrameShape(Border == 1 ? QFrame::Box : QFrame::NoFrame);
    setLineWidth(1);
}

bool Label::TakeNameChange() {
    QString name = SpokenName();
    if (name == Told) {
        return false;
    }
    Told = std::move(name);
    return true;
}
