#!/usr/bin/python3
# SPDX-FileCopyrightText: 2026 Korvex developers
# SPDX-License-Identifier: GPL-3.0-or-later
"""The running game read from outside through AT-SPI, as Orca's review or Accerciser reads it.

Starts the game on a private X server with no window manager, with a D-Bus session of its own
(which starts the accessibility bus) and its own XDG_RUNTIME_DIR. At start-up, after a move,
a key that only redraws, F2, the victory preview and a new game chosen with the menu items'
"Press" action, and three moves of "Авто. В угол" at 700 ms, every cell, number and the score line is read by
its accessible name and must be what the window draws: each cell's value from its background
colour in the window's own pixels, its frame from its border, the score from the moves seen.

  tests/test_atspi.py KORVEX_BINARY
"""
import os, shutil, signal, subprocess, sys, tempfile, time

# Each value's cell colour; 8192 and beyond share the last.
COLOURS = {(206, 195, 181): 0, (239, 231, 222): 2, (239, 227, 206): 4, (247, 178, 123): 8,
           (247, 150, 99): 16, (247, 125, 90): 32, (247, 93, 57): 64, (239, 207, 115): 128,
           (239, 207, 99): 256, (239, 203, 82): 512, (239, 199, 57): 1024, (239, 195, 41): 2048,
           (255, 60, 57): 4096, (255, 32, 33): 8192}
SHOWCASE = [0, 2, 4, 4, 64, 32, 16, 8, 128, 256, 512, 1024, 16384, 8192, 4096, 2048]
# Storage indices of each direction's lines, the destination edge first: up, right, down, left.
LINES = [[[c, c + 4, c + 8, c + 12] for c in range(4)],
         [[r * 4 + 3, r * 4 + 2, r * 4 + 1, r * 4] for r in range(4)],
         [[c + 12, c + 8, c + 4, c] for c in range(4)],
         [[r * 4, r * 4 + 1, r * 4 + 2, r * 4 + 3] for r in range(4)]]
KEYS = {"Up": 0, "Right": 1, "Down": 2, "Left": 3}


def fail(why):
    print("FAIL:", why)
    sys.exit(1)


def wait(check, what, timeout=20):
    """Polls check() until it returns None, which means all is well; fails with its last word."""
    end = time.monotonic() + timeout
    while True:
        why = check()
        if why is None:
            return
        if time.monotonic() > end:
            fail("%s: %s" % (what, why))
        time.sleep(0.03)


def move(board, d):
    """The board after a move in direction d, and its points."""
    after, gain = [0] * 16, 0
    for line in LINES[d]:
        tiles, out = [board[i] for i in line if board[i]], []
        while tiles:
            if len(tiles) > 1 and tiles[0] == tiles[1]:
                out.append(2 * tiles[0])
                gain += 2 * tiles[0]
                tiles = tiles[2:]
            else:
                out.append(tiles.pop(0))
        for i, v in zip(line, out):
            after[i] = v
    return after, gain


def start(binary, work):
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0",
                             "1024x768x24"], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
    display = ":" + xvfb.stdout.readline().decode().strip()
    # Whatever the session bus starts (the accessibility bus and its registry) is its child.
    bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           start_new_session=True)
    address = bus.stdout.readline().decode().strip()
    os.environ.update(DISPLAY=display, DBUS_SESSION_BUS_ADDRESS=address, XDG_RUNTIME_DIR=work)
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
    game = subprocess.Popen([binary], env=env, stderr=subprocess.DEVNULL)
    return [game, bus, xvfb]


def main():
    work = tempfile.mkdtemp(prefix="korvex-atspi-")
    os.chmod(work, 0o700)
    procs = start(sys.argv[1], work)
    try:
        run(procs[0].pid)
    finally:
        procs[0].terminate()
        os.killpg(procs[1].pid, signal.SIGTERM)
        procs[2].terminate()
        for p in procs:
            p.wait(10)
        shutil.rmtree(work, ignore_errors=True)
    print("PASS: every name read is what the window draws")


def run(pid):
    import pyatspi
    from Xlib import X, XK, display as xdisplay
    from Xlib.ext import xtest
    x = xdisplay.Display()
    root = x.screen().root
    found = {}

    def find():
        for app in pyatspi.Registry.getDesktop(0):
            if app is not None and app.get_process_id() == pid and app.childCount:
                found["frame"] = app[0]
                return None
        return "no window of the game on the accessibility bus"
    wait(find, "start-up", 30)
    frame = found["frame"]

    def walk(node):
        for child in node:
            yield child
            yield from walk(child)

    def labels():
        """The 16 cells, the 16 numbers and the score line, by where they are on the board."""
        client = [n for n in frame if n.getRole() != pyatspi.ROLE_MENU_BAR][0]
        cx, cy = client.queryComponent().getPosition(pyatspi.DESKTOP_COORDS)
        place = {}
        for n in client:
            ex = n.queryComponent().getExtents(pyatspi.DESKTOP_COORDS)
            place[(ex.x - cx, ex.y - cy, ex.width, ex.height)] = n
        cells = [place.get((6 + 78 * (k % 4), 6 + 78 * (k // 4), 73, 73)) for k in range(16)]
        numbers = [place.get((78 * (k % 4), 24 + 78 * (k // 4), 85, 37)) for k in range(16)]
        if None in cells + numbers:
            fail("labels not where the board puts them: %s" % sorted(place))
        return cx, cy, cells, numbers, place.get((6, 318, 230, 13))

    cx, cy, cells, numbers, score = labels()

    def drawn():
        """Each cell's value class (8192 for any from it on) and frame, from the pixels."""
        image = root.get_image(cx, cy, 319, 335, X.ZPixmap, 0xFFFFFFFF).data
        pixel = lambda px, py: tuple(image[(py * 319 + px) * 4 + 2::-1][:3])
        board, frames = [], []
        for k in range(16):
            x0, y0 = 6 + 78 * (k % 4), 6 + 78 * (k // 4)
            board.append(COLOURS.get(pixel(x0 + 3, y0 + 3), -1))
            frames.append(pixel(x0, y0) == (0, 0, 0))
        return board, frames

    state = {"board": None, "score": 0, "gain": 0}

    def mismatch():
        """None when every name is what is drawn for the board the model follows."""
        seen, frames = drawn()
        model = state["board"]
        if [min(v, 8192) for v in model] != seen:
            return "the window draws %s, not %s" % (seen, model)
        for k, v in enumerate(model):
            text = str(v) if v else ""
            cell = "Ряд %d, столбец %d: %s%s" % (k // 4 + 1, k % 4 + 1, text or "пусто",
                                                ", новая" if frames[k] else "")
            for label, want in ((cells[k], cell), (numbers[k], text)):
                if label.name != want:
                    return "%r read where %r is drawn" % (label.name, want)
        if state["score"] is None:
            return None
        line = "Счёт: %d%s" % (state["score"], " +%d" % state["gain"] if state["gain"] else "")
        if score.name != line:
            return "score line read as %r, drawn from the moves as %r" % (score.name, line)
        return None

    def new_game():
        """Takes the drawn board as the model's once a new game's is drawn: two framed tiles."""
        seen, frames = drawn()
        if -1 in seen or sum(1 for v in seen if v) != 2 or frames.count(True) != 2:
            return "no new game drawn"
        state["board"] = seen
        return None

    def explain(before, seen, depth):
        """The boards and points of the moves (one, or two if a tick went unseen) that lead
        from before to the board drawn: a direction, then a 2 or 4 on an empty cell."""
        found = []
        for d in range(4):
            after, gain = move(before, d)
            for k in (k for k in range(16) if after != before and not after[k]):
                for v in (2, 4):
                    spawned = after[:k] + [v] + after[k + 1:]
                    if [min(x, 8192) for x in spawned] == seen:
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
        state.update(board=found[0][0], gain=gains.pop() if len(gains) == 1 else None)
        state["score"] = None if state["gain"] is None else state["score"] + state["gain"]
        return None

    wait(new_game, "the start board drawn")
    wait(mismatch, "at start-up, the window not focused")

    window = [w for w in root.query_tree().children
              if w.get_full_property(x.intern_atom("_NET_WM_PID"), X.AnyPropertyType) and
              w.get_full_property(x.intern_atom("_NET_WM_PID"), X.AnyPropertyType).value[0] == pid
              and w.get_attributes().map_state == X.IsViewable][0]
    window.set_input_focus(X.RevertToParent, X.CurrentTime)

    def press(name):
        code = x.keysym_to_keycode(XK.string_to_keysym(name))
        xtest.fake_input(x, X.KeyPress, code)
        xtest.fake_input(x, X.KeyRelease, code)
        x.sync()

    # Legal moves, scoring ones where the board has one, until one scores; then a key that
    # only redraws, which takes the points off the score line.
    while not state["gain"]:
        before = state["board"]
        key = max(KEYS, key=lambda k: (move(before, KEYS[k])[0] != before,
                                       move(before, KEYS[k])[1]))
        press(key)
        wait(lambda: moved(before), "the move drawn")
        wait(mismatch, "after %s" % key)
    press("F9")
    state["gain"] = 0
    wait(mismatch, "after F9, which only redraws")
    press("F2")
    state.update(score=0, gain=0)
    wait(new_game, "F2's new board drawn")
    wait(mismatch, "after F2")

    def choose(caption):
        items = [n for n in walk(frame) if n.getRole() == pyatspi.ROLE_CHECK_MENU_ITEM or
                 n.getRole() == pyatspi.ROLE_MENU_ITEM]
        item = [n for n in items if n.name == caption][0]
        item.queryAction().doAction(0)

    choose("Подсмотреть победу")
    state.update(board=list(SHOWCASE), score=0, gain=0)
    wait(mismatch, "after the victory preview from the menu")
    # From a new game, which three moves cannot end as they may end the nearly full showcase.
    choose("Новая")
    state.update(score=0, gain=0)
    wait(new_game, "the menu's new game drawn")
    wait(mismatch, "after the menu's new game")
    choose("Авто. В угол")
    # Each move as it comes; should the next come while one is being read, it is followed too.
    checked, end, why = 0, time.monotonic() + 60, "no tick"
    while checked < 3:
        if time.monotonic() > end:
            fail("auto-play at 700 ms, %d moves read right: %s" % (checked, why))
        if drawn()[0] != [min(v, 8192) for v in state["board"]]:
            why = moved(state["board"])
            if why:
                fail("auto-play at 700 ms: " + why)
            why = mismatch()
            checked += why is None
        time.sleep(0.03)


if __name__ == "__main__":
    main()
