#include <QtTest>
#include "app/frmmain.h"
#include "app/tabstrip.h"
#include "support/testapp.h"

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void builds()
    {
        TempSettings s;
        frmMain w(s.path());
        QCOMPARE(w.SSTab1->count(), 12);
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
