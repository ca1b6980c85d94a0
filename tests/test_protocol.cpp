// The line and field cuts, without a window or a socket.
#include <QtTest>

#include <random>

#include "bots/protocol.h"

using namespace protocol;

namespace {

std::vector<std::string> linesOf(const std::vector<std::string_view>& pieces,
                                 LineBuffer* keep = nullptr)
{
    LineBuffer local;
    LineBuffer& buffer = keep ? *keep : local;
    std::vector<std::string> lines;
    std::string line;
    for (std::string_view piece : pieces) {
        buffer.append(piece);
        while (buffer.takeLine(line))
            lines.push_back(line);
    }
    return lines;
}

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    void splitAnywhereGivesTheSameLines()
    {
        const std::string stream = "1005 TALK bob 0010 \"hi\"\r\n"
                                   "\r\n"
                                   "1018 INFO \"a \"quoted\" word\"\r\n"
                                   "2000 NULL\n"
                                   "banner\r\r\n"
                                   "Username: 1007 CHANNEL \"Op Den\"\r\n"
                                   "\xe9\xff\x80 bytes\r\n"
                                   "unfinished";
        const auto whole = linesOf({stream});
        QCOMPARE(whole.size(), size_t(7));
        QCOMPARE(whole[1], std::string());
        QCOMPARE(whole[3], std::string("2000 NULL")); // LF alone keeps the last character
        QCOMPARE(whole[4], std::string("banner\r"));  // only the CR before the LF goes
        for (size_t cut = 0; cut <= stream.size(); ++cut) {
            std::string_view s(stream);
            QCOMPARE(linesOf({s.substr(0, cut), s.substr(cut)}), whole);
        }
        std::vector<std::string_view> bytes;
        for (size_t i = 0; i < stream.size(); ++i)
            bytes.push_back(std::string_view(stream).substr(i, 1));
        QCOMPARE(linesOf(bytes), whole);

        // Random cuts into many pieces.
        std::mt19937 random(42);
        for (int round = 0; round < 200; ++round) {
            std::vector<std::string_view> pieces;
            size_t at = 0;
            while (at < stream.size()) {
                size_t n = std::min<size_t>(random() % 9, stream.size() - at);
                pieces.push_back(std::string_view(stream).substr(at, n));
                at += n;
            }
            QCOMPARE(linesOf(pieces), whole);
        }
    }

    void overlongLinesAreDroppedAlone()
    {
        const std::string longest(kMaxLineLength, 'x');
        const std::string tooLong(kMaxLineLength + 1, 'y');
        LineBuffer buffer;
        auto lines = linesOf({"a\r\n" + longest + "\r\n" + tooLong + "\r\nb\r\n"}, &buffer);
        QCOMPARE(lines.size(), size_t(3));
        QCOMPARE(lines[1].size(), kMaxLineLength);
        QCOMPARE(lines[2], std::string("b"));
        QCOMPARE(buffer.droppedLines(), size_t(1));

        // The same, arriving in small pieces: the held text stays bounded.
        LineBuffer slow;
        const std::string stream = "a\r\n" + std::string(100000, 'z') + "\r\nb\r\n";
        std::string line;
        std::vector<std::string> got;
        size_t most = 0;
        for (size_t at = 0; at < stream.size(); at += 7) {
            slow.append(std::string_view(stream).substr(at, 7));
            most = std::max(most, slow.size());
            while (slow.takeLine(line))
                got.push_back(line);
        }
        QCOMPARE(got, (std::vector<std::string>{"a", "b"}));
        QVERIFY2(most <= kMaxLineLength + 1 + 7, qPrintable(QString::number(most)));
        QCOMPARE(slow.droppedLines(), size_t(1));
    }

    void anEndedConnectionLeavesNoHalfLine()
    {
        // Complete lines stay for the handling; the unfinished text and an
        // overlong line in progress go, so the next connection starts clean.
        LineBuffer buffer;
        buffer.append("one\r\ntwo\r\nhal");
        std::string line;
        QVERIFY(buffer.takeLine(line));
        buffer.dropUnfinished();
        buffer.append("fresh\r\n");
        QVERIFY(buffer.takeLine(line) && line == "two");
        QVERIFY(buffer.takeLine(line) && line == "fresh");

        buffer.append(std::string(kMaxLineLength + 10, 'x'));
        buffer.dropUnfinished();
        buffer.append("next\r\n");
        QVERIFY(buffer.takeLine(line));
        QCOMPARE(line, std::string("next"));
        QVERIFY(!buffer.takeLine(line));
    }

    void serverThatNeverEndsALine()
    {
        LineBuffer buffer;
        const std::string chunk(65536, 'q');
        for (int i = 0; i < 200; ++i) {
            buffer.append(chunk);
            QVERIFY(buffer.size() <= kMaxLineLength + 1);
        }
        std::string line;
        QVERIFY(!buffer.takeLine(line));
        buffer.append("rest of it\r\n2000 NULL\r\n");
        QVERIFY(buffer.takeLine(line));
        QCOMPARE(line, std::string("2000 NULL"));
    }

    void events_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("event");
        QTest::newRow("user") << QByteArray("1001 USER a 0010 [CHAT]") << int(Event::UserIn);
        QTest::newRow("join") << QByteArray("1002 JOIN a 0010 [CHAT]") << int(Event::UserJoin);
        QTest::newRow("leave") << QByteArray("1003 LEAVE a 0010") << int(Event::UserLeave);
        QTest::newRow("whisper") << QByteArray("1004 WHISPER a 0010 \"x\"")
                                 << int(Event::WhisperFrom);
        QTest::newRow("talk") << QByteArray("1005 TALK a 0010 \"x\"") << int(Event::Talk);
        QTest::newRow("channel") << QByteArray("1007 CHANNEL \"x\"") << int(Event::Channel);
        QTest::newRow("info") << QByteArray("1018 INFO \"x\"") << int(Event::Info);
        QTest::newRow("error") << QByteArray("1019 ERROR \"x\"") << int(Event::Error);
        QTest::newRow("emote") << QByteArray("1023 EMOTE a 0010 \"x\"") << int(Event::Emote);
        QTest::newRow("null") << QByteArray("2000 NULL") << int(Event::KeepAlive);
        QTest::newRow("name") << QByteArray("2010 NAME x") << int(Event::Name);
        QTest::newRow("flags update") << QByteArray("1009 USER a 0000") << int(Event::Other);
        QTest::newRow("whisper sent")
            << QByteArray("1010 WHISPER a 0010 \"x\"") << int(Event::Other);
        QTest::newRow("short") << QByteArray("100") << int(Event::Other);
        QTest::newRow("empty") << QByteArray("") << int(Event::Other);
        QTest::newRow("prompt") << QByteArray("Password: ") << int(Event::Other);
    }
    void events()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, event);
        QCOMPARE(int(eventOf(line.toStdString())), event);
    }

    void quotedTexts_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("cut");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("plain") << QByteArray("1018 INFO \"Welcome\"") << true
                               << QByteArray("Welcome");
        QTest::newRow("inner quotes") << QByteArray("1018 INFO \"You are in channel \"Chat\".\"")
                                      << true << QByteArray("You are in channel \"Chat\".");
        QTest::newRow("empty") << QByteArray("1019 ERROR \"\"") << true << QByteArray("");
        QTest::newRow("one quote") << QByteArray("1019 ERROR \"open") << false << QByteArray();
        QTest::newRow("none") << QByteArray("1019 ERROR text") << false << QByteArray();
        QTest::newRow("markup") << QByteArray("1018 INFO \"<b>hi</b> &amp;\"") << true
                                << QByteArray("<b>hi</b> &amp;");
    }
    void quotedTexts()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, cut);
        QFETCH(QByteArray, text);
        const std::string l = line.toStdString();
        const auto got = quotedText(l);
        QCOMPARE(got.has_value(), cut);
        if (cut)
            QCOMPARE(QByteArray(got->data(), got->size()), text);
    }

    void talkWhisperEmoteChannelName()
    {
        auto talk = cutTalk("1005 TALK bob 0010 \"hi \"there\"\"");
        QVERIFY(talk);
        QCOMPARE(talk->name, std::string_view("bob ")); // the blank after the name stays
        QCOMPARE(talk->text, std::string_view("hi \"there\""));
        QCOMPARE(cutTalk("1005 TALK bob0000 0010 \"x\"")->name, std::string_view("bob0000 "));
        QVERIFY(!cutTalk("1005 TALK bob 0010 \"unclosed"));
        QVERIFY(!cutTalk("1005 TALK"));

        auto whisper = cutWhisper("1004 WHISPER bob0010 0010 \"psst\"");
        QVERIFY(whisper);
        QCOMPARE(whisper->name, std::string_view("bob0010"));
        QCOMPARE(whisper->text, std::string_view("psst"));
        QCOMPARE(cutWhisper("1004 WHISPER bob 0010 \"\"")->text, std::string_view(""));
        QVERIFY(!cutWhisper("1004 WHISPER bob 0010 no quotes"));

        auto emote = cutEmote("1023 EMOTE bob 0010 \"waves\"");
        QCOMPARE(emote.name, std::string_view(" bob "));
        QCOMPARE(emote.text, std::string_view("waves"));
        auto broken = cutEmote("1023 EMOTE");
        QCOMPARE(broken.name, std::string_view());
        QCOMPARE(broken.text, std::string_view());
        QCOMPARE(cutEmote("1023 EMOTE bob 0020 \"\"").name, std::string_view(" bob "));

        QCOMPARE(cutChannel("1007 CHANNEL \"Op Den\"").value(), std::string_view("Op Den"));
        QVERIFY(!cutChannel("1007 CHANNEL \"Op Den"));

        QCOMPARE(cutBotName("2010 NAME Guard#2").value(), std::string_view("Guard#2"));
        QCOMPARE(cutBotName("2010 NAME ").value(), std::string_view(""));
        QVERIFY(!cutBotName("2010 NAME"));
    }

    void kickAndBan_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<QByteArray>("account");
        QTest::addColumn<int>("result");
        const int none = int(KickBan::None), kicked = int(KickBan::Kicked),
                  banned = int(KickBan::Banned);
        QTest::newRow("kicked") << QByteArray("Guard has been kicked by Boss (spam).")
                                << QByteArray("Guard") << kicked;
        QTest::newRow("banned") << QByteArray("Guard has been banned by Boss.")
                                << QByteArray("Guard") << banned;
        QTest::newRow("both: kick wins")
            << QByteArray("Guard was banned and kicked") << QByteArray("Guard") << kicked;
        QTest::newRow("someone else")
            << QByteArray("Scout has been kicked by Boss.") << QByteArray("Guard") << none;
        QTest::newRow("longer name")
            << QByteArray("bot10 has been kicked by Boss.") << QByteArray("bot1") << none;
        QTest::newRow("name alone") << QByteArray("bot1") << QByteArray("bot1") << none;
        QTest::newRow("empty account")
            << QByteArray("Scout has been kicked.") << QByteArray("") << none;
        QTest::newRow("capital K") << QByteArray("Guard was Kicked") << QByteArray("Guard") << none;
        QTest::newRow("case of name")
            << QByteArray("guard was kicked") << QByteArray("Guard") << none;
    }
    void kickAndBan()
    {
        QFETCH(QByteArray, info);
        QFETCH(QByteArray, account);
        QFETCH(int, result);
        QCOMPARE(int(kickBanOf(info.toStdString(), account.toStdString())), result);
    }

    void outgoingLines()
    {
        QCOMPARE(outgoingLine("hi"), std::string("hi\r\n"));
        QCOMPARE(outgoingLine(""), std::string("\r\n"));
        QCOMPARE(outgoingLine("a\r\nb\nc\rd"), std::string("a b c d\r\n"));
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "test_protocol.moc"
