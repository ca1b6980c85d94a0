// What the network can do to a bot: refuse it, fail to resolve its server,
// accept and stay silent, close or reset the connection at a bad moment. The
// console must not crash, the board must say what happened, and the operator
// must be able to connect again.
#include <QtTest>

#include <QSignalSpy>


#include "settings/opensave.h"
#include "support/netfaults.h"
#include "support/testapp.h"

namespace {

const QByteArray kLoginStart("\x03\x04\r\n\r\n");

QByteArray loginOf(int bot)
{
    return kLoginStart + QString("bot%1\r\npw%1\r\n").arg(bot + 1).toLatin1();
}

// Whether the board's row of a bot that is not connected reads as it should
// (waiting a few ticks for it).
bool rowClosed(frmMain& w, int bot, const QString& connected)
{
    const auto right = [&] {
        return w.lblBotConnected[bot]->text() == connected &&
               w.lblBotName[bot]->text() == QString::number(bot + 1) + ":" &&
               w.lblCurrentChannel[bot]->text().isEmpty() && !w.btnLogin[bot]->isEnabled() &&
               !w.btnClose[bot]->isEnabled();
    };
    if (QTest::qWaitFor(right, 2000))
        return true;
    qWarning("row %d reads \"%s\" \"%s\" \"%s\", buttons %d %d", bot + 1,
             qPrintable(w.lblBotConnected[bot]->text()), qPrintable(w.lblBotName[bot]->text()),
             qPrintable(w.lblCurrentChannel[bot]->text()), w.btnLogin[bot]->isEnabled(),
             w.btnClose[bot]->isEnabled());
    return false;
}

// Presses Connect All; whether the bot's row then shows it connected.
bool connectAgain(frmMain& w, int bot)
{
    w.btnConnect->click();
    return QTest::qWaitFor(
        [&] {
            return w.Winsock[bot]->State() == BotSocket::Connected &&
                   w.lblBotConnected[bot]->text() == "Yes" && w.btnLogin[bot]->isEnabled() &&
                   w.btnClose[bot]->isEnabled();
        },
        5000);
}

} // namespace

class TestNetworkFaults : public QObject {
    Q_OBJECT
private slots:
    void aFailedConnectShowsErrorUntilTheOperatorConnectsAgain_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("refused") << TEST_LOOPBACK;
        // Not a valid host name: the lookup fails here, without asking any
        // name server (nothing beyond loopback is ever contacted).
        QTest::newRow("no such host") << "nowhere..invalid";
    }
    void aFailedConnectShowsErrorUntilTheOperatorConnectsAgain()
    {
        QFETCH(QString, server);
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({});
        c.gateway.stopListening();
        QVERIFY(StoreSetting(c.settings.path(), "Bot 4", "Server", server));
        frmMain& w = *c.w;

        w.btnConnect->click();
        QTRY_COMPARE_WITH_TIMEOUT(w.Winsock[3]->State(), int(BotSocket::Error), 15000);
        // It stays in error, tick after tick, until the operator acts.
        QSignalSpy ticks(w.WinsockState, &QTimer::timeout);
        QTRY_COMPARE(ticks.size(), 3);
        QVERIFY(rowClosed(w, 3, "Error"));
        QCOMPARE(w.Winsock[3]->State(), int(BotSocket::Error));
        QVERIFY(rowClosed(w, 2, "No"));

        ScriptedGateway gateway(TEST_LOOPBACK);
        QVERIFY(gateway.listening());
        QVERIFY(StoreSetting(c.settings.path(), "Bot 4", "Server", TEST_LOOPBACK));
        QVERIFY(connectAgain(w, 3));
        QVERIFY(gateway.waitForConnections(1));
        // Named during the login's pause, so the home channel ends it.
        QTimer::singleShot(300, &gateway, [&] { gateway.send(0, "2010 NAME bot4\r\n"); });
        w.btnLogin[3]->click();
        QVERIFY(gateway.waitForText(0, "Op Den\r\n"));
        QCOMPARE(gateway.received(0), loginOf(3) + "Op Den\r\n");
    }

    void aNewConnectionStartsClean_data()
    {
        QTest::addColumn<QByteArray>("tail");
        QTest::addColumn<bool>("operatorCloses");
        QTest::newRow("server closes after half a line") << QByteArray("1018 INFO \"half") << false;
        QTest::newRow("server closes between CR and LF")
            << QByteArray("1018 INFO \"whole\"\r") << false;
        QTest::newRow("operator disconnects after half a line")
            << QByteArray("1018 INFO \"half") << true;
    }
    void aNewConnectionStartsClean()
    {
        // What the old connection left unfinished can never end: the first line
        // of the next connection must come out whole.
        QFETCH(QByteArray, tail);
        QFETCH(bool, operatorCloses);
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        frmMain& w = *c.w;
        QVERIFY(c.feed(0, "1018 INFO \"first\"\r\n" + tail));
        if (operatorCloses) {
            w.btnClose[0]->click();
        } else {
            c.gateway.close(0);
            QTRY_COMPARE(w.Winsock[0]->State(), int(BotSocket::Closed));
        }
        QVERIFY(rowClosed(w, 0, "No"));

        QVERIFY(connectAgain(w, 0));
        QVERIFY(c.gateway.waitForConnections(2));
        const QByteArray fresh = "1018 INFO \"fresh\"\r\n";
        const qint64 goal = w.Winsock[0]->BytesTaken() + fresh.size();
        c.gateway.send(1, fresh);
        QTRY_VERIFY(w.Winsock[0]->BytesTaken() >= goal && !w.bot[0].parsing);
        QVERIFY2(LogLines(*w.txtChatBox[0]) == (QStringList{"first", "fresh"}),
                 qPrintable("the log reads: " + LogLines(*w.txtChatBox[0]).join(" | ")));
    }
};

QTEST_MAIN(TestNetworkFaults)
#include "test_network_faults.moc"
