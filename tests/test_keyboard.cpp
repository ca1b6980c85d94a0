// The console by keyboard alone: Tab reaches every control of a tab in the
// order of the layout, the arrows and Ctrl+Tab change tabs, and Alt with a
// button's underlined letter presses that button on the visible tab only.
#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <memory>

#include "app/frmmain.h"
#include "app/tabstrip.h"
#include "chat/logview.h"
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

QList<QWidget*> expectedChain(frmMain& w, int tab)
{
    QList<QWidget*> chain{w.SSTab1->tabButton(tab)};
    if (tab == 0) {
        chain << w.txtTalkAll << w.Command5 << w.txtAntiIdle << w.txtHomeChannel
              << w.txtHomeChannel2 << w.btnConnect << w.btnLoginAll << w.btnDisconnectAll;
        for (int i = 0; i < BotCount; ++i)
            chain << w.btnLogin[i] << w.btnClose[i];
    } else if (tab <= BotCount) {
        const int i = tab - 1;
        chain << w.txtChatBox[i] << w.txtUsername[i] << w.txtPassword[i] << w.txtServer[i]
              << w.txtChannel[i] << w.UserList[i] << w.txttalk[i] << w.Command1[i] << w.Command2[i]
              << w.Command3[i] << w.Command4[i];
    }
    return chain;
}

QString nameOf(QWidget* widget)
{
    return widget ? widget->accessibleName() + " (" + widget->metaObject()->className() + ")"
                  : QString("nothing");
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

    void tabReachesEveryControlInLayoutOrder_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<bool>("backwards");
        for (int tab : {0, 1, 10, 11}) {
            QTest::addRow("tab %d, Tab", tab) << tab << false;
            QTest::addRow("tab %d, Shift+Tab", tab) << tab << true;
        }
    }
    void tabReachesEveryControlInLayoutOrder()
    {
        QFETCH(int, tab);
        QFETCH(bool, backwards);
        Shown s(tab);
        frmMain& w = *s.w;
        // Login All is disabled until a connect; enabled, it has its place too.
        w.btnLoginAll->setEnabled(true);
        QCOMPARE(QApplication::focusWidget(), w.SSTab1->tabButton(tab));

        QList<QWidget*> chain = expectedChain(w, tab);
        if (backwards)
            std::reverse(chain.begin() + 1, chain.end());
        // Round the chain and back to the tab: the other tabs are no stops.
        chain << w.SSTab1->tabButton(tab);
        for (int k = 1; k < chain.size(); ++k) {
            QTest::keyClick(QApplication::focusWidget(), backwards ? Qt::Key_Backtab : Qt::Key_Tab,
                            backwards ? Qt::ShiftModifier : Qt::NoModifier);
            QVERIFY2(QApplication::focusWidget() == chain[k],
                     qPrintable(QString("stop %1: %2, expected %3")
                                    .arg(k)
                                    .arg(nameOf(QApplication::focusWidget()), nameOf(chain[k]))));
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
        const Step steps[] = {{Qt::Key_Right, 1}, {Qt::Key_Down, 7}, {Qt::Key_Down, 7},
                              {Qt::Key_Left, 6},  {Qt::Key_Up, 0},   {Qt::Key_Left, 0},
                              {Qt::Key_Down, 6},  {Qt::Key_Right, 7}};
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

    void ctrlTabChangesTabFromAnyControl_data()
    {
        QTest::addColumn<int>("tab");
        QTest::addColumn<QString>("control");
        QTest::newRow("settings, send to all") << 0 << "txtTalkAll";
        QTest::newRow("bot 2, message") << 2 << "txttalk";
        QTest::newRow("bot 2, chat log") << 2 << "txtChatBox";
        QTest::newRow("bot 2, users") << 2 << "UserList";
        QTest::newRow("bot 10, password") << 10 << "txtPassword";
    }
    void ctrlTabChangesTabFromAnyControl()
    {
        QFETCH(int, tab);
        QFETCH(QString, control);
        Shown s(tab);
        frmMain& w = *s.w;
        const int i = tab - 1;
        const QMap<QString, QWidget*> controls{
            {"txtTalkAll", w.txtTalkAll},
            {"txttalk", i >= 0 ? w.txttalk[i] : nullptr},
            {"txtChatBox", i >= 0 ? w.txtChatBox[i] : nullptr},
            {"UserList", i >= 0 ? w.UserList[i] : nullptr},
            {"txtPassword", i >= 0 ? w.txtPassword[i] : nullptr},
        };
        QWidget* target = controls.value(control);
        QVERIFY(target);
        target->setFocus();
        QTRY_VERIFY(target->hasFocus());

        QTest::keyClick(target, Qt::Key_Tab, Qt::ControlModifier);
        QCOMPARE(w.SSTab1->currentIndex(), (tab + 1) % 12);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab,
                        Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(w.SSTab1->currentIndex(), tab);
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
        for (const auto& l : letters) {
            QTest::addRow("bot 3, Alt+%s", l.name) << 3 << l.key << l.button;
            QTest::addRow("bot 10, Alt+%s", l.name) << 10 << l.key << l.button;
            QTest::addRow("settings, Alt+%s", l.name) << 0 << l.key << 0;
        }
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
