// The window as built: controls, captions, states, geometry, the tab strip.
#include <QtTest>

#include <QAccessible>

#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>

#include "app/tabstrip.h"
#include "bots/keeper.h"
#include "bots/statusboard.h"
#include "support/testapp.h"

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    // Every control lies inside its tab or frame and covers none of its
    // neighbours, but the channel box, which overlaps its list's top edge.
    void controlsNeitherSpillNorOverlap()
    {
        const auto describe = [](QWidget* c) {
            const auto* l = qobject_cast<QLabel*>(c);
            return QString("%1 \"%2\" at %3,%4")
                .arg(c->metaObject()->className(), l ? l->text() : c->accessibleName())
                .arg(c->x())
                .arg(c->y());
        };
        // The board's rows share a pixel with their neighbours.
        const auto inner = [](QWidget* c) { return c->geometry().adjusted(0, 0, -1, -1); };
        TempSettings s;
        frmMain w(s.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QCOMPARE(w.centralWidget()->size(), QSize(710, 484));
        QVERIFY(w.centralWidget()->rect().contains(w.SSTab1->geometry()));
        QList<QWidget*> containers;
        for (QGroupBox* frame : w.findChildren<QGroupBox*>())
            containers << frame;
        for (int t = 0; t < w.SSTab1->count(); ++t)
            containers << w.SSTab1->page(t);
        for (QWidget* container : containers) {
            const QList<QWidget*> controls =
                container->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
            QVERIFY(!controls.isEmpty());
            for (QWidget* a : controls) {
                QVERIFY2(container->rect().contains(a->geometry()), qPrintable(describe(a)));
                for (QWidget* b : controls) {
                    const bool channelAndList =
                        (a->inherits("QLineEdit") && b->inherits("QListWidget")) ||
                        (b->inherits("QLineEdit") && a->inherits("QListWidget"));
                    QVERIFY2(a == b || channelAndList || !inner(a).intersects(inner(b)),
                             qPrintable(describe(a) + " / " + describe(b)));
                }
            }
        }
    }

    void everyControlHasAName()
    {
        TempSettings s;
        frmMain w(s.path());
        for (QWidget* child : w.findChildren<QWidget*>()) {
            if (child->focusPolicy() != Qt::NoFocus && child->isWindow() == false &&
                !child->inherits("QMenu") && !child->inherits("QScrollBar") &&
                child->parentWidget() && !child->parentWidget()->inherits("QAbstractScrollArea"))
                QVERIFY2(!child->accessibleName().isEmpty(), child->metaObject()->className());
        }
    }

    // Assistive technology reads what a caption shows now, not its first text.
    void screenReadersHearTheCurrentCaptions()
    {
        TempSettings s;
        s.write("[Bot 3]\r\nUsername=Guard\r\n");
        frmMain w(s.path());
        w.Load();
        WinsockState_Timer(w);
        ShowBotName(w, 2, "Guard#2");
        const auto read = [](QWidget* widget, QAccessible::Text t) {
            return QAccessible::queryAccessibleInterface(widget)->text(t);
        };
        QCOMPARE(read(w.lblBotConnected[2], QAccessible::Name), QString("No"));
        QCOMPARE(read(w.lblBotConnected[2], QAccessible::Description), QString("Bot 3, connected"));
        QCOMPARE(read(w.lblBotName[2], QAccessible::Name), QString("3: Guard#2"));
        QCOMPARE(read(w.SSTab1->tabButton(3), QAccessible::Name), QString("3: Guard"));
    }

    void tabStripReportsThePreviousTabAndStaysInPlace()
    {
        TempSettings s;
        frmMain w(s.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QSignalSpy clicks(w.SSTab1, &TabStrip::Click);
        const QRect before = w.SSTab1->tabButton(10)->geometry();
        QTest::mouseClick(w.SSTab1->tabButton(10), Qt::LeftButton);
        QCOMPARE(w.SSTab1->currentIndex(), 10);
        QCOMPARE(clicks.takeFirst().at(0).toInt(), 0);
        QVERIFY(w.SSTab1->page(10)->isVisible());
        QVERIFY(!w.SSTab1->page(0)->isVisible());
        // Changing captions (as a click does) moves no tab.
        w.SSTab1->setTabCaption(10, "10: a much longer caption than before");
        QCOMPARE(w.SSTab1->tabButton(10)->geometry(), before);

        // A user name with "&" is shown as it is and makes no shortcut.
        w.SSTab1->setTabCaption(4, "4: R&D");
        QCOMPARE(w.SSTab1->tabCaption(4), QString("4: R&D"));
        QVERIFY(w.SSTab1->tabButton(4)->shortcut().isEmpty());
    }

    void menusShowOnlyWhatWorks()
    {
        TempSettings s;
        frmMain w(s.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QVERIFY(w.mnuOptions->menuAction()->isVisible());
        QVERIFY(w.mnuBot->isVisible() && w.mnuChat->isVisible());
        QVERIFY(w.mnuFile->menuAction()->isVisible());
        QCOMPARE(w.mnuFile->actions(), QList<QAction*>{w.mnuClose});
        w.mnuClose->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(w.unloaded());
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
