// SPDX-FileCopyrightText: 2026 Korvex developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a screen reader hears: the text told after each kind of event, the cells' accessible
// names, the quiet of fast auto-play, and that nothing at all happens while no assistive
// technology listens. The texts are read the way a reader reads them, through Qt's
// accessibility interfaces.
#include "ui/reader.h"
#include "windowtest.h"

#include <QAccessible>
#include <QRegularExpression>

using korvex::Cells;
using korvex::test::board;
using korvex::test::kDistinct;
using korvex::test::kPairInRowOne;
using korvex::test::setBoard;
using korvex::test::start;

namespace {

// kPairInRowOne with the pair's first tile taken out: a slide, no points.
const Cells kGapInRowOne =
    board("0 2 8 16 / 32 64 128 256 / 512 1024 2048 4096 / 8192 16384 32768 65536");

enum Action { KeyLeft, KeyAfterEnd, Tick, NewGame, Victory, Activation, ActivationAfterEnd };

// The name a reader reads for an object.
QString nameOf(QObject* object) {
    return QAccessible::queryAccessibleInterface(object)->text(QAccessible::Name);
}

// What the reader was given, event by event: the text and the object it came from, as the
// reader knows it. Texts are told once the event that made them is handled, so the posted
// telling runs first. Qt 6.8 and later announce each text from the window; older Qt moves the
// reader's focus to a hidden object that carries the text as its name.
struct Ears {
    QStringList texts;
    QList<QAccessible::Id> from;
    QString problems; // events of any other kind, or announcements that would wait their turn

    void hear(QAccessibleEvent* event) {
        from << QAccessible::uniqueId(event->accessibleInterface());
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
        if (event->type() == QAccessible::Announcement) {
            const auto* announcement = static_cast<QAccessibleAnnouncementEvent*>(event);
            if (announcement->politeness() != QAccessible::AnnouncementPoliteness::Assertive) {
                problems += QStringLiteral("a polite announcement; ");
            }
            texts << announcement->message();
            return;
        }
#else
        if (event->type() == QAccessible::Focus) {
            texts << nameOf(event->object());
            return;
        }
#endif
        problems += QStringLiteral("event %1; ").arg(int(event->type()));
    }

    QString last() {
        QCoreApplication::sendPostedEvents();
        return texts.isEmpty() ? QString() : texts.last();
    }
};

// Starts the window as the player sees it, active, with a reader listening.
bool startListened(frmMain& w, Ears& ears, quint32 seed = 1) {
    if (!start(w, seed)) {
        return false;
    }
    w.ReaderActive = [] { return true; };
    w.ReaderDeliver = [&ears](QAccessibleEvent* event) { ears.hear(event); };
    const bool active = korvex::test::showActive(w);
    QCoreApplication::sendPostedEvents();
    return active;
}

// The object the reader's last text came from never takes the keyboard focus: every key still
// goes to the window.
void checkSource(const frmMain& w, const Ears& ears) {
    QCOMPARE(ears.problems, QString());
    QVERIFY(!ears.from.isEmpty());
    QCOMPARE(QApplication::focusWidget(), &w);
    QObject* source = QAccessible::accessibleInterface(ears.from.last())->object();
#if QT_VERSION >= QT_VERSION_CHECK(6, 8, 0)
    QCOMPARE(source, &w); // the reader's focus: Orca takes it for spam from anything else
#else
    const auto* voice = qobject_cast<const QWidget*>(source);
    QVERIFY(voice != nullptr);
    QCOMPARE(voice->parentWidget(), w.centralWidget());
    QCOMPARE(voice->focusPolicy(), Qt::NoFocus);
#endif
}

} // namespace

class TestReader : public QObject {
    Q_OBJECT
    korvex::test::PrivateRuntimeDir Runtime; // before the first window
private slots:
    void toldAfterEachEvent_data();
    void toldAfterEachEvent();
    void fastAutoPlayKeepsQuiet();
    void nothingWithoutAListeningReader();
};

void TestReader::toldAfterEachEvent_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<Cells>("board");
    QTest::addColumn<int>("score");
    QTest::addColumn<QString>("told");
    QTest::addColumn<int>("cell");
    QTest::addColumn<QString>("cellName");
    QTest::addColumn<QString>("numberName");

    QTest::newRow("a move that scores")
        << int(KeyLeft) << kPairInRowOne << 100 << "Счёт: 104 +4. Новая 2: ряд 1, столбец 4." << 3
        << "Ряд 1, столбец 4: 2, новая"
        << "2";
    QTest::newRow("a move without points")
        << int(KeyLeft) << kGapInRowOne << 100 << "Счёт: 100. Новая 2: ряд 1, столбец 4." << 0
        << "Ряд 1, столбец 1: 2"
        << "2";
    QTest::newRow("an arrow that moves nothing")
        << int(KeyLeft) << kDistinct << 40 << "Нет хода." << 5 << "Ряд 2, столбец 2: 64"
        << "64";
    QTest::newRow("an arrow after the game is over")
        << int(KeyAfterEnd) << kDistinct << 300 << "Игра окончена. Счёт: 300." << 15
        << "Ряд 4, столбец 4: 65536"
        << "65536";
    QTest::newRow("the tick that ends the game")
        << int(Tick) << kDistinct << 120 << "Игра окончена. Счёт: 120." << 12
        << "Ряд 4, столбец 1: 8192"
        << "8192";
    // Seed 1 puts the new game's tiles in row 2, column 3 and in row 4, column 4.
    QTest::newRow("a new game")
        << int(NewGame) << kDistinct << 500
        << "Новая игра. Счёт: 0. Ряд 1: пусто. Ряд 2: пусто, пусто, 2, пусто. Ряд 3: пусто. "
           "Ряд 4: пусто, пусто, пусто, 2."
        << 15 << "Ряд 4, столбец 4: 2, новая"
        << "2";
    QTest::newRow("the victory preview")
        << int(Victory) << kDistinct << 500
        << "Подсмотреть победу. Счёт: 0. Ряд 1: пусто, 2, 4, 4. Ряд 2: 64, 32, 16, 8. "
           "Ряд 3: 128, 256, 512, 1024. Ряд 4: 16384, 8192, 4096, 2048."
        << 0 << "Ряд 1, столбец 1: пусто"
        << "";
    QTest::newRow("the window becomes active")
        << int(Activation) << kPairInRowOne << 36 << "Счёт: 36." << 1 << "Ряд 1, столбец 2: 2"
        << "2";
    QTest::newRow("the window becomes active after the game ended")
        << int(ActivationAfterEnd) << kDistinct << 980 << "Игра окончена. Счёт: 980." << 0
        << "Ряд 1, столбец 1: 2"
        << "2";
}

void TestReader::toldAfterEachEvent() {
    QFETCH(int, action);
    QFETCH(Cells, board);
    QFETCH(int, score);
    QFETCH(QString, told);
    QFETCH(int, cell);
    QFETCH(QString, cellName);
    QFETCH(QString, numberName);

    frmMain w;
    Ears ears;
    QVERIFY(startListened(w, ears));
    w.mnuOnly2->setChecked(true);
    setBoard(w, board, score);
    const quint64 toldBefore = w.Reader->told();
    switch (action) {
    case KeyLeft:
        QTest::keyClick(&w, Qt::Key_Left);
        break;
    case KeyAfterEnd:
        w.GameOver = 1;
        QTest::keyClick(&w, Qt::Key_Left);
        break;
    case Tick:
        w.mnuAuto1_Click();
        w.tmrAuto_Timer();
        break;
    case NewGame:
        w.Rnd.seedRaw(1);
        QTest::keyClick(&w, Qt::Key_F2);
        break;
    case Victory:
        w.mnuWin->trigger();
        break;
    case ActivationAfterEnd:
        w.GameOver = 1;
        [[fallthrough]];
    case Activation: {
        QEvent activation(QEvent::ActivationChange);
        QCoreApplication::sendEvent(&w, &activation);
        break;
    }
    }
    QCOMPARE(ears.last(), told);
    QCOMPARE(w.Reader->told(), toldBefore + 1); // one text an event, however many steps it ran
    QCOMPARE(nameOf(w.lblFon[cell]), cellName);
    QCOMPARE(nameOf(w.lblNum[cell]), numberName); // a plain label's caption
    // Else Qt would tell a reader of every new caption, a hundred a second in fast play.
    QVERIFY(!w.lblNum[cell]->accessibleName().isEmpty() && !w.lblScore->accessibleName().isEmpty());
    checkSource(w, ears);
}

// At 10 ms a move, at most one text a second, and between texts the reader hears nothing of
// the board, not even its captions; the end of the game is told at once, with the final score.
void TestReader::fastAutoPlayKeepsQuiet() {
    frmMain w;
    std::int64_t now = 0;
    w.ReaderClock = [&now] { return now; };
    Ears ears;
    QVERIFY(startListened(w, ears, 7));
    w.mnuSpeed10_Click();
    w.mnuAuto3_Click();

    const QRegularExpression move(
        QStringLiteral("^Счёт: \\d+( \\+\\d+)?\\. Новая [24]: ряд [1-4], столбец [1-4]\\.$"));
    QList<std::int64_t> toldAt;
    QString last;
    int ticks = 0;
    // What a reader finds on the board: the names of the cells, the numbers and the score.
    const auto names = [&w] {
        QStringList all{nameOf(w.lblScore)};
        for (int k = 0; k < korvex::kCells; ++k) {
            all << nameOf(w.lblFon[k]) << nameOf(w.lblNum[k]);
        }
        return all;
    };
    while (w.GameOver == 0 && ticks < 5000) {
        const QStringList before = names();
        const quint64 toldBefore = w.Reader->told();
        now += 10;
        ++ticks;
        w.tmrAuto_Timer();
        last = ears.last();
        QVERIFY(w.Reader->told() - toldBefore <= 1);
        if (w.Reader->told() == toldBefore) {
            QCOMPARE(names(), before);
            continue;
        }
        toldAt << now;
#if QT_VERSION < QT_VERSION_CHECK(6, 8, 0)
        // Orca reads no second focus of one object: every text comes from one never heard.
        QCOMPARE(ears.from.count(ears.from.last()), 1);
#endif
        if (w.GameOver == 0) {
            QVERIFY2(move.match(last).hasMatch(), qPrintable(last));
        }
    }
    QCOMPARE(w.GameOver, 1);
    QCOMPARE(last, QStringLiteral("Игра окончена. Счёт: %1.").arg(w.Score));
    checkSource(w, ears);
    QCOMPARE(toldAt.last(), now); // the end, on the tick that ended the game
    // One text a second along the way, counted from the score told when the window came up.
    QVERIFY(toldAt.size() >= 3);
    for (int i = 0; i + 1 < toldAt.size(); ++i) {
        QCOMPARE(toldAt[i], 1000 * (i + 1));
    }
}

// Without a reader, or with the window not the one the player is in, no cell is named, no
// announcer is made and nothing is told.
void TestReader::nothingWithoutAListeningReader() {
    QVERIFY(!QAccessible::isActive()); // the offscreen platform has no accessibility
    for (const bool readerButInactiveWindow : {false, true}) {
        frmMain w;
        QVERIFY(start(w));
        if (readerButInactiveWindow) {
            w.ReaderActive = [] { return true; };
        } else {
            QVERIFY(korvex::test::showActive(w));
        }
        const QObjectList children = w.centralWidget()->children();
        setBoard(w, kPairInRowOne, 10);
        QTest::keyClick(&w, Qt::Key_Left);
        w.mnuAuto1_Click();
        w.tmrAuto_Timer();
        w.mnuAuto1_Click();
        w.mnuNewGame_Click();
        w.mnuWin_Click();
        QEvent activation(QEvent::ActivationChange);
        QCoreApplication::sendEvent(&w, &activation);
        QCoreApplication::sendPostedEvents();
        QVERIFY(w.Reader == nullptr);
        QCOMPARE(w.centralWidget()->children(), children);
        for (QObject* fon : w.lblFon) {
            QCOMPARE(nameOf(fon), QString());
        }
    }
}

QTEST_MAIN(TestReader)
#include "test_reader.moc"
