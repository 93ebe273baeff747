#include "engine/rules.h"

#include <QTest>

class TestRules : public QObject {
    Q_OBJECT
private slots:
    void placeholder() { QCOMPARE(korvex::countEmpty(korvex::Cells{}), 16); }
};

QTEST_GUILESS_MAIN(TestRules)
#include "test_rules.moc"
