#include "app/frmmain.h"
#include "testsupport.h"

#include <QTest>

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { korvex::test::usePrivateRuntimeDir(); }
    void startsWithTwoTiles() {
        frmMain w;
        w.Form_Load();
        QCOMPARE(korvex::countEmpty(w.Board), 14);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
