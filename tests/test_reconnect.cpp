// Bot Setup: a bot whose connection drops connects again with growing,
// varied delays, logs in again and goes back to its channel; a dead link is
// noticed by silence and TCP keep-alive; the operator's disconnect stops it.
// Delays run at a tenth of their length unless a test says otherwise.
#include <QtTest>

#include <QCheckBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QMenu>
#include <arpa/inet.h>
#include <netinet/tcp.h>
#include <unistd.h>

#include "bots/reconnect.h"
#include "support/testapp.h"

namespace {

const QByteArray kLogin("\x03\x04\r\n\r\nbot1\r\npw1\r\n");
const QString kStopped("Not connecting again: the bot was disconnected.");
const QString kGivenUp("Red: The server refused bot 1's login 5 times; not trying again.");

// Gray notes of a log, in order.
QStringList notes(const LogView& log)
{
    return ColouredLines(log).filter(QRegularExpression("^Gray: ")).replaceInStrings("Gray: ", "");
}

int socketOption(const BotSocket& socket, int level, int name)
{
    int value = -1;
    socklen_t size = sizeof value;
    getsockopt(int(socket.Descriptor()), level, name, &value, &size);
    return value;
}

// A console whose bots are connected, with the [Options] given.
struct Console : GatewayConsole {
    Console(const QList<int>& bots, const QByteArray& options, bool connect = true)
        : GatewayConsole(TEST_LOOPBACK)
    {
        setUp(bots);
        settings.write(ReadFile(settings.path()) + "[Options]\r\n" + options);
        if (connect && !connectBots(bots))
            qFatal("the bots did not connect");
    }
    const LogView& log(int bot = 0) const { return *w->txtChatBox[bot]; }
    // Bot 0's next connection after `old`, or -1.
    int next(int old, int timeoutMs = 5000)
    {
        const auto anew = [&] { return follow(0, 0) && connectionOf(0) != old; };
        return RunUntil(anew, timeoutMs) ? connectionOf(0) : -1;
    }
    // Drops bot 0's connection (logged in, in Back Room if `loggedIn`) and
    // returns the gateway's next connection, or -1.
    int drop(bool loggedIn)
    {
        if (loggedIn && !feed(0, "2010 NAME bot1\r\n1007 CHANNEL \"Back Room\"\r\n"))
            return -1;
        const int dropped = connectionOf(0);
        gateway.close(dropped);
        return next(dropped);
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
        QVERIFY(before[0].contains(
            QRegularExpression("^Connection lost. Connecting again in [4-6] s.$")));
        QCOMPARE(before.mid(1), (QStringList{"Connecting again (attempt 1).", "Connected again."}));

        // Logged in again, the next drop starts from the first delay.
        QVERIFY(c.drop(true) > 0);
        QCOMPARE(notes(c.log()).mid(3).filter("attempt"),
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
        QVERIFY(!notes(c.log())
                     .filter(QRegularExpression("^Could not connect: .*. Connecting"))
                     .isEmpty());

        c.w->btnDisconnectAll->click();
        QTest::qWait(3000); // the longest next delay is 2.4 s
        QCOMPARE(attempts.size(), 2);
        QCOMPARE(notes(c.log()).last(), kStopped);
    }

    void withoutReloginItOnlyConnects()
    {
        Console c({0}, "Reconnect=1\r\nRelogin=0\r\n");
        c.w->btnLoginAll->click();
        const int n = c.drop(true);
        QTRY_VERIFY(n > 0 && notes(c.log()).contains("Connected again."));
        QVERIFY(c.feed(0, "2000 NULL\r\n"));
        QTest::qWait(100);
        QCOMPARE(c.gateway.received(n), QByteArray());
        // A refusal of the operator's own login is not tried again.
        c.w->btnLogin[0]->click();
        QVERIFY(c.feed(0, "Login failed.\r\n"));
        QVERIFY(!c.gateway.waitForClosed(n, 1000));
    }

    // Without Reconnect=1 (here a value that is neither 1 nor 0) a drop stays a drop.
    void offUnlessTurnedOn()
    {
        Console c({0}, "Reconnect=yes\r\n");
        QCOMPARE(socketOption(*c.w->Winsock[0], SOL_SOCKET, SO_KEEPALIVE), 0);
        c.gateway.close(c.connectionOf(0));
        QTest::qWait(1000);
        QCOMPARE(c.gateway.count(), 1);
        QCOMPARE(notes(c.log()), QStringList());
    }

    // The operator's own connect is his, with Reconnect on or off.
    void aFailedConnectOfTheOperatorIsNotRetried()
    {
        for (const char* options : {"Reconnect=1\r\n", "Reconnect=0\r\n"}) {
            Console c({0}, options, false);
            c.gateway.stopListening();
            c.w->btnConnect->click();
            QTRY_COMPARE(c.w->lblBotConnected[0]->text(), QString("Error"));
            // A retry would come after 0.4 to 0.6 s.
            QVERIFY(!QTest::qWaitFor([&] { return !notes(c.log()).isEmpty(); }, 1000));
        }
    }

    // Each wait for an answer is bounded: a hung server's kernel completes the
    // handshake and nothing answers the login; a full queue leaves the
    // handshake unanswered. Either attempt fails and the next comes.
    void unansweredAttemptsAreGivenUp()
    {
        Console c({0}, "Reconnect=1\r\n");
        const int n = c.drop(true);
        QVERIFY(n > 0 && c.gateway.waitForText(n, kLogin) && c.gateway.waitForClosed(n, 6000));
        c.gateway.stopListening();
        // A listener whose queue is full: the kernel drops the bot's handshake.
        const int fd = socket(AF_INET, SOCK_STREAM, 0), filler = socket(AF_INET, SOCK_STREAM, 0);
        const auto closed = qScopeGuard([=] { ::close(fd), ::close(filler); });
        const int on = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        sockaddr_in at{AF_INET, htons(6112), {inet_addr(TEST_LOOPBACK)}, {}};
        QVERIFY(bind(fd, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && listen(fd, 0) == 0);
        QVERIFY(::connect(filler, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0);
        QTRY_VERIFY_WITH_TIMEOUT(notes(c.log()).contains("Connecting again (attempt 3)."), 10000);
        const QStringList said = notes(c.log()).replaceInStrings(QRegularExpression(" Conn.*"), "");
        QVERIFY(said.contains("No answer to the login within 30 s.") &&
                said.contains("No answer within 30 s."));
    }

    // A link that stops passing bytes gives no close: TCP keep-alive and the
    // silence limit notice it. Out of range, the limit is 300 s.
    void aSilentConnectionIsTakenAsLost()
    {
        for (const auto& [scale, limit, said] :
             {std::tuple(0.1, "30", "30"), {0.01, "3601", "300"}}) {
            SetReconnectTimeScale(scale);
            Console c({0}, QByteArray("Reconnect=1\r\nSilence Limit=") + limit + "\r\n");
            for (auto [level, name, value] : {std::tuple(SOL_SOCKET, SO_KEEPALIVE, 1),
                                              {IPPROTO_TCP, TCP_KEEPIDLE, 60},
                                              {IPPROTO_TCP, TCP_KEEPINTVL, 10},
                                              {IPPROTO_TCP, TCP_KEEPCNT, 3}})
                QCOMPARE(socketOption(*c.w->Winsock[0], level, name), value);
            const int n = c.connectionOf(0);
            for (int i = 0; i < 3; ++i) { // bytes keep it beyond the 3 s
                QTest::qWait(1500);
                QVERIFY(c.feed(0, "2000 NULL\r\n"));
            }
            QVERIFY(c.gateway.isOpen(n) && c.gateway.waitForClosed(n, 6000));
            QVERIFY(notes(c.log()).contains("Nothing from the server for " + QString(said) +
                                            " s: the connection is taken as lost."));
            QVERIFY(c.next(n) > n);
        }
    }

    // Retried, as the server may still hold the dropped connection's login,
    // with growing delays, five refusals at most; not once the password is
    // changed.
    void refusalsAfterAReconnect()
    {
        SetReconnectTimeScale(0.05);
        for (int changedAfter : {5, 2}) {
            Console c({0}, "Reconnect=1\r\n");
            const int last = std::min(changedAfter + 1, 5);
            c.w->btnLoginAll->click();
            int n = c.drop(true);
            for (int refusal = 1; refusal <= last; ++refusal) {
                QVERIFY(n > 0 &&
                        c.gateway.waitForText(n, refusal > changedAfter ? "pw9\r\n" : kLogin));
                QVERIFY(c.feed(0, "Login failed.\r\n\r\n"));
                QVERIFY(refusal != changedAfter ||
                        StoreSetting(c.settings.path(), "Bot 1", "Password", "pw9"));
                if (refusal < last)
                    n = c.next(n, 8000);
            }
            QCOMPARE(ColouredLines(c.log()).filter("Red: "),
                     QStringList(last, "Red: Login failed.") + QStringList(last / 5, kGivenUp));
            const QStringList waits = notes(c.log()).filter("The login was refused");
            QCOMPARE(waits.size(), last - 1);
            for (int i = 1; i < waits.size(); ++i) // "... Connecting again in 20 s."
                QVERIFY(waits[i].section(' ', -2, -2).toInt() >
                        waits[i - 1].section(' ', -2, -2).toInt());
        }
    }

    // Disconnect Bot 1 stops that bot's wait and no other; unticking
    // Reconnect stops them all.
    void stoppingTheWaits()
    {
        SetReconnectTimeScale(0.2);
        for (bool untick : {false, true}) {
            Console c({0, 1}, "Reconnect=1\r\n");
            for (int bot : {0, 1})
                c.gateway.close(c.connectionOf(bot));
            QTRY_COMPARE(c.w->lblBotConnected[0]->text() + c.w->lblBotConnected[1]->text(),
                         QString("NoNo"));
            if (untick) {
                QTimer::singleShot(0, c.w.get(), [] {
                    auto* dialog = static_cast<QDialog*>(QApplication::activeModalWidget());
                    dialog->findChild<QCheckBox*>()->setChecked(false);
                    dialog->accept();
                });
                c.w->mnuOptions->actions().at(0)->trigger();
            } else {
                QVERIFY(c.w->btnClose[0]->isEnabled());
                c.w->btnClose[0]->click();
            }
            QTest::qWait(2000); // the longest first delay is 1.2 s
            QCOMPARE(c.gateway.count(), untick ? 2 : 3);
            QCOMPARE(notes(c.log(0)).last(), kStopped);
            QCOMPARE(notes(c.log(1)).last(), untick ? kStopped : "Connected again.");
        }
    }

    // Where the bot goes outlives connections that learn nothing newer: the
    // home channel of a login dropped in its pause, then across a drop before
    // the server answered it (the login's own channel crossing it on the wire).
    void theChannelSurvivesDropsBeforeItIsReached()
    {
        Console c({0}, "Reconnect=1\r\n");
        int n = c.connectionOf(0);
        connect(&c.gateway, &ScriptedGateway::bytesArrived, this, [&](int k) {
            if (k == 0 && c.gateway.received(0) == kLogin) {
                c.gateway.send(0, "2010 NAME bot1\r\n");
                c.gateway.close(0);
            }
        });
        c.w->btnLogin[0]->click(); // the drop and the reconnect come during its pause
        for (const QByteArray channel : {"1007 CHANNEL \"Chat\"\r\n", ""}) {
            n = c.next(n);
            QVERIFY(n > 0 && c.gateway.waitForText(n, kLogin));
            c.gateway.send(n, "2010 NAME bot1\r\n" + channel);
            QVERIFY(c.gateway.waitForText(n, kLogin + "Op Den\r\n"));
            c.gateway.close(n);
        }
        QCOMPARE(c.gateway.received(0), kLogin);
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
        QVERIFY2(accepted.last() - accepted.first() > 100,
                 qPrintable(QString::number(accepted.last() - accepted.first())));
    }
};

QTEST_MAIN(TestReconnect)
#include "test_reconnect.moc"
