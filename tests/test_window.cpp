// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window as it is created, the label adapter, the drawing of the board, the check marks
// under a real click, start-up and the new game, and what the first frames look like.
#include "app/frmmain.h"
#include "testsupport.h"
#include "ui/drawboard.h"

#include <QAction>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <climits>
#include <cmath>
#include <memory>
#include <vector>

using korvex::Cells;

namespace {

constexpr QRgb rgb(int r, int g, int b) {
    return qRgb(r, g, b) & 0xFFFFFFu;
}
constexpr QRgb rgb24(QRgb color) {
    return color & 0xFFFFFFu;
}

// The layout is given in twips; 15 of them make a pixel at 96 dpi.
constexpr int px(int twips) {
    return twips / 15;
}

constexpr QRgb kGrey = rgb(128, 128, 128);
constexpr QRgb kWhite = rgb(255, 255, 255);
constexpr QRgb kEmptyCell = rgb(206, 195, 181);

std::size_t at(int k) {
    return static_cast<std::size_t>(k);
}

int countTiles(const frmMain& w) {
    return korvex::kCells - korvex::countEmpty(w.Board);
}

int countMarks(const frmMain& w) {
    return static_cast<int>(std::count_if(w.lblFon.begin(), w.lblFon.end(), [](const Label* fon) {
        return fon->BorderStyle() == 1;
    }));
}

quint64 cellWrites(const frmMain& w) {
    quint64 writes = 0;
    for (int k = 0; k < korvex::kCells; ++k) {
        writes += w.lblFon[at(k)]->Writes() + w.lblNum[at(k)]->Writes();
    }
    return writes;
}

std::vector<int> borders(const frmMain& w) {
    std::vector<int> out;
    for (const Label* fon : w.lblFon) {
        out.push_back(fon->BorderStyle());
    }
    return out;
}

QList<QAction*> allItems(const frmMain& w) {
    return {w.mnuNewGame, w.mnuOnly2,    w.mnuOnly4,    w.mnuAuto1,     w.mnuAuto2, w.mnuAuto3,
            w.mnuSpeed10, w.mnuSpeed200, w.mnuSpeed700, w.mnuSpeed2000, w.mnuWin};
}

// Every tile value and an empty cell, column 1 holding the widest numbers.
constexpr Cells kManyValues{
    0,     2,    4,    8,    //
    16,    32,   64,   128,  //
    1024,  512,  256,  2048, //
    16384, 8192, 4096, 32768 //
};

QImage clientImage(frmMain& w) {
    return w.centralWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { korvex::test::usePrivateRuntimeDir(); }

    // ---- The window as created, before Form_Load ----------------------------------------

    void stateIsZeroAtCreation() {
        frmMain w;
        QCOMPARE(w.Board, Cells{});
        QCOMPARE(w.GameOver, 0);
        QCOMPARE(w.MoveGain, 0);
        QCOMPARE(w.Score, 0);
        QCOMPARE(w.AutoMode, 0);
        QCOMPARE(w.AutoDir, 0);
        QVERIFY(!w.Unloaded());
    }

    void windowAtCreation() {
        frmMain w;
        QCOMPARE(w.windowTitle(), QStringLiteral("Игра Korvex"));
        QWidget* client = w.centralWidget();
        QVERIFY(client != nullptr);
        QCOMPARE(client->size(), QSize(px(4785), px(5025)));
        QCOMPARE(client->size(), QSize(319, 335));
        QVERIFY(client->autoFillBackground());
        QCOMPARE(rgb24(client->palette().color(QPalette::Window).rgb()), kGrey);

        QCOMPARE(w.tmrAuto.interval(), 700);
        QVERIFY(!w.tmrAuto.isActive());

        QList<QSize> sizes = w.windowIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(),
                  [](const QSize& a, const QSize& b) { return a.width() < b.width(); });
        const QList<QSize> expected{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
        QCOMPARE(sizes, expected);
    }

    // Every label's place and size, from the grid's table in twips.
    void labelGeometry_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<int>("index");
        QTest::addColumn<QRect>("rect");
        struct Cell {
            int fonLeft, fonTop, numLeft, numTop; // twips
        };
        const Cell grid[korvex::kCells] = {
            {90, 90, 0, 360},         {1260, 90, 1170, 360},    {2430, 90, 2340, 360},
            {3600, 90, 3510, 360},    {90, 1260, 0, 1530},      {1260, 1260, 1170, 1530},
            {2430, 1260, 2340, 1530}, {3600, 1260, 3510, 1530}, {90, 2430, 0, 2700},
            {1260, 2430, 1170, 2700}, {2430, 2430, 2340, 2700}, {3600, 2430, 3510, 2700},
            {90, 3600, 0, 3870},      {1260, 3600, 1170, 3870}, {2430, 3600, 2340, 3870},
            {3600, 3600, 3510, 3870},
        };
        for (int k = 0; k < korvex::kCells; ++k) {
            const Cell& c = grid[k];
            QTest::addRow("lblFon(%d)", k)
                << "lblFon" << k << QRect(px(c.fonLeft), px(c.fonTop), px(1095), px(1095));
        }
        for (int k = 0; k < korvex::kCells; ++k) {
            const Cell& c = grid[k];
            QTest::addRow("lblNum(%d)", k)
                << "lblNum" << k << QRect(px(c.numLeft), px(c.numTop), px(1275), px(555));
        }
        QTest::newRow("lblScore") << "lblScore" << 0 << QRect(px(90), px(4770), px(3450), px(195));
        // Spot checks in pixels, straight from the table's pixel column.
        QTest::newRow("lblFon(0) px") << "lblFon" << 0 << QRect(6, 6, 73, 73);
        QTest::newRow("lblFon(15) px") << "lblFon" << 15 << QRect(240, 240, 73, 73);
        QTest::newRow("lblNum(12) px") << "lblNum" << 12 << QRect(0, 258, 85, 37);
        QTest::newRow("lblScore px") << "lblScore" << 0 << QRect(6, 318, 230, 13);
    }
    void labelGeometry() {
        QFETCH(QString, label);
        QFETCH(int, index);
        QFETCH(QRect, rect);
        frmMain w;
        const Label* l = label == QLatin1String("lblFon")   ? w.lblFon[at(index)]
                         : label == QLatin1String("lblNum") ? w.lblNum[at(index)]
                                                            : w.lblScore;
        QCOMPARE(l->parentWidget(), w.centralWidget());
        QCOMPARE(l->geometry(), rect);
        QVERIFY(l->isVisibleTo(&w));
    }

    // Children are painted in creation order, so this order puts every number over every
    // cell and the score line last.
    void stackingOrder() {
        frmMain w;
        QList<QWidget*> children;
        for (QObject* child : w.centralWidget()->children()) {
            if (auto* widget = qobject_cast<QWidget*>(child)) {
                children.append(widget);
            }
        }
        QList<QWidget*> expected;
        for (Label* fon : w.lblFon) {
            expected.append(fon);
        }
        for (Label* num : w.lblNum) {
            expected.append(num);
        }
        expected.append(w.lblScore);
        QCOMPARE(children.size(), 33);
        QCOMPARE(children, expected);
    }

    void labelsAtCreation() {
        frmMain w;
        const QRgb windowText = rgb24(w.palette().color(QPalette::WindowText).rgb());
        for (int k = 0; k < korvex::kCells; ++k) {
            const Label* fon = w.lblFon[at(k)];
            QVERIFY(fon->autoFillBackground()); // opaque
            QCOMPARE(rgb24(fon->BackColor()), kWhite);
            QCOMPARE(fon->BorderStyle(), 0);
            QCOMPARE(fon->frameShape(), QFrame::NoFrame);
            QCOMPARE(fon->Caption(), QString());

            const Label* num = w.lblNum[at(k)];
            QVERIFY(!num->autoFillBackground()); // the cell shows through
            QCOMPARE(rgb24(num->BackColor()), kWhite);
            QCOMPARE(rgb24(num->ForeColor()), windowText);
            QCOMPARE(num->BorderStyle(), 0);
            QCOMPARE(num->Caption(), QString());
            QCOMPARE(num->alignment(), Qt::AlignHCenter | Qt::AlignTop);
            QVERIFY(!num->wordWrap());
        }
        QVERIFY(!w.lblScore->autoFillBackground());
        QCOMPARE(rgb24(w.lblScore->BackColor()), kGrey);
        QCOMPARE(rgb24(w.lblScore->ForeColor()), rgb(0, 0, 0));
        QCOMPARE(rgb24(w.lblScore->palette().color(QPalette::WindowText).rgb()), rgb(0, 0, 0));
        QCOMPARE(w.lblScore->BorderStyle(), 0);
        QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт:"));
        QCOMPARE(w.lblScore->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
        QVERIFY(!w.lblScore->wordWrap());
        // The longest score line of a game still fits.
        QVERIFY(QFontMetrics(w.lblScore->font())
                    .horizontalAdvance(QStringLiteral("Счёт: 3932100 +65536")) <=
                w.lblScore->width());
    }

    // Bold, 29 px, Carlito where it is installed, the same for every cell; five digits fit.
    void numberFont() {
        frmMain w;
        const QFont font = w.lblNum[0]->font();
        const QFontInfo info(font);
        QCOMPARE(info.pixelSize(), 29);
        QVERIFY(info.bold());
        QVERIFY(!info.italic());
        QVERIFY(!font.underline());
        QVERIFY(!font.strikeOut());
        if (QFontDatabase::families().contains(QStringLiteral("Carlito"))) {
            QCOMPARE(info.family(), QStringLiteral("Carlito"));
        }
        QVERIFY(QFontDatabase::writingSystems(info.family()).contains(QFontDatabase::Cyrillic));
        for (const Label* num : w.lblNum) {
            QCOMPARE(num->font(), font);
        }
        const int width = QFontMetrics(font).horizontalAdvance(QStringLiteral("16384"));
        QVERIFY2(width <= px(1275), qPrintable(QStringLiteral("16384 is %1 px").arg(width)));
        QVERIFY(QFontMetrics(font).height() <= px(555) + 2);
    }

    // The window itself gets every key: no child can hold the focus.
    void nothingTakesFocus() {
        frmMain w;
        QCOMPARE(w.menuBar()->focusPolicy(), Qt::NoFocus);
        const QList<QWidget*> widgets = w.findChildren<QWidget*>();
        int checked = 0;
        for (const QWidget* widget : widgets) {
            if (widget->isWindow()) {
                continue; // the menus' own pop-ups
            }
            QVERIFY2(widget->focusPolicy() == Qt::NoFocus,
                     qPrintable(QString::fromLatin1(widget->metaObject()->className())));
            ++checked;
        }
        QVERIFY(checked >= 35); // client, 33 labels, menu bar
    }

    void menuTree() {
        frmMain w;
        const QList<QAction*> bar = w.menuBar()->actions();
        QCOMPARE(bar.size(), 2);
        QCOMPARE(bar[0]->text(), QStringLiteral("Игра"));
        QCOMPARE(bar[1]->text(), QStringLiteral("Настройки"));
        QMenu* game = bar[0]->menu();
        QMenu* options = bar[1]->menu();
        QVERIFY(game != nullptr && options != nullptr);

        QCOMPARE(game->actions(), QList<QAction*>{w.mnuNewGame});
        QCOMPARE(w.mnuNewGame->text(), QStringLiteral("Новая"));

        const QList<QAction*> items = options->actions();
        const QStringList captions{
            "Появляется только 2",
            "Появляется только 4",
            "-",
            "Авто. Во все стороны",
            "Авто. В три стороны",
            "Авто. В угол",
            "-",
            "Скорость - Очень быстро",
            "Скорость - Быстро",
            "Скорость - Средне",
            "Скорость - Медленно",
            "-",
            "Подсмотреть победу",
        };
        QCOMPARE(items.size(), captions.size());
        for (int i = 0; i < items.size(); ++i) {
            if (captions[i] == QLatin1String("-")) {
                QVERIFY2(items[i]->isSeparator(), qPrintable(QString::number(i)));
            } else {
                QVERIFY(!items[i]->isSeparator());
                QCOMPARE(items[i]->text(), captions[i]);
            }
        }
        const QList<QAction*> named{w.mnuOnly2,     w.mnuOnly4,   w.mnuAuto1,    w.mnuAuto2,
                                    w.mnuAuto3,     w.mnuSpeed10, w.mnuSpeed200, w.mnuSpeed700,
                                    w.mnuSpeed2000, w.mnuWin};
        const QList<QAction*> notSeparators = [&] {
            QList<QAction*> out;
            for (QAction* a : items) {
                if (!a->isSeparator()) {
                    out.append(a);
                }
            }
            return out;
        }();
        QCOMPARE(notSeparators, named);

        for (QAction* item : allItems(w)) {
            const QByteArray name = item->text().toUtf8();
            QVERIFY2(item->isEnabled() && item->isVisible(), name);
            QVERIFY2(!item->text().contains(QLatin1Char('&')), name); // no access keys
            QVERIFY2(item->isChecked() == (item == w.mnuSpeed700), name);
            if (item == w.mnuNewGame) {
                QCOMPARE(item->shortcuts(), QList<QKeySequence>{QKeySequence(Qt::Key_F2)});
            } else {
                QVERIFY2(item->shortcuts().isEmpty(), name);
            }
        }
        // The settings carry marks; the two commands never show a box for one.
        for (QAction* item : allItems(w)) {
            QVERIFY2(item->isCheckable() == (item != w.mnuNewGame && item != w.mnuWin),
                     item->text().toUtf8());
        }
    }

    // ---- The label adapter ---------------------------------------------------------------

    void labelReadsBackWhatWasWritten() {
        frmMain w;
        Label* l = w.lblFon[7];
        const quint64 writes = l->Writes();

        l->SetCaption(QStringLiteral("16384"));
        QCOMPARE(l->Caption(), QStringLiteral("16384"));
        QCOMPARE(l->text(), QStringLiteral("16384"));
        l->SetCaption(QString());
        QCOMPARE(l->Caption(), QString());

        // Colours are 24-bit: whatever sits in the alpha byte does not come back.
        l->SetBackColor(qRgba(239, 195, 41, 0));
        QCOMPARE(rgb24(l->BackColor()), rgb(239, 195, 41));
        QCOMPARE(rgb24(l->palette().color(QPalette::Window).rgb()), rgb(239, 195, 41));
        l->SetBackColor(qRgb(255, 32, 33));
        QCOMPARE(rgb24(l->BackColor()), rgb(255, 32, 33));

        l->SetForeColor(qRgb(247, 243, 222));
        QCOMPARE(rgb24(l->ForeColor()), rgb(247, 243, 222));
        QCOMPARE(rgb24(l->palette().color(QPalette::WindowText).rgb()), rgb(247, 243, 222));
        QCOMPARE(rgb24(l->BackColor()), rgb(255, 32, 33)); // one colour leaves the other

        l->SetBorderStyle(1);
        QCOMPARE(l->BorderStyle(), 1);
        QCOMPARE(l->frameShape(), QFrame::Box);
        QCOMPARE(l->geometry(), QRect(240, 84, 73, 73)); // the border sits inside the square
        l->SetBorderStyle(0);
        QCOMPARE(l->BorderStyle(), 0);
        QCOMPARE(l->frameShape(), QFrame::NoFrame);

        QCOMPARE(l->Writes(), writes + 7); // one per write above
    }

    // ---- DrawBoard -----------------------------------------------------------------------

    void drawBoardColours_data() {
        QTest::addColumn<int>("value");
        QTest::addColumn<QString>("text");
        QTest::addColumn<uint>("back");
        QTest::addColumn<uint>("fore");
        const uint light = rgb(255, 247, 247);
        const uint dark = rgb(115, 109, 99);
        QTest::newRow("2") << 2 << "2" << uint{rgb(239, 231, 222)} << dark;
        QTest::newRow("4") << 4 << "4" << uint{rgb(239, 227, 206)} << dark;
        QTest::newRow("8") << 8 << "8" << uint{rgb(247, 178, 123)} << light;
        QTest::newRow("16") << 16 << "16" << uint{rgb(247, 150, 99)} << light;
        QTest::newRow("32") << 32 << "32" << uint{rgb(247, 125, 90)} << light;
        QTest::newRow("64") << 64 << "64" << uint{rgb(247, 93, 57)} << light;
        QTest::newRow("128") << 128 << "128" << uint{rgb(239, 207, 115)} << light;
        QTest::newRow("256") << 256 << "256" << uint{rgb(239, 207, 99)} << light;
        QTest::newRow("512") << 512 << "512" << uint{rgb(239, 203, 82)} << light;
        QTest::newRow("1024") << 1024 << "1024" << uint{rgb(239, 199, 57)} << light;
        QTest::newRow("2048") << 2048 << "2048" << uint{rgb(239, 195, 41)}
                              << uint{rgb(247, 243, 222)};
        QTest::newRow("4096") << 4096 << "4096" << uint{rgb(255, 60, 57)}
                              << uint{rgb(247, 247, 247)};
        const uint otherBack = rgb(255, 32, 33);
        const uint otherFore = rgb(247, 243, 239);
        QTest::newRow("8192") << 8192 << "8192" << otherBack << otherFore;
        QTest::newRow("16384") << 16384 << "16384" << otherBack << otherFore;
        QTest::newRow("32768") << 32768 << "32768" << otherBack << otherFore;
        QTest::newRow("1048576") << 1048576 << "1048576" << otherBack << otherFore;
        QTest::newRow("3 (unlisted)") << 3 << "3" << otherBack << otherFore;
        QTest::newRow("6 (unlisted)") << 6 << "6" << otherBack << otherFore;
    }
    void drawBoardColours() {
        QFETCH(int, value);
        QFETCH(QString, text);
        QFETCH(uint, back);
        QFETCH(uint, fore);
        frmMain w;
        const QFont font = w.lblNum[0]->font();
        // Every cell, so each index reaches its own labels.
        w.Board.fill(value);
        w.DrawBoard();
        for (int k = 0; k < korvex::kCells; ++k) {
            QCOMPARE(w.lblNum[at(k)]->Caption(), text);
            QCOMPARE(rgb24(w.lblFon[at(k)]->BackColor()), QRgb{back});
            QCOMPARE(rgb24(w.lblNum[at(k)]->ForeColor()), QRgb{fore});
            QCOMPARE(w.lblNum[at(k)]->font(), font); // one font whatever the digits
        }
        QCOMPARE(rgb24(korvex::cellColors(value).back), QRgb{back});
        QCOMPARE(rgb24(korvex::cellColors(value).fore), QRgb{fore});

        // And one cell alone, the others empty: only that cell takes the colours.
        frmMain one;
        one.Board[9] = value;
        one.DrawBoard();
        for (int k = 0; k < korvex::kCells; ++k) {
            QCOMPARE(one.lblNum[at(k)]->Caption(), k == 9 ? text : QString());
            QCOMPARE(rgb24(one.lblFon[at(k)]->BackColor()), k == 9 ? QRgb{back} : kEmptyCell);
        }
    }

    void emptyCellOnCreation() {
        frmMain w;
        const QRgb windowText = rgb24(w.lblNum[0]->ForeColor());
        const quint64 numWrites = w.lblNum[0]->Writes();
        w.DrawBoard();
        QCOMPARE(rgb24(w.lblFon[0]->BackColor()), kEmptyCell);
        QCOMPARE(w.lblNum[0]->Caption(), QString());
        QCOMPARE(rgb24(w.lblNum[0]->ForeColor()), windowText);
        QCOMPARE(w.lblNum[0]->Writes(), numWrites); // empty caption was already right
    }

    // A cell that empties shows "" on the empty colour and keeps the old text colour.
    void emptiedCellKeepsTextColour() {
        frmMain w;
        w.Board[4] = 2048;
        w.DrawBoard();
        w.Board[4] = 0;
        const quint64 numWrites = w.lblNum[4]->Writes();
        w.DrawBoard();
        QCOMPARE(w.lblNum[4]->Caption(), QString());
        QCOMPARE(rgb24(w.lblFon[4]->BackColor()), kEmptyCell);
        QCOMPARE(rgb24(w.lblNum[4]->ForeColor()), rgb(247, 243, 222));
        QCOMPARE(w.lblNum[4]->Writes(), numWrites + 1); // the caption only
    }

    // Read-compare-write: only the properties that differ are written.
    void drawWritesOnlyWhatChanged_data() {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::addColumn<int>("numWrites");
        QTest::addColumn<int>("fonWrites");
        QTest::newRow("2 to 4: text and background") << 2 << 4 << 1 << 1;
        QTest::newRow("4 to 8: all three") << 4 << 8 << 2 << 1;
        QTest::newRow("8 to 16: text and background") << 8 << 16 << 1 << 1;
        QTest::newRow("1024 to 2048: all three") << 1024 << 2048 << 2 << 1;
        QTest::newRow("8192 to 16384: text only") << 8192 << 16384 << 1 << 0;
        QTest::newRow("16 to 0: text and background") << 16 << 0 << 1 << 1;
        QTest::newRow("0 to 2: all three") << 0 << 2 << 2 << 1;
        QTest::newRow("unchanged 64") << 64 << 64 << 0 << 0;
    }
    void drawWritesOnlyWhatChanged() {
        QFETCH(int, from);
        QFETCH(int, to);
        QFETCH(int, numWrites);
        QFETCH(int, fonWrites);
        frmMain w;
        w.lblNum[10]->SetForeColor(qRgb(1, 2, 3)); // the first tile must set its colour
        w.Board[10] = from;
        w.DrawBoard();
        const quint64 num = w.lblNum[10]->Writes();
        const quint64 fon = w.lblFon[10]->Writes();
        const quint64 all = cellWrites(w);
        w.Board[10] = to;
        w.DrawBoard();
        QCOMPARE(w.lblNum[10]->Writes() - num, quint64(numWrites));
        QCOMPARE(w.lblFon[10]->Writes() - fon, quint64(fonWrites));
        QCOMPARE(cellWrites(w) - all, quint64(numWrites + fonWrites)); // no other cell
        QCOMPARE(w.lblNum[10]->Caption(), to != 0 ? QString::number(to) : QString());
    }

    void scoreLine_data() {
        QTest::addColumn<int>("score");
        QTest::addColumn<int>("gain");
        QTest::addColumn<int>("scoreAfter");
        QTest::addColumn<QString>("caption");
        QTest::newRow("0, 0") << 0 << 0 << 0 << QStringLiteral("Счёт: 0");
        QTest::newRow("120, 16") << 120 << 16 << 136 << QStringLiteral("Счёт: 136 +16");
        QTest::newRow("136, 0") << 136 << 0 << 136 << QStringLiteral("Счёт: 136");
        QTest::newRow("0, 4") << 0 << 4 << 4 << QStringLiteral("Счёт: 4 +4");
        QTest::newRow("large") << 1234560 << 32768 << 1267328
                               << QStringLiteral("Счёт: 1267328 +32768");
    }
    void scoreLine() {
        QFETCH(int, score);
        QFETCH(int, gain);
        QFETCH(int, scoreAfter);
        QFETCH(QString, caption);
        frmMain w;
        w.Score = score;
        w.MoveGain = gain;
        w.DrawBoard();
        QCOMPARE(w.Score, scoreAfter);
        QCOMPARE(w.MoveGain, 0);
        QCOMPARE(w.lblScore->Caption(), caption);
    }

    // The second of two redraws writes nothing to the cells, books nothing and drops the
    // suffix; the score line is written every time.
    void secondRedrawWritesNothing() {
        frmMain w;
        w.Board = kManyValues;
        w.Score = 120;
        w.MoveGain = 16;
        w.DrawBoard();
        QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 136 +16"));
        const quint64 cells = cellWrites(w);
        const quint64 score = w.lblScore->Writes();
        w.DrawBoard();
        QCOMPARE(cellWrites(w), cells);
        QCOMPARE(w.lblScore->Writes(), score + 1);
        QCOMPARE(w.Score, 136);
        QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 136"));
    }

    // A redraw never touches a border, whatever the cells do.
    void redrawKeepsBorders() {
        frmMain w;
        w.lblFon[0]->SetBorderStyle(1);
        w.lblFon[6]->SetBorderStyle(1);
        w.lblFon[15]->SetBorderStyle(1);
        const std::vector<int> before = borders(w);
        for (const Cells& board : {kManyValues, Cells{}, kManyValues}) {
            w.Board = board;
            w.DrawBoard();
            QCOMPARE(borders(w), before);
        }
        QCOMPARE(w.lblFon[6]->frameShape(), QFrame::Box);
    }

    // ---- Check marks under a real click --------------------------------------------------

    // QAction flips a checkable item's mark before it reports the click; the handlers must
    // still see the mark as it was and set it themselves.
    void checkableItemsSeeTheMarkBeforeTheClick() {
        frmMain w;
        w.mnuSpeed700->trigger(); // already the speed: stays checked
        QVERIFY(w.mnuSpeed700->isChecked());
        QCOMPARE(w.tmrAuto.interval(), 700);

        w.mnuSpeed10->trigger();
        QVERIFY(w.mnuSpeed10->isChecked());
        QVERIFY(!w.mnuSpeed700->isChecked());
        QCOMPARE(w.tmrAuto.interval(), 10);
        w.mnuSpeed10->trigger();
        QVERIFY(w.mnuSpeed10->isChecked());
        QCOMPARE(w.tmrAuto.interval(), 10);

        w.mnuOnly2->trigger();
        QVERIFY(w.mnuOnly2->isChecked());
        w.mnuOnly2->trigger();
        QVERIFY(!w.mnuOnly2->isChecked());

        w.mnuAuto3->trigger();
        QVERIFY(w.mnuAuto3->isChecked());
        QCOMPARE(w.AutoMode, 3);
        QVERIFY(w.tmrAuto.isActive());
        w.mnuAuto3->trigger(); // the same mode again switches auto-play off
        QVERIFY(!w.mnuAuto3->isChecked());
        QCOMPARE(w.AutoMode, 0);
        QVERIFY(!w.tmrAuto.isActive());

        // Items that carry no mark never gain one.
        w.mnuNewGame->trigger();
        w.mnuWin->trigger();
        QVERIFY(!w.mnuNewGame->isChecked());
        QVERIFY(!w.mnuWin->isChecked());
    }

    // ---- Start-up and new game -----------------------------------------------------------

    // Start-up seeds the chance from the time of day before it deals: an unseeded generator
    // would open every game on the same board. Three starts, 20 ms apart (so their seeds
    // differ), all dealing the unseeded opening has a chance of about one in a million.
    void startUpSeedsBeforeTheFirstDeal() {
        frmMain unseeded;
        unseeded.mnuNewGame_Click();
        int sameOpening = 0;
        for (int start = 0; start < 3; ++start) {
            QTest::qWait(20);
            frmMain w;
            w.Form_Load();
            QVERIFY(!w.Unloaded());
            sameOpening += w.Board == unseeded.Board ? 1 : 0;
            w.Form_Unload();
        }
        QVERIFY2(sameOpening < 3, "every start dealt the unseeded opening");
    }

    // After start-up and after every new game: two tiles of 2 or 4, both marked and no other
    // mark, a score of 0 and the game in progress.
    void startUpAndEveryNewGame() {
        frmMain w;
        w.Form_Load();
        QVERIFY(!w.Unloaded());
        for (int game = 0; game < 100; ++game) {
            QCOMPARE(countTiles(w), 2);
            for (int k = 0; k < korvex::kCells; ++k) {
                const std::int32_t v = w.Board[at(k)];
                QVERIFY(v == 0 || v == 2 || v == 4);
                QCOMPARE(w.lblFon[at(k)]->BorderStyle(), v != 0 ? 1 : 0);
                QCOMPARE(w.lblNum[at(k)]->Caption(), v != 0 ? QString::number(v) : QString());
            }
            QCOMPARE(countMarks(w), 2);
            QCOMPARE(w.Score, 0);
            QCOMPARE(w.GameOver, 0);
            QCOMPARE(w.lblScore->Caption(), QStringLiteral("Счёт: 0"));

            // Leave a played-out game behind for the next new game to clear.
            w.Board = kManyValues;
            w.Score = 5000 + game;
            w.GameOver = game % 2;
            w.lblFon[at(game % korvex::kCells)]->SetBorderStyle(1);
            w.lblFon[3]->SetBorderStyle(1);
            if (game % 2 == 0) {
                w.mnuNewGame_Click();
            } else {
                w.mnuNewGame->trigger(); // the menu's path
            }
        }
    }

    void newGameUnderOnly4() {
        frmMain w;
        w.Form_Load();
        w.mnuOnly4->trigger();
        QVERIFY(w.mnuOnly4->isChecked());
        for (int game = 0; game < 20; ++game) {
            w.mnuNewGame->trigger();
            QCOMPARE(countTiles(w), 2);
            for (const std::int32_t v : w.Board) {
                QVERIFY(v == 0 || v == 4);
            }
            QVERIFY(w.mnuOnly4->isChecked());
            QVERIFY(!w.mnuOnly2->isChecked());
        }
    }

    // A new game switches the auto-player off and keeps the speed, AutoDir and the options.
    void newGameStopsAutoPlay_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("Во все стороны") << 1;
        QTest::newRow("В три стороны") << 2;
        QTest::newRow("В угол") << 3;
    }
    void newGameStopsAutoPlay() {
        QFETCH(int, mode);
        frmMain w;
        w.Form_Load();
        w.mnuSpeed200->trigger();
        w.mnuOnly2->trigger();
        QAction* item = mode == 1 ? w.mnuAuto1 : mode == 2 ? w.mnuAuto2 : w.mnuAuto3;
        item->trigger();
        QVERIFY(w.tmrAuto.isActive());
        QCOMPARE(w.AutoMode, mode);
        QVERIFY(item->isChecked());
        w.tmrAuto_Timer(); // a tick or two of play first
        w.tmrAuto_Timer();
        const std::int32_t autoDir = w.AutoDir;

        w.mnuNewGame->trigger();
        QVERIFY(!w.tmrAuto.isActive());
        QCOMPARE(w.AutoMode, 0);
        QVERIFY(!w.mnuAuto1->isChecked());
        QVERIFY(!w.mnuAuto2->isChecked());
        QVERIFY(!w.mnuAuto3->isChecked());
        QVERIFY(w.mnuSpeed200->isChecked());
        QVERIFY(!w.mnuSpeed700->isChecked());
        QCOMPARE(w.tmrAuto.interval(), 200);
        QCOMPARE(w.AutoDir, autoDir);
        QVERIFY(w.mnuOnly2->isChecked());
        QCOMPARE(countTiles(w), 2);
        for (const std::int32_t v : w.Board) {
            QVERIFY(v == 0 || v == 2);
        }
    }

    // With nothing checked it changes nothing: no item, no variable.
    void uncheckAutoMenusWithNothingChecked() {
        frmMain w;
        w.mnuOnly4->trigger();
        w.AutoMode = 2;
        w.AutoDir = 1;
        std::vector<std::unique_ptr<QSignalSpy>> spies;
        for (QAction* item : allItems(w)) {
            spies.push_back(std::make_unique<QSignalSpy>(item, &QAction::changed));
        }
        w.UncheckAutoMenus();
        for (const auto& spy : spies) {
            QCOMPARE(spy->count(), 0);
        }
        QVERIFY(w.mnuOnly4->isChecked());
        QVERIFY(w.mnuSpeed700->isChecked());
        QCOMPARE(w.AutoMode, 2);
        QCOMPARE(w.AutoDir, 1);

        // With one checked, only that one changes.
        w.mnuAuto2->setChecked(true);
        for (const auto& spy : spies) {
            spy->clear();
        }
        w.UncheckAutoMenus();
        QVERIFY(!w.mnuAuto2->isChecked());
        const QList<QAction*> items = allItems(w);
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(spies[static_cast<std::size_t>(i)]->count(), items[i] == w.mnuAuto2 ? 1 : 0);
        }
    }

    // A second window's start-up finds the first one's lock and ends before doing anything.
    void secondInstanceEndsAtStartUp() {
        auto first = std::make_unique<frmMain>();
        first->Form_Load();
        QVERIFY(!first->Unloaded());
        const Cells board = first->Board;
        {
            frmMain second;
            second.Form_Load();
            QVERIFY(second.Unloaded());
            QCOMPARE(second.Board, Cells{});
            QCOMPARE(second.lblScore->Caption(), QStringLiteral("Счёт:"));
            QCOMPARE(countMarks(second), 0);
        }
        QVERIFY(!first->Unloaded());
        QCOMPARE(first->Board, board);
        QCOMPARE(first->lblScore->Caption(), QStringLiteral("Счёт: 0"));

        // Once the first window is gone, the lock is free again.
        first.reset();
        frmMain third;
        third.Form_Load();
        QVERIFY(!third.Unloaded());
        QCOMPARE(countTiles(third), 2);
    }

    // ---- What the player sees ------------------------------------------------------------

    // The first frame: no cell still white, and the score line already carries its number.
    void firstFrameShowsTheDrawnBoard() {
        frmMain w;
        w.Form_Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage image = clientImage(w);
        QCOMPARE(image.size(), QSize(319, 335));
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                QVERIFY2(rgb24(image.pixel(x, y)) != kWhite,
                         qPrintable(QStringLiteral("white at %1,%2").arg(x).arg(y)));
            }
        }
        QCOMPARE(rgb24(image.pixel(0, 0)), kGrey);
        QCOMPARE(rgb24(image.pixel(318, 334)), kGrey);
        for (int k = 0; k < korvex::kCells; ++k) {
            const QRect cell = w.lblFon[at(k)]->geometry();
            // Inside the border a spawn mark may draw, the cell shows its own colour.
            const QRgb expected = korvex::cellColors(w.Board[at(k)]).back;
            QCOMPARE(rgb24(image.pixel(cell.left() + 2, cell.top() + 2)), rgb24(expected));
        }
        // Ink of the number after "Счёт: ": the bare caption would leave that stretch grey.
        const QRect score = w.lblScore->geometry();
        const int prefix =
            QFontMetrics(w.lblScore->font()).horizontalAdvance(QStringLiteral("Счёт: "));
        int ink = 0;
        for (int y = score.top(); y <= score.bottom(); ++y) {
            for (int x = score.left() + prefix; x <= score.right(); ++x) {
                ink += qGray(image.pixel(x, y)) < 64 ? 1 : 0;
            }
        }
        QVERIFY2(ink > 3, qPrintable(QString::number(ink)));
    }

    // Each number is centred on its own cell, column 1 included, and "16384" is drawn whole.
    void numbersCentredOnTheirCells() {
        frmMain w;
        w.Board = kManyValues;
        w.lblFon[1]->SetBorderStyle(1); // a spawn mark does not shift the number
        w.DrawBoard();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage image = clientImage(w);
        for (int k = 0; k < korvex::kCells; ++k) {
            const std::int32_t v = w.Board[at(k)];
            if (v == 0) {
                continue;
            }
            const QRect cell = w.lblFon[at(k)]->geometry();
            const QRect label = w.lblNum[at(k)]->geometry();
            const QRgb fore = rgb24(korvex::cellColors(v).fore);
            int left = INT_MAX;
            int right = -1;
            int top = INT_MAX;
            int bottom = -1;
            int count = 0;
            for (int y = cell.top(); y <= cell.bottom(); ++y) {
                for (int x = label.left(); x <= label.right(); ++x) {
                    if (rgb24(image.pixel(x, y)) == fore) {
                        left = std::min(left, x);
                        right = std::max(right, x);
                        top = std::min(top, y);
                        bottom = std::max(bottom, y);
                        ++count;
                    }
                }
            }
            const QByteArray what = QByteArray::number(v) + " in cell " + QByteArray::number(k);
            QVERIFY2(count > 20, what);
            const double inkCentre = (left + right) / 2.0;
            const double cellCentre = (cell.left() + cell.right()) / 2.0;
            QVERIFY2(std::abs(inkCentre - cellCentre) <= 2.0,
                     what + " centred at " + QByteArray::number(inkCentre) + ", cell at " +
                         QByteArray::number(cellCentre));
            // Vertically the number lies inside its cell, around the middle.
            const double inkMiddle = (top + bottom) / 2.0;
            const double cellMiddle = (cell.top() + cell.bottom()) / 2.0;
            QVERIFY2(std::abs(inkMiddle - cellMiddle) <= 3.0,
                     what + " middle at " + QByteArray::number(inkMiddle));
        }

        // "16384": no light pixel on the number label's outer columns, so nothing is clipped.
        const QRect label = w.lblNum[12]->geometry();
        const QRect cell = w.lblFon[12]->geometry();
        int left = INT_MAX;
        int right = -1;
        for (int y = cell.top(); y <= cell.bottom(); ++y) {
            for (int x = label.left(); x <= label.right(); ++x) {
                if (qGreen(image.pixel(x, y)) > 150) { // red cell and grey gap are both darker
                    left = std::min(left, x);
                    right = std::max(right, x);
                }
            }
        }
        QVERIFY(right >= 0);
        QVERIFY2(left > label.left() && right < label.right(),
                 qPrintable(QStringLiteral("16384 spans %1..%2 in %3..%4")
                                .arg(left)
                                .arg(right)
                                .arg(label.left())
                                .arg(label.right())));
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
