// What a bot does with the server's lines: every event code, any split of the
// stream, bad and endless lines, and the lines the bot sends back.
#include <QtTest>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "chat/logview.h"
#include "support/testapp.h"

namespace {

const QByteArray kEveryEvent = "1007 CHANNEL \"Op Den\"\r\n"
                               "1001 USER a 0010 [CHAT]\r\n"
                               "1002 JOIN b 0012 [STAR]\r\n"
                               "1001 USER c 0000 [W2BN]\r\n"
                               "1003 LEAVE a 0010\r\n"
                               "1004 WHISPER c 0010 \"psst\"\r\n"
                               "1005 TALK d 0010 \"hi\"\r\n"
                               "1018 INFO \"You are in channel \"Op Den\".\"\r\n"
                               "1019 ERROR \"no\"\r\n"
                               "1023 EMOTE e 0010 \"waves\"\r\n"
                               "2000 NULL\r\n"
                               "2010 NAME bot1#2\r\n"
                               "1009 USER b 0000\r\n"
                               "1010 WHISPER c 0010 \"echo\"\r\n"
                               "Username: Password: \r\n";

const QStringList kEveryEventLog = {"You have joined channel: Op Den",
                                    "<From:c> psst",
                                    "<d > hi",
                                    "You are in channel \"Op Den\".",
                                    "no",
                                    "< e waves>",
                                    "",
                                    "The name given to you by the server is: bot1#2"};

struct Seen {
    QStringList log;
    QStringList users;
    QString channel;
    bool operator==(const Seen&) const = default;
};

Seen seen(frmMain& w, int bot)
{
    return {LogLines(*w.txtChatBox[bot]), ListNames(*w.UserList[bot]), w.txtChannel[bot]->text()};
}

void reset(frmMain& w, int bot)
{
    w.txtChatBox[bot]->clear();
    w.UserList[bot]->clear();
    w.txtChannel[bot]->clear();
}

} // namespace

class TestParser : public QObject {
    Q_OBJECT
private slots:
    void everyEventReachesItsRoutine()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        c.w->WinsockState->stop(); // the board would rewrite the labels
        QVERIFY(c.feed(0, kEveryEvent));
        frmMain& w = *c.w;
        QCOMPARE(LogLines(*w.txtChatBox[0]), kEveryEventLog);
        QCOMPARE(ListNames(*w.UserList[0]), (QStringList{"b", "c"}));
        QCOMPARE(w.txtChannel[0]->text(), QString("Op Den"));
        QCOMPARE(w.lblCurrentChannel[0]->text(), QString("Op Den"));
        QCOMPARE(w.lblBotName[0]->text(), QString("1: bot1#2"));
        QVERIFY(c.gateway.waitForText(0, "/me Anti-Idle [Tenfold v1.00 (away)]\r\n"));
        QCOMPARE(c.gateway.received(0), QByteArray("/me Anti-Idle [Tenfold v1.00 (away)]\r\n"));
    }

    void anySplitGivesWhatTheWholeStreamGives()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        QVERIFY(c.feed(0, kEveryEvent));
        const Seen whole = seen(*c.w, 0);
        for (int cut = 1; cut < kEveryEvent.size(); ++cut) {
            reset(*c.w, 0);
            QVERIFY(c.feed(0, kEveryEvent.left(cut)));
            QVERIFY(c.feed(0, kEveryEvent.mid(cut)));
            if (!(seen(*c.w, 0) == whole))
                QFAIL(qPrintable(QString("split at byte %1 differs").arg(cut)));
        }
    }

    void aBadLineIsSkippedAlone()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        QVERIFY(c.feed(0, "1018 INFO \"a\"\r\n"
                          "1019 ERROR no quotes\r\n"
                          "1005 TALK bob\r\n"
                          "1004 WHISPER bob 0010 \"open\r\n"
                          "1007 CHANNEL \"unclosed\r\n"
                          "1001 USER\r\n"
                          "1003 LEAVE\r\n"
                          "2010 NAME\r\n"
                          "\r\n"
                          "\n"
                          "1018 INFO \"b\"\r\n"));
        QCOMPARE(LogLines(*c.w->txtChatBox[0]), (QStringList{"a", "b"}));
        QCOMPARE(c.w->UserList[0]->count(), 0);
        QCOMPARE(c.w->txtChannel[0]->text(), QString());
    }

    void hostileBytesAreShownAsTheyCame()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        QByteArray withNul("1018 INFO \"a\0b\"\r\n", 17);
        QVERIFY(c.feed(0, withNul + "1018 INFO \"caf\xe9 \xff\x80\"\r\n"
                                    "1018 INFO \"<b>bold</b> &amp; <img src=x>\"\r\n"));
        QCOMPARE(
            LogLines(*c.w->txtChatBox[0]),
            (QStringList{QString::fromLatin1("a\0b", 3), QString::fromLatin1("caf\xe9 \xff\x80"),
                         "<b>bold</b> &amp; <img src=x>"}));
    }

    void anEndlessLineCannotGrowMemory()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        QVERIFY(c.feed(0, "1018 INFO \"before\"\r\n"));
        const QByteArray chunk(64 * 1024, 'x');
        for (int i = 0; i < 32; ++i) {
            QVERIFY(c.feed(0, chunk));
            QVERIFY(c.w->strBuffer[0].size() <= 32767);
        }
        QVERIFY(c.feed(0, "\r\n1018 INFO \"after\"\r\n"));
        QCOMPARE(LogLines(*c.w->txtChatBox[0]), (QStringList{"before", "after"}));
    }

    void kickBanAndTheLinesSentBack()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0, 9}, "Op Den");
        QVERIFY(c.connectBots({0, 9}));
        const int one = c.connectionOf(0), ten = c.connectionOf(9);

        // Everyone in the channel hears of bot10's kick; only bot10 rejoins.
        const QByteArray kick = "1018 INFO \"bot10 has been kicked by Boss (spamming).\"\r\n";
        QVERIFY(c.feed(0, kick));
        QVERIFY(c.feed(9, kick));
        QVERIFY(c.gateway.waitForText(ten, "/join Op Den\r\n"));
        QCOMPARE(c.gateway.received(ten), QByteArray("/join Op Den\r\n"));
        QCOMPARE(c.gateway.received(one), QByteArray());
        QCOMPARE(LogLines(*c.w->txtChatBox[0]),
                 QStringList{"bot10 has been kicked by Boss (spamming)."});

        c.gateway.clearReceived(ten);
        QVERIFY(c.feed(9, "1018 INFO \"bot10 has been banned by Boss (bad bot).\"\r\n"));
        QVERIFY(c.gateway.waitForText(ten, "\r\n"));
        QCOMPARE(c.gateway.received(ten), QByteArray("/join Op Den2\r\n"));

        // The fields are read at the moment of the line, saved or not.
        c.gateway.clearReceived(ten);
        c.w->txtHomeChannel->setText("");
        c.w->txtAntiIdle->setText("");
        QVERIFY(c.feed(9, kick + "2000 NULL\r\n"));
        QVERIFY(c.gateway.waitForText(ten, ")]\r\n"));
        QCOMPARE(c.gateway.received(ten),
                 QByteArray("/join \r\n/me Anti-Idle [Tenfold v1.00 ()]\r\n"));
    }

    void linesArrivingDuringARejoinStayInOrder()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        const int n = c.connectionOf(0);
        // The gateway answers the rejoin at once, so the answer can arrive
        // while the bot still yields after sending it.
        connect(&c.gateway, &ScriptedGateway::bytesArrived, this, [&](int from) {
            if (from == n && c.gateway.received(n).endsWith("/join Op Den\r\n")) {
                c.gateway.clearReceived(n);
                c.gateway.send(n, "1007 CHANNEL \"Op Den\"\r\n1018 INFO \"three\"\r\n");
            }
        });
        QVERIFY(c.feed(0, "1018 INFO \"bot1 was kicked\"\r\n1018 INFO \"two\"\r\n"));
        QTRY_COMPARE(
            LogLines(*c.w->txtChatBox[0]),
            (QStringList{"bot1 was kicked", "two", "You have joined channel: Op Den", "three"}));
    }
};

QTEST_MAIN(TestParser)
#include "test_parser.moc"
