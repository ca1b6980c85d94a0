// What `make demo` shows: the console logs in to the demo gateway, sits in a
// busy channel, talks and moderates through it, and keeps its place.
#include <QTest>
#include <memory>

#include "support/testapp.h"
#include "tools/gateway/demogateway.h"

namespace {

const QByteArray kChannel = "Tenfold Demo";

// Whether some entry of the logs starts with `prefix`.
bool logged(const frmMain& w, const QString& prefix)
{
    for (int bot : {0, 1})
        for (const QString& line : ColouredLines(*w.txtChatBox[bot]))
            if (line.startsWith(prefix))
                return true;
    return false;
}

} // namespace

class TestDemoGateway : public QObject {
    Q_OBJECT
private slots:
    void theConsoleInTheDemoChannel()
    {
        DemoOptions options;
        options.address = TEST_LOOPBACK;
        options.activityMs = options.keepAliveMs = options.moderationMs = 0; // played by hand
        options.seed = 42;
        DemoGateway gateway(options);
        QVERIFY(gateway.listening());
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
        w->btnLoginAll->click();
        QTRY_COMPARE_WITH_TIMEOUT(w->lblBotName[1]->text(), QString("2: bot2"), 5000);
        QTRY_COMPARE_WITH_TIMEOUT(w->lblCurrentChannel[0]->text(), QString(kChannel), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(ListNames(*w->UserList[0]).contains("bot2"), 5000);
        QVERIFY(w->UserList[0]->count() >= 15);

        // The channel lives: talk, emotes, whispers, information and errors.
        for (int i = 0; i < 300; ++i)
            gateway.playOnce();
        for (const char* kind : {"White: <", "Yellow: <", "Gray: <From:", "Red: "})
            QTRY_VERIFY2_WITH_TIMEOUT(logged(*w, kind), kind, 5000);

        // What one bot says, the other hears; a kicked user leaves both lists.
        w->txttalk[0]->setText("hello demo");
        w->Command1[0]->click();
        QTRY_VERIFY_WITH_TIMEOUT(logged(*w, "White: <bot1> hello demo"), 5000);
        QListWidgetItem* someone = w->UserList[0]->item(w->UserList[0]->count() - 1);
        const QString name = someone->text();
        QVERIFY(name != "bot1" && name != "bot2");
        w->UserList[0]->setCurrentItem(someone);
        w->Command4[0]->click();
        QTRY_VERIFY_WITH_TIMEOUT(!ListNames(*w->UserList[1]).contains(name), 5000);

        // Kicked, a bot joins its home channel again; banned, the home
        // channel's name with "2".
        QVERIFY(gateway.removeUser(kChannel, "bot1", "Warden", "test", false));
        QTRY_COMPARE_WITH_TIMEOUT(gateway.channelOf("bot1"), kChannel, 5000);
        QVERIFY(gateway.removeUser(kChannel, "bot1", "Warden", "test", true));
        QTRY_COMPARE_WITH_TIMEOUT(w->txtChannel[0]->text(), QString(kChannel + "2"), 5000);
        w->close();
    }
};

QTEST_MAIN(TestDemoGateway)
#include "test_demo_gateway.moc"
