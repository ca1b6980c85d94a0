// Connecting, logging in, disconnecting and the status board, against a
// scripted gateway on this test's own loopback address.
#include <QtTest>

#include "bots/connection.h"
#include "bots/parser.h"
#include "bots/statusboard.h"
#include "support/testapp.h"

namespace {
const QByteArray kLoginStart("\x03\x04\r\n\r\n");
}

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void loginAllLogsInConnectedBotsAndKeepsWhatArrives()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0, 5});
        QVERIFY(c.connectBots({0, 5}));
        for (int i = 0; i < BotCount; ++i) {
            c.w->txtChatBox[i]->append({u"old"}, QColor());
            c.w->UserList[i]->addItem("old");
            c.w->txtChannel[i]->setText("old");
        }
        // Already on its way when the button is pressed: shown during the
        // login's yield and kept afterwards.
        c.gateway.send(c.connectionOf(0), "1018 INFO \"hello\"\r\n");
        c.w->btnLoginAll->click();

        for (int bot : {0, 5}) {
            const int n = c.connectionOf(bot);
            const QByteArray expected =
                kLoginStart + QString("bot%1\r\npw%1\r\n").arg(bot + 1).toLatin1();
            QVERIFY(c.gateway.waitForReceived(n, expected.size()));
            QCOMPARE(c.gateway.received(n), expected);
        }
        for (int i = 1; i < BotCount; ++i) {
            QCOMPARE(c.w->txtChatBox[i]->toPlainText(), QString());
            QCOMPARE(c.w->UserList[i]->count(), 0);
            QCOMPARE(c.w->txtChannel[i]->text(), QString());
        }
        QTRY_COMPARE(LogLines(*c.w->txtChatBox[0]), QStringList{"hello"});
        // No home-channel line: a line sent now is the next the gateway sees.
        QVERIFY(c.feed(0, "2010 NAME bot1\r\n"));
        c.gateway.clearReceived(c.connectionOf(0));
        c.w->txttalk[0]->setText("next");
        c.w->Command1[0]->click();
        QVERIFY(c.gateway.waitForText(c.connectionOf(0), "next\r\n"));
        QCOMPARE(c.gateway.received(c.connectionOf(0)), QByteArray("next\r\n"));
    }

    // After a login the server takes every line as chat: a second login would
    // say the account's password in the channel.
    void theLoginGoesOutOncePerConnection()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0, 1});
        QVERIFY(c.connectBots({0, 1}));
        const int n = c.connectionOf(0);
        c.w->txtUsername[0]->setText("typed"); // not saved: the stored name is used
        QTRY_VERIFY(c.w->btnLogin[0]->isEnabled());
        // In the pause: a second click, then the server's name; the home
        // channel still waits for the pause's end.
        QByteArray beforeTheEnd;
        QTimer::singleShot(100, c.w.get(), [&] { c.w->btnLogin[0]->click(); });
        QTimer::singleShot(300, c.w.get(), [&] { c.gateway.send(n, "2010 NAME bot1\r\n"); });
        QTimer::singleShot(700, c.w.get(), [&] { beforeTheEnd = c.gateway.received(n); });
        c.w->btnLogin[0]->click();
        QCOMPARE(beforeTheEnd, kLoginStart + "bot1\r\npw1\r\n");
        c.w->btnLoginAll->click(); // logs in bot 2 only
        c.w->btnLogin[0]->click();
        c.w->txttalk[0]->setText("next");
        c.w->Command1[0]->click();
        QVERIFY(c.gateway.waitForText(n, "next\r\n"));
        QCOMPARE(c.gateway.received(n), kLoginStart + "bot1\r\npw1\r\nOp Den\r\nnext\r\n");
        QVERIFY(c.gateway.waitForText(c.connectionOf(1), "bot2\r\npw2\r\n"));
        QCOMPARE(
            ColouredLines(*c.w->txtChatBox[0]),
            (QStringList{"Gray: A login is already on its way: waiting for the server's answer.",
                         "Yellow: The name given to you by the server is: bot1",
                         "Gray: Already logged in as bot1.", "Gray: Already logged in as bot1.",
                         "White: <typed> next"}));

        // A new connection has not logged in.
        c.w->btnClose[0]->click();
        QVERIFY(c.connectBots({0, 1}));
        QTRY_VERIFY(c.w->btnLogin[0]->isEnabled());
        c.w->btnLoginAll->click();
        QVERIFY(c.gateway.waitForText(c.connectionOf(0), "bot1\r\npw1\r\n"));
    }

    // As a server that does not echo: its prompts come without line ends.
    // Until the server names the bot, anything sent would be read as the next
    // account name or password.
    void aRefusedLoginIsShownAndTriedAgain()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        const int n = c.connectionOf(0);
        const QByteArray login = kLoginStart + "bot1\r\npw1\r\n";
        // Refused at once, within the login's pause: no home channel follows.
        const auto refuse =
            connect(&c.gateway, &ScriptedGateway::bytesArrived, this, [&](int from) {
                if (from == n && c.gateway.received(n) == login)
                    c.gateway.send(n, "Username: Password: Login failed.\r\n\r\nUsername: ");
            });
        QTRY_VERIFY(c.w->btnLogin[0]->isEnabled());
        c.w->btnLogin[0]->click();
        disconnect(refuse);
        // At the prompt: neither the keep-alive nor a kick notice is answered.
        QVERIFY(c.feed(0, "2000 NULL\r\n1018 INFO \"bot1 has been kicked by Op.\"\r\n"));
        QCOMPARE(c.gateway.received(n), login);
        c.gateway.clearReceived(n);

        // Tried again, this server names the bot only 1.5 s after the
        // password: the home channel waits for the name.
        QElapsedTimer sincePassword;
        connect(&c.gateway, &ScriptedGateway::bytesArrived, this, [&](int from) {
            if (from == n && c.gateway.received(n) == login) {
                sincePassword.start();
                QTimer::singleShot(1500, &c.gateway,
                                   [&] { c.gateway.send(n, "Password: 2010 NAME bot1\r\n"); });
            }
        });
        // After the pause, still waiting for the name.
        QTimer::singleShot(1200, c.w.get(), [&] { c.w->btnLogin[0]->click(); });
        c.w->btnLogin[0]->click();
        QVERIFY(c.gateway.waitForText(n, "Op Den\r\n"));
        QVERIFY2(sincePassword.elapsed() >= 1500,
                 qPrintable(QString::number(sincePassword.elapsed())));
        QCOMPARE(c.gateway.received(n), login + "Op Den\r\n");
        QCOMPARE(ColouredLines(*c.w->txtChatBox[0]),
                 (QStringList{"Red: Login failed.", "Yellow: bot1 has been kicked by Op.",
                              "Gray: A login is already on its way: waiting for the server's "
                              "answer.",
                              "Yellow: The name given to you by the server is: bot1"}));
        QCOMPARE(c.w->lblBotName[0]->text(), QString("1: bot1"));
    }

    // Connect All right after the server closed, while the bot's handling is
    // busy (as in a yield): the lines the server sent before closing are
    // handled as the old connection's, and the new connection starts afresh.
    void connectingAgainKeepsTheLastLines()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({2});
        QVERIFY(c.connectBots({2}));
        c.w->WinsockState->stop();
        LoginOne(*c.w, 2); // unanswered: the home channel waits for the name
        {
            const QSignalBlocker unread(c.w->Winsock[2]);
            c.gateway.send(c.connectionOf(2), "2010 NAME Guard\r\n1018 INFO \"bye\"\r\n");
            c.gateway.close(c.connectionOf(2));
            QTRY_COMPARE(c.w->Winsock[2]->State(), int(BotSocket::Closing));
        }
        c.w->bot[2].parsing = true;
        QVERIFY(c.connectBots({2}));
        c.w->bot[2].parsing = false;
        Winsock_DataArrival(*c.w, 2);
        QTRY_VERIFY(!c.w->bot[2].parsing);
        WinsockState_Timer(*c.w);
        QCOMPARE(LogLines(*c.w->txtChatBox[2]),
                 (QStringList{"The name given to you by the server is: Guard", "bye"}));
        QCOMPARE(c.w->lblBotName[2]->text(), QString("3:"));
        c.w->btnLoginAll->click();
        const int n = c.connectionOf(2);
        QVERIFY(c.gateway.waitForText(n, "bot3\r\npw3\r\n"));
        QCOMPARE(c.gateway.received(n), kLoginStart + "bot3\r\npw3\r\n");
    }

    void connectAllSkipsAnEmptyServerAndKeepsLiveConnections()
    {
        GatewayConsole c(TEST_LOOPBACK);
        QList<int> bots{0, 1, 2, 3, 5, 6, 7, 8, 9};
        c.setUp(bots);
        QVERIFY(!c.w->btnLoginAll->isEnabled()); // until Connect All
        QVERIFY(c.connectBots(bots));
        QCOMPARE(c.w->Winsock[4]->State(), int(BotSocket::Closed));
        QVERIFY(c.w->btnLoginAll->isEnabled());
        QTRY_COMPARE(c.w->lblBotConnected[4]->text(), QString("No"));
        QTRY_COMPARE(c.w->lblBotConnected[0]->text(), QString("Yes"));

        // A second Connect All keeps the nine connections: a new connect would
        // have left the socket connecting from another local port.
        QMap<int, quint16> ports;
        for (int bot : bots)
            ports[bot] = c.w->Winsock[bot]->LocalPort();
        c.w->btnConnect->click();
        for (int bot : bots) {
            QCOMPARE(c.w->Winsock[bot]->State(), int(BotSocket::Connected));
            QCOMPARE(c.w->Winsock[bot]->LocalPort(), ports[bot]);
            QVERIFY(c.gateway.isOpen(c.connectionOf(bot)));
        }

        // Disconnecting one bot disables Login All though others stay connected.
        c.w->btnClose[3]->click();
        QVERIFY(!c.w->btnLoginAll->isEnabled());
        QCOMPARE(c.w->Winsock[3]->State(), int(BotSocket::Closed));
        QVERIFY(c.gateway.waitForClosed(c.connectionOf(3)));
        QCOMPARE(c.w->Winsock[7]->State(), int(BotSocket::Connected));
        c.w->btnDisconnectAll->click();
        for (int bot : bots)
            QCOMPARE(c.w->Winsock[bot]->State(), int(BotSocket::Closed));
    }

    void statusBoardFollowsEachSocket()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({2});
        frmMain& w = *c.w;
        w.WinsockState->stop(); // ticks are driven by hand here

        // As built, then the first tick: every row closed.
        QCOMPARE(w.lblBotName[0]->text(), QString("1: "));
        QVERIFY(w.btnLogin[0]->isEnabled());
        WinsockState_Timer(w);
        for (int i = 0; i < BotCount; ++i) {
            QCOMPARE(w.lblBotConnected[i]->text(), QString("No"));
            QCOMPARE(w.lblBotName[i]->text(), QString("%1:").arg(i + 1));
            QCOMPARE(w.lblCurrentChannel[i]->text(), QString());
            QVERIFY(!w.btnLogin[i]->isEnabled());
            QVERIFY(!w.btnClose[i]->isEnabled());
        }

        // Resolving a host name (4): the row shows "No", the buttons keep what they had.
        w.btnLogin[2]->setEnabled(true);
        w.Winsock[2]->Connect("localhost", 6112);
        WinsockState_Timer(w);
        QCOMPARE(w.lblBotConnected[2]->text(), QString("No"));
        QVERIFY(w.btnLogin[2]->isEnabled());
        w.Winsock[2]->Close();
        w.Winsock[2]->Connect(c.gateway.address(), 6112);
        QTRY_COMPARE(w.Winsock[2]->State(), int(BotSocket::Connected));

        // Connected (7): "Yes", the name and channel written by others stay.
        w.lblBotName[2]->setText("3: Guard");
        w.lblCurrentChannel[2]->setText("Op Den");
        WinsockState_Timer(w);
        QCOMPARE(w.lblBotConnected[2]->text(), QString("Yes"));
        QCOMPARE(w.lblBotName[2]->text(), QString("3: Guard"));
        QCOMPARE(w.lblCurrentChannel[2]->text(), QString("Op Den"));
        QVERIFY(w.btnLogin[2]->isEnabled() && w.btnClose[2]->isEnabled());
        QCOMPARE(w.lblBotConnected[1]->text(), QString("No"));

        // The server closes (8) after its last lines, still unread (as when
        // they arrive while the bot's handling yields): within one tick they
        // are handled, then the socket is closed and the row reset.
        QVERIFY(c.gateway.waitForConnections(1));
        {
            const QSignalBlocker unread(w.Winsock[2]);
            c.gateway.send(0, "2010 NAME Guard\r\n1007 CHANNEL \"Op Den\"\r\n"
                              "1018 INFO \"last words\"\r\n");
            c.gateway.close(0);
            QTRY_COMPARE(w.Winsock[2]->State(), int(BotSocket::Closing));
        }
        WinsockState_Timer(w);
        QTRY_VERIFY(!w.bot[2].parsing); // a slow machine handles them in slices
        QCOMPARE(w.Winsock[2]->State(), int(BotSocket::Closed));
        QCOMPARE(w.lblBotConnected[2]->text(), QString("No"));
        QCOMPARE(w.lblBotName[2]->text(), QString("3:"));
        QCOMPARE(w.lblCurrentChannel[2]->text(), QString());
        QVERIFY(!w.btnLogin[2]->isEnabled() && !w.btnClose[2]->isEnabled());
        QCOMPARE(LogLines(*w.txtChatBox[2]),
                 (QStringList{"The name given to you by the server is: Guard",
                              "You have joined channel: Op Den", "last words"}));

        // Refused (9): "Error", and the row is cleared on every tick.
        c.gateway.stopListening();
        w.Winsock[2]->Connect(c.gateway.address(), 6112);
        QTRY_COMPARE(w.Winsock[2]->State(), int(BotSocket::Error));
        w.lblBotName[2]->setText("3: late");
        w.lblCurrentChannel[2]->setText("late");
        WinsockState_Timer(w);
        QCOMPARE(w.lblBotConnected[2]->text(), QString("Error"));
        QCOMPARE(w.lblBotName[2]->text() + w.lblCurrentChannel[2]->text(), QString("3:"));
    }

    void closingTheWindowDuringALoginPause()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        c.w->show();
        QVERIFY(QTest::qWaitForWindowExposed(c.w.get()));
        QVERIFY(c.connectBots({0}));
        c.w->txtHomeChannel->setText("Changed");
        QTimer::singleShot(200, c.w.get(), [&] { c.w->close(); });
        QTRY_VERIFY(c.w->btnLogin[0]->isEnabled());
        c.w->btnLogin[0]->click();

        QVERIFY(c.w->unloaded());
        QCOMPARE(c.w->Winsock[0]->State(), int(BotSocket::Closed));
        QVERIFY(c.gateway.waitForClosed(c.connectionOf(0)));
        QVERIFY(!c.gateway.received(c.connectionOf(0)).contains("Changed"));
        QFile file(c.settings.path());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY(file.readAll().contains("Home Channel=Changed"));
        // Nothing more happens once unloaded.
        c.w->btnConnect->click();
        QCOMPARE(c.w->Winsock[0]->State(), int(BotSocket::Closed));
    }
};

QTEST_MAIN(TestConnection)
#include "test_connection.moc"
