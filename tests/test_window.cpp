// The window as built: controls, captions, states, geometry, the tab strip.
#include <QtTest>

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTimer>

#include "app/frmmain.h"
#include "app/tabstrip.h"
#include "chat/logview.h"
#include "support/testapp.h"

class TestWindow : public QObject {
    Q_OBJECT
private slots:
    void asBuilt()
    {
        TempSettings s;
        frmMain w(s.path());
        QCOMPARE(w.centralWidget()->size(), QSize(710, 484));
        QCOMPARE(w.SSTab1->count(), 12);
        QCOMPARE(w.SSTab1->size(), QSize(697, 481));
        QCOMPARE(w.SSTab1->tabCaption(0), QString("Settings"));
        QCOMPARE(w.SSTab1->tabCaption(11), QString("About"));
        QCOMPARE(w.SSTab1->currentIndex(), 0);
        QCOMPARE(w.WinsockState->interval(), 100);
        QVERIFY(!w.btnLoginAll->isEnabled());
        QCOMPARE(w.btnConnect->text(), QString("Connect All Bots"));
        QCOMPARE(w.Command5->text(), QString("Send"));
        QCOMPARE(w.picTexture.size(), size_t(13));
        for (int i = 0; i < BotCount; ++i) {
            const QString n = QString::number(i + 1);
            QCOMPARE(w.SSTab1->tabCaption(i + 1), "Bot " + n);
            QCOMPARE(w.lblBotName[i]->text(), i == 0 ? QString("1: ") : n + ":");
            QCOMPARE(w.lblBotConnected[i]->text(), QString());
            QCOMPARE(w.lblCurrentChannel[i]->text(), QString());
            QCOMPARE(w.btnLogin[i]->text(), "Login Bot " + n);
            QCOMPARE(w.btnClose[i]->text(), "Disconnect Bot " + n);
            QVERIFY(w.btnLogin[i]->isEnabled() && w.btnClose[i]->isEnabled());
            QCOMPARE(w.Command1[i]->text(), QString("&Send"));
            QCOMPARE(w.Command2[i]->text(), QString("&Whisper"));
            QCOMPARE(w.Command3[i]->text(), QString("&Ban"));
            QCOMPARE(w.Command4[i]->text(), QString("&Kick"));
            QCOMPARE(w.Frame1[i]->title(), QString("Bot Settings"));
            QCOMPARE(w.Label1[i]->text(), QString("Username:"));
            QCOMPARE(w.Label3[i]->text(), QString("Server:"));
            QCOMPARE(w.txtPassword[i]->echoMode(), QLineEdit::Password);
            QVERIFY(w.txtChatBox[i]->toPlainText().isEmpty());
            QCOMPARE(w.UserList[i]->count(), 0);
            // Each bot's controls live on its own tab.
            QCOMPARE(w.txtChatBox[i]->parentWidget(), w.SSTab1->page(i + 1));
            QCOMPARE(w.btnLogin[i]->window(), &w);
        }
    }

    void geometryFromTheLayout()
    {
        TempSettings s;
        frmMain w(s.path());
        // Twips at 15 per pixel, from the tab control's (or the frame's) corner.
        QCOMPARE(w.txtChatBox[4]->geometry(), QRect(8, 48, 481, 385));
        QCOMPARE(w.UserList[4]->geometry(), QRect(496, 176, 185, 257));
        QCOMPARE(w.txtChannel[4]->geometry(), QRect(496, 160, 185, 19));
        QCOMPARE(w.txttalk[4]->geometry(), QRect(8, 440, 305, 19));
        QCOMPARE(w.Command4[4]->geometry(), QRect(592, 440, 81, 25));
        QCOMPARE(w.Frame1[4]->geometry(), QRect(496, 48, 185, 105));
        QCOMPARE(w.txtServer[4]->geometry(), QRect(72, 72, 97, 19));
        QCOMPARE(w.btnLogin[9]->geometry(), QRect(32, 88 + 32 * 9, 121, 25));
        QCOMPARE(w.btnClose[0]->geometry(), QRect(168, 88, 121, 25));
        QCOMPARE(w.btnConnect->geometry(), QRect(88, 24, 145, 25));
        QCOMPARE(w.txtTalkAll->geometry(), QRect(8, 16, 241, 19));
        QCOMPARE(w.lblBotConnected[9]->geometry().topLeft(), QPoint(8, 16 + 16 * 9));
        QCOMPARE(w.txtHomeChannel->parentWidget()->geometry(), QRect(16, 152, 337, 49));
    }

    void accessibleNames()
    {
        TempSettings s;
        frmMain w(s.path());
        QCOMPARE(w.txtUsername[0]->accessibleName(), QString("Username"));
        QCOMPARE(w.txtPassword[0]->accessibleName(), QString("Password"));
        QCOMPARE(w.txtServer[0]->accessibleName(), QString("Server"));
        QCOMPARE(w.txtHomeChannel->accessibleName(), QString("Home Channel"));
        QCOMPARE(w.txtHomeChannel2->accessibleName(), QString("2nd Home Channel"));
        QCOMPARE(w.txtAntiIdle->accessibleName(), QString("Anti Idle Message"));
        QCOMPARE(w.txtTalkAll->accessibleName(), QString("Send Text To All Bots"));
        QCOMPARE(w.txtChatBox[0]->accessibleName(), QString("Chat log"));
        QCOMPARE(w.UserList[0]->accessibleName(), QString("Users"));
        QCOMPARE(w.txtChannel[0]->accessibleName(), QString("Channel"));
        QCOMPARE(w.txttalk[0]->accessibleName(), QString("Message"));
        QCOMPARE(w.Command2[0]->accessibleName(), QString("Whisper"));
        QCOMPARE(w.btnLoginAll->accessibleName(), QString("Login All Bots"));
        QCOMPARE(w.SSTab1->tabButton(3)->accessibleName(), QString("Bot 3"));
        // Every widget a user can reach has a name.
        for (QWidget* child : w.findChildren<QWidget*>()) {
            if (child->focusPolicy() != Qt::NoFocus && child->isWindow() == false &&
                !child->inherits("QMenu") && !child->inherits("QScrollBar") &&
                child->parentWidget() && !child->parentWidget()->inherits("QAbstractScrollArea"))
                QVERIFY2(!child->accessibleName().isEmpty(), child->metaObject()->className());
        }
    }

    void tabStripReportsThePreviousTabAndStaysInPlace()
    {
        TempSettings s;
        frmMain w(s.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        // Two rows of six.
        QCOMPARE(w.SSTab1->tabButton(0)->y(), w.SSTab1->tabButton(5)->y());
        QVERIFY(w.SSTab1->tabButton(6)->y() > w.SSTab1->tabButton(0)->y());
        QCOMPARE(w.SSTab1->tabButton(6)->x(), w.SSTab1->tabButton(0)->x());

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
        QTest::mouseClick(w.SSTab1->tabButton(11), Qt::LeftButton);
        QCOMPARE(clicks.takeFirst().at(0).toInt(), 10);

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
        QVERIFY(!w.mnuOptions->menuAction()->isVisible());
        QVERIFY(w.mnuFile->menuAction()->isVisible());
        QCOMPARE(w.mnuFile->actions(), QList<QAction*>{w.mnuClose});
        w.mnuClose->trigger();
        QVERIFY(!w.isVisible());
        QVERIFY(w.unloaded());
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
