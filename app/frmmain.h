// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The game's one window: a Game (core/game.h) that shows itself. The game's state and the
// procedures that play it are the Game's; the window adds the controls, the menus, the keys and
// what a screen reader hears. Its definitions live in the folder of their subject:
//   app/       start-up, the single-instance lock, new game, leaving
//   engine/    the arrow keys, the spawn marks, the spawn options
//   autoplay/  the timer tick, the mode and speed commands
//   ui/        building the window and its menus, the keys' translation, drawing the board, the
//              victory preview, what a screen reader hears
// The Qt-free core (core/: the game, the rules, the random source, the strategies' choice, the
// virtual keys) knows nothing of the window; the icon is drawn in icon/.
#pragma once

#include "app/singleinstance.h"
#include "game.h"
#include "ui/label.h"
#include "ui/reader.h"

#include <QMainWindow>
#include <QTimer>

#include <array>
#include <cstdint>

class QAction;
class QMenu;

class frmMain : public QMainWindow, public korvex::Game {
    Q_OBJECT

public:
    explicit frmMain(QWidget* parent = nullptr);
    ~frmMain() override;

    // --- Controls (owned by the window through Qt's parent tree) ---------------------------
    std::array<Label*, korvex::kCells> lblFon{};
    std::array<Label*, korvex::kCells> lblNum{};
    Label* lblScore = nullptr;
    QTimer tmrAuto;

    QMenu* mnuGame = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuNewGame = nullptr;
    QAction* mnuOnly2 = nullptr;
    QAction* mnuOnly4 = nullptr;
    QAction* mnuAuto1 = nullptr;
    QAction* mnuAuto2 = nullptr;
    QAction* mnuAuto3 = nullptr;
    QAction* mnuSpeed10 = nullptr;
    QAction* mnuSpeed200 = nullptr;
    QAction* mnuSpeed700 = nullptr;
    QAction* mnuSpeed2000 = nullptr;
    QAction* mnuWin = nullptr;

    // --- Start-up, new game, leaving (app/) -------------------------------------------------
    void Form_Load();
    void Form_Unload();
    void mnuNewGame_Click();
    void UncheckAutoMenus();
    // True once start-up found another copy running, or the window was unloaded.
    bool Unloaded() const { return IsUnloaded; }

    // --- Keys, spawn marks and options (engine/) -------------------------------------------
    void Form_KeyDown(int KeyCode, int Shift);
    void ClearSpawnMarks() override;
    void mnuOnly2_Click();
    void mnuOnly4_Click();

    // --- Auto-play (autoplay/) ----------------------------------------------------------------
    void tmrAuto_Timer();
    void mnuAuto1_Click();
    void mnuAuto2_Click();
    void mnuAuto3_Click();
    void mnuSpeed10_Click();
    void mnuSpeed200_Click();
    void mnuSpeed700_Click();
    void mnuSpeed2000_Click();
    void UncheckSpeedMenus();

    // --- Drawing and the victory preview (ui/) -------------------------------------------------
    void DrawBoard() override;
    void mnuWin_Click();

    // --- What assistive technology reads and hears (ui/) ---------------------------------------
    // The labels' names are always what they show; these tell a reader of what changed, and
    // do nothing unless assistive technology is on.
    void SpeakFocus();                     // the window became active: the score line
    void SpeakMove(bool Moved);            // an arrow key: the score line and the new tile
    void SpeakTick();                      // an auto-play tick: at most one text a second
    void SpeakBoard(const QString& Title); // a new game or the victory preview: the board
    void TellNames(); // clients that keep the labels' names are told of those that changed
    korvex::Announcer* Reader = nullptr; // made the first time a screen reader listens
    // Every accessibility call goes through here; tests stand in for Qt's, which cannot be
    // switched on for the offscreen platform they run on.
    korvex::ReaderLink Link;

protected:
    korvex::TileRule SpawnRule() const override;
    void MarkSpawn(int index) override;
    void AutoStopped() override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void CreateControls();
    void CreateMenus();
    void OpenMenus();
    void SwitchAutoMode(std::int32_t mode, QAction* item);
    void ChooseSpeed(int interval, QAction* item);

    void NameLabels();
    bool ReaderListens() const;
    void Say(const QString& Text, std::int64_t Now);
    QString MoveText() const;
    QString GameOverText() const;

    korvex::SingleInstance InstanceLock;
    bool IsUnloaded = false;
    std::int64_t NamedAt = 0; // when clients were last told of the names, on Link's clock
};
