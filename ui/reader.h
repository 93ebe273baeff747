// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game's one way to assistive technology, and the announcer that gets the texts a screen
// reader hears to the reader.
#pragma once

#include <QObject>
#include <QString>
#include <QtGlobal>

#include <cstdint>
#include <deque>
#include <functional>

class QAccessibleEvent;
class QWidget;

namespace korvex {

// Every question the game asks of assistive technology and every event it sends goes through
// here, so that tests can stand in for the platform: the offscreen platform they run on has no
// accessibility and drops every event. Each part is Qt's own unless a test sets it.
struct ReaderLink {
    ReaderLink(); // gives the board's labels their accessible interface, once per program

    std::function<bool()> Active;                   // QAccessible::isActive()
    std::function<std::int64_t()> Clock;            // milliseconds on a steady clock
    std::function<void(QAccessibleEvent*)> Deliver; // QAccessible::updateAccessibility

    bool active() const;
    std::int64_t now() const;
    void send(QAccessibleEvent* event) const;
};

// Gets short texts to the reader. Qt 6.8 and later ask the reader to speak a text with an
// announcement from the window, the platform's own channel. Older Qt has none, so there each
// text is the name of a new hidden object that takes the reader's focus: Orca reads an object
// when its focus moves there, not when it is there already, and when texts come faster than it
// reads them it handles only the newest. An object used before may still hold Orca's focus and
// stay silent; a new one never does. None of them ever takes the keyboard focus.
class Announcer : public QObject {
public:
    // The texts come from board, and on older Qt its hidden objects are board's children, so
    // the reader finds them inside the window. link outlives the announcer.
    Announcer(QWidget* board, const ReaderLink& link);

    // Only the last text of an event is told, once the event is handled: a command that runs
    // another one (the victory preview starts a new game) is heard once, and after the
    // window's own focus change, which Qt reports while the event runs.
    void say(const QString& text, std::int64_t now);

    // When the last text was given, on the clock say() was given.
    std::int64_t saidAt() const { return SaidAt; }

    // How many texts have been told; lets tests see that fast auto-play keeps quiet.
    quint64 told() const { return Told; }

private:
    void tell();

    QWidget* Board;
    const ReaderLink& Link;
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    // The latest voices, oldest first. Orca ignores the focus of an object already gone, and
    // may be a second or two behind, so a few stay.
    std::deque<QWidget*> Voices;
#endif
    QString Pending;
    std::int64_t SaidAt = 0;
    quint64 Told = 0;
};

} // namespace korvex
