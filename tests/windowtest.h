// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Helpers for tests that drive the window; what it shows is checked against the reference.
#pragma once

#include "app/frmmain.h"
#include "reference.h"
#include "testsupport.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QList>
#include <QPalette>
#include <QRect>
#include <QTest>

#include <algorithm>
#include <array>
#include <cstdint>
#include <type_traits>

namespace korvex::test {

static_assert(std::is_same_v<Cells, korvex::Cells>, "the reference's board is the program's");

// Starts the window as the program does, then makes its chance reproducible.
inline bool start(frmMain& w, quint32 seed = 1) {
    w.Form_Load();
    if (w.Unloaded()) {
        return false;
    }
    w.Rnd.seedRaw(seed);
    w.mnuNewGame_Click();
    return true;
}

// Shows the window and waits until it is active, where alone F2's shortcut and the reader act. Call
// it before starting the auto-player: no tick of the real timer may fall due while a test waits.
inline bool showActive(frmMain& w) {
    w.show();
    w.activateWindow();
    return QTest::qWaitForWindowActive(&w);
}

// Puts a position on the board with no spawn mark or pending points, as shown between events.
inline void setBoard(frmMain& w, const Cells& cells, std::int32_t score = 0) {
    w.Board = cells;
    w.ClearSpawnMarks();
    w.MoveGain = 0;
    w.Score = score;
    w.DrawBoard();
}

inline std::array<int, 16> borders(const frmMain& w) {
    std::array<int, 16> styles{};
    for (int i = 0; i < 16; ++i) {
        styles[i] = w.lblFon[i]->BorderStyle();
    }
    return styles;
}

// The storage indices of the cells that carry the spawn mark.
inline QList<int> marks(const frmMain& w) {
    QList<int> marked;
    for (int i = 0; i < 16; ++i) {
        if (w.lblFon[i]->BorderStyle() == 1) {
            marked << i;
        }
    }
    return marked;
}

// Which labels' writes to count, so a handler's drawing shows; spawn marks write backgrounds.
enum Labels : int { ScoreLabel = 1, NumberLabels = 2, BackgroundLabels = 4, AllLabels = 7 };

inline quint64 labelWrites(const frmMain& w, int which = AllLabels) {
    quint64 total = (which & ScoreLabel) ? w.lblScore->Writes() : 0;
    for (int i = 0; i < 16; ++i) {
        total += (which & NumberLabels) ? w.lblNum[i]->Writes() : 0;
        total += (which & BackgroundLabels) ? w.lblFon[i]->Writes() : 0;
    }
    return total;
}

// Empty when every cell shows `cells` in text and the reference's colours; else the first wrong.
inline QString drawnWrong(const frmMain& w, const Cells& cells) {
    for (int k = 0; k < 16; ++k) {
        const std::int32_t v = cells[k];
        const Colours colours = coloursOf(v);
        if (w.lblNum[k]->Caption() != cellText(v) ||
            rgb24(w.lblFon[k]->BackColor()) != colours.back ||
            (v != 0 && rgb24(w.lblNum[k]->ForeColor()) != colours.fore)) {
            return QStringLiteral("cell %1 does not show %2: '%3'")
                .arg(k)
                .arg(v)
                .arg(w.lblNum[k]->Caption());
        }
    }
    return {};
}

// The direction that turned `before` into the board: without the marked new tile, it must be the
// reference's move in exactly one direction. -1 if unchanged, -2 when no single move explains it.
inline int directionPlayed(const frmMain& w, const Cells& before) {
    if (w.Board == before) {
        return -1;
    }
    const QList<int> marked = marks(w);
    if (marked.size() != 1) {
        return -2;
    }
    Cells withoutSpawn = w.Board;
    withoutSpawn[marked.first()] = 0;
    int found = -2;
    for (int d = 0; d < 4; ++d) {
        const Moved moved = move(before, d);
        if (moved.changed && moved.cells == withoutSpawn) {
            found = found == -2 ? d : -3; // -3: ambiguous, the fixture is no good
        }
    }
    return found;
}

// The arrow keys by direction code, and the direction of a key (-1 for any other key).
inline constexpr std::array<Qt::Key, 4> kArrowKeys{Qt::Key_Up, Qt::Key_Right, Qt::Key_Down,
                                                   Qt::Key_Left};
inline int arrowDirection(int key) {
    const auto* found = std::find(kArrowKeys.begin(), kArrowKeys.end(), key);
    return found != kArrowKeys.end() ? static_cast<int>(found - kArrowKeys.begin()) : -1;
}

// The storm and long play run at a size catching their faults in seconds; KORVEX_SOAK=1, in full.
inline bool soak() {
    return qEnvironmentVariableIntValue("KORVEX_SOAK") == 1;
}
// A whole number from the environment, or `fallback` where it holds none.
inline std::uint64_t envNumber(const char* name, std::uint64_t fallback) {
    bool ok = false;
    const qulonglong value = qEnvironmentVariable(name).toULongLong(&ok);
    return ok ? value : fallback;
}
// The size of such a run: `variable` where it is set, else the quick or the full one.
inline std::int64_t runSize(const char* variable, std::int64_t quick, std::int64_t full) {
    return static_cast<std::int64_t>(envNumber(variable, soak() ? full : quick));
}

// One key as the player's keyboard sends it: press and release, or with `held` one auto-repeated
// key-down. Keys for an open menu go through QTest::keyClick(w.windowHandle(), key): only that
// path reaches the menu's popup, as the platform's keyboard does.
enum KeyStroke { Click, Held };
inline void pressKey(frmMain& w, Qt::Key key, KeyStroke stroke = Click) {
    if (stroke == Click) {
        QTest::keyClick(&w, key);
        return;
    }
    QTest::simulateEvent(&w, /*press=*/true, key, Qt::NoModifier, QString(), /*repeat=*/true, 0);
}

inline QList<QAction*> allItems(const frmMain& w) {
    return {w.mnuNewGame, w.mnuOnly2,    w.mnuOnly4,    w.mnuAuto1,     w.mnuAuto2, w.mnuAuto3,
            w.mnuSpeed10, w.mnuSpeed200, w.mnuSpeed700, w.mnuSpeed2000, w.mnuWin};
}

inline QAction* modeItem(const frmMain& w, int mode) {
    return std::array<QAction*, 3>{w.mnuAuto1, w.mnuAuto2, w.mnuAuto3}[mode - 1];
}

// The mode item's handler itself, without the menu's path.
inline void clickMode(frmMain& w, int mode) {
    constexpr std::array<void (frmMain::*)(), 3> handlers{
        &frmMain::mnuAuto1_Click, &frmMain::mnuAuto2_Click, &frmMain::mnuAuto3_Click};
    (w.*handlers[mode - 1])();
}

// The strategy's own procedure, as the timer tick calls it.
inline void callStrategy(frmMain& w, int mode) {
    constexpr std::array<int (korvex::Game::*)(), 3> strategies{
        &frmMain::AutoAllDirections, &frmMain::AutoThreeDirections, &frmMain::AutoCorner};
    (w.*strategies[mode - 1])();
}

template <typename Values, typename Item>
QList<int> checkedOf(const frmMain& w, const Values& values, Item item) {
    QList<int> checked;
    for (const int value : values) {
        if (item(w, value)->isChecked()) {
            checked << value;
        }
    }
    return checked;
}
inline QList<int> checkedModes(const frmMain& w) {
    return checkedOf(w, std::array<int, 3>{1, 2, 3}, modeItem);
}
// Auto-play off: no mode, the timer stopped, no mode's item checked.
inline bool autoPlayOff(const frmMain& w) {
    return w.AutoMode == 0 && !w.tmrAuto.isActive() && checkedModes(w).isEmpty();
}

inline constexpr std::array<int, 4> kSpeeds{10, 200, 700, 2000};

inline QAction* speedItem(const frmMain& w, int interval) {
    const std::array<QAction*, 4> items{w.mnuSpeed10, w.mnuSpeed200, w.mnuSpeed700, w.mnuSpeed2000};
    const auto* found = std::find(kSpeeds.begin(), kSpeeds.end(), interval);
    return found != kSpeeds.end() ? items[found - kSpeeds.begin()] : nullptr;
}

inline QList<int> checkedSpeeds(const frmMain& w) {
    return checkedOf(w, kSpeeds, speedItem);
}

// The pixels of `image` inside `area` that `isInk` picks: their bounding box and their count.
struct Ink {
    QRect box;
    int pixels = 0;
};
template <typename Pick> Ink inkIn(const QImage& image, const QRect& area, Pick isInk) {
    Ink ink;
    for (int y = area.top(); y <= area.bottom(); ++y) {
        for (int x = area.left(); x <= area.right(); ++x) {
            if (isInk(image.pixel(x, y))) {
                ink.box |= QRect(x, y, 1, 1);
                ++ink.pixels;
            }
        }
    }
    return ink;
}

// A palette on the application, as a desktop's colour scheme sets one, while this lives.
struct AppPalette {
    const QPalette saved = QApplication::palette();
    explicit AppPalette(const QPalette& palette) { QApplication::setPalette(palette); }
    ~AppPalette() { QApplication::setPalette(saved); }
};

// The layout is given in twips; 15 of them make a pixel at 96 dpi.
constexpr int px(int twips) {
    return twips / 15;
}

// Cell k's square and number label: cells 1170 twips apart from 90, 90; a number 90 left, 270 down.
inline QRect fonRect(int k) {
    return {px(90 + 1170 * (k % 4)), px(90 + 1170 * (k / 4)), px(1095), px(1095)};
}
inline QRect numRect(int k) {
    return {px(1170 * (k % 4)), px(360 + 1170 * (k / 4)), px(1275), px(555)};
}

} // namespace korvex::test
