#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Korvex developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The running game read through AT-SPI, as Orca or Accerciser reads it, on a private X server
(no window manager), D-Bus session and XDG_RUNTIME_DIR. At start-up, after moves, a key that
only redraws, F2, the victory preview, a new game by a menu item's "Press" and three moves of
"Авто. В угол" at 700 ms, every cell, number and the score line reads as the window's pixels
draw it.   tests/test_atspi.py KORVEX
"""
import os, shutil, signal, subprocess, sys, tempfile, time

# Each value's cell colour; 8192 and beyond share the last.
COLOURS = {(206, 195, 181): 0, (239, 231, 222): 2, (239, 227, 206): 4, (247, 178, 123): 8,
           (247, 150, 99): 16, (247, 125, 90): 32, (247, 93, 57): 64, (239, 207, 115): 128,
           (239, 207, 99): 256, (239, 203, 82): 512, (239, 199, 57): 1024, (239, 195, 41): 2048,
           (255, 60, 57): 4096, (255, 32, 33): 8192}
SHOWCASE = [0, 2, 4, 4, 64, 32, 16, 8, 128, 256, 512, 1024, 16384, 8192, 4096, 2048]
# Each direction's lines by storage index, the destination edge first: up, right, down, left.
LINES = [[[c + 4 * p for p in range(4)] for c in range(4)],
         [[4 * r + 3 - p for p in range(4)] for r in range(4)],
         [[c + 12 - 4 * p for p in range(4)] for c in range(4)],
         [[4 * r + p for p in range(4)] for r in range(4)]]
KEYS = {"Up": 0, "Right": 1, "Down": 2, "Left": 3}


def fail(why):
    print("FAIL:", why)
    sys.exit(1)


def wait(check, what, timeout=20):
    """Polls check() until it says nothing is wrong (None); fails with its last word."""
    end = time.monotonic() + timeout
    while (why := check()) is not None:
        if time.monotonic() > end:
            fail("%s: %s" % (what, why))
        time.sleep(0.03)


def move(board, d):
    """The board after a move in direction d, and its points."""
    after, gain = [0] * 16, 0
    for line in LINES[d]:
        tiles, out = [board[i] for i in line if board[i]], []
        while tiles:
            if tiles[1:2] == tiles[:1]:
                gain += 2 * tiles[0]
                out.append(2 * tiles.pop(0))
                tiles.pop(0)
            else:
                out.append(tiles.pop(0))
        for i, v in zip(line, out):
            after[i] = v
    return after, gain


def classes(board):
    return [min(v, 8192) for v in board]


def main():
    work = tempfile.mkdtemp(prefix="korvex-atspi-")
    os.chmod(work, 0o700)
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                             "1024x768x24"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    # Whatever the session bus starts (the accessibility bus and its registry) is its child.
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           start_new_session=True)
    os.environ.update(DISPLAY=":" + xvfb.stdout.readline().decode().strip(), XDG_RUNTIME_DIR=work,
                      DBUS_SESSION_BUS_ADDRESS=bus.stdout.readline().decode().strip())
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    game = subprocess.Popen([sys.argv[1]], env=env, stderr=subprocess.DEVNULL)
    try:
        run(game.pid)
    finally:
        game.terminate()
        os.killpg(bus.pid, signal.SIGTERM)
        xvfb.terminate()
        for p in (game, bus, xvfb):
            p.wait(10)
        shutil.rmtree(work, ignore_errors=True)
    print("PASS: every name read is what the window draws")


def run(pid):
    import pyatspi
    from Xlib import X, XK, display
    from Xlib.ext import xtest
    x = display.Display()
    root = x.screen().root
    apps = lambda: [a for a in pyatspi.Registry.getDesktop(0)
                    if a is not None and a.get_process_id() == pid and a.childCount]
    wait(lambda: None if apps() else "no window of the game on the bus", "start-up", 30)
    frame = apps()[0][0]
    # The 16 cells, the 16 numbers and the score line, by where the board puts them.
    client = [n for n in frame if n.getRole() != pyatspi.ROLE_MENU_BAR][0]
    cx, cy = client.queryComponent().getPosition(pyatspi.DESKTOP_COORDS)
    place = {}
    for n in client:
        e = n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
        place[(e.x - cx, e.y - cy, e.width, e.height)] = n
    cells = [place.get((6 + 78 * (k % 4), 6 + 78 * (k // 4), 73, 73)) for k in range(16)]
    numbers = [place.get((78 * (k % 4), 24 + 78 * (k // 4), 85, 37)) for k in range(16)]
    score = place.get((6, 318, 230, 13))
    if None in cells + numbers + [score]:
        fail("labels not where the board puts them: %s" % sorted(place))

    def drawn():
        """Each cell's value class and frame, from the window's pixels."""
        image = root.get_image(cx, cy, 319, 335, X.ZPixmap, 0xFFFFFFFF).data
        pixel = lambda px, py: tuple(image[(py * 319 + px) * 4 + 2::-1][:3])
        spots = [(6 + 78 * (k % 4), 6 + 78 * (k // 4)) for k in range(16)]
        return ([COLOURS.get(pixel(px + 3, py + 3), -1) for px, py in spots],
                [pixel(px, py) == (0, 0, 0) for px, py in spots])

    state = {"board": None, "score": 0, "gain": 0}

    def mismatch():
        """None when every name is what is drawn for the board the model follows."""
        seen, frames = drawn()
        if classes(state["board"]) != seen:
            return "the window draws %s, not %s" % (seen, state["board"])
        for k, v in enumerate(state["board"]):
            text = str(v) if v else ""
            cell = "Ряд %d, столбец %d: %s%s" % (k // 4 + 1, k % 4 + 1, text or "пусто",
                                                ", новая" if frames[k] else "")
            for label, want in ((cells[k], cell), (numbers[k], text)):
                if label.name != want:
                    return "%r read where %r is drawn" % (label.name, want)
        line = "Счёт: %s%s" % (state["score"], " +%d" % state["gain"] if state["gain"] else "")
        if state["score"] is not None and score.name != line:
            return "score line read as %r, drawn from the moves as %r" % (score.name, line)

    def new_game():
        """Takes the drawn board as the model's once a new game's is drawn: two framed tiles."""
        seen, frames = drawn()
        if -1 in seen or len([v for v in seen if v]) != 2 or frames.count(True) != 2:
            return "no new game drawn"
        state.update(board=seen, score=0, gain=0)

    def explain(before, seen, depth):
        """The boards and points of a move, a 2 or 4 spawned, or two if a tick went unseen."""
        found = []
        for after, gain in (move(before, d) for d in range(4)):
            for k in (k for k in range(16) if after != before and not after[k]):
                for v in (2, 4):
                    spawned = after[:k] + [v] + after[k + 1:]
                    if classes(spawned) == seen:
                        found.append((spawned, gain))
                    elif depth > 1:
                        found += [(b, gain + g) for b, g in explain(spawned, seen, 1)]
        return found

    def moved(before):
        """Follows the move that explains the board drawn now, and its points."""
        seen = drawn()[0]
        found = explain(before, seen, 1) or explain(before, seen, 2)
        if not found:
            return "no move explains %s after %s" % (seen, before)
        # Two unseen moves may leave the points in doubt; then the score line goes unchecked.
        gains = {g for _, g in found}
        gain = gains.pop() if len(gains) == 1 and state["score"] is not None else None
        state.update(board=found[0][0], gain=gain, score=None if gain is None else
                     state["score"] + gain)

    def press(name):
        code = x.keysym_to_keycode(XK.string_to_keysym(name))
        xtest.fake_input(x, X.KeyPress, code)
        xtest.fake_input(x, X.KeyRelease, code)
        x.sync()

    def choose(caption):
        item = [n for n in pyatspi.findAllDescendants(frame, lambda n: n.name == caption)
                if n.getRole() in (pyatspi.ROLE_MENU_ITEM, pyatspi.ROLE_CHECK_MENU_ITEM)][0]
        item.queryAction().doAction(0)

    wait(new_game, "the start board drawn")
    wait(mismatch, "at start-up, the window not focused")
    wm_pid = x.intern_atom("_NET_WM_PID")
    [w for w in root.query_tree().children if w.get_attributes().map_state == X.IsViewable and
     getattr(w.get_full_property(wm_pid, X.AnyPropertyType), "value", [0])[0] == pid][0] \
        .set_input_focus(X.RevertToParent, X.CurrentTime)
    # Legal moves, scoring ones first, until one scores; then F9, which only redraws the points off.
    while not state["gain"]:
        before = state["board"]
        key = max(KEYS, key=lambda k: (move(before, KEYS[k])[0] != before,
                                       move(before, KEYS[k])[1]))
        press(key)
        wait(lambda: moved(before), "the move drawn")
        wait(mismatch, "after " + key)
    press("F9")
    state["gain"] = 0
    wait(mismatch, "after F9, which only redraws")
    press("F2")
    wait(new_game, "F2's new board drawn")
    wait(mismatch, "after F2")
    choose("Подсмотреть победу")
    state.update(board=list(SHOWCASE), score=0, gain=0)
    wait(mismatch, "after the victory preview from the menu")
    # From a new game, which three moves cannot end as they may end the nearly full showcase.
    choose("Новая")
    wait(new_game, "the menu's new game drawn")
    wait(mismatch, "after the menu's new game")
    choose("Авто. В угол")
    # Each move as it comes; should the next come while one is being read, it is followed too.
    checked, end, why = 0, time.monotonic() + 60, "no tick"
    while checked < 3:
        if time.monotonic() > end:
            fail("auto-play at 700 ms, %d moves read right: %s" % (checked, why))
        if drawn()[0] != classes(state["board"]):
            if why := moved(state["board"]):
                fail("auto-play at 700 ms: " + why)
            why = mismatch()
            checked += why is None
        time.sleep(0.03)


if __name__ == "__main__":
    main()
