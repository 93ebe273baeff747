#include "app/frmmain.h"

#include <QApplication>
#include <QScreen>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
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
