// The demo gateway speaks the server's side of the protocol the console
// relies on: login, names, channels and their users, moderation, keep-alives.
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QTcpSocket>
#include <QTest>
#include <memory>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "support/testapp.h"
#include "tools/gateway/demogateway.h"

namespace {

const QByteArray kChannel = "Tenfold Demo";

// A bot as the gateway sees it: raw lines in, raw lines out.
class Client {
public:
    Client()
    {
        m_socket.connectToHost(TEST_LOOPBACK, 6112);
        if (!m_socket.waitForConnected(5000))
            qFatal("cannot reach the demo gateway on %s", TEST_LOOPBACK);
        QObject::connect(&m_socket, &QTcpSocket::readyRead, [this] {
            m_pending += m_socket.readAll();
            for (qsizetype end; (end = m_pending.indexOf("\r\n")) >= 0;) {
                m_lines << m_pending.left(end);
                m_pending.remove(0, end + 2);
            }
        });
    }

    void send(const QByteArray& bytes)
    {
        m_socket.write(bytes);
        m_socket.flush();
    }
    void line(const QByteArray& text) { send(text + "\r\n"); }
    void logIn(const QByteArray& name)
    {
        send("\x03\x04\r\n\r\n");
        line(name);
        line("any password");
    }

    // Waits for a line that starts with `prefix` and takes it and every line
    // before it; an empty result when none comes.
    QByteArray take(const QByteArray& prefix, int timeoutMs = 5000)
    {
        QByteArray found;
        (void)QTest::qWaitFor(
            [&] {
                for (qsizetype i = 0; i < m_lines.size(); ++i) {
                    if (m_lines[i].startsWith(prefix)) {
                        found = m_lines[i];
                        m_lines.erase(m_lines.begin(), m_lines.begin() + i + 1);
                        return true;
                    }
                }
                return false;
            },
            timeoutMs);
        return found;
    }
    // Every line so far, taken.
    QByteArrayList takeAll()
    {
        QByteArrayList all;
        all.swap(m_lines);
        return all;
    }
    // Waits until all the gateway sent before this call has come: its answer
    // to an unknown command comes after it.
    bool sync()
    {
        line("/sync");
        const QByteArray barrier = "1019 ERROR \"That is not a valid command.\"";
        const bool came = QTest::qWaitFor([&] { return m_lines.contains(barrier); }, 5000);
        m_lines.removeOne(barrier);
        return came;
    }
    bool has(const QByteArray& prefix) const
    {
        return std::any_of(m_lines.cbegin(), m_lines.cend(),
                           [&](const QByteArray& l) { return l.startsWith(prefix); });
    }
    // The user lines at the front: a channel's users after its "1007" line.
    QByteArrayList takeUsers()
    {
        QByteArrayList users;
        if (!sync())
            return users;
        while (!m_lines.isEmpty() && m_lines.first().startsWith("1001 USER "))
            users << m_lines.takeFirst();
        return users;
    }
    bool closed(int timeoutMs = 5000)
    {
        return QTest::qWaitFor(
            [&] { return m_socket.state() == QAbstractSocket::UnconnectedState; }, timeoutMs);
    }

private:
    QTcpSocket m_socket;
    QByteArray m_pending;
    QByteArrayList m_lines;
};

DemoOptions quietOptions()
{
    DemoOptions o;
    o.address = TEST_LOOPBACK;
    o.activityMs = o.keepAliveMs = o.moderationMs = 0;
    o.seed = 42;
    return o;
}

QByteArray nameOf(const QByteArray& userLine)
{
    return userLine.split(' ').value(2);
}

// A made-up user of the list who is no operator: kicking one leaves the channel
// its operators.
QByteArray someCrowdUser(const QByteArrayList& users)
{
    for (const QByteArray& u : users)
        if (!u.contains(" [CHAT]") && !u.contains(" 0002 ") && !u.contains(" 0012 "))
            return u;
    return {};
}

} // namespace

class TestDemoGateway : public QObject {
    Q_OBJECT
private slots:
    void loginNamesTheBotAndSeatsItInABusyChannel()
    {
        DemoGateway gateway(quietOptions());
        QVERIFY(gateway.listening());
        Client alpha;
        alpha.logIn("alpha");
        QCOMPARE(alpha.take("2010"), QByteArray("2010 NAME alpha"));
        QCOMPARE(alpha.take("1007"), "1007 CHANNEL \"" + kChannel + '"');
        const QByteArrayList users = alpha.takeUsers();
        QCOMPARE(users.first(), QByteArray("1001 USER alpha 0010 [CHAT]"));
        QVERIFY2(users.size() >= 20 && users.size() <= 60, QByteArray::number(users.size()));

        // Every product tag and flags value shows up, and no name holds a flags
        // text, which would move the console's cuts.
        QSet<QByteArray> tags, flags;
        const QRegularExpression layout(
            R"(^1001 USER (\S+) (0000|0010|0002|0012) (\[[A-Z]{4}\])$)");
        for (const QByteArray& u : users) {
            const auto m = layout.match(QString::fromLatin1(u));
            QVERIFY2(m.hasMatch(), u);
            for (const char* f : {"0000", "0010", "0002", "0012"})
                QVERIFY2(!m.captured(1).contains(f), u);
            flags << m.captured(2).toLatin1();
            tags << m.captured(3).toLatin1();
        }
        QCOMPARE(flags.size(), 4);
        for (const char* tag : {"[CHAT]", "[SSHR]", "[DRTL]", "[SEXP]", "[STAR]", "[DSHR]"})
            QVERIFY2(tags.contains(tag), tag);
        QVERIFY(tags.size() >= 7); // and one the console does not know

        // A second bot sees the first; the first sees it join. A taken name
        // gets a number.
        Client beta;
        beta.logIn("alpha");
        QCOMPARE(beta.take("2010"), QByteArray("2010 NAME alpha#2"));
        QVERIFY(beta.take("1001 USER alpha 0010 [CHAT]").size());
        QCOMPARE(alpha.take("1002"), QByteArray("1002 JOIN alpha#2 0010 [CHAT]"));
        QCOMPARE(gateway.botNames(), QByteArrayList({"alpha", "alpha#2"}));
    }

    void aConnectionWithoutTheLoginSequenceIsRefused()
    {
        DemoGateway gateway(quietOptions());
        Client c;
        c.line("hello");
        QVERIFY(c.take("1019 ERROR ").size());
        QVERIFY(c.closed());
    }

    void talkEmotesAndWhispersReachTheOtherBots()
    {
        DemoGateway gateway(quietOptions());
        Client alpha, beta;
        alpha.logIn("alpha");
        QVERIFY(alpha.take("1007").size());
        const QByteArrayList users = alpha.takeUsers();
        beta.logIn("beta");
        QVERIFY(alpha.take("1002 JOIN beta").size());

        alpha.line("hello there");
        QCOMPARE(beta.take("1005"), QByteArray("1005 TALK alpha 0010 \"hello there\""));
        alpha.line("/me waves");
        QCOMPARE(beta.take("1023"), QByteArray("1023 EMOTE alpha 0010 \"waves\""));
        alpha.line("/w beta psst");
        QCOMPARE(beta.take("1004"), QByteArray("1004 WHISPER alpha 0010 \"psst\""));
        // The speaker hears none of it back.
        QVERIFY(alpha.sync());
        QVERIFY(!alpha.has("1005") && !alpha.has("1023") && !alpha.has("1004"));

        alpha.line("/w nobody hi");
        QCOMPARE(alpha.take("1019"), QByteArray("1019 ERROR \"That user is not logged on.\""));
        // A made-up user answers a whisper.
        const QByteArray someone = nameOf(someCrowdUser(users));
        alpha.line("/w " + someone + " hi");
        QVERIFY(alpha.take("1004 WHISPER " + someone + ' ').size());
    }

    void joinMovesTheBot()
    {
        DemoGateway gateway(quietOptions());
        Client alpha, beta;
        alpha.logIn("alpha");
        beta.logIn("beta");
        QVERIFY(alpha.take("1002 JOIN beta").size());
        QVERIFY(beta.take("1007").size());

        beta.line("/join Elsewhere");
        QCOMPARE(beta.take("1007"), QByteArray("1007 CHANNEL \"Elsewhere\""));
        const QByteArrayList users = beta.takeUsers();
        QCOMPARE(users.first(), QByteArray("1001 USER beta 0010 [CHAT]"));
        QVERIFY(!users.join('\n').contains(" alpha "));
        QCOMPARE(alpha.take("1003"), QByteArray("1003 LEAVE beta 0010"));
        QCOMPARE(gateway.channelOf("beta"), QByteArray("Elsewhere"));

        alpha.line("/join Elsewhere");
        QVERIFY(alpha.take("1001 USER beta 0010 [CHAT]").size());
        QCOMPARE(beta.take("1002"), QByteArray("1002 JOIN alpha 0010 [CHAT]"));
        alpha.line("/join ");
        QCOMPARE(alpha.take("1019"),
                 QByteArray("1019 ERROR \"What channel do you want to join?\""));
    }

    void kickAndBanAreAnswered_data()
    {
        QTest::addColumn<QByteArray>("command");
        QTest::addColumn<bool>("targetIsBot");
        QTest::addColumn<QByteArray>("word");
        QTest::newRow("kick a user") << QByteArray("/kick") << false << QByteArray("kicked");
        QTest::newRow("ban a user") << QByteArray("/ban") << false << QByteArray("banned");
        QTest::newRow("kick a bot") << QByteArray("/kick") << true << QByteArray("kicked");
        QTest::newRow("ban a bot") << QByteArray("/ban") << true << QByteArray("banned");
    }
    void kickAndBanAreAnswered()
    {
        QFETCH(QByteArray, command);
        QFETCH(bool, targetIsBot);
        QFETCH(QByteArray, word);
        DemoGateway gateway(quietOptions());
        Client alpha, beta;
        alpha.logIn("alpha");
        QVERIFY(alpha.take("1007").size());
        const QByteArrayList users = alpha.takeUsers();
        beta.logIn("beta");
        QVERIFY(alpha.take("1002 JOIN beta").size());

        const QByteArray user = targetIsBot ? "1001 USER beta 0010 [CHAT]" : someCrowdUser(users);
        const QByteArray target = nameOf(user);
        const QByteArray flags = user.split(' ').value(3);
        alpha.line(command + ' ' + target + " too loud");
        // The information line goes to everyone in the channel, the target
        // included; it starts with the target's name, as the bots' rejoin needs.
        const QByteArray info =
            "1018 INFO \"" + target + " has been " + word + " by alpha (too loud).\"";
        QCOMPARE(alpha.take("1018"), info);
        QCOMPARE(beta.take("1018"), info);
        QCOMPARE(alpha.take("1003"), "1003 LEAVE " + target + ' ' + flags);
        if (targetIsBot) {
            // Out of the channel until it joins one.
            QCOMPARE(gateway.channelOf("beta"), QByteArray());
            beta.line("still here?");
            QVERIFY(beta.take("1019 ERROR \"You are not in a channel.").size());
            QVERIFY(alpha.sync());
            QVERIFY(!alpha.has("1005"));
            beta.line("/join " + kChannel);
            QCOMPARE(beta.take("1007"), "1007 CHANNEL \"" + kChannel + '"');
            QCOMPARE(alpha.take("1002"), QByteArray("1002 JOIN beta 0010 [CHAT]"));
        } else {
            QCOMPARE(beta.take("1003"), "1003 LEAVE " + target + ' ' + flags);
            // Gone: a second kick finds nobody.
            alpha.line(command + ' ' + target + " again");
            QCOMPARE(alpha.take("1019"),
                     QByteArray("1019 ERROR \"That user is not in this channel.\""));
        }
    }

    void theGatewayKicksOrBansABotNowAndThen()
    {
        DemoGateway gateway(quietOptions());
        QVERIFY(!gateway.moderateOnce()); // nobody to kick yet
        Client alpha;
        alpha.logIn("alpha");
        QVERIFY(alpha.take("1007").size());
        QVERIFY(gateway.moderateOnce());
        const QByteArray info = alpha.take("1018");
        QVERIFY2(
            QRegularExpression(R"(^1018 INFO "alpha has been (kicked|banned) by \S+ \(.+\)\."$)")
                .match(QString::fromLatin1(info))
                .hasMatch(),
            info);
        QCOMPARE(gateway.channelOf("alpha"), QByteArray());
    }

    void keepAlivesComeToLoggedInBotsOnly()
    {
        DemoOptions o = quietOptions();
        o.keepAliveMs = 100;
        DemoGateway gateway(o);
        Client alpha, idle;
        alpha.logIn("alpha");
        QVERIFY(alpha.take("2000 NULL", 2000).size());
        QVERIFY(alpha.take("2000 NULL", 2000).size());
        QVERIFY(!idle.take("2000", 300).size());
    }

    void keepAlivesTakeTurns()
    {
        DemoGateway gateway(quietOptions());
        Client alpha, beta, gamma;
        for (auto [client, name] : {std::pair{&alpha, "alpha"}, {&beta, "beta"}, {&gamma, "gamma"}})
            client->logIn(name);
        for (Client* c : {&alpha, &beta, &gamma})
            QVERIFY(c->sync());
        for (int i = 0; i < 6; ++i)
            gateway.keepAlive();
        for (Client* c : {&alpha, &beta, &gamma}) {
            QVERIFY(c->sync());
            const QByteArrayList lines = c->takeAll();
            QCOMPARE(lines.count("2000 NULL"), 2);
        }
    }

    void theCrowdsEventsAreWellFormedAndConsistent()
    {
        DemoGateway gateway(quietOptions());
        Client alpha, beta;
        alpha.logIn("alpha");
        QVERIFY(alpha.take("1007").size());
        QSet<QByteArray> present;
        for (const QByteArray& u : alpha.takeUsers())
            present << nameOf(u);
        beta.logIn("beta");
        QVERIFY(alpha.take("1002 JOIN beta").size());
        QVERIFY(beta.take("1007").size());
        beta.takeUsers();
        for (int i = 0; i < 400; ++i)
            gateway.playOnce();
        QVERIFY(alpha.sync() && beta.sync());

        const QString flags = "(0000|0010|0002|0012)", text = "\"[^\"]*\"";
        const QRegularExpression layout("^(1002 JOIN \\S+ " + flags + " \\[[A-Z]{4}\\]|" +
                                        "1003 LEAVE \\S+ " + flags + "|" +
                                        "(1004 WHISPER|1005 TALK|1023 EMOTE) \\S+ " + flags + " " +
                                        text + "|(1018 INFO|1019 ERROR) " + text + ")$");
        QSet<QByteArray> kinds;
        for (const QByteArray& line : alpha.takeAll()) {
            QVERIFY2(layout.match(QString::fromLatin1(line)).hasMatch(), line);
            kinds << line.left(4);
            // Only those present leave, only those absent join.
            const QByteArray name = nameOf(line);
            if (line.startsWith("1002")) {
                QVERIFY2(!present.contains(name), line);
                present << name;
            }
            if (line.startsWith("1003"))
                QVERIFY2(present.remove(name), line);
        }
        for (const QByteArray& line : beta.takeAll()) {
            QVERIFY2(layout.match(QString::fromLatin1(line)).hasMatch(), line);
            kinds << line.left(4);
        }
        for (const char* kind : {"1002", "1003", "1004", "1005", "1018", "1019", "1023"})
            QVERIFY2(kinds.contains(kind), kind);
    }

    void theConsoleLogsInAndKeepsItsPlace()
    {
        DemoGateway gateway(quietOptions());
        TempSettings settings;
        QByteArray ini;
        for (int i = 1; i <= BotCount; ++i)
            ini += QString("[Bot %1]\r\nUsername=bot%1\r\nPassword=pw\r\nServer=%2\r\n\r\n")
                       .arg(i)
                       .arg(i <= 2 ? TEST_LOOPBACK : "")
                       .toLatin1();
        ini += "[All Bots]\r\nHome Channel=" + kChannel + "\r\nAnti Idle=demo\r\n";
        settings.write(ini);
        auto w = std::make_unique<frmMain>(settings.path());
        w->Load();

        w->btnConnect->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->lblBotConnected[1]->text(), QString("Yes"), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(w->btnLoginAll->isEnabled(), 5000);
        w->btnLoginAll->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->lblBotName[1]->text(), QString("2: bot2"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(w->lblCurrentChannel[0]->text(), QString(kChannel), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(ListNames(*w->UserList[0]).contains("bot2"), 5000);
        QVERIFY(w->UserList[0]->count() >= 15);

        // Kicked, the bot joins its home channel again; banned, the home
        // channel's name with "2".
        QVERIFY(gateway.removeUser(kChannel, "bot1", "Warden", "test", false));
        QTRY_COMPARE_WITH_TIMEOUT(gateway.channelOf("bot1"), kChannel, 5000);
        QVERIFY(gateway.removeUser(kChannel, "bot1", "Warden", "test", true));
        QTRY_COMPARE_WITH_TIMEOUT(gateway.channelOf("bot1"), kChannel + "2", 5000);
        QTRY_COMPARE_WITH_TIMEOUT(w->txtChannel[0]->text(), QString(kChannel + "2"), 5000);
        w->close();
    }
};

QTEST_MAIN(TestDemoGateway)
#include "test_demo_gateway.moc"
