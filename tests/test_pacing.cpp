// Bot Setup's pacing: the rule by itself at exact times, then through the
// scripted gateway with the window at a fifth of its length.
#include <QtTest>

#include "bots/sendqueue.h"
#include "support/testapp.h"

using namespace pacing;

namespace {

constexpr int kSlackMs = 150; // how much earlier than its window a line may be seen
const QString kNote = "Gray: 1 line waiting: the server allows 5 lines in 5 seconds.";

Line line(qsizetype bytes)
{
    return {QByteArray(bytes, 'x') + "\r\n", {}};
}

// Bots connected and named, with [Options] as given; records when each line
// of a connection arrives.
struct Console : GatewayConsole {
    Console(const QList<int>& bots, const QByteArray& options) : GatewayConsole(TEST_LOOPBACK)
    {
        setUp(bots);
        settings.write(ReadFile(settings.path()) + "[Options]\r\n" + options);
        if (!connectBots(bots))
            qFatal("the bots did not connect");
        for (int bot : bots)
            feed(bot, QString("2010 NAME bot%1\r\n").arg(bot + 1).toLatin1());
        clock.start();
        QObject::connect(&gateway, &ScriptedGateway::bytesArrived, [this](int n) {
            while (at[n].size() < gateway.received(n).count("\r\n"))
                at[n] << clock.elapsed();
        });
    }
    void say(int bot, const QString& text)
    {
        w->txttalk[bot]->setText(text);
        w->Command1[bot]->click();
    }
    // When line k (from 0) of the bot's connection arrived.
    qint64 arrival(int bot, int k) { return at[connectionOf(bot)].value(k, -1); }
    QElapsedTimer clock;
    QMap<int, QList<qint64>> at;
};

QByteArray lines(const QStringList& texts)
{
    return (texts.join("\r\n") + "\r\n").toLatin1();
}

} // namespace

class TestPacing : public QObject {
    Q_OBJECT
private slots:
    void init() { SetPaceTimeScale(0.2); }

    void aLineCostsOnePerFortyBytesStarted()
    {
        QCOMPARE(lineCost(0), 1);
        QCOMPARE(lineCost(40), 1);
        QCOMPARE(lineCost(41), 2);
        QCOMPARE(lineCost(120), 3);
        QCOMPARE(lineCost(121), 4);
    }

    void theWindowHoldsTheBudgetAndRejoinsGoFirst()
    {
        Pacer p;
        const auto next = [&p](qint64 now, Limits limits = {}) {
            return int(p.nextAt(now, limits).value_or(-1));
        };
        for (int k = 0; k < 5; ++k)
            QVERIFY(p.push(line(40), Kind::Chat));
        QVERIFY(p.push(line(120), Kind::Chat));
        for (int k = 0; k < 4; ++k)
            QVERIFY(p.take(1000 + k, {}));
        // Full: the next unit fits when the first leaves the window.
        QCOMPARE(next(1004), 7000);
        QVERIFY(!p.take(6999, {}));
        QVERIFY(p.push(line(2), Kind::Answer) && !p.push(line(2), Kind::Answer));
        QVERIFY(p.push(line(1), Kind::Rejoin) && p.push(line(3), Kind::Rejoin));
        QVERIFY(!p.push(line(1), Kind::Rejoin));
        QCOMPARE(p.take(7000, {})->bytes, "x\r\n");
        QCOMPARE(p.take(7001, {})->bytes, "xxx\r\n");
        QCOMPARE(int(p.take(7002, {})->bytes.size()), 42);
        // 120 bytes need room for 3: until one of the last three remains.
        QCOMPARE(next(7003), 13001);
        QCOMPARE(int(p.take(13001, {})->bytes.size()), 122);
        QCOMPARE(int(p.clear()), 1);
        // A line dearer than the budget goes alone, on an empty window.
        QVERIFY(p.push(line(200), Kind::Chat) && p.push(line(1), Kind::Chat));
        QVERIFY(p.take(20000, {2, 10}));
        QCOMPARE(next(20000, {2, 10}), 20010);
    }

    // Out-of-range limits mean the defaults: 4 units in 6 s.
    void typedLinesArriveInOrderFourToAWindow()
    {
        Console c({0}, "Pace Lines=1\r\nPace Budget=0\r\nPace Seconds=61\r\n");
        QStringList said, shown;
        for (int k = 1; k <= 12; ++k) {
            said << QString("line %1").arg(k);
            shown << "White: <bot1> " + said.last();
            c.say(0, said.last());
        }
        shown.insert(4, kNote);
        // Shown as it goes: the rest when the window has room.
        QCOMPARE(ColouredLines(*c.w->txtChatBox[0]).mid(1), shown.mid(0, 5));
        QVERIFY(c.gateway.waitForText(c.connectionOf(0), "line 12\r\n", 5000));
        QCOMPARE(c.gateway.received(c.connectionOf(0)), lines(said));
        QCOMPARE(ColouredLines(*c.w->txtChatBox[0]).mid(1), shown);
        for (int k = 0; k + 4 < 12; ++k) {
            const qint64 gap = c.arrival(0, k + 4) - c.arrival(0, k);
            QVERIFY2(gap >= 1200 - kSlackMs && gap < 1200 + 600, qPrintable(QString::number(gap)));
        }
    }

    // The rejoin goes ahead of waiting chat; a drop ends what still waits.
    void aRejoinGoesFirstAndADropEndsTheQueue()
    {
        Console c({0}, "Pace Lines=1\r\nPace Budget=3\r\nPace Seconds=5\r\n");
        const int n = c.connectionOf(0);
        QStringList said;
        for (int k = 1; k <= 7; ++k)
            c.say(0, said.emplace_back(QString("line %1").arg(k)));
        QVERIFY(c.feed(0, "1018 INFO \"bot1 has been kicked by boss (out).\"\r\n"));
        said.insert(3, "/join Op Den");
        QVERIFY(c.gateway.waitForText(n, lines(said.mid(0, 6))));
        QVERIFY(c.arrival(0, 3) >= c.arrival(0, 0) + 1000 - kSlackMs);
        c.gateway.close(n);
        QTRY_COMPARE(LogLines(*c.w->txtChatBox[0]).last(),
                     QString("2 waiting lines were not sent."));
        c.w->btnConnect->click();
        QVERIFY(RunUntil([&] { return c.gateway.count() == 2; }, 5000) && c.follow(0));
        QVERIFY(c.feed(0, "2010 NAME bot1\r\n"));
        c.say(0, "again");
        QTest::qWait(1200);
        QCOMPARE(c.gateway.received(n), lines(said.mid(0, 6)));
        QCOMPARE(c.gateway.received(c.connectionOf(0)), "again\r\n");
    }

    // Long lines cost by their pieces; each bot paces its own line of Send
    // Text To All Bots.
    void longLinesWaitForRoomAndEachBotPacesItsOwn()
    {
        Console c({0, 1}, "Pace Lines=1\r\n");
        const QString longLine(120, 'x');
        for (const QString& text : {QString("a"), QString("b"), longLine})
            c.say(0, text);
        c.w->txtTalkAll->setText(QString(40, 'y'));
        c.w->Command5->click();
        QVERIFY(c.gateway.waitForText(c.connectionOf(1), lines({QString(40, 'y')})));
        QVERIFY(c.arrival(1, 0) < 1200 - kSlackMs);
        QVERIFY(c.gateway.waitForText(c.connectionOf(0),
                                      lines({"a", "b", longLine, QString(40, 'y')})));
        QVERIFY(c.arrival(0, 2) >= c.arrival(0, 0) + 1200 - kSlackMs);
        QVERIFY(c.arrival(0, 3) < c.arrival(0, 2) + kSlackMs);
        QCOMPARE(ColouredLines(*c.w->txtChatBox[0]).mid(3, 2),
                 (QStringList{kNote, "White: <bot1> " + longLine}));
    }
};

QTEST_MAIN(TestPacing)
#include "test_pacing.moc"
