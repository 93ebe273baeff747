// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The floor for start-up and memory: a Qt Widgets program with an empty main window and
// nothing else, started and measured exactly as the game is. Built a second time with
// KORVEX_TEXT_FLOOR, the window shows one line of text, which makes Qt load its font system.
#include <QApplication>
#include <QMainWindow>
#ifdef KORVEX_TEXT_FLOOR
#include <QLabel>
#endif

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QMainWindow window;
#ifdef KORVEX_TEXT_FLOOR
    window.setCentralWidget(new QLabel(QStringLiteral("Счёт: 0"), &window));
#endif
    window.show();
    return QApplication::exec();
}
