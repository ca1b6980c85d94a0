// Bot Setup: a bot whose connection drops connects again with growing,
// varied delays, logs in again and goes back to its channel; the operator's
// disconnect stops it. Delays run at a tenth of their length here.
#include <QtTest>

#include <QElapsedTimer>

#include "bots/reconnect.h"
#include "support/testapp.h"

namespace {

const QByteArray kLogin("\x03\x04\r\n\r\nbot1\r\npw1\r\n");

// Gray notes of a log, in order.
QStringList notes(const LogView& log)
{
    return ColouredLines(log).filter(QRegularExpression("^Gray: ")).replaceInStrings("Gray: ", "");
}

// A console whose bots are connected, with the [Options] given.
struct Console : GatewayConsole {
    Console(const QList<int>& bots, const QByteArray& options) : GatewayConsole(TEST_LOOPBACK)
    {
        setUp(bots);
        settings.write(ReadFile(settings.path()) + "[Options]\r\n" + options);
        if (!connectBots(bots))
            qFatal("the bots did not connect");
    }
    // Drops bot 0's connection (logged in, in Back Room if `loggedIn`) and
    // returns the gateway's next connection, or -1.
    int drop(bool loggedIn)
    {
        if (loggedIn && !feed(0, "2010 NAME bot1\r\n1007 CHANNEL \"Back Room\"\r\n"))
            return -1;
        const int dropped = connectionOf(0);
        gateway.close(dropped);
        const auto anew = [&] {
            const int n = gateway.connectionFrom(w->Winsock[0]->LocalPort());
            return n >= 0 && n != dropped;
        };
        return RunUntil(anew, 5000) && follow(0) ? connectionOf(0) : -1;
    }
};

} // namespace

class TestReconnect : public QObject {
    Q_OBJECT
private slots:
    void init() { SetReconnectTimeScale(0.1); }

    void delaysDoubleUpToFiveMinutesVariedByAFifth()
    {
        QCOMPARE(ReconnectDelayMs(1, 0.5), 5'000);
        QCOMPARE(ReconnectDelayMs(1, 0), 4'000);
        QCOMPARE(ReconnectDelayMs(1, 1), 6'000);
        QCOMPARE(ReconnectDelayMs(3, 0.5), 20'000);
        QCOMPARE(ReconnectDelayMs(6, 0.5), 160'000);
        QCOMPARE(ReconnectDelayMs(7, 0), 240'000);
        QCOMPARE(ReconnectDelayMs(7, 1), 300'000);
        QCOMPARE(ReconnectDelayMs(1'000'000, 0), 240'000);
    }

    void aLoggedInBotComesBackToItsChannel()
    {
        Console c({0}, "Reconnect=1\r\n");
        QElapsedTimer sinceDrop;
        sinceDrop.start();
        const int n = c.drop(true);
        QVERIFY(n > 0);
        QVERIFY2(sinceDrop.elapsed() >= 400, qPrintable(QString::number(sinceDrop.elapsed())));
        QVERIFY(c.gateway.waitForText(n, kLogin));
        c.gateway.send(n, "2010 NAME bot1\r\n");
        QVERIFY(c.gateway.waitForText(n, "/join Back Room\r\n"));
        QCOMPARE(c.gateway.received(n), kLogin + "/join Back Room\r\n");
        const QStringList before = notes(*c.w->txtChatBox[0]);
        QCOMPARE(before.size(), 3);
        QVERIFY(QRegularExpression("^Connection lost. Connecting again in [4-6] s.$")
                    .match(before[0])
                    .hasMatch());
        QCOMPARE(before.mid(1), (QStringList{"Connecting again (attempt 1).", "Connected again."}));

        // Logged in again, the next drop starts from the first delay.
        QVERIFY(c.drop(true) > 0);
        QCOMPARE(notes(*c.w->txtChatBox[0]).mid(3).filter("attempt"),
                 QStringList{"Connecting again (attempt 1)."});
    }

    // A refused attempt waits longer before the next; the operator's
    // disconnect ends the waiting, and nothing more comes.
    void refusedAttemptsWaitLongerUntilTheOperatorDisconnects()
    {
        Console c({0}, "Reconnect=1\r\n");
        QList<qint64> attempts;
        QElapsedTimer clock;
        clock.start();
        connect(c.w->txtChatBox[0], &LogView::appended, this, [&] {
            if (c.w->txtChatBox[0]->toPlainText().count("(attempt") > attempts.size())
                attempts << clock.elapsed();
        });
        c.gateway.stopListening();
        c.gateway.close(c.connectionOf(0));
        QTRY_COMPARE_WITH_TIMEOUT(attempts.size(), 2, 5000);
        QVERIFY2(attempts[1] - attempts[0] > attempts[0],
                 qPrintable(QString("%1 ms, then %2 ms").arg(attempts[0]).arg(attempts[1])));
        QVERIFY(!notes(*c.w->txtChatBox[0])
                     .filter(QRegularExpression("^Could not connect: .*. Connecting again in"))
                     .isEmpty());

        c.w->btnDisconnectAll->click();
        QTest::qWait(3000); // the longest next delay is 2.4 s
        QCOMPARE(attempts.size(), 2);
        QCOMPARE(notes(*c.w->txtChatBox[0]).last(),
                 QString("Not connecting again: the bot was disconnected."));
    }

    void aRefusedLoginIsNotTriedAgain()
    {
        Console c({0}, "Reconnect=1\r\nRelogin=1\r\n");
        const int n = c.drop(true);
        QVERIFY(n > 0);
        QVERIFY(c.gateway.waitForText(n, kLogin));
        QVERIFY(c.feed(0, "Login failed.\r\n\r\n2000 NULL\r\n1018 INFO \"bot1 was kicked\"\r\n"));
        QTest::qWait(100);
        QCOMPARE(c.gateway.received(n), kLogin);
        QCOMPARE(ColouredLines(*c.w->txtChatBox[0]).filter("Red: "), QStringList{"Red: Login failed."});
        // Dropped again, it connects but leaves the account alone.
        const int third = c.drop(false);
        QVERIFY(third > n);
        QTRY_COMPARE(notes(*c.w->txtChatBox[0]).count("Connected again."), 2);
        QTest::qWait(100);
        QCOMPARE(c.gateway.received(third), QByteArray());
    }

    void withoutReloginItOnlyConnects()
    {
        Console c({0}, "Reconnect=1\r\nRelogin=0\r\n");
        const int n = c.drop(true);
        QVERIFY(n > 0);
        QTRY_VERIFY(notes(*c.w->txtChatBox[0]).contains("Connected again."));
        QVERIFY(c.feed(0, "2000 NULL\r\n"));
        QTest::qWait(100);
        QCOMPARE(c.gateway.received(n), QByteArray());
    }

    // Without Reconnect=1 (here a value that is neither 1 nor 0) a drop stays a drop.
    void offUnlessTurnedOn()
    {
        Console c({0}, "Reconnect=yes\r\n");
        c.gateway.close(c.connectionOf(0));
        QTest::qWait(1000);
        QCOMPARE(c.gateway.count(), 1);
        QCOMPARE(notes(*c.w->txtChatBox[0]), QStringList());
    }

    void tenBotsDroppedTogetherComeBackApart()
    {
        SetReconnectTimeScale(0.5);
        QList<int> all{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        Console c(all, "Reconnect=1\r\n");
        QList<qint64> accepted;
        QElapsedTimer clock;
        clock.start();
        connect(&c.gateway, &ScriptedGateway::accepted, this, [&] { accepted << clock.elapsed(); });
        for (int bot : all)
            c.gateway.close(c.connectionOf(bot));
        QVERIFY(c.gateway.waitForConnections(20, 10000));
        std::sort(accepted.begin(), accepted.end());
        QVERIFY2(accepted.last() - accepted.first() > 100, qPrintable(QString::number(
                                                              accepted.last() - accepted.first())));
    }
};

QTEST_MAIN(TestReconnect)
#include "test_reconnect.moc"
