// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Writes the game's icon as PNGs in the hicolor theme's layout, from the same drawing as the
// window's own icon, so the launcher and the window never show two designs.
//   korvex-icons OUTPUT_DIR ICON_NAME SIZE...
// makes OUTPUT_DIR/SIZExSIZE/apps/ICON_NAME.png for each SIZE.
#include "icon.h"

#include <QDir>
#include <QGuiApplication>
#include <QString>
#include <QTemporaryDir>

#include <cstdio>

int main(int argc, char* argv[]) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: %s OUTPUT_DIR ICON_NAME SIZE...\n", argv[0]);
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen"); // a build step: never needs a display
    QTemporaryDir runtime;                   // nor a session's runtime directory
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    QGuiApplication app(argc, argv);

    const QString outputDir = QString::fromLocal8Bit(argv[1]);
    const QString iconName = QString::fromLocal8Bit(argv[2]);
    for (int i = 3; i < argc; ++i) {
        bool ok = false;
        const int size = QString::fromLocal8Bit(argv[i]).toInt(&ok);
        if (!ok || size < 16 || size > 1024) {
            std::fprintf(stderr, "not an icon size: %s\n", argv[i]);
            return 2;
        }
        const QString dir = QStringLiteral("%1/%2x%2/apps").arg(outputDir).arg(size);
        const QString file = QStringLiteral("%1/%2.png").arg(dir, iconName);
        if (!QDir().mkpath(dir) || !korvex::renderIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
