// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The event storm: a seeded driver fires random runs of every input the window takes into the
// real window and after each event checks the whole program's invariants and that event's
// post-conditions, with expected values from the tests' reference.
//
//   KORVEX_STORM_SEED    the driver's seed (default 20240607); a failure prints it
//   KORVEX_STORM_EVENTS  how many events (default 100,000; 1,000,000 with KORVEX_SOAK=1)
#include "windowtest.h"

#include <QDebug>
#include <QElapsedTimer>
#include <QKeySequence>

#include <random>

using namespace korvex::test;

namespace {

constexpr std::uint64_t kDefaultSeed = 20240607;
// Enough for every kind of event, many ended games and every mode's ticks.
constexpr std::int64_t kQuickEvents = 100000;
constexpr std::int64_t kSoakEvents = 1000000;

struct Snapshot {
    explicit Snapshot(const frmMain& w)
        : board(w.Board), borders(korvex::test::borders(w)), scoreCaption(w.lblScore->Caption()),
          score(w.Score), gameOver(w.GameOver), autoMode(w.AutoMode), autoDir(w.AutoDir),
          moveGain(w.MoveGain), interval(w.tmrAuto.interval()), modesChecked(checkedModes(w)),
          speedsChecked(checkedSpeeds(w)), timerActive(w.tmrAuto.isActive()),
          only2(w.mnuOnly2->isChecked()), only4(w.mnuOnly4->isChecked()), writes(labelWrites(w)) {}
    Cells board;
    std::array<int, 16> borders;
    QString scoreCaption;
    std::int32_t score, gameOver, autoMode, autoDir, moveGain;
    int interval;
    QList<int> modesChecked, speedsChecked;
    bool timerActive, only2, only4;
    quint64 writes;
    bool operator==(const Snapshot&) const = default;
};

// Every part of a snapshot, named, in the order the comparison reports them.
QStringList fields(const Snapshot& s) {
    QString styles;
    for (const int style : s.borders) {
        styles += QString::number(style);
    }
    const auto number = [](qint64 v) { return QString::number(v); };
    const auto listText = [](const QList<int>& v) {
        QString text;
        QDebug(&text).noquote() << v;
        return text;
    };
    return {QStringLiteral("board ") + boardText(s.board),
            QStringLiteral("border styles ") + styles,
            QStringLiteral("Score ") + number(s.score),
            QStringLiteral("score line '%1'").arg(s.scoreCaption),
            QStringLiteral("GameOver ") + number(s.gameOver),
            QStringLiteral("AutoMode ") + number(s.autoMode),
            QStringLiteral("modes checked ") + listText(s.modesChecked),
            QStringLiteral("timer running ") + number(s.timerActive),
            QStringLiteral("AutoDir ") + number(s.autoDir),
            QStringLiteral("only 2 ") + number(s.only2),
            QStringLiteral("only 4 ") + number(s.only4),
            QStringLiteral("interval ") + number(s.interval),
            QStringLiteral("speeds checked ") + listText(s.speedsChecked),
            QStringLiteral("label writes ") + number(static_cast<qint64>(s.writes)),
            QStringLiteral("MoveGain ") + number(s.moveGain)};
}

// Empty when `got` is `want` in every part; otherwise the first part that differs.
QString mismatch(const Snapshot& want, const Snapshot& got) {
    if (want == got) {
        return {};
    }
    const QStringList wanted = fields(want);
    const QStringList found = fields(got);
    const auto [expected, differs] = std::mismatch(wanted.begin(), wanted.end(), found.begin());
    return expected != wanted.end()
               ? QStringLiteral("%1, expected %2").arg(*differs, *expected)
               : QStringLiteral("a part left out of the comparison's text differs");
}

// The invariants between any two events, for `w` and its snapshot `s`: empty, or the broken one.
QString checkWhole(const frmMain& w, const Snapshot& s) {
    if (QString drawn = drawnWrong(w, s.board); !drawn.isEmpty()) {
        return drawn;
    }
    bool tilesOk = true;
    bool stylesOk = true;
    bool marksOnNewTiles = true;
    int markCount = 0;
    for (int k = 0; k < 16; ++k) {
        const std::int32_t v = s.board[k];
        tilesOk = tilesOk && (v == 0 || (v >= 2 && (v & (v - 1)) == 0)); // a power of two
        stylesOk = stylesOk && (s.borders[k] == 0 || s.borders[k] == 1);
        marksOnNewTiles = marksOnNewTiles && (s.borders[k] != 1 || v == 2 || v == 4);
        markCount += s.borders[k] == 1 ? 1 : 0;
    }
    const QString head = scoreLine(s.score);
    const bool modeKnown = s.autoMode >= 1 && s.autoMode <= 3;
    const std::pair<bool, const char*> rules[] = {
        {s.moveGain != 0, "MoveGain is not 0 between events"},
        {s.gameOver != 0 && s.gameOver != 1, "GameOver is neither 0 nor 1"},
        {s.score < 0, "Score is negative"},
        {!tilesOk, "a cell holds no power of two >= 2"},
        {!stylesOk, "a border style is neither 0 nor 1"},
        {!marksOnNewTiles, "a spawn mark stands on a tile larger than 4"},
        {markCount < 1 || markCount > 2, "not one or two spawn marks"},
        {s.scoreCaption != head && !s.scoreCaption.startsWith(head + QStringLiteral(" +")),
         "the score line does not show Score"},
        {s.autoMode != 0 && !modeKnown, "AutoMode out of range"},
        {s.timerActive != (s.autoMode != 0), "the timer runs without a mode, or stands with one"},
        {s.modesChecked != (modeKnown ? QList<int>{s.autoMode} : QList<int>{}),
         "the modes checked are not AutoMode's"},
        {modeKnown && (s.autoDir < 0 || s.autoDir >= strategyOf(s.autoMode).cycle),
         "AutoDir out of its mode's range"},
        {s.gameOver == 1 && s.autoMode != 0, "game over with auto-play still on"},
        {s.speedsChecked != QList<int>{s.interval}, "the speeds checked are not the interval's"},
        {s.only2 && s.only4, "both spawn options checked"},
    };
    for (const auto& [broken, what] : rules) {
        if (broken) {
            return QString::fromUtf8(what) + QStringLiteral(": ") +
                   fields(s).join(QStringLiteral("; "));
        }
    }
    return {};
}

QString checkWhole(const frmMain& w) {
    return checkWhole(w, Snapshot(w));
}

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

// The name of an event in messages; a menu kind's is its item's caption.
QString kindName(Kind kind) {
    static const QStringList names = [] {
        QStringList n{"arrow", "arrow (auto-repeat)", "key release", "other key", "F2"};
        for (const MenuOfTheBar& menu : kMenuBar) {
            for (const char* item : menu.items) {
                if (QByteArray(item) != "-") {
                    n << QString::fromUtf8(item);
                }
            }
        }
        return n << QStringLiteral("tick");
    }();
    return names[static_cast<int>(kind)];
}

// Empty when a new tile's value is allowed under the options of `s`; else what is wrong.
QString tileWrong(const char* what, std::int32_t v, const Snapshot& s) {
    if (s.only2 ? v == 2 : s.only4 ? v == 4 : (v == 2 || v == 4)) {
        return {};
    }
    return QStringLiteral("%1 %2 with options %3/%4").arg(what).arg(v).arg(s.only2).arg(s.only4);
}

void setAutoPlay(Snapshot& s, int mode) {
    s.autoMode = mode;
    s.modesChecked = mode != 0 ? QList<int>{mode} : QList<int>{};
    s.timerActive = mode != 0;
}

// A position freshly shown: `cells` with the marks of `marked`, Score 0, auto-play off.
void setFreshGame(Snapshot& s, const Cells& cells, const std::array<int, 16>& marked) {
    s.board = cells;
    s.borders = marked;
    s.score = 0;
    s.scoreCaption = scoreLine(0);
    s.gameOver = 0;
    setAutoPlay(s, 0);
}

// A new game: two marked tiles under `before`'s options, placed by chance, so taken from `after`.
QString newGame(const Snapshot& before, const Snapshot& after, Snapshot& want) {
    std::array<int, 16> marked{};
    int tiles = 0;
    for (int k = 0; k < 16; ++k) {
        if (after.board[k] != 0) {
            ++tiles;
            marked[k] = 1;
            if (QString e = tileWrong("a new game dealt", after.board[k], before); !e.isEmpty()) {
                return e;
            }
        }
    }
    if (tiles != 2) {
        return QStringLiteral("%1 tiles after a new game").arg(tiles);
    }
    setFreshGame(want, after.board, marked);
    return {};
}

// A legal move: `expected` plus one marked new tile on an empty cell, its points booked and shown.
QString legalMove(const Snapshot& before, const Snapshot& after, const Moved& expected,
                  Snapshot& want) {
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
    if (QString e = tileWrong("spawned", after.board[spawned], before); !e.isEmpty()) {
        return e;
    }
    want.board = expected.cells;
    want.board[spawned] = after.board[spawned];
    want.borders = {};
    want.borders[spawned] = 1;
    want.score = before.score + expected.points;
    want.scoreCaption = scoreLine(want.score, expected.points);
    return {};
}

// What an event of `kind` must leave: `before` with exactly that kind's changes; empty if so.
QString expect(Kind kind, const Snapshot& before, const Snapshot& after, int direction) {
    Snapshot want = before;
    want.writes = after.writes; // counted only where the number of writes is known
    QString e;
    switch (kind) {
    case Kind::ArrowPress:
    case Kind::ArrowRepeat:
    case Kind::OtherKey:
        if (before.gameOver == 1) {
            want.writes = before.writes; // ignored: no move and no redraw
        } else if (direction >= 0 && move(before.board, direction).changed) {
            e = legalMove(before, after, move(before.board, direction), want);
        } else {
            // A bare redraw of an unchanged board: the score line alone, without the gain.
            want.scoreCaption = scoreLine(before.score);
            want.writes = before.writes + 1;
        }
        break;
    case Kind::KeyRelease:
        want.writes = before.writes;
        break;
    case Kind::F2:
    case Kind::NewGame:
        e = newGame(before, after, want);
        break;
    case Kind::Only2:
    case Kind::Only4:
        // Exclusive, and a second click returns to chance.
        want.only2 = kind == Kind::Only2 && !before.only2;
        want.only4 = kind == Kind::Only4 && !before.only4;
        want.writes = before.writes;
        break;
    case Kind::Auto1:
    case Kind::Auto2:
    case Kind::Auto3: {
        const int mode = 1 + static_cast<int>(kind) - static_cast<int>(Kind::Auto1);
        if (before.gameOver == 1) {
            // A finished game is replaced by a fresh one, then the mode starts on it.
            e = newGame(before, after, want);
        } else {
            want.writes = before.writes;
        }
        if (before.gameOver == 0 && before.autoMode == mode) {
            setAutoPlay(want, 0); // the running mode's item is its off switch
        } else {
            setAutoPlay(want, mode);
            want.autoDir = after.autoDir; // drawn afresh; the whole check holds it in range
        }
        break;
    }
    case Kind::Speed10:
    case Kind::Speed200:
    case Kind::Speed700:
    case Kind::Speed2000:
        want.interval = kSpeeds[static_cast<int>(kind) - static_cast<int>(Kind::Speed10)];
        want.speedsChecked = {want.interval};
        want.writes = before.writes;
        break;
    case Kind::Win: {
        std::array<int, 16> marked{};
        marked[kShowcaseMark] = 1;
        setFreshGame(want, kShowcase, marked);
        break;
    }
    case Kind::Tick: {
        const StrategyRules& s = strategyOf(before.autoMode);
        const int played = firstLegal(s, before.autoDir, legalMask(before.board));
        if (played < 0) {
            // Nothing legal: the game ends, auto-play goes off and the board is drawn once more.
            want.gameOver = 1;
            setAutoPlay(want, 0);
            want.scoreCaption = scoreLine(before.score);
            want.autoDir = after.autoDir; // the chain walks it whatever it finds
        } else if (e = legalMove(before, after, move(before.board, played), want); e.isEmpty()) {
            want.autoDir = s.autoDirAfter[played];
        }
        if (!e.isEmpty()) {
            e = QStringLiteral("tick (direction %1): ").arg(played) + e;
        }
        break;
    }
    case Kind::Count:
        return QStringLiteral("unknown event");
    }
    return e.isEmpty() ? mismatch(want, after) : e;
}

struct KeyChoice {
    Qt::Key key;
    QString text;
};

// Every key but the arrows, F2 and F10, with the text it types.
const std::vector<KeyChoice>& otherKeys() {
    static const std::vector<KeyChoice> keys = [] {
        std::vector<KeyChoice> k;
        // The Qt codes of '%', '&', '\'' and '(' are the arrows' virtual keys, 37 to 40.
        for (const QChar c : QStringLiteral("abcdefghijklmnopqrstuvwxyz0123456789%&'( ")) {
            k.push_back({static_cast<Qt::Key>(c.toUpper().unicode()), QString(c)});
        }
        k.push_back({Qt::Key_Return, QStringLiteral("\r")});
        k.push_back({Qt::Key_Enter, QStringLiteral("\r")});
        k.push_back({Qt::Key_Tab, QStringLiteral("\t")});
        // F10 opens the menus, which take the keys until they close (test_moves plays them).
        for (int f = Qt::Key_F1; f <= Qt::Key_F12; ++f) {
            if (f != Qt::Key_F2 && f != Qt::Key_F10) {
                k.push_back({static_cast<Qt::Key>(f), QString()});
            }
        }
        for (const Qt::Key key :
             {Qt::Key_Backtab, Qt::Key_Backspace, Qt::Key_Home, Qt::Key_End, Qt::Key_PageUp,
              Qt::Key_PageDown, Qt::Key_Insert, Qt::Key_Delete, Qt::Key_Shift, Qt::Key_Control,
              Qt::Key_Alt, Qt::Key_Menu, Qt::Key_CapsLock}) {
            k.push_back({key, QString()});
        }
        return k;
    }();
    return keys;
}

// Moods last thousands of events: auto-play finishes games, manual fills boards, mixed hits all.
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

    // One step: a single event, or a held key (press, auto-repeats, release), each event checked.
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
            // A finished game restarts via a mode item, as a player would; else an option or speed.
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
        for (int r = 0; r <= repeats; ++r) {
            const bool repeat = r > 0;
            const Kind kind = repeat ? Kind::ArrowRepeat : Kind::ArrowPress;
            if (QString e = press(key, modifiers, QString(), repeat, kind); !e.isEmpty()) {
                return e;
            }
        }
        return release(key, modifiers, QString());
    }

    QString otherKey() {
        const auto& keys = otherKeys();
        const KeyChoice& choice = keys[pick(static_cast<int>(keys.size()))];
        const bool repeat = chance(10);
        // As X11 reports a modifier key: its press without its own modifier, its release with.
        const Qt::KeyboardModifiers held = choice.key == Qt::Key_Shift     ? Qt::ShiftModifier
                                           : choice.key == Qt::Key_Control ? Qt::ControlModifier
                                           : choice.key == Qt::Key_Alt     ? Qt::AltModifier
                                                                           : Qt::NoModifier;
        const QString e = press(choice.key, Qt::NoModifier, choice.text, repeat, Kind::OtherKey);
        return e.isEmpty() ? release(choice.key, held, choice.text) : e;
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
        const Snapshot before = Snapshot(W);
        const int ticksBefore = spontaneousTicks;
        fire();
        const Snapshot after = Snapshot(W);
        const std::int64_t at = Index++;
        ++Counts.byKind[static_cast<int>(kind)];
        QString e = checkWhole(W, after);
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
                .arg(kindName(kind), e, boardText(before.board))
                .arg(before.score)
                .arg(before.autoMode)
                .arg(before.autoDir)
                .arg(before.gameOver);
        }
        Counts.gamesEnded += before.gameOver == 0 && after.gameOver == 1 ? 1 : 0;
        Counts.legalMoves += before.board != after.board && kind != Kind::Win ? 1 : 0;
        const bool key =
            kind == Kind::ArrowPress || kind == Kind::ArrowRepeat || kind == Kind::OtherKey;
        Counts.ignoredKeys += before.gameOver == 1 && key ? 1 : 0;
        Counts.bestTile =
            std::max(Counts.bestTile, *std::max_element(after.board.begin(), after.board.end()));
        // Paint now and then, only while the timer is stopped, so no tick comes from the clock.
        if (at % 512 == 0 && !W.tmrAuto.isActive()) {
            QCoreApplication::processEvents();
        }
        return {};
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

} // namespace

class TestStorm : public QObject {
    Q_OBJECT
    PrivateRuntimeDir Runtime; // before the first window
private slots:
    // Each broken state here is a fault the storm relies on the invariant check to catch.
    void wholeProgramCheckSeesBrokenStates() {
        frmMain w;
        w.Form_Load();
        VERIFY_EMPTY(checkWhole(w));
        w.MoveGain = 4;
        QVERIFY(!checkWhole(w).isEmpty());
        w.MoveGain = 0;
        *std::find_if(w.Board.begin(), w.Board.end(), [](std::int32_t v) { return v != 0; }) = 6;
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
        VERIFY_EMPTY(checkWhole(w));
    }

    void storm() {
        const std::uint64_t seed = envNumber("KORVEX_STORM_SEED", kDefaultSeed);
        const std::int64_t events = runSize("KORVEX_STORM_EVENTS", kQuickEvents, kSoakEvents);
        qInfo("storm: seed %llu, %lld events (%s size)", qulonglong{seed}, qlonglong{events},
              soak() ? "soak" : "quick");

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
        qInfo("storm: seed %llu, %lld events in %.1f s, violations %d", qulonglong{seed},
              qlonglong{storm.index()}, seconds, failure.isEmpty() ? 0 : 1);
        qInfo("storm: %lld legal moves, %lld games ended by the auto-player, %lld keys ignored "
              "after game over, largest tile %d",
              qlonglong{t.legalMoves}, qlonglong{t.gamesEnded}, qlonglong{t.ignoredKeys},
              t.bestTile);
        QString kinds;
        for (int k = 0; k < static_cast<int>(Kind::Count); ++k) {
            kinds += QStringLiteral("%1 %2; ").arg(kindName(static_cast<Kind>(k))).arg(t.byKind[k]);
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
        // A run this long must reach every kind of event and game ends, or passing proves little.
        if (events >= 100000) {
            for (int k = 0; k < static_cast<int>(Kind::Count); ++k) {
                QVERIFY2(t.byKind[k] > 0, qPrintable(kindName(static_cast<Kind>(k))));
            }
            QVERIFY(t.gamesEnded > 0);
            QVERIFY(t.ignoredKeys > 0);
        }
    }
};

QTEST_MAIN(TestStorm)
#include "test_storm.moc"
