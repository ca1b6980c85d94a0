// What a bot does with the server's lines: every event code, any split of the
// stream, bad and endless lines, and the lines the bot sends back.
#include <QtTest>

#include "support/testapp.h"

namespace {

const QByteArray kEveryEvent = "2010 NAME bot1#2\r\n"
                               "1007 CHANNEL \"Op Den\"\r\n"
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
                               "1009 USER b 0000\r\n"
                               "1010 WHISPER c 0010 \"echo\"\r\n"
                               "Username: Password: \r\n";

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
    // What the operator reads for each line: the entry's text and colour.
    void eachLineShowsAsItsEntry_data()
    {
        QTest::addColumn<QByteArray>("lines");
        QTest::addColumn<QStringList>("entries");
        const auto row = [](const char* name, const QByteArray& lines, const QStringList& entries) {
            QTest::newRow(name) << lines << entries;
        };
        row("info, quotes inside", "1018 INFO \"You are in \"Op Den\".\"",
            {"Yellow: You are in \"Op Den\"."});
        row("error", "1019 ERROR \"no\"", {"Red: no"});
        row("refused login", "Login failed.", {"Red: Login failed."});
        row("talk into an empty log", "1005 TALK d 0010 \"hi\"", {"White: < d  > hi"});
        row("talk after an entry", "1019 ERROR \"x\"\r\n1005 TALK d 0010 \"say \"hi\"\"",
            {"Red: x", "White: <d > say \"hi\""});
        row("whisper", "1004 WHISPER bob 0010 \"say \"hi\" now\"",
            {"Gray: <From:bob> say \"hi\" now"});
        row("whisper, name holding flags, unknown flags", "1004 WHISPER b0010 0020 \"\"",
            {"Gray: <From:b0010> "});
        row("emote", "1023 EMOTE e 0010 \"waves\"", {"Yellow: < e waves>"});
        row("emote without text", "1023 EMOTE bob 0010 waves", {"Yellow: < bob >"});
        row("emote without fields", "1023 EMOTE", {"Yellow: <>"});
        row("channel", "1007 CHANNEL \"The \"Pit\"\"",
            {"Blue: You have joined channel: The \"Pit\""});
        row("keep-alive", "2010 NAME x\r\n2000 NULL",
            {"Yellow: The name given to you by the server is: x", "Yellow: "});
        row("name", "2010 NAME bot1#2", {"Yellow: The name given to you by the server is: bot1#2"});
        row("empty name", "2010 NAME ", {"Yellow: The name given to you by the server is: "});
        row("talk, a name holding flags", "1019 ERROR \"\"\r\n1005 TALK b0000 0010 \"hi\"",
            {"Red: ", "White: <b0000 > hi"});
        row("prompts before a line", "Username: Password: 1019 ERROR \"x\"", {"Red: x"});
        row("markup and bytes as they came",
            QByteArray("1018 INFO \"<b>b</b> &amp; <img src=x>\"\r\n1019 ERROR \"a\0\xe9\xff\"",
                       57),
            {"Yellow: <b>b</b> &amp; <img src=x>", QString::fromLatin1("Red: a\0\xe9\xff", 9)});
        // Lines that cannot be cut, or that the console does not show.
        row("nothing shown",
            "1019 ERROR no quotes\r\n1005 TALK bob\r\n1005 TALK bob 0010 hi\r\n"
            "1004 WHISPER bob 0010 \"open\r\n1004 WHISPER bob\r\n1007 CHANNEL \"unclosed\r\n"
            "1007 CHANNEL Lobby\r\n1001 USER\r\n1003 LEAVE\r\n2010 NAME\r\n1009 USER b 0000\r\n"
            "1010 WHISPER c 0010 \"echo\"\r\nLogin failed\r\n\r\n\n2000 NULL\r\n1018 INFO \"after\"",
            {"Yellow: after"});
    }
    void eachLineShowsAsItsEntry()
    {
        QFETCH(QByteArray, lines);
        QFETCH(QStringList, entries);
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        QVERIFY(c.feed(0, lines + "\r\n"));
        QCOMPARE(ColouredLines(*c.w->txtChatBox[0]), entries);
    }

    // Users, channel, labels and the reply, from one stream.
    void everyEventReachesItsRoutine()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        frmMain& w = *c.w;
        w.WinsockState->stop(); // the board would rewrite the labels
        QVERIFY(c.feed(0, kEveryEvent));
        QCOMPARE(ListNames(*w.UserList[0]), (QStringList{"b", "c"}));
        QCOMPARE(w.txtChannel[0]->text(), QString("Op Den"));
        QCOMPARE(w.lblCurrentChannel[0]->text(), QString("Op Den"));
        QCOMPARE(w.lblBotName[0]->text(), QString("1: bot1#2"));
        QVERIFY(c.gateway.waitForText(0, "/me Anti-Idle [Tenfold v1.00 (away)]\r\n"));
        QCOMPARE(c.gateway.received(0), QByteArray("/me Anti-Idle [Tenfold v1.00 (away)]\r\n"));
        // A malformed channel line changes neither box, list nor label.
        QVERIFY(c.feed(0, "1007 CHANNEL Lobby\r\n"));
        QCOMPARE(w.lblCurrentChannel[0]->text(), QString("Op Den"));
        QCOMPARE(ListNames(*w.UserList[0]), (QStringList{"b", "c"}));
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

    void anEndlessLineCannotGrowMemory()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0});
        QVERIFY(c.connectBots({0}));
        QVERIFY(c.feed(0, "1018 INFO \"before\"\r\n"));
        const QByteArray chunk(64 * 1024, 'x');
        for (int i = 0; i < 32; ++i) {
            QVERIFY(c.feed(0, chunk));
            QVERIFY(c.w->bot[0].strBuffer.size() <= 32767);
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
        QVERIFY(c.feed(0, "2010 NAME bot1\r\n" + kick));
        QVERIFY(c.feed(9, "2010 NAME bot10\r\n" + kick));
        QVERIFY(c.gateway.waitForText(ten, "/join Op Den\r\n"));
        QCOMPARE(c.gateway.received(ten), QByteArray("/join Op Den\r\n"));
        QCOMPARE(c.gateway.received(one), QByteArray());
        QCOMPARE(LogLines(*c.w->txtChatBox[0]),
                 (QStringList{"The name given to you by the server is: bot1",
                              "bot10 has been kicked by Boss (spamming)."}));

        c.gateway.clearReceived(ten);
        QVERIFY(c.feed(9, "1018 INFO \"bot10 has been banned by Op (kicked twice today).\"\r\n"));
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

    // A second login of an account may be named differently by the server,
    // and its notices use that name.
    void aRenamedBotRejoinsUnderItsGivenName()
    {
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0, 1});
        QVERIFY(c.connectBots({0, 1}));
        const QByteArray notices = "1018 INFO \"bot1 has been banned by Boss.\"\r\n"
                                   "1018 INFO \"Guard#2 has been kicked by Boss.\"\r\n";
        QVERIFY(c.feed(1, "2010 NAME Guard\r\n" + notices));
        QVERIFY(c.feed(0, "2010 NAME Guard#2\r\n" + notices));
        QVERIFY(c.gateway.waitForText(c.connectionOf(0), "\r\n"));
        QCOMPARE(c.gateway.received(c.connectionOf(0)), QByteArray("/join Op Den\r\n"));
        QCOMPARE(c.gateway.received(c.connectionOf(1)), QByteArray());
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
        QVERIFY(c.feed(0, "2010 NAME bot1\r\n1018 INFO \"bot1 was kicked\"\r\n"
                          "1018 INFO \"two\"\r\n"));
        QTRY_COMPARE(LogLines(*c.w->txtChatBox[0]),
                     (QStringList{"The name given to you by the server is: bot1", "bot1 was kicked",
                                  "two", "You have joined channel: Op Den", "three"}));
    }
};

QTEST_MAIN(TestParser)
#include "test_parser.moc"
