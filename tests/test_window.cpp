// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window as created, the label adapter, drawing, check marks, start-up, new game, first frames.
#include "windowtest.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetrics>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include <cmath>
#include <memory>

using korvex::RandomSource;
using namespace korvex::test;
using namespace Qt::StringLiterals;

namespace {

constexpr Rgb kGrey = rgb(128, 128, 128);
constexpr Rgb kWhite = rgb(255, 255, 255);
const Rgb kEmptyCell = coloursOf(0).back;

// Every tile value and an empty cell, column 1 holding the widest numbers.
const Cells kManyValues =
    board("0 2 4 8 / 16 32 64 128 / 1024 512 256 2048 / 16384 8192 4096 32768");

QImage clientImage(frmMain& w) {
    return w.centralWidget()->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestWindow : public QObject {
    Q_OBJECT
    PrivateRuntimeDir Runtime; // before the first window
private slots:
    void windowAtCreation() {
        frmMain w;
        QCOMPARE(w.Board, Cells{});
        const std::array<std::int32_t, 5> state{w.GameOver, w.MoveGain, w.Score, w.AutoMode,
                                                w.AutoDir};
        QCOMPARE(state, (std::array<std::int32_t, 5>{}));
        QVERIFY(!w.Unloaded());
        QCOMPARE(w.windowTitle(), QStringLiteral("Игра Korvex"));
        QWidget* client = w.centralWidget();
        QVERIFY(client != nullptr);
        QCOMPARE(client->size(), QSize(319, 335));
        QVERIFY(client->autoFillBackground());
        QCOMPARE(rgb24(client->palette().color(QPalette::Window).rgb()), kGrey);

        QCOMPARE(std::pair(w.tmrAuto.interval(), w.tmrAuto.isActive()), std::pair(700, false));

        QList<QSize> sizes = w.windowIcon().availableSizes();
        std::sort(sizes.begin(), sizes.end(),
                  [](const QSize& a, const QSize& b) { return a.width() < b.width(); });
        const QList<QSize> expected{{16, 16}, {24, 24}, {32, 32}, {48, 48}, {64, 64}};
        QCOMPARE(sizes, expected);
    }

    // From the layout table: cells 78 px apart from 6, 6; a number 6 px left of and 18 px below it.
    void labelGeometry_data() {
        addColumns<QString, int, QRect>("label", "index", "rect");
        QTest::newRow("lblFon(0)") << "lblFon" << 0 << QRect(6, 6, 73, 73);
        QTest::newRow("lblFon(5)") << "lblFon" << 5 << QRect(84, 84, 73, 73);
        QTest::newRow("lblFon(6)") << "lblFon" << 6 << QRect(162, 84, 73, 73);
        QTest::newRow("lblFon(11)") << "lblFon" << 11 << QRect(240, 162, 73, 73);
        QTest::newRow("lblFon(15)") << "lblFon" << 15 << QRect(240, 240, 73, 73);
        QTest::newRow("lblNum(0)") << "lblNum" << 0 << QRect(0, 24, 85, 37);
        QTest::newRow("lblNum(5)") << "lblNum" << 5 << QRect(78, 102, 85, 37);
        QTest::newRow("lblNum(10)") << "lblNum" << 10 << QRect(156, 180, 85, 37);
        QTest::newRow("lblNum(12)") << "lblNum" << 12 << QRect(0, 258, 85, 37);
        QTest::newRow("lblNum(15)") << "lblNum" << 15 << QRect(234, 258, 85, 37);
        QTest::newRow("lblScore") << "lblScore" << 0 << QRect(6, 318, 230, 13);
    }
    void labelGeometry() {
        QFETCH(QString, label);
        QFETCH(int, index);
        QFETCH(QRect, rect);
        frmMain w;
        const Label* l = label == QLatin1String("lblFon")   ? w.lblFon[index]
                         : label == QLatin1String("lblNum") ? w.lblNum[index]
                                                            : w.lblScore;
        QCOMPARE(std::pair(l->parentWidget(), l->geometry()), std::pair(w.centralWidget(), rect));
        QVERIFY(l->isVisibleTo(&w));
    }

    // Children paint in creation order: this puts every number over every cell, the score last.
    void stackingOrder() {
        frmMain w;
        QList<QWidget*> expected(w.lblFon.begin(), w.lblFon.end());
        expected << QList<QWidget*>(w.lblNum.begin(), w.lblNum.end()) << w.lblScore;
        QCOMPARE(w.centralWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly), expected);
    }

    void labelsAtCreation() {
        frmMain w;
        for (int k = 0; k < 16; ++k) {
            const Label* fon = w.lblFon[k];
            QVERIFY(fon->autoFillBackground()); // opaque
            QCOMPARE(rgb24(fon->BackColor()), kWhite);
            QCOMPARE(std::tuple(fon->BorderStyle(), fon->frameShape(), fon->Caption()),
                     std::tuple(0, QFrame::NoFrame, QString()));

            const Label* num = w.lblNum[k];
            QVERIFY(!num->autoFillBackground()); // the cell shows through
            QCOMPARE(rgb24(num->BackColor()), kWhite);
            QCOMPARE(rgb24(num->ForeColor()), rgb(0, 0, 0)); // black, whatever the desktop's
            QCOMPARE(std::tuple(num->BorderStyle(), num->Caption(), num->wordWrap()),
                     std::tuple(0, QString(), false));
            QCOMPARE(num->alignment(), Qt::AlignHCenter | Qt::AlignTop);
        }
        QVERIFY(!w.lblScore->autoFillBackground());
        QCOMPARE(std::tuple(rgb24(w.lblScore->BackColor()), rgb24(w.lblScore->ForeColor()),
                            rgb24(w.lblScore->palette().color(QPalette::WindowText).rgb())),
                 std::tuple(kGrey, rgb(0, 0, 0), rgb(0, 0, 0)));
        QCOMPARE(
            std::tuple(w.lblScore->BorderStyle(), w.lblScore->Caption(), w.lblScore->wordWrap()),
            std::tuple(0, QStringLiteral("Счёт:"), false));
        QCOMPARE(w.lblScore->alignment() & Qt::AlignHorizontal_Mask, Qt::AlignLeft);
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
        QVERIFY(info.bold() && !info.italic() && !font.underline() && !font.strikeOut());
        if (QFontDatabase::families().contains(QStringLiteral("Carlito"))) {
            QCOMPARE(info.family(), QStringLiteral("Carlito"));
        }
        QVERIFY(QFontDatabase::writingSystems(info.family()).contains(QFontDatabase::Cyrillic));
        for (const Label* num : w.lblNum) {
            QCOMPARE(num->font(), font);
        }
        const int width = QFontMetrics(font).horizontalAdvance(QStringLiteral("16384"));
        QVERIFY2(width <= 85, qPrintable(QStringLiteral("16384 is %1 px").arg(width)));
        QVERIFY(QFontMetrics(font).height() <= 37 + 2);
    }

    // The window itself gets every key: no child can hold the focus.
    void nothingTakesFocus() {
        frmMain w;
        QCOMPARE(w.menuBar()->focusPolicy(), Qt::NoFocus);
        int checked = 0;
        for (const QWidget* widget : w.findChildren<QWidget*>()) {
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
        QCOMPARE(bar.size(), int(kMenuBar.size()));
        for (int m = 0; m < bar.size(); ++m) {
            QCOMPARE(bar[m]->text(), QString::fromUtf8(kMenuBar[m].caption));
            QVERIFY(bar[m]->menu() != nullptr);
            const QList<QAction*> items = bar[m]->menu()->actions();
            QCOMPARE(items.size(), int(kMenuBar[m].items.size()));
            for (int i = 0; i < items.size(); ++i) {
                const QString caption = QString::fromUtf8(kMenuBar[m].items[i]);
                QCOMPARE(items[i]->isSeparator(), caption == QLatin1String("-"));
                if (!items[i]->isSeparator()) {
                    QCOMPARE(items[i]->text(), caption);
                }
            }
        }
        // The items in the bar's order are the window's own, each once.
        QList<QAction*> items = bar[0]->menu()->actions() + bar[1]->menu()->actions();
        items.removeIf([](const QAction* a) { return a->isSeparator(); });
        QCOMPARE(items, allItems(w));

        for (QAction* item : items) {
            const QByteArray name = item->text().toUtf8();
            QVERIFY2(item->isEnabled() && item->isVisible(), name);
            QVERIFY2(!item->text().contains(QLatin1Char('&')), name); // no access keys
            QVERIFY2(item->isChecked() == (item == w.mnuSpeed700), name);
            // The settings carry marks; the two commands never show a box for one.
            QVERIFY2(item->isCheckable() == (item != w.mnuNewGame && item != w.mnuWin), name);
            if (item == w.mnuNewGame) {
                QCOMPARE(item->shortcuts(), QList<QKeySequence>{QKeySequence(Qt::Key_F2)});
            } else {
                QVERIFY2(item->shortcuts().isEmpty(), name);
            }
        }
    }

    void labelReadsBackWhatWasWritten() {
        frmMain w;
        Label* l = w.lblFon[7];
        const quint64 writes = l->Writes();

        l->SetCaption(QStringLiteral("16384"));
        QCOMPARE(std::pair(l->Caption(), l->text()), std::pair(u"16384"_s, u"16384"_s));
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
        QCOMPARE(std::pair(l->BorderStyle(), l->frameShape()), std::pair(1, QFrame::Box));
        QCOMPARE(l->geometry(), QRect(240, 84, 73, 73)); // the border sits inside the square
        l->SetBorderStyle(0);
        QCOMPARE(std::pair(l->BorderStyle(), l->frameShape()), std::pair(0, QFrame::NoFrame));

        QCOMPARE(l->Writes(), writes + 7); // one per write above
    }

    // Every colour-table value and some beyond, in every cell; a dark palette changes nothing.
    void drawBoardColours_data() {
        addColumns<int, bool>("value", "dark");
        for (const int v :
             {2, 4, 8, 16, 32, 64, 128, 256, 512, 1024, 2048, 4096, 8192, 16384, 32768, 1048576}) {
            QTest::addRow("%d", v) << v << false;
        }
        QTest::newRow("3 (unlisted)") << 3 << false;
        QTest::newRow("6 (unlisted)") << 6 << false;
        QTest::newRow("2 under a dark palette") << 2 << true;
    }
    void drawBoardColours() {
        QFETCH(int, value);
        QFETCH(bool, dark);
        const QPalette darker(QColor(66, 66, 69), QColor(34, 32, 32)); // qt6ct's "darker"
        const AppPalette palette(dark ? darker : QApplication::palette());
        QCOMPARE(QApplication::palette().color(QPalette::WindowText) == Qt::white, dark);
        const QString text = QString::number(value);
        const Rgb back = coloursOf(value).back;
        const Rgb fore = coloursOf(value).fore;
        frmMain w;
        const QFont font = w.lblNum[0]->font();
        // Every cell, so each index reaches its own labels.
        w.Board.fill(value);
        w.DrawBoard();
        for (int k = 0; k < 16; ++k) { // one font whatever the digits
            QCOMPARE(std::tuple(w.lblNum[k]->Caption(), rgb24(w.lblFon[k]->BackColor()),
                                rgb24(w.lblNum[k]->ForeColor()), w.lblNum[k]->font()),
                     std::tuple(text, back, fore, font));
        }

        // One cell marked new: colour, number colour, black frame; a later palette changes none.
        frmMain one;
        const quint64 numWrites = one.lblNum[0]->Writes();
        one.Board[9] = value;
        one.DrawBoard();
        one.lblFon[9]->SetBorderStyle(1);
        const QImage image = clientImage(one);
        const auto black = [](QRgb p) { return rgb24(p) == rgb(0, 0, 0); };
        QCOMPARE(inkIn(image, fonRect(9), black).box, fonRect(9));
        QCOMPARE(inkIn(image, fonRect(9).adjusted(1, 1, -1, -1), black).pixels, 0);
        QCOMPARE(rgb24(image.pixel(fonRect(9).topLeft() + QPoint(2, 2))), back);
        QVERIFY(inkIn(image, fonRect(9), [fore](QRgb p) { return rgb24(p) == fore; }).pixels > 20);
        QApplication::setPalette(dark ? palette.saved : darker);
        QCoreApplication::sendPostedEvents(); // the change reaches the widgets through the queue
        QCOMPARE(clientImage(one), image);
        // Only that cell takes the colours; the empty ones' number labels were not written.
        for (int k = 0; k < 16; ++k) {
            QCOMPARE(std::pair(one.lblNum[k]->Caption(), rgb24(one.lblFon[k]->BackColor())),
                     std::pair(k == 9 ? text : QString(), k == 9 ? back : kEmptyCell));
            if (k != 9) {
                QCOMPARE(std::pair(rgb24(one.lblNum[k]->ForeColor()), one.lblNum[k]->Writes()),
                         std::pair(rgb(0, 0, 0), numWrites));
            }
        }
    }

    // Only properties that differ are written: an emptied cell keeps its old tile's text colour.
    void drawWritesOnlyWhatChanged_data() {
        addColumns<int, int, int, int>("from", "to", "numWrites", "fonWrites");
        QTest::newRow("2 to 4: text and background") << 2 << 4 << 1 << 1;
        QTest::newRow("4 to 8: all three") << 4 << 8 << 2 << 1;
        QTest::newRow("8 to 16: text and background") << 8 << 16 << 1 << 1;
        QTest::newRow("1024 to 2048: all three") << 1024 << 2048 << 2 << 1;
        QTest::newRow("8192 to 16384: text only") << 8192 << 16384 << 1 << 0;
        QTest::newRow("16 to 0: text and background") << 16 << 0 << 1 << 1;
        QTest::newRow("2048 to 0: text and background") << 2048 << 0 << 1 << 1;
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
        const quint64 all = labelWrites(w, NumberLabels | BackgroundLabels);
        w.Board[10] = to;
        w.DrawBoard();
        QCOMPARE(std::pair(w.lblNum[10]->Writes() - num, w.lblFon[10]->Writes() - fon),
                 std::pair(quint64(numWrites), quint64(fonWrites)));
        // No other cell.
        QCOMPARE(labelWrites(w, NumberLabels | BackgroundLabels) - all,
                 quint64(numWrites + fonWrites));
        QCOMPARE(std::tuple(w.lblNum[10]->Caption(), rgb24(w.lblFon[10]->BackColor()),
                            rgb24(w.lblNum[10]->ForeColor())),
                 std::tuple(cellText(to), coloursOf(to).back, coloursOf(to != 0 ? to : from).fore));
    }

    void scoreLine_data() {
        addColumns<int, int, int, QString>("score", "gain", "scoreAfter", "caption");
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
        w.Board = kManyValues;
        w.Score = score;
        w.MoveGain = gain;
        w.DrawBoard();
        QCOMPARE(std::tuple(w.Score, w.MoveGain, w.lblScore->Caption()),
                 std::tuple(scoreAfter, 0, caption));

        // A second redraw books nothing, drops the suffix and writes the score line alone.
        const quint64 cells = labelWrites(w, NumberLabels | BackgroundLabels);
        const quint64 scoreWrites = w.lblScore->Writes();
        w.DrawBoard();
        QCOMPARE(std::pair(w.Score, w.lblScore->Caption()),
                 std::pair(scoreAfter, u"Счёт: "_s + QString::number(scoreAfter)));
        QCOMPARE(std::pair(labelWrites(w, NumberLabels | BackgroundLabels), w.lblScore->Writes()),
                 std::pair(cells, scoreWrites + 1));
    }

    // Start-up seeds from the time of day before dealing: the opening and next draw match a seed
    // between two readings around Form_Load; a start just after or across midnight goes again.
    void startUpSeedsBeforeTheFirstDeal() {
        constexpr int kMost = 100000;
        for (;;) {
            int tried = 0;
            const float before = RandomSource::secondsSinceMidnight();
            frmMain w;
            w.Form_Load();
            const float after = RandomSource::secondsSinceMidnight();
            QVERIFY(!w.Unloaded());
            const float next = w.Rnd.next();
            w.Form_Unload();
            for (float t = before; t <= after && ++tried < kMost; t = std::nextafter(t, 1e6f)) {
                RandomSource twin;
                twin.seed(t);
                Cells dealt{};
                for (int tile = 0; tile < 2; ++tile) {
                    const int cell = kthEmptyCell(dealt, twin.next());
                    dealt[cell] = tileOfDraw(twin.next());
                }
                if (dealt == w.Board && twin.next() == next) {
                    return;
                }
            }
            QVERIFY2(after < before || tried == kMost, "no seed of its time dealt its opening");
        }
    }

    // After start-up and every new game: two marked tiles of 2 or 4, no other mark, score 0.
    void startUpAndEveryNewGame() {
        frmMain w;
        w.Form_Load();
        QVERIFY(!w.Unloaded());
        for (int game = 0; game < 100; ++game) {
            QCOMPARE(16 - emptyCells(w.Board), 2);
            for (int k = 0; k < 16; ++k) {
                const std::int32_t v = w.Board[k];
                QVERIFY(v == 0 || v == 2 || v == 4);
                QCOMPARE(w.lblFon[k]->BorderStyle(), v != 0 ? 1 : 0);
                QCOMPARE(w.lblNum[k]->Caption(), v != 0 ? QString::number(v) : QString());
            }
            QCOMPARE(std::tuple(marks(w).size(), w.Score, w.GameOver, w.lblScore->Caption()),
                     std::tuple(2, 0, 0, QStringLiteral("Счёт: 0")));

            // Leave a played-out game behind for the next new game to clear.
            w.Board = kManyValues;
            w.Score = 5000 + game;
            w.GameOver = game % 2;
            w.lblFon[game % 16]->SetBorderStyle(1);
            w.lblFon[3]->SetBorderStyle(1);
            if (game % 2 == 0) {
                w.mnuNewGame_Click();
            } else {
                w.mnuNewGame->trigger(); // the menu's path
            }
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
        QVERIFY(w.mnuOnly4->isChecked() && w.mnuSpeed700->isChecked());
        QCOMPARE(std::pair(w.AutoMode, w.AutoDir), std::pair(2, 1));

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
            QCOMPARE(std::tuple(second.lblScore->Caption(), marks(second).size()),
                     std::tuple(QStringLiteral("Счёт:"), 0));
        }
        QVERIFY(!first->Unloaded());
        QCOMPARE(std::pair(first->Board, first->lblScore->Caption()),
                 std::pair(board, u"Счёт: 0"_s));

        // Once the first window is gone, the lock is free again.
        first.reset();
        frmMain third;
        third.Form_Load();
        QVERIFY(!third.Unloaded());
        QCOMPARE(16 - emptyCells(third.Board), 2);
    }

    // The first frame: no cell still white, and the score line already carries its number.
    void firstFrameShowsTheDrawnBoard() {
        frmMain w;
        w.Form_Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QImage image = clientImage(w);
        QCOMPARE(image.size(), QSize(319, 335));
        QCOMPARE(inkIn(image, image.rect(), [](QRgb p) { return rgb24(p) == kWhite; }).box,
                 QRect());
        QCOMPARE(std::pair(rgb24(image.pixel(0, 0)), rgb24(image.pixel(318, 334))),
                 std::pair(kGrey, kGrey));
        for (int k = 0; k < 16; ++k) {
            const QRect cell = w.lblFon[k]->geometry();
            // Inside the border a spawn mark may draw, the cell shows its own colour.
            QCOMPARE(rgb24(image.pixel(cell.left() + 2, cell.top() + 2)),
                     coloursOf(w.Board[k]).back);
        }
        // Ink of the number after "Счёт: ": the bare caption would leave that stretch grey.
        const QRect score = w.lblScore->geometry();
        const int prefix =
            QFontMetrics(w.lblScore->font()).horizontalAdvance(QStringLiteral("Счёт: "));
        const int ink = inkIn(image, score.adjusted(prefix, 0, 0, 0), [](QRgb p) {
                            return qGray(p) < 64;
                        }).pixels;
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
        for (int k = 0; k < 16; ++k) {
            const std::int32_t v = w.Board[k];
            if (v == 0) {
                continue;
            }
            const QRect cell = w.lblFon[k]->geometry();
            const QRect label = w.lblNum[k]->geometry();
            const Rgb fore = coloursOf(v).fore;
            // The label's columns, the cell's rows.
            const Ink ink =
                inkIn(image, QRect(label.left(), cell.top(), label.width(), cell.height()),
                      [fore](QRgb p) { return rgb24(p) == fore; });
            const QByteArray what = QByteArray::number(v) + " in cell " + QByteArray::number(k);
            QVERIFY2(ink.pixels > 20, what);
            // Centred across to within 2 px; vertically inside its cell, around the middle.
            const QPointF off = QRectF(ink.box).center() - QRectF(cell).center();
            QVERIFY2(std::abs(off.x()) <= 2.0 && std::abs(off.y()) <= 3.0,
                     what + " off the cell's centre by " + QByteArray::number(off.x()) + ", " +
                         QByteArray::number(off.y()));
        }

        // "16384": no light pixel on the number label's outer columns, so nothing is clipped.
        const QRect label = w.lblNum[12]->geometry();
        const QRect cell = w.lblFon[12]->geometry();
        // Red cell and grey gap are both darker than the number.
        const QRect light =
            inkIn(image, QRect(label.left(), cell.top(), label.width(), cell.height()), [](QRgb p) {
                return qGreen(p) > 150;
            }).box;
        QVERIFY(!light.isEmpty());
        QVERIFY2(
            light.left() > label.left() && light.right() < label.right(),
            qPrintable(QStringLiteral("16384 spans %1..%2").arg(light.left()).arg(light.right())));
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
