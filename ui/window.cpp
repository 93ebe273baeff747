// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Building the window as it is created: the board's labels, the score line, the menu tree
// and the timer, and the wiring of window events to the game's procedures, with the keys
// translated into the virtual keys the key handler reads.
#include "app/frmmain.h"
#include "icon.h"
#include "virtualkeys.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QKeyEvent>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QProxyStyle>
#include <QtMath>

namespace {

using namespace korvex;

// Qt's codes for printable keys are their characters, so '%', '&', '\'' and '(' carry the
// same numbers as the arrows' virtual keys. Only the keys listed here translate; every other
// key arrives as a code that none of the game's five keys can be mistaken for.
int virtualKey(int qtKey) {
    switch (qtKey) {
    case Qt::Key_Escape:
        return VkEscape;
    case Qt::Key_Left:
        return VkLeft;
    case Qt::Key_Up:
        return VkUp;
    case Qt::Key_Right:
        return VkRight;
    case Qt::Key_Down:
        return VkDown;
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Shift:
        return 16;
    case Qt::Key_Control:
        return 17;
    case Qt::Key_Alt:
        return 18;
    case Qt::Key_Space:
        return 32;
    case Qt::Key_PageUp:
        return 33;
    case Qt::Key_PageDown:
        return 34;
    case Qt::Key_End:
        return 35;
    case Qt::Key_Home:
        return 36;
    case Qt::Key_Insert:
        return 45;
    case Qt::Key_Delete:
        return 46;
    default:
        break;
    }
    if ((qtKey >= Qt::Key_0 && qtKey <= Qt::Key_9) || (qtKey >= Qt::Key_A && qtKey <= Qt::Key_Z)) {
        return qtKey; // digits and letters share their codes with the virtual keys
    }
    if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        return 112 + (qtKey - Qt::Key_F1);
    }
    return VkNone;
}

// The shift state in the usual bits: 1 Shift, 2 Ctrl, 4 Alt.
int shiftState(int qtModifiers) {
    return ((qtModifiers & Qt::ShiftModifier) ? 1 : 0) |
           ((qtModifiers & Qt::ControlModifier) ? 2 : 0) |
           ((qtModifiers & Qt::AltModifier) ? 4 : 0);
}

// The layout is designed in twips; at 96 dpi a pixel is 15 twips, and Qt scales pixels on
// high-density screens.
constexpr int px(int twips) {
    return twips / 15;
}

constexpr int kClientWidth = px(4785);  // 319
constexpr int kClientHeight = px(5025); // 335
constexpr QRgb kWindowGrey = qRgb(128, 128, 128);
constexpr QRgb kWhite = qRgb(255, 255, 255);
constexpr QRgb kBlack = qRgb(0, 0, 0); // text and borders, whatever the desktop's palette

constexpr int kCellLeft = 90;    // twips, first cell's left and top
constexpr int kCellPitch = 1170; // twips from one cell to the next
constexpr int kCellSize = 1095;
constexpr int kNumberWidth = 1275;
constexpr int kNumberHeight = 555;
constexpr int kNumberOffsetX = -90; // number label relative to its cell
constexpr int kNumberOffsetY = 270;
constexpr QRect kScoreRect{px(90), px(4770), px(3450), px(195)};

// The widest number the board can show must fit its cell whatever font we end up with.
constexpr const char* kWidestNumber = "16384";

// The columns, in device pixels, that text paints in a number label: drawn as the label draws
// it (centred, from the top) in black on white, so every shade of antialiasing counts.
QPair<int, int> inkColumns(const QFont& font, const QString& text, qreal ratio) {
    const QSize label(px(kNumberWidth), px(kNumberHeight));
    QImage image(label * ratio, QImage::Format_RGB32);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.setFont(font);
    painter.setPen(Qt::black);
    painter.drawText(QRect(QPoint(), label), Qt::AlignHCenter | Qt::AlignTop, text);
    painter.end();
    int left = image.width();
    int right = -1;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if ((line[x] & 0xFFFFFFu) != 0xFFFFFFu) {
                left = qMin(left, x);
                right = qMax(right, x);
            }
        }
    }
    return {left, right};
}

// True when the widest number leaves at least one pixel of its cell clear on either side.
bool fitsCell(const QFont& font, qreal ratio) {
    const auto [left, right] = inkColumns(font, QLatin1String(kWidestNumber), ratio);
    const int cellLeft = px(-kNumberOffsetX); // the cell within its number label
    const int cellRight = cellLeft + px(kCellSize);
    return left >= qCeil((cellLeft + 1) * ratio) && right < qFloor((cellRight - 1) * ratio);
}

// The number font: Carlito, metric-compatible with the font the board was designed for, or
// else whatever bold sans-serif there is, at the same pixel height. Faces differ in width, so
// the face is narrowed (Qt synthesises the stretch where no condensed cut exists) until the
// widest number, as it is really painted, sits inside its cell with a pixel to spare; it is
// never made shorter.
QFont numberFont(qreal ratio) {
    QFont font(QStringLiteral("Carlito"));
    font.setPixelSize(px(435)); // 29 px
    font.setWeight(QFont::Bold);
    font.setItalic(false);
    font.setUnderline(false);
    font.setStrikeOut(false);
    if (QFontInfo(font).family() != QStringLiteral("Carlito")) {
        font.setFamilies({QStringLiteral("Liberation Sans Narrow"),
                          QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("sans-serif")});
        font.setStyleHint(QFont::SansSerif);
    }
    for (int stretch = 100; stretch > 50 && !fitsCell(font, ratio); --stretch) {
        font.setStretch(stretch - 1);
    }
    return font;
}

// The score line uses the platform's interface font, at a size whose line fits the label.
QFont scoreFont(int labelHeight) {
    QFont font = QApplication::font();
    int size = QFontInfo(font).pixelSize();
    font.setPixelSize(size);
    while (size > 8 && QFontMetrics(font).height() > labelHeight) {
        font.setPixelSize(--size);
    }
    return font;
}

} // namespace

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
    setWindowTitle(QStringLiteral("Игра Korvex"));
    setWindowIcon(korvex::windowIcon());
    setFocusPolicy(Qt::StrongFocus);
    CreateControls();
    NameLabels();
    CreateMenus();

    tmrAuto.setInterval(700);
    tmrAuto.setTimerType(Qt::PreciseTimer); // the fastest speed is 10 ms a move
    connect(&tmrAuto, &QTimer::timeout, this, &frmMain::tmrAuto_Timer);
}

frmMain::~frmMain() = default;

void frmMain::CreateControls() {
    auto* client = new QWidget(this);
    client->setFixedSize(kClientWidth, kClientHeight);
    client->setAutoFillBackground(true);
    QPalette grey = client->palette();
    grey.setColor(QPalette::Window, QColor::fromRgb(kWindowGrey));
    client->setPalette(grey);
    client->setFocusPolicy(Qt::NoFocus);
    setCentralWidget(client);
    layout()->setSizeConstraint(QLayout::SetFixedSize);

    // Creation order is stacking order: every number label lies over every cell.
    for (int k = 0; k < korvex::kCells; ++k) {
        const int column = k % korvex::kSide;
        const int row = k / korvex::kSide;
        auto* fon = new Label(client, kWhite, kBlack, true);
        fon->setGeometry(px(kCellLeft + kCellPitch * column), px(kCellLeft + kCellPitch * row),
                         px(kCellSize), px(kCellSize));
        fon->setFrameShadow(QFrame::Plain);
        lblFon[k] = fon;
    }
    const QFont numbers = numberFont(devicePixelRatio());
    for (int k = 0; k < korvex::kCells; ++k) {
        const QRect cell = lblFon[k]->geometry();
        auto* num = new Label(client, kWhite, kBlack, false);
        num->setGeometry(cell.x() + px(kNumberOffsetX), cell.y() + px(kNumberOffsetY),
                         px(kNumberWidth), px(kNumberHeight));
        num->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        num->setFont(numbers);
        lblNum[k] = num;
    }
    lblScore = new Label(client, kWindowGrey, kBlack, false);
    lblScore->setGeometry(kScoreRect);
    lblScore->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    lblScore->setFont(scoreFont(kScoreRect.height()));
    lblScore->SetCaption(QStringLiteral("Счёт:"));
}

namespace {

// A checkable QAction flips its own mark before it reports the click. The game's commands
// set their marks themselves, so the flip is undone first and each handler sees the mark as
// it was before the click. Once it is handled, assistive technology hears of the names that
// changed: a command that leaves the board alone may still end fast play's trail.
template <typename Handler>
QAction* addItem(QMenu* menu, const QString& caption, bool checkable, frmMain* window,
                 Handler handler) {
    QAction* item = menu->addAction(caption);
    item->setCheckable(checkable);
    item->setShortcutContext(Qt::WindowShortcut);
    QObject::connect(item, &QAction::triggered, window, [item, window, handler](bool checked) {
        if (item->isCheckable()) {
            item->setChecked(!checked);
        }
        (window->*handler)();
        window->TellNames();
    });
    return item;
}

// A lone tap of Alt would otherwise put the menu bar into keyboard mode and hand it the keys,
// so the arrows would walk the menus instead of reaching the game, and a menu closed with Esc
// would leave the bar holding them. The keyboard reaches the menus through F10, as in GNOME and
// KDE programs, and gives the arrows back to the board as soon as the menu closes. In an open
// menu Space chooses as Return does, whatever the style's habit.
class MenuKeysStyle : public QProxyStyle {
public:
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) {
            return 0;
        }
        if (hint == SH_Menu_SpaceActivatesItem) {
            return 1;
        }
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }
};

} // namespace

void frmMain::CreateMenus() {
    QMenuBar* bar = menuBar();
    auto* menuKeys = new MenuKeysStyle;
    menuKeys->setParent(this); // made after the bar, so it outlives the bar and its menus
    bar->setStyle(menuKeys);
    bar->setFocusPolicy(Qt::NoFocus);
    bar->setNativeMenuBar(false);

    mnuGame = bar->addMenu(QStringLiteral("Игра"));
    mnuNewGame = addItem(mnuGame, QStringLiteral("Новая"), false, this, &frmMain::mnuNewGame_Click);
    mnuNewGame->setShortcut(QKeySequence(Qt::Key_F2));

    mnuOptions = bar->addMenu(QStringLiteral("Настройки"));
    mnuOnly2 = addItem(mnuOptions, QStringLiteral("Появляется только 2"), true, this,
                       &frmMain::mnuOnly2_Click);
    mnuOnly4 = addItem(mnuOptions, QStringLiteral("Появляется только 4"), true, this,
                       &frmMain::mnuOnly4_Click);
    mnuOptions->addSeparator(); // r1
    mnuAuto1 = addItem(mnuOptions, QStringLiteral("Авто. Во все стороны"), true, this,
                       &frmMain::mnuAuto1_Click);
    mnuAuto2 = addItem(mnuOptions, QStringLiteral("Авто. В три стороны"), true, this,
                       &frmMain::mnuAuto2_Click);
    mnuAuto3 =
        addItem(mnuOptions, QStringLiteral("Авто. В угол"), true, this, &frmMain::mnuAuto3_Click);
    mnuOptions->addSeparator(); // r2
    mnuSpeed10 = addItem(mnuOptions, QStringLiteral("Скорость - Очень быстро"), true, this,
                         &frmMain::mnuSpeed10_Click);
    mnuSpeed200 = addItem(mnuOptions, QStringLiteral("Скорость - Быстро"), true, this,
                          &frmMain::mnuSpeed200_Click);
    mnuSpeed700 = addItem(mnuOptions, QStringLiteral("Скорость - Средне"), true, this,
                          &frmMain::mnuSpeed700_Click);
    mnuSpeed2000 = addItem(mnuOptions, QStringLiteral("Скорость - Медленно"), true, this,
                           &frmMain::mnuSpeed2000_Click);
    mnuOptions->addSeparator(); // r3
    mnuWin = addItem(mnuOptions, QStringLiteral("Подсмотреть победу"), false, this,
                     &frmMain::mnuWin_Click);

    mnuSpeed700->setChecked(true);

    // Both menus take the bar's keys; a reader calls each open menu by its title; the window
    // hears F10 in an open menu, to close it as F10 opened it.
    for (QMenu* menu : {mnuGame, mnuOptions}) {
        menu->setStyle(menuKeys);
        menu->setAccessibleName(menu->title());
        menu->installEventFilter(this);
    }
}

// F10 opens "Игра" with its first item under the highlight; from there the menus take the keys
// as in every Qt program.
void frmMain::OpenMenus() {
    menuBar()->setActiveAction(mnuGame->menuAction());
    if (mnuGame->isVisible()) {
        mnuGame->setActiveAction(mnuGame->actions().constFirst());
    }
}

bool frmMain::eventFilter(QObject* watched, QEvent* event) {
    auto* menu = qobject_cast<QMenu*>(watched);
    if (menu == nullptr || (menu != mnuGame && menu != mnuOptions)) {
        return QMainWindow::eventFilter(watched, event);
    }
    if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->key() == Qt::Key_F10) {
        menuBar()->setActiveAction(nullptr); // closes whichever menu is open
        return true;
    }
    if (event->type() == QEvent::Show && Link.active()) {
        // Once the menu is up, the reader's focus goes to the menu's place in the bar and then
        // to the item under the highlight, so that a reader which names menus (Orca 48) says
        // the menu before the item. Qt's own focus for the item comes while the menu is still
        // being shown, and the window's, back from the menu just closed, after it: going from
        // one menu to the next, a reader would say only the window.
        QMetaObject::invokeMethod(
            menu,
            [this, menu] {
                QAction* item = menu->activeAction();
                if (item == nullptr || !menu->isVisible()) {
                    return;
                }
                QAccessibleEvent inBar(menuBar(), QAccessible::Focus);
                inBar.setChild(static_cast<int>(menuBar()->actions().indexOf(menu->menuAction())));
                Link.send(&inBar);
                QAccessibleEvent inMenu(menu, QAccessible::Focus);
                inMenu.setChild(static_cast<int>(menu->actions().indexOf(item)));
                Link.send(&inMenu);
            },
            Qt::QueuedConnection);
    }
    return false;
}

// Orca reads the window's name when it becomes active; the score line follows it.
void frmMain::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) {
        SpeakFocus();
    }
}

void frmMain::keyPressEvent(QKeyEvent* event) {
    Form_KeyDown(virtualKey(event->key()), shiftState(static_cast<int>(event->modifiers())));
    if (Unloaded()) {
        return; // Esc closed the window
    }
    TellNames(); // any key redraws: the last move's points leave the score line
    // The key handler has seen F10 as any other key.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::NoModifier) {
        OpenMenus();
    }
}

// Tab and Shift+Tab must reach the key handler like every other key; with nothing to move
// the focus to, Qt's focus navigation would otherwise swallow them.
bool frmMain::focusNextPrevChild(bool /*next*/) {
    return false;
}

void frmMain::closeEvent(QCloseEvent* event) {
    event->accept();
    Form_Unload();
}
