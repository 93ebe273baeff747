// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What assistive technology reads and hears, decided next to what the screen shows: the labels'
// accessible names, always what they show, and a short text after every event that changes what
// the player would look at. None of it runs unless an assistive technology is on.
#include "ui/reader.h"
#include "app/frmmain.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QApplication>
#include <QWidget>

#include <chrono>
#include <utility>

namespace korvex {

namespace {

// The least time between two texts during auto-play; faster play would only queue up speech.
// Below "Средне" the labels' names are told at the same pace; from it on, after every move.
constexpr std::int64_t kAutoPlayPause = 1000;
constexpr int kNamesEveryMove = 700;

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

// A cell's accessible name: its place, the number it shows or that it is empty, and whether it
// holds the new tile ("Ряд 1, столбец 2: 4, новая").
QString cellText(int index, const QString& number, bool isNew) {
    QString text = place(index) + QStringLiteral(": ") + (number.isEmpty() ? valueText(0) : number);
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

// A label as a reader sees it: static text named by what it shows.
class LabelAccessible : public QAccessibleWidget {
public:
    explicit LabelAccessible(Label* label) : QAccessibleWidget(label, QAccessible::StaticText) {}

    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name) {
            return static_cast<const Label*>(widget())->SpokenName();
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface* labelAccessible(const QString& /*className*/, QObject* object) {
    auto* label = dynamic_cast<Label*>(object);
    return label != nullptr ? new LabelAccessible(label) : nullptr;
}

} // namespace

ReaderLink::ReaderLink() {
    static const bool installed = (QAccessible::installFactory(&labelAccessible), true);
    Q_UNUSED(installed);
}

bool ReaderLink::active() const {
    return Active ? Active() : QAccessible::isActive();
}

std::int64_t ReaderLink::now() const {
    return Clock ? Clock() : steadyMilliseconds();
}

void ReaderLink::send(QAccessibleEvent* event) const {
    if (Deliver) {
        Deliver(event);
    } else {
        QAccessible::updateAccessibility(event);
    }
}

Announcer::Announcer(QWidget* board, const ReaderLink& link)
    : QObject(board), Board(board), Link(link) {}

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
    Link.send(&announcement);
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
    Link.send(&focus);
#endif
    Pending.clear();
}

} // namespace korvex

// Each cell is named by what it shows: its number label's caption and its frame.
void frmMain::NameLabels() {
    for (int k = 0; k < korvex::kCells; ++k) {
        lblFon[k]->SetNamer([this, k] {
            return korvex::cellText(k, lblNum[k]->Caption(), lblFon[k]->BorderStyle() == 1);
        });
    }
}

// The labels' names are worked out whenever a client asks, so they are what the screen shows.
// A client that keeps them (Orca does) is told of every name that changed since it was last
// told, in whatever window state: the window need not be active, nor its menus closed.
void frmMain::TellNames() {
    if (!Link.active()) {
        return;
    }
    NamedAt = Link.now();
    const auto tell = [this](Label* label) {
        if (label->TakeNameChange()) {
            QAccessibleEvent event(label, QAccessible::NameChanged);
            Link.send(&event);
        }
    };
    for (int k = 0; k < korvex::kCells; ++k) {
        tell(lblFon[k]);
        tell(lblNum[k]);
    }
    tell(lblScore);
}

// Whether a screen reader listens to the game's texts: an assistive technology is on, the window
// is the one the player is in, and no menu is open (the reader is reading its items).
bool frmMain::ReaderListens() const {
    return Link.active() && isActiveWindow() && QApplication::activePopupWidget() == nullptr;
}

void frmMain::Say(const QString& Text, std::int64_t Now) {
    if (Reader == nullptr) {
        Reader = new korvex::Announcer(centralWidget(), Link);
    }
    Reader->say(Text, Now);
}

void frmMain::SpeakFocus() {
    TellNames();
    if (!ReaderListens()) {
        return;
    }
    // A game the auto-player ended while the player was elsewhere is told as ended.
    Say(GameOver == 1 ? GameOverText() : lblScore->Caption() + QStringLiteral("."), Link.now());
}

void frmMain::SpeakMove(bool Moved) {
    TellNames();
    if (!ReaderListens()) {
        return;
    }
    if (!Moved) {
        Say(GameOver == 1 ? GameOverText() : QStringLiteral("Нет хода."), Link.now());
        return;
    }
    Say(MoveText(), Link.now());
}

void frmMain::SpeakTick() {
    if (!Link.active()) {
        return;
    }
    // The end is told at once, however recent the last text. Otherwise fast play waits for the
    // pause: telling of every tick would flood the reader.
    const std::int64_t now = Link.now();
    const bool end = GameOver == 1;
    if (!end && tmrAuto.interval() < korvex::kNamesEveryMove &&
        now - NamedAt < korvex::kAutoPlayPause) {
        return;
    }
    TellNames();
    if (!ReaderListens() ||
        (!end && Reader != nullptr && now - Reader->saidAt() < korvex::kAutoPlayPause)) {
        return;
    }
    Say(end ? GameOverText() : MoveText(), now);
}

void frmMain::SpeakBoard(const QString& Title) {
    TellNames();
    if (!ReaderListens()) {
        return;
    }
    Say(Title + QStringLiteral(". ") + lblScore->Caption() + QStringLiteral(". ") +
            korvex::boardText(Board),
        Link.now());
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
