// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Renders the real window offscreen to a PNG: the showcase of every tile (with the spawn mark
// on one cell), or a fresh game. Used for the README and to look at the layout.
//   korvex-screenshot OUTPUT.png [showcase|newgame] [SCALE]
#include "app/frmmain.h"

#include <QApplication>
#include <QPixmap>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>

int main(int argc, char* argv[]) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [showcase|newgame] [SCALE]\n", argv[0]);
        return 2;
    }
    if (argc > 3) {
        qputenv("QT_SCALE_FACTOR", argv[3]);
    }
    QTemporaryDir runtime; // never meets a running game's lock
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QApplication app(argc, argv);

    frmMain window;
    window.Form_Load();
    if (argc < 3 || std::strcmp(argv[2], "newgame") != 0) {
        window.mnuWin_Click();
    }
    window.show();
    QApplication::processEvents();
    const QPixmap shot = window.grab();
    if (!shot.save(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    std::printf("%s: %dx%d logical, device pixel ratio %.2f\n", argv[1],
                shot.deviceIndependentSize().toSize().width(),
                shot.deviceIndependentSize().toSize().height(), shot.devicePixelRatio());
    return 0;
}
