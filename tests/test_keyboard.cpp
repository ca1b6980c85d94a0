// The console by keyboard alone: Tab reaches every control of a tab in the
// order of the layout, the arrows and Ctrl+Tab change tabs, and Alt with a
// button's underlined letter presses that button on the visible tab only.
#include <QApplication>
#include <QSet>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/tabstrip.h"
#include "support/testapp.h"

namespace {

// The window as built, shown and active, on tab `tab` chosen by a click, with
// the focus on that tab.
struct Shown {
    TempSettings settings;
    std::unique_ptr<frmMain> w;

    explicit Shown(int tab)
    {
        w = std::make_unique<frmMain>(settings.path());
        w->show();
        if (!QTest::qWaitForWindowActive(w.get()))
            qFatal("the window did not become active");
        QTest::mouseClick(w->SSTab1->tabButton(tab), Qt::LeftButton);
    }
};

// What a control is, for messages.
QString nameOf(QWidget* widget)
{
    return widget ? widget->accessibleName() + " (" + widget->metaObject()->className() + ")"
                  : QString("nothing");
}

// The stops of Tab (or Shift+Tab) from the focused tab back to it.
QList<QWidget*> chainFrom(QWidget* start, bool backwards)
{
    QList<QWidget*> chain;
    for (int k = 0; k < 40; ++k) {
        QTest::keyClick(QApplication::focusWidget(), backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                        backwards ? Qt::ShiftModifier : Qt::NoModifier);
        if (QApplication::focusWidget() == start)
            break;
        chain << QApplication::focusWidget();
    }
    return chain;
}

} // namespace

class TestKeyboard : public QObject {
    Q_OBJECT
private slots:
    void theKeyboardStartsAtTheSettingsTab()
    {
        TempSettings settings;
        frmMain w(settings.path());
        w.Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.SSTab1->tabButton(0));
    }

    // Tab reaches every control of the open tab once, Shift+Tab the same in
    // reverse, and both come back to the tab: the other tabs are no stops.
    void tabReachesEveryControlOnce()
    {
        for (int tab : {0, 2, 11}) {
            Shown s(tab);
            frmMain& w = *s.w;
            w.btnLoginAll->setEnabled(true); // disabled until a connect
            QWidget* start = w.SSTab1->tabButton(tab);
            QCOMPARE(QApplication::focusWidget(), start);
            QList<QWidget*> reachable;
            for (QWidget* c : w.SSTab1->page(tab)->findChildren<QWidget*>())
                if (c->isVisible() && c->isEnabled() && (c->focusPolicy() & Qt::TabFocus) &&
                    !c->focusProxy())
                    reachable << c;
            const QList<QWidget*> forward = chainFrom(start, false);
            QList<QWidget*> backward = chainFrom(start, true);
            std::reverse(backward.begin(), backward.end());
            QCOMPARE(forward, backward);
            QCOMPARE(QSet<QWidget*>(forward.begin(), forward.end()).size(), forward.size());
            for (QWidget* c : reachable)
                QVERIFY2(forward.contains(c), qPrintable(nameOf(c)));
            QCOMPARE(forward.size(), reachable.size());
            // Into the page at its top left.
            const auto topLeft = [&](QWidget* c) {
                const QPoint p = c->mapTo(&w, QPoint());
                return std::pair(p.y(), p.x());
            };
            for (QWidget* c : reachable)
                QVERIFY2(topLeft(forward.first()) <= topLeft(c), qPrintable(nameOf(c)));
        }
    }

    void arrowKeysMoveBetweenTabs()
    {
        Shown s(0);
        TabStrip& tabs = *s.w->SSTab1;
        QSignalSpy clicks(&tabs, &TabStrip::Click);
        struct Step {
            Qt::Key key;
            int tab;
        };
        // Right and Left along a row, Down and Up between the rows; the ends
        // stay where they are.
        const Step steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Down, 7},   {Qt::Key_Down, 7},
                              {Qt::Key_Left, 6},  {Qt::Key_Up, 0},     {Qt::Key_Left, 0},
                              {Qt::Key_Down, 6},  {Qt::Key_Right, 7},  {Qt::Key_Right, 8},
                              {Qt::Key_Right, 9}, {Qt::Key_Right, 10}, {Qt::Key_Right, 11},
                              {Qt::Key_Right, 11}};
        for (const Step& step : steps) {
            const int before = tabs.currentIndex();
            const qsizetype clicksBefore = clicks.size();
            QTest::keyClick(QApplication::focusWidget(), step.key);
            QCOMPARE(tabs.currentIndex(), step.tab);
            QCOMPARE(QApplication::focusWidget(), tabs.tabButton(step.tab));
            QVERIFY(tabs.page(step.tab)->isVisible());
            // A move reports the tab before it, as a click does; a stop at an end does not.
            if (step.tab != before)
                QCOMPARE(clicks.takeLast().at(0).toInt(), before);
            else
                QCOMPARE(clicks.size(), clicksBefore);
        }
    }

    // Also from the controls that take Tab themselves: the log and the list.
    void ctrlTabChangesTabFromAnyControl()
    {
        Shown s(2);
        frmMain& w = *s.w;
        for (QWidget* target : QList<QWidget*>{w.txtChatBox[1], w.UserList[1], w.txttalk[1]}) {
            target->setFocus();
            QTRY_VERIFY(target->hasFocus());
            QTest::keyClick(target, Qt::Key_Tab, Qt::ControlModifier);
            QCOMPARE(w.SSTab1->currentIndex(), 3);
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                            Qt::ControlModifier | Qt::ShiftModifier);
            QCOMPARE(w.SSTab1->currentIndex(), 2);
        }
    }

    void altLetterPressesTheButtonOnTheVisibleTabOnly_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<Qt::Key>("letter");
        QTest::addColumn<int>("button"); // 1 to 4: Command1 .. Command4; 0: none
        const struct {
            Qt::Key key;
            int button;
            const char* name;
        } letters[] = {
            {Qt::Key_S, 1, "S"}, {Qt::Key_W, 2, "W"}, {Qt::Key_B, 3, "B"}, {Qt::Key_K, 4, "K"}};
        for (const auto& l : letters)
            QTest::addRow("bot 10, Alt+%s", l.name) << 10 << l.key << l.button;
        QTest::addRow("settings, Alt+K") << 0 << Qt::Key_K << 0;
    }
    void altLetterPressesTheButtonOnTheVisibleTabOnly()
    {
        QFETCH(int, tab);
        QFETCH(Qt::Key, letter);
        QFETCH(int, button);
        Shown s(tab);
        frmMain& w = *s.w;
        QList<QPushButton*> buttons;
        for (const auto* array : {&w.Command1, &w.Command2, &w.Command3, &w.Command4})
            buttons.append(QList<QPushButton*>(array->begin(), array->end()));
        QPushButton* expected = button ? buttons.at((button - 1) * BotCount + tab - 1) : nullptr;
        QSignalSpy clicked(expected ? expected : w.Command5, &QPushButton::clicked);
        // The operator presses it while typing in the input line.
        QWidget* from = tab == 0 ? static_cast<QWidget*>(w.txtTalkAll) : w.txttalk[tab - 1];
        from->setFocus();
        QTRY_VERIFY(from->hasFocus());

        // A shortcut holds its button down at once and clicks it a moment later.
        QTest::keyClick(from, letter, Qt::AltModifier);
        for (QPushButton* b : buttons)
            QVERIFY2(b->isDown() == (b == expected), qPrintable(b->objectName() + b->text()));
        if (expected)
            QTRY_COMPARE(clicked.size(), 1);
    }
};

QTEST_MAIN(TestKeyboard)
#include "test_keyboard.moc"
