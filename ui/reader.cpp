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
#include <utility>

namespace korvex {

namespace {

// The least time between two texts during auto-play; faster play would only queue up speech.
constexpr std::int64_t kAutoPlayPause = 1000;

#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
// Voices kept alive: Orca may still read one, or repeat it on "where am I", after the next came.
constexpr std::size_t kVoicesKept = 4;
#endif

QString place(int index) {
    return QStringLiteral("ряд %1, столбец %2").arg(index / kSide + 1).arg(index % kSide + 1);
}

QString valueText(std::int32_t value) {
    return value != 0 ? QString::number(value) : QStringLiteral("пусто");
}

// A cell's accessible name: its place, its value or that it is empty, and whether it holds
// the new tile ("Ряд 1, столбец 2: 4, новая").
QString cellText(int index, std::int32_t value, bool isNew) {
    QString text = place(index) + QStringLiteral(": ") + valueText(value);
    text[0] = text[0].toUpper();
    if (isNew) {
        text += QStringLiteral(", новая");
    }
    return text;
}

// A tile and its place ("2: ряд 1, столбец 3").
QString tileText(int index, std::int32_t value) {
    return QString::number(value) + QStringLiteral(": ") + place(index);
}

// The whole board, row by row ("Ряд 1: пусто, 2, 4, 4. Ряд 2: пусто. ...").
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

} // namespace

Announcer::Announcer(QWidget* board, Deliver deliver)
    : QObject(board), Board(board), Send(std::move(deliver)) {}

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
    // spoken, so the reader keeps up with the keys instead of reading out a backlog. From the
    // window, which holds the reader's focus: Orca 48 and later drop, as spam, an event from any
    // other object that follows one of its kind within a tenth of a second, and the end of a game
    // comes a tick after its last move's text.
    QAccessibleAnnouncementEvent announcement(Board->window(), Pending);
    announcement.setPoliteness(QAccessible::AnnouncementPoliteness::Assertive);
    Send(&announcement);
#else
    // Made while the window is up, after it was shown, so never shown itself: a hidden widget
    // takes neither the keyboard nor the mouse, and only the reader is told of it.
    auto* voice = new QWidget(Board);
    voice->setAccessibleName(Pending);
    Voices.push_back(voice);
    if (Voices.size() > kVoicesKept) {
        delete Voices.front();
        Voices.pop_front();
    }
    QAccessibleEvent focus(voice, QAccessible::Focus);
    Send(&focus);
#endif
    Pending.clear();
}

} // namespace korvex

// The one place that asks whether a screen reader listens: an assistive technology is on, the
// window is the one the player is in, and no menu is open (the reader is reading its items).
// While one listens, the names of the cells, the numbers and the score follow the board whenever
// a text is told, so every text can be checked cell by cell. Returns whether one listens.
bool frmMain::NameCells() {
    const bool active = ReaderActive ? ReaderActive() : QAccessible::isActive();
    if (!active || !isActiveWindow() || QApplication::activePopupWidget() != nullptr) {
        return false;
    }
    for (int k = 0; k < korvex::kCells; ++k) {
        lblFon[k]->SetSpokenName(korvex::cellText(k, Board[k], lblFon[k]->BorderStyle() == 1));
        lblNum[k]->SetSpokenName(lblNum[k]->Caption());
    }
    lblScore->SetSpokenName(lblScore->Caption());
    return true;
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

void frmMain::SpeakFocus() {
    if (!NameCells()) {
        return;
    }
    // A game the auto-player ended while the player was elsewhere is told as ended.
    Say(GameOver == 1 ? GameOverText() : lblScore->Caption() + QStringLiteral("."), ReaderNow());
}

void frmMain::SpeakMove(bool Moved) {
    if (!NameCells()) {
        return;
    }
    if (!Moved) {
        Say(GameOver == 1 ? GameOverText() : QStringLiteral("Нет хода."), ReaderNow());
        return;
    }
    Say(MoveText(), ReaderNow());
}

void frmMain::SpeakTick() {
    // The end is told at once, however recent the last text. Otherwise the cells wait as well:
    // naming them on every tick of fast play would flood the reader.
    const std::int64_t now = ReaderNow();
    if (GameOver != 1 && Reader != nullptr && now - Reader->saidAt() < korvex::kAutoPlayPause) {
        return;
    }
    if (!NameCells()) {
        return;
    }
    Say(GameOver == 1 ? GameOverText() : MoveText(), now);
}

void frmMain::SpeakBoard(const QString& Title) {
    if (!NameCells()) {
        return;
    }
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
