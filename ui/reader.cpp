// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a screen reader hears, decided next to what the screen shows: the cells' accessible
// names, and a short text after every event that changes what the player would look at. None
// of it runs unless an assistive technology listens.
#include "ui/reader.h"
#include "app/frmmain.h"

#include <QAccessible>
#include <QApplication>
#include <QWidget>

#include <chrono>
#include <limits>
#include <utility>

namespace korvex {

namespace {

// The least time between two texts during auto-play; faster play would only queue up speech.
constexpr std::int64_t kAutoPlayPause = 1000;

QString place(int index) {
    return QStringLiteral("ряд %1, столбец %2").arg(index / kSide + 1).arg(index % kSide + 1);
}

QString valueText(std::int32_t value) {
    return value != 0 ? QString::number(value) : QStringLiteral("пусто");
}

} // namespace

QString cellText(int index, std::int32_t value, bool isNew) {
    QString text = place(index) + QStringLiteral(": ") + valueText(value);
    text[0] = text[0].toUpper();
    if (isNew) {
        text += QStringLiteral(", новая");
    }
    return text;
}

QString tileText(int index, std::int32_t value) {
    return QString::number(value) + QStringLiteral(": ") + place(index);
}

QString boardText(const Cells& cells) {
    QStringList rows;
    for (int row = 1; row <= kSide; ++row) {
        QStringList values;
        bool empty = true;
        for (int column = 1; column <= kSide; ++column) {
            const std::int32_t value = cells[cellIndex(row, column)];
            values << valueText(value);
            empty = empty && value == 0;
        }
        rows << QStringLiteral("Ряд %1: %2.")
                    .arg(row)
                    .arg(empty ? valueText(0) : values.join(QStringLiteral(", ")));
    }
    return rows.join(u' ');
}

std::int64_t steadyMilliseconds() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

Announcer::Announcer(QWidget* board, Deliver deliver)
    : QObject(board), Board(board), Send(std::move(deliver)),
      SaidAt(std::numeric_limits<std::int64_t>::min() / 2) {
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
    for (QWidget*& voice : Voices) {
        voice = new QWidget(board); // created after the window is shown, so never shown itself
        voice->setFocusPolicy(Qt::NoFocus);
        voice->setAttribute(Qt::WA_TransparentForMouseEvents);
        voice->setGeometry(0, 0, 0, 0); // two objects in one place with one name are one to Orca
        voice->hide();
    }
#endif
}

void Announcer::say(const QString& text, std::int64_t now) {
    if (Pending.isEmpty()) {
        QMetaObject::invokeMethod(
            this, [this] { tell(); }, Qt::QueuedConnection);
    }
    Pending = text;
    SaidAt = now;
}

void Announcer::tell() {
    ++Told;
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    // Assertive, as the focus change of older Qt was: a new text replaces one still being
    // spoken, so the reader keeps up with the keys instead of reading out a backlog.
    QAccessibleAnnouncementEvent announcement(Board, Pending);
    announcement.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    Send(&announcement);
#else
    QWidget* voice = Voices[Next];
    Next = 1 - Next;
    voice->setAccessibleName(Pending);
    QAccessibleEvent focus(voice, QAccessible::Focus);
    Send(&focus);
#endif
    Pending.clear();
}

} // namespace korvex

// Only for the window the player is in, and never into an open menu, whose items the reader
// is reading.
bool frmMain::Listening() const {
    const bool active = ReaderActive ? ReaderActive() : QAccessible::isActive();
    return active && isActiveWindow() && QApplication::activePopupWidget() == nullptr;
}

void frmMain::Say(const QString& Text, std::int64_t Now) {
    if (Reader == nullptr) {
        Reader = new korvex::Announcer(
            centralWidget(), ReaderDeliver ? ReaderDeliver : &QAccessible::updateAccessibility);
    }
    Reader->say(Text, Now);
}

std::int64_t frmMain::ReaderNow() const {
    return ReaderClock ? ReaderClock() : korvex::steadyMilliseconds();
}

void frmMain::NameCells() {
    if (!Listening()) {
        return;
    }
    for (int k = 0; k < korvex::kCells; ++k) {
        const QString name = korvex::cellText(k, Board[k], lblFon[k]->BorderStyle() == 1);
        if (lblFon[k]->accessibleName() != name) {
            lblFon[k]->setAccessibleName(name);
        }
    }
}

void frmMain::SpeakFocus() {
    if (!Listening()) {
        return;
    }
    NameCells();
    // A game the auto-player ended while the player was elsewhere is told as ended.
    Say(GameOver == 1 ? GameOverText() : lblScore->Caption() + QStringLiteral("."), ReaderNow());
}

void frmMain::SpeakMove(bool Moved) {
    if (!Listening()) {
        return;
    }
    NameCells();
    if (!Moved) {
        Say(GameOver == 1 ? GameOverText() : QStringLiteral("Нет хода."), ReaderNow());
        return;
    }
    Say(MoveText(), ReaderNow());
}

void frmMain::SpeakTick() {
    if (!Listening()) {
        return;
    }
    const std::int64_t now = ReaderNow();
    if (GameOver == 1) { // the end is told at once, however recent the last text
        NameCells();
        Say(GameOverText(), now);
        return;
    }
    if (Reader != nullptr && now - Reader->saidAt() < korvex::kAutoPlayPause) {
        return; // the cells wait, too: naming them on every tick would flood the reader
    }
    NameCells();
    Say(MoveText(), now);
}

void frmMain::SpeakBoard(const QString& Title) {
    if (!Listening()) {
        return;
    }
    NameCells();
    Say(Title + QStringLiteral(". ") + lblScore->Caption() + QStringLiteral(". ") +
            korvex::boardText(Board),
        ReaderNow());
}

// The score line as shown, then the tile the move brought.
QString frmMain::MoveText() const {
    QString text = lblScore->Caption() + QStringLiteral(".");
    for (int k = 0; k < korvex::kCells; ++k) {
        if (lblFon[k]->BorderStyle() == 1) {
            text += QStringLiteral(" Новая ") + korvex::tileText(k, Board[k]) + QStringLiteral(".");
        }
    }
    return text;
}

QString frmMain::GameOverText() const {
    return QStringLiteral("Игра окончена. ") + lblScore->Caption() + QStringLiteral(".");
}
