// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The event storm: a seeded driver fires random sequences of every input the window takes
// (arrow keys with auto-repeat, other keys, F2, every menu item, auto-play ticks) into the
// real window, and after every single event checks the invariants of the whole program and
// the post-conditions of that kind of event. The expected boards, choices and colours come
// from the tests' reference, not from the game's own rules.
//
//   KORVEX_STORM_SEED    the driver's seed (default 20240607); a failure prints it
//   KORVEX_STORM_EVENTS  how many events (default 100,000; 1,000,000 with KORVEX_SOAK=1)
#include "windowtest.h"

#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QKeySequence>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

using namespace korvex::test;

namespace {

constexpr std::uint64_t kDefaultSeed = 20240607;
// Enough for every kind of event, many ended games and every mode's ticks.
constexpr std::int64_t kQuickEvents = 100000;
constexpr std::int64_t kSoakEvents = 1000000;

// --- What the program looks like between events ----------------------------------------------

struct Snapshot {
    Cells board{};
    std::int32_t gameOver = 0;
    std::int32_t moveGain = 0;
    std::int32_t score = 0;
    std::int32_t autoMode = 0;
    std::int32_t autoDir = 0;
    std::array<int, 16> marks{};
    bool only2 = false;
    bool only4 = false;
    std::array<bool, 4> autoChecked{}; // index 1..3
    std::array<bool, 4> speedChecked{};
    bool timerActive = false;
    int interval = 0;
    quint64 writes = 0;
    QString scoreCaption;
};

Snapshot take(const frmMain& w) {
    Snapshot s;
    s.board = w.Board;
    s.gameOver = w.GameOver;
    s.moveGain = w.MoveGain;
    s.score = w.Score;
    s.autoMode = w.AutoMode;
    s.autoDir = w.AutoDir;
    s.marks = borders(w);
    s.writes = labelWrites(w);
    s.only2 = w.mnuOnly2->isChecked();
    s.only4 = w.mnuOnly4->isChecked();
    s.autoChecked = {false, w.mnuAuto1->isChecked(), w.mnuAuto2->isChecked(),
                     w.mnuAuto3->isChecked()};
    for (int i = 0; i < 4; ++i) {
        s.speedChecked[i] = speedItem(w, kSpeeds[i])->isChecked();
    }
    s.timerActive = w.tmrAuto.isActive();
    s.interval = w.tmrAuto.interval();
    s.scoreCaption = w.lblScore->Caption();
    return s;
}

bool isTile(std::int32_t v) {
    return v >= 2 && (v & (v - 1)) == 0;
}

// The invariants that hold between any two events, whatever happened. Empty when all hold.
QString checkWhole(const frmMain& w) {
    const Snapshot s = take(w);
    if (s.moveGain != 0) {
        return QStringLiteral("MoveGain is %1 between events").arg(s.moveGain);
    }
    if (s.gameOver != 0 && s.gameOver != 1) {
        return QStringLiteral("GameOver is %1").arg(s.gameOver);
    }
    if (s.score < 0) {
        return QStringLiteral("Score is negative: %1").arg(s.score);
    }
    if (QString e = drawnWrong(w, s.board); !e.isEmpty()) {
        return e;
    }
    int markCount = 0;
    for (int k = 0; k < 16; ++k) {
        const std::int32_t v = s.board[k];
        if (v != 0 && !isTile(v)) {
            return QStringLiteral("cell %1 holds %2, not a power of two >= 2").arg(k).arg(v);
        }
        if (s.marks[k] != 0 && s.marks[k] != 1) {
            return QStringLiteral("lblFon(%1) has border style %2").arg(k).arg(s.marks[k]);
        }
        if (s.marks[k] == 1) {
            ++markCount;
            if (v != 2 && v != 4) {
                return QStringLiteral("the spawn mark on cell %1 stands on %2").arg(k).arg(v);
            }
        }
    }
    if (markCount < 1 || markCount > 2) {
        return QStringLiteral("%1 spawn marks").arg(markCount);
    }
    const QString head = QStringLiteral("Счёт: ") + QString::number(s.score);
    if (s.scoreCaption != head && !s.scoreCaption.startsWith(head + QStringLiteral(" +"))) {
        return QStringLiteral("score line '%1' with Score %2").arg(s.scoreCaption).arg(s.score);
    }
    if (s.autoMode < 0 || s.autoMode > 3) {
        return QStringLiteral("AutoMode is %1").arg(s.autoMode);
    }
    if (s.timerActive != (s.autoMode != 0)) {
        return QStringLiteral("timer %1 with AutoMode %2")
            .arg(s.timerActive ? QStringLiteral("runs") : QStringLiteral("stopped"))
            .arg(s.autoMode);
    }
    for (int k = 1; k <= 3; ++k) {
        if (s.autoChecked[k] != (s.autoMode == k)) {
            return QStringLiteral("mode item %1 %2 with AutoMode %3")
                .arg(k)
                .arg(s.autoChecked[k] ? QStringLiteral("checked") : QStringLiteral("unchecked"))
                .arg(s.autoMode);
        }
    }
    if (s.autoMode != 0 && (s.autoDir < 0 || s.autoDir >= strategyOf(s.autoMode).cycle)) {
        return QStringLiteral("AutoDir %1 out of range for mode %2").arg(s.autoDir).arg(s.autoMode);
    }
    if (s.gameOver == 1 && s.autoMode != 0) {
        return QStringLiteral("game over with auto-play still on");
    }
    int speedCount = 0;
    for (int i = 0; i < 4; ++i) {
        if (s.speedChecked[i]) {
            ++speedCount;
            if (kSpeeds[i] != s.interval) {
                return QStringLiteral("speed %1 checked, interval %2")
                    .arg(kSpeeds[i])
                    .arg(s.interval);
            }
        }
    }
    if (speedCount != 1) {
        return QStringLiteral("%1 speed items checked").arg(speedCount);
    }
    if (s.only2 && s.only4) {
        return QStringLiteral("both spawn options checked");
    }
    return {};
}

// --- The kinds of event and what each must leave behind -------------------------------------

// The menu kinds, NewGame to Win, stand in the order of the window's items.
enum class Kind {
    ArrowPress,
    ArrowRepeat,
    KeyRelease,
    OtherKey,
    F2,
    NewGame,
    Only2,
    Only4,
    Auto1,
    Auto2,
    Auto3,
    Speed10,
    Speed200,
    Speed700,
    Speed2000,
    Win,
    Tick,
    Count
};

const char* kindName(Kind kind) {
    static const char* const names[] = {"arrow",
                                        "arrow (auto-repeat)",
                                        "key release",
                                        "other key",
                                        "F2",
                                        "Новая",
                                        "только 2",
                                        "только 4",
                                        "авто 1",
                                        "авто 2",
                                        "авто 3",
                                        "скорость 10",
                                        "скорость 200",
                                        "скорость 700",
                                        "скорость 2000",
                                        "подсмотреть победу",
                                        "tick"};
    return names[static_cast<int>(kind)];
}

// The spawn options and the speed, which only their own items change.
bool sameOptionsAndSpeed(const Snapshot& a, const Snapshot& b) {
    return a.only2 == b.only2 && a.only4 == b.only4 && a.interval == b.interval &&
           a.speedChecked == b.speedChecked;
}

// A new tile's value under the options of `s`.
bool tileAllowed(std::int32_t v, const Snapshot& s) {
    return s.only2 ? v == 2 : s.only4 ? v == 4 : (v == 2 || v == 4);
}

// Settings untouched by this event: options, mode, speed, timer.
QString sameSettings(const Snapshot& a, const Snapshot& b) {
    if (!sameOptionsAndSpeed(a, b)) {
        return QStringLiteral("spawn options or speed changed");
    }
    if (a.autoMode != b.autoMode || a.timerActive != b.timerActive ||
        a.autoChecked != b.autoChecked) {
        return QStringLiteral("auto-play changed");
    }
    return {};
}

// The board, marks, score and labels untouched.
QString sameGame(const Snapshot& a, const Snapshot& b) {
    if (a.board != b.board) {
        return QStringLiteral("board changed: %1-> %2").arg(boardText(a.board), boardText(b.board));
    }
    if (a.marks != b.marks) {
        return QStringLiteral("spawn marks changed");
    }
    if (a.score != b.score) {
        return QStringLiteral("Score changed %1 -> %2").arg(a.score).arg(b.score);
    }
    if (a.gameOver != b.gameOver) {
        return QStringLiteral("GameOver changed %1 -> %2").arg(a.gameOver).arg(b.gameOver);
    }
    return {};
}

// Exactly the untouched state and not one label write.
QString nothingChanged(const Snapshot& a, const Snapshot& b) {
    if (QString e = sameGame(a, b); !e.isEmpty()) {
        return e;
    }
    if (QString e = sameSettings(a, b); !e.isEmpty()) {
        return e;
    }
    if (a.writes != b.writes || a.scoreCaption != b.scoreCaption) {
        return QStringLiteral("labels were written");
    }
    return {};
}

// A legal move from `before`: `expected` plus one spawned tile on one of its empty cells,
// which alone carries the mark, and the move's points booked and shown.
QString checkMove(const Snapshot& before, const Snapshot& after, const Moved& expected) {
    int spawned = -1;
    for (int k = 0; k < 16; ++k) {
        if (after.board[k] == expected.cells[k]) {
            continue;
        }
        if (expected.cells[k] != 0 || spawned >= 0) {
            return QStringLiteral("board %1 after the move, expected %2 plus one tile")
                .arg(boardText(after.board), boardText(expected.cells));
        }
        spawned = k;
    }
    if (spawned < 0) {
        return QStringLiteral("no tile spawned after a legal move");
    }
    const std::int32_t tile = after.board[spawned];
    if (!tileAllowed(tile, before)) {
        return QStringLiteral("spawned %1 with options %2/%3")
            .arg(tile)
            .arg(before.only2)
            .arg(before.only4);
    }
    if (tileSum(after.board) != tileSum(before.board) + tile) {
        return QStringLiteral("tile sum grew by %1, the new tile is %2")
            .arg(tileSum(after.board) - tileSum(before.board))
            .arg(tile);
    }
    for (int k = 0; k < 16; ++k) {
        if (after.marks[k] != (k == spawned ? 1 : 0)) {
            return QStringLiteral("spawn mark on cell %1 after a move that spawned on %2")
                .arg(k)
                .arg(spawned);
        }
    }
    if (after.score != before.score + expected.points) {
        return QStringLiteral("Score %1 -> %2 for a move of %3 points")
            .arg(before.score)
            .arg(after.score)
            .arg(expected.points);
    }
    if (after.scoreCaption != scoreLine(after.score, expected.points)) {
        return QStringLiteral("score line '%1' after a move of %2")
            .arg(after.scoreCaption)
            .arg(expected.points);
    }
    if (after.gameOver != 0) {
        return QStringLiteral("a legal move ended the game");
    }
    return {};
}

// A key press that reaches the handler and moves nothing: a bare redraw, one label write.
QString checkRedrawOnly(const Snapshot& before, const Snapshot& after) {
    if (QString e = sameGame(before, after); !e.isEmpty()) {
        return e;
    }
    if (after.scoreCaption != scoreLine(after.score, 0)) {
        return QStringLiteral("score line '%1' after a redraw").arg(after.scoreCaption);
    }
    if (after.writes != before.writes + 1) {
        return QStringLiteral("%1 label writes for a redraw of an unchanged board")
            .arg(after.writes - before.writes);
    }
    return {};
}

QString checkKey(const Snapshot& before, const Snapshot& after, int direction) {
    if (QString e = sameSettings(before, after); !e.isEmpty()) {
        return e;
    }
    if (before.autoDir != after.autoDir) {
        return QStringLiteral("a key changed AutoDir");
    }
    if (before.gameOver == 1) {
        return nothingChanged(before, after); // ignored: no move and no redraw
    }
    if (direction >= 0) {
        const Moved expected = move(before.board, direction);
        if (expected.changed) {
            return checkMove(before, after, expected);
        }
    }
    return checkRedrawOnly(before, after);
}

// A fresh game: two tiles with their marks, Score 0, auto-play off; the speed, the options
// and AutoDir kept.
QString checkNewGame(const Snapshot& before, const Snapshot& after) {
    int tiles = 0;
    for (int k = 0; k < 16; ++k) {
        const std::int32_t v = after.board[k];
        if (v == 0) {
            if (after.marks[k] != 0) {
                return QStringLiteral("spawn mark on empty cell %1 after a new game").arg(k);
            }
            continue;
        }
        ++tiles;
        if (!tileAllowed(v, before) || after.marks[k] != 1) {
            return QStringLiteral("new game: cell %1 holds %2 with mark %3")
                .arg(k)
                .arg(v)
                .arg(after.marks[k]);
        }
    }
    if (tiles != 2) {
        return QStringLiteral("%1 tiles after a new game").arg(tiles);
    }
    if (after.score != 0 || after.scoreCaption != scoreLine(0, 0)) {
        return QStringLiteral("new game: Score %1, line '%2'")
            .arg(after.score)
            .arg(after.scoreCaption);
    }
    if (after.gameOver != 0 || after.autoMode != 0 || after.timerActive) {
        return QStringLiteral("new game left GameOver %1, AutoMode %2")
            .arg(after.gameOver)
            .arg(after.autoMode);
    }
    if (!sameOptionsAndSpeed(before, after)) {
        return QStringLiteral("new game changed a setting");
    }
    if (before.autoDir != after.autoDir) {
        return QStringLiteral("new game changed AutoDir");
    }
    return {};
}

QString checkOption(const Snapshot& before, const Snapshot& after, bool two) {
    if (QString e = sameGame(before, after); !e.isEmpty()) {
        return e;
    }
    if (before.writes != after.writes) {
        return QStringLiteral("an option wrote labels");
    }
    const bool want2 = two ? !before.only2 : false;
    const bool want4 = two ? false : !before.only4;
    if (after.only2 != want2 || after.only4 != want4) {
        return QStringLiteral("options %1/%2 -> %3/%4")
            .arg(before.only2)
            .arg(before.only4)
            .arg(after.only2)
            .arg(after.only4);
    }
    if (before.autoMode != after.autoMode || before.interval != after.interval ||
        before.timerActive != after.timerActive) {
        return QStringLiteral("an option changed auto-play");
    }
    return {};
}

QString checkAuto(const Snapshot& before, const Snapshot& after, int mode) {
    if (!sameOptionsAndSpeed(before, after)) {
        return QStringLiteral("a mode item changed a setting");
    }
    if (before.gameOver == 1) {
        // A finished game is replaced by a fresh one, then the mode starts on it.
        Snapshot fresh = after;
        fresh.autoDir = before.autoDir;
        fresh.autoMode = 0;
        fresh.timerActive = false;
        if (QString e = checkNewGame(before, fresh); !e.isEmpty()) {
            return QStringLiteral("mode item after game over: ") + e;
        }
    } else if (QString e = sameGame(before, after); !e.isEmpty()) {
        return e;
    }
    if (before.gameOver == 0 && before.autoMode == mode) {
        if (after.autoMode != 0 || after.timerActive || after.autoDir != before.autoDir) {
            return QStringLiteral("the running mode's item did not switch it off");
        }
        return {};
    }
    if (after.autoMode != mode || !after.timerActive) {
        return QStringLiteral("mode %1 not running: AutoMode %2").arg(mode).arg(after.autoMode);
    }
    return {};
}

QString checkSpeed(const Snapshot& before, const Snapshot& after, int interval) {
    if (QString e = sameGame(before, after); !e.isEmpty()) {
        return e;
    }
    if (after.interval != interval) {
        return QStringLiteral("interval %1 after the %2 item").arg(after.interval).arg(interval);
    }
    if (before.autoMode != after.autoMode || before.timerActive != after.timerActive ||
        before.autoDir != after.autoDir || before.writes != after.writes) {
        return QStringLiteral("a speed item touched the game or auto-play");
    }
    return {};
}

QString checkWin(const Snapshot& before, const Snapshot& after) {
    if (after.board != kShowcase) {
        return QStringLiteral("showcase board wrong: %1").arg(boardText(after.board));
    }
    for (int k = 0; k < 16; ++k) {
        if (after.marks[k] != (k == kShowcaseMark ? 1 : 0)) {
            return QStringLiteral("victory preview: mark %1 on cell %2").arg(after.marks[k]).arg(k);
        }
    }
    if (after.score != 0 || after.scoreCaption != scoreLine(0, 0) || after.gameOver != 0 ||
        after.autoMode != 0 || after.timerActive) {
        return QStringLiteral("victory preview is not a fresh game with auto-play off");
    }
    if (!sameOptionsAndSpeed(before, after) || before.autoDir != after.autoDir) {
        return QStringLiteral("victory preview changed a setting");
    }
    return {};
}

QString checkTick(const Snapshot& before, const Snapshot& after) {
    const int mode = before.autoMode;
    const int played = firstLegal(strategyOf(mode), before.autoDir, legalMask(before.board));
    if (!sameOptionsAndSpeed(before, after)) {
        return QStringLiteral("a tick changed a setting");
    }
    if (played < 0) {
        if (before.board != after.board || before.marks != after.marks ||
            before.score != after.score) {
            return QStringLiteral("a tick with nothing legal changed the game");
        }
        if (after.gameOver != 1 || after.autoMode != 0 || after.timerActive) {
            return QStringLiteral("tick with nothing legal left GameOver %1, AutoMode %2")
                .arg(after.gameOver)
                .arg(after.autoMode);
        }
        if (after.scoreCaption != scoreLine(after.score, 0)) {
            return QStringLiteral("the last tick did not redraw");
        }
        return {};
    }
    if (QString e = checkMove(before, after, move(before.board, played)); !e.isEmpty()) {
        return QStringLiteral("tick (direction %1): ").arg(played) + e;
    }
    if (after.autoDir != strategyOf(mode).autoDirAfter[played]) {
        return QStringLiteral("AutoDir %1 after mode %2 played %3")
            .arg(after.autoDir)
            .arg(mode)
            .arg(played);
    }
    if (after.autoMode != mode || !after.timerActive) {
        return QStringLiteral("a tick that moved switched auto-play off");
    }
    return {};
}

// --- The driver --------------------------------------------------------------------------

struct KeyChoice {
    Qt::Key key;
    const char* text;
};

const std::vector<KeyChoice>& otherKeys() {
    static const std::vector<KeyChoice> keys = [] {
        std::vector<KeyChoice> k;
        for (int i = 0; i < 26; ++i) {
            k.push_back({static_cast<Qt::Key>(Qt::Key_A + i), nullptr});
        }
        for (int i = 0; i < 10; ++i) {
            k.push_back({static_cast<Qt::Key>(Qt::Key_0 + i), nullptr});
        }
        // Their Qt codes are the arrows' virtual keys: 37 '%', 38 '&', 39 '\'', 40 '('.
        k.push_back({Qt::Key_Percent, "%"});
        k.push_back({Qt::Key_Ampersand, "&"});
        k.push_back({Qt::Key_Apostrophe, "'"});
        k.push_back({Qt::Key_ParenLeft, "("});
        k.push_back({Qt::Key_Space, " "});
        k.push_back({Qt::Key_F1, nullptr});
        // F10 opens the menus, which take the keys until they close (test_moves plays them).
        for (int f = Qt::Key_F3; f <= Qt::Key_F12; ++f) {
            if (f != Qt::Key_F10) {
                k.push_back({static_cast<Qt::Key>(f), nullptr});
            }
        }
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Tab, Qt::Key_Backtab,
                                  Qt::Key_Backspace, Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp,
                                  Qt::Key_PageDown, Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Shift,
                                  Qt::Key_Control, Qt::Key_Alt, Qt::Key_Menu, Qt::Key_CapsLock}) {
            k.push_back({key, nullptr});
        }
        return k;
    }();
    return keys;
}

QString keyText(const KeyChoice& choice) {
    if (choice.text != nullptr) {
        return QString::fromLatin1(choice.text);
    }
    if (choice.key >= Qt::Key_A && choice.key <= Qt::Key_Z) {
        return QString(QChar(u'a' + (choice.key - Qt::Key_A)));
    }
    if (choice.key >= Qt::Key_0 && choice.key <= Qt::Key_9) {
        return QString(QChar(u'0' + (choice.key - Qt::Key_0)));
    }
    if (choice.key == Qt::Key_Return || choice.key == Qt::Key_Enter) {
        return QStringLiteral("\r");
    }
    if (choice.key == Qt::Key_Tab) {
        return QStringLiteral("\t");
    }
    return {};
}

// Moods change every few thousand events, so that long runs of ticks finish whole games,
// manual stretches fill boards, and mixed stretches hit every command.
enum class Mood { Mixed, Autoplay, Manual };

struct Tally {
    std::array<std::int64_t, static_cast<int>(Kind::Count)> byKind{};
    std::int64_t gamesEnded = 0;
    std::int64_t legalMoves = 0;
    std::int64_t ignoredKeys = 0;
    std::int32_t bestTile = 0;
};

class Storm {
public:
    Storm(frmMain& window, std::uint64_t seed) : W(window), Rng(seed) {}

    // Runs `events` events; returns the first violation, with its event index, or empty.
    QString run(std::int64_t events) {
        Limit = events;
        while (Index < events) {
            if (--MoodLeft <= 0) {
                CurrentMood = static_cast<Mood>(pick(3));
                MoodLeft = 200 + pick(4000);
            }
            if (QString e = step(); !e.isEmpty()) {
                return e;
            }
        }
        return {};
    }

    std::int64_t index() const { return Index; }
    const Tally& tally() const { return Counts; }
    int spontaneousTicks = 0;
    int newGameTriggers = 0;

private:
    int pick(int n) { return static_cast<int>(Rng() % static_cast<std::uint64_t>(n)); }
    bool chance(int percent) { return pick(100) < percent; }

    // One step: a single event, or a held key (a press, its auto-repeats, the release), each
    // event checked on its own.
    QString step() {
        if (W.tmrAuto.isActive() && chance(CurrentMood == Mood::Autoplay ? 92 : 30)) {
            return deliver(Kind::Tick, [&] { W.tmrAuto_Timer(); });
        }
        const int roll = pick(1000);
        const bool calm = CurrentMood != Mood::Mixed; // new games rare while playing on
        if (roll < 450 || (CurrentMood == Mood::Manual && roll < 900)) {
            return arrow();
        }
        if (roll < 700) {
            return otherKey();
        }
        if (calm && roll < 990) {
            // While playing on, a finished game restarts through a mode item, as a player
            // would; otherwise an option or a speed.
            if (W.GameOver == 1 || (CurrentMood == Mood::Autoplay && !W.tmrAuto.isActive())) {
                return menu(static_cast<Kind>(static_cast<int>(Kind::Auto1) + pick(3)));
            }
            return menu(static_cast<Kind>(static_cast<int>(Kind::Only2) + pick(2)),
                        static_cast<Kind>(static_cast<int>(Kind::Speed10) + pick(4)));
        }
        if (roll < 760) {
            return f2();
        }
        return menu(static_cast<Kind>(static_cast<int>(Kind::NewGame) + pick(11)));
    }

    QString arrow() {
        static constexpr std::array<Qt::KeyboardModifiers::Int, 6> mods{
            Qt::NoModifier,      Qt::NoModifier,  Qt::ShiftModifier,
            Qt::ControlModifier, Qt::AltModifier, Qt::KeypadModifier};
        const Qt::Key key = kArrowKeys[pick(4)];
        const Qt::KeyboardModifiers modifiers(mods[pick(6)]);
        // A held key: the first press, then auto-repeats, then one release.
        const int repeats = chance(20) ? 1 + pick(12) : 0;
        if (QString e = press(key, modifiers, QString(), false, Kind::ArrowPress); !e.isEmpty()) {
            return e;
        }
        for (int r = 0; r < repeats; ++r) {
            if (QString e = press(key, modifiers, QString(), true, Kind::ArrowRepeat);
                !e.isEmpty()) {
                return e;
            }
        }
        return release(key, modifiers, QString());
    }

    QString otherKey() {
        const auto& keys = otherKeys();
        const KeyChoice& choice = keys[pick(static_cast<int>(keys.size()))];
        const QString text = keyText(choice);
        const bool repeat = chance(10);
        // As X11 reports a modifier key: its press without its own modifier, its release with.
        Qt::KeyboardModifiers held = Qt::NoModifier;
        if (choice.key == Qt::Key_Shift) {
            held = Qt::ShiftModifier;
        } else if (choice.key == Qt::Key_Control) {
            held = Qt::ControlModifier;
        } else if (choice.key == Qt::Key_Alt) {
            held = Qt::AltModifier;
        }
        if (QString e = press(choice.key, Qt::NoModifier, text, repeat, Kind::OtherKey);
            !e.isEmpty()) {
            return e;
        }
        return release(choice.key, held, text);
    }

    QString press(Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text, bool repeat,
                  Kind kind) {
        const int direction = arrowDirection(key);
        Detail = QKeySequence(key | modifiers).toString() +
                 (repeat ? QStringLiteral(", auto-repeat") : QString());
        return deliver(
            kind, [&] { QTest::simulateEvent(&W, true, key, modifiers, text, repeat, 0); },
            direction);
    }

    QString release(Qt::Key key, Qt::KeyboardModifiers modifiers, const QString& text) {
        Detail = QKeySequence(key | modifiers).toString();
        return deliver(Kind::KeyRelease,
                       [&] { QTest::simulateEvent(&W, false, key, modifiers, text, false, 0); });
    }

    // F2 as a real key event: only the window's shortcut can turn it into a new game.
    QString f2() {
        if (QApplication::activeWindow() != &W) {
            return QStringLiteral("the window lost activation; F2 cannot reach its shortcut");
        }
        const int fired = newGameTriggers;
        if (QString e = press(Qt::Key_F2, Qt::NoModifier, QString(), false, Kind::F2);
            !e.isEmpty()) {
            return e;
        }
        if (newGameTriggers != fired + 1) {
            return QStringLiteral("F2 fired the new game %1 times").arg(newGameTriggers - fired);
        }
        return release(Qt::Key_F2, Qt::NoModifier, QString());
    }

    QString menu(Kind kind, std::optional<Kind> alternative = std::nullopt) {
        if (alternative && chance(50)) {
            kind = *alternative;
        }
        QAction* item = allItems(W)[static_cast<int>(kind) - static_cast<int>(Kind::NewGame)];
        return deliver(kind, [&] { item->trigger(); });
    }

    template <typename Fire> QString deliver(Kind kind, Fire fire, int direction = -1) {
        if (Index >= Limit) {
            return {}; // the run ends inside a held key or a click
        }
        const Snapshot before = take(W);
        const int ticksBefore = spontaneousTicks;
        fire();
        const Snapshot after = take(W);
        const std::int64_t at = Index++;
        ++Counts.byKind[static_cast<int>(kind)];
        QString e = checkWhole(W);
        if (e.isEmpty()) {
            e = expect(kind, before, after, direction);
        }
        if (e.isEmpty() && spontaneousTicks != ticksBefore) {
            e = QStringLiteral("the timer fired by itself");
        }
        if (!e.isEmpty() && !Detail.isEmpty()) {
            e = Detail + QStringLiteral(": ") + e;
        }
        Detail.clear();
        if (!e.isEmpty()) {
            return QStringLiteral("event %1 (%2): %3\n  before: %4 Score %5 AutoMode %6 AutoDir %7 "
                                  "GameOver %8")
                .arg(at)
                .arg(QString::fromUtf8(kindName(kind)), e, boardText(before.board))
                .arg(before.score)
                .arg(before.autoMode)
                .arg(before.autoDir)
                .arg(before.gameOver);
        }
        if (before.gameOver == 0 && after.gameOver == 1) {
            ++Counts.gamesEnded;
        }
        if (before.board != after.board && kind != Kind::Win) {
            ++Counts.legalMoves;
        }
        if (before.gameOver == 1 &&
            (kind == Kind::ArrowPress || kind == Kind::ArrowRepeat || kind == Kind::OtherKey)) {
            ++Counts.ignoredKeys;
        }
        for (const std::int32_t v : after.board) {
            Counts.bestTile = std::max(Counts.bestTile, v);
        }
        // Let the window paint now and then; only while the timer is stopped, so that no tick
        // can come from the clock.
        if (at % 512 == 0 && !W.tmrAuto.isActive()) {
            QCoreApplication::processEvents();
        }
        return {};
    }

    static QString expect(Kind kind, const Snapshot& before, const Snapshot& after, int direction) {
        // GameOver goes back to 0 only through a new game.
        const bool startsGame =
            kind == Kind::F2 || kind == Kind::NewGame || kind == Kind::Win ||
            ((kind == Kind::Auto1 || kind == Kind::Auto2 || kind == Kind::Auto3) &&
             before.gameOver == 1);
        if (before.gameOver == 1 && after.gameOver == 0 && !startsGame) {
            return QStringLiteral("GameOver went back to 0 without a new game");
        }
        switch (kind) {
        case Kind::ArrowPress:
        case Kind::ArrowRepeat:
        case Kind::OtherKey:
            return checkKey(before, after, direction);
        case Kind::KeyRelease:
            return nothingChanged(before, after);
        case Kind::F2:
        case Kind::NewGame:
            return checkNewGame(before, after);
        case Kind::Only2:
            return checkOption(before, after, true);
        case Kind::Only4:
            return checkOption(before, after, false);
        case Kind::Auto1:
        case Kind::Auto2:
        case Kind::Auto3:
            return checkAuto(before, after, 1 + int(kind) - int(Kind::Auto1));
        case Kind::Speed10:
        case Kind::Speed200:
        case Kind::Speed700:
        case Kind::Speed2000:
            return checkSpeed(before, after, kSpeeds[int(kind) - int(Kind::Speed10)]);
        case Kind::Win:
            return checkWin(before, after);
        case Kind::Tick:
            return checkTick(before, after);
        case Kind::Count:
            break;
        }
        return QStringLiteral("unknown event");
    }

    frmMain& W;
    std::mt19937_64 Rng;
    std::int64_t Index = 0;
    std::int64_t Limit = 0;
    Mood CurrentMood = Mood::Mixed;
    int MoodLeft = 0;
    Tally Counts;
    QString Detail; // the key of the event under way, for the failure message
};

std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    bool ok = false;
    const qulonglong value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? value : fallback;
}

} // namespace

class TestStorm : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { usePrivateRuntimeDir(); }

    // The invariant check must see a broken state: each of these is a fault the storm relies on
    // it to catch.
    void wholeProgramCheckSeesBrokenStates() {
        frmMain w;
        w.Form_Load();
        QVERIFY2(checkWhole(w).isEmpty(), qPrintable(checkWhole(w)));
        w.MoveGain = 4;
        QVERIFY(!checkWhole(w).isEmpty());
        w.MoveGain = 0;
        const int first = static_cast<int>(
            std::find_if(w.Board.begin(), w.Board.end(), [](std::int32_t v) { return v != 0; }) -
            w.Board.begin());
        w.Board[first] = 6;
        QVERIFY(!checkWhole(w).isEmpty()); // not a power of two, and not what the label shows
        w.DrawBoard();
        QVERIFY(!checkWhole(w).isEmpty());
        w.mnuNewGame_Click();
        w.tmrAuto.start();
        QVERIFY(!checkWhole(w).isEmpty()); // timer without a mode
        w.tmrAuto.stop();
        w.mnuSpeed10->setChecked(true);
        QVERIFY(!checkWhole(w).isEmpty()); // two speeds
        w.mnuSpeed10->setChecked(false);
        w.mnuOnly2->setChecked(true);
        w.mnuOnly4->setChecked(true);
        QVERIFY(!checkWhole(w).isEmpty());
        w.mnuOnly4->setChecked(false);
        w.ClearSpawnMarks();
        QVERIFY(!checkWhole(w).isEmpty()); // no mark
        w.mnuNewGame_Click();
        QVERIFY2(checkWhole(w).isEmpty(), qPrintable(checkWhole(w)));
    }

    void storm() {
        const std::uint64_t seed = envNumber("KORVEX_STORM_SEED", kDefaultSeed);
        const auto events = static_cast<std::int64_t>(envNumber(
            "KORVEX_STORM_EVENTS", static_cast<std::uint64_t>(runSize(kQuickEvents, kSoakEvents))));
        qInfo("storm: seed %llu, %lld events (%s size)", static_cast<unsigned long long>(seed),
              static_cast<long long>(events), soak() ? "soak" : "quick");

        frmMain w;
        // The game's chance comes from the seed too, so a seed replays the whole run.
        QVERIFY(start(w, static_cast<std::uint32_t>(seed ^ (seed >> 32))));
        QVERIFY(korvex::test::showActive(w));

        Storm storm(w, seed);
        connect(&w.tmrAuto, &QTimer::timeout, this, [&storm] { ++storm.spontaneousTicks; });
        connect(w.mnuNewGame, &QAction::triggered, this, [&storm] { ++storm.newGameTriggers; });

        QElapsedTimer clock;
        clock.start();
        const QString failure = storm.run(events);
        const double seconds = static_cast<double>(clock.elapsed()) / 1000.0;
        w.tmrAuto.stop();

        const Tally& t = storm.tally();
        qInfo("storm: seed %llu, %lld events in %.1f s, violations %d",
              static_cast<unsigned long long>(seed), static_cast<long long>(storm.index()), seconds,
              failure.isEmpty() ? 0 : 1);
        qInfo("storm: %lld legal moves, %lld games ended by the auto-player, %lld keys ignored "
              "after game over, largest tile %d",
              static_cast<long long>(t.legalMoves), static_cast<long long>(t.gamesEnded),
              static_cast<long long>(t.ignoredKeys), t.bestTile);
        QString kinds;
        for (int k = 0; k < static_cast<int>(Kind::Count); ++k) {
            kinds += QStringLiteral("%1 %2; ")
                         .arg(QString::fromUtf8(kindName(static_cast<Kind>(k))))
                         .arg(t.byKind[k]);
        }
        qInfo("storm: %s", qPrintable(kinds));
        if (!failure.isEmpty()) {
            QFAIL(qPrintable(QStringLiteral("seed %1, %2\n  replay: KORVEX_STORM_SEED=%1 "
                                            "KORVEX_STORM_EVENTS=%3")
                                 .arg(seed)
                                 .arg(failure)
                                 .arg(storm.index())));
        }
        QCOMPARE(storm.index(), events);
        // A run this long must have reached every kind of event and the ends of games; if not,
        // the driver has lost its reach and passing would prove little.
        if (events >= 100000) {
            for (int k = 0; k < static_cast<int>(Kind::Count); ++k) {
                QVERIFY2(t.byKind[k] > 0, kindName(static_cast<Kind>(k)));
            }
            QVERIFY(t.gamesEnded > 0);
            QVERIFY(t.ignoredKeys > 0);
        }
    }
};

QTEST_MAIN(TestStorm)
#include "test_storm.moc"
