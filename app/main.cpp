// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/frmmain.h"

#include <QApplication>
#include <QScreen>

#include <array>

int main(int argc, char* argv[]) {
    // The game takes no command line. Qt would act on its own options (-platform, -style,
    // -stylesheet FILE, -geometry, -qwindowtitle, ...) and even read the files they name, so it
    // is shown the program's name alone; the platform still comes from QT_QPA_PLATFORM. Qt keeps
    // a reference to both, so they live as long as main.
    char fallbackName[] = "korvex";
    std::array<char*, 2> qtArgv{argc > 0 && argv[0] != nullptr ? argv[0] : fallbackName, nullptr};
    int qtArgc = 1;
    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("korvex"));
    QApplication::setDesktopFileName(QStringLiteral("org.korvex.Korvex"));

    frmMain window;
    window.Form_Load();
    if (window.Unloaded()) {
        return 0; // another copy is already running
    }
    if (const QScreen* screen = window.screen()) {
        window.adjustSize();
        const QRect frame = window.frameGeometry();
        window.move(screen->availableGeometry().center() - frame.center() + frame.topLeft());
    }
    window.show();
    return QApplication::exec();
}
