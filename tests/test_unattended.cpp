// Left alone: Login At Start connects and logs in with no click, the desktop
// starts the console, tabs with news are marked, and what needs the operator
// reaches the desktop's notification service.
#include <QtTest>

#include <QAccessible>
#include <QCheckBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <sys/stat.h>

#include "app/attention.h"
#include "app/autostart.h"
#include "app/notifier.h"
#include "app/setupdialogs.h"
#include "app/tabstrip.h"
#include "bots/connection.h"
#include "bots/reconnect.h"
#include "settings/opensave.h"
#include "support/testapp.h"

namespace {

QByteArray login(int bot)
{
    return QString("\x03\x04\r\n\r\nbot%1\r\npw%1\r\n").arg(bot + 1).toLatin1();
}

// The tab's mark, as painted (the caption's hue) and as a screen reader hears it.
QString markOf(frmMain& w, int bot)
{
    TabButton* tab = w.SSTab1->tabButton(bot + 1);
    const QImage image = tab->grab().toImage();
    int blue = 0, red = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            blue += c.blue() > c.red() + 60 && c.blue() > c.green() + 60;
            red += c.red() > c.green() + 60 && c.red() > c.blue() + 60;
        }
    const QString painted = red ? "red" : blue ? "blue" : "plain";
    const QString said =
        QAccessible::queryAccessibleInterface(tab)->text(QAccessible::Description).section(", ", 1);
    return painted + (said.isEmpty() ? "" : ", " + said);
}

// dunst's history, newest first, each as "id|app|category|summary|body".
QStringList history()
{
    QProcess::execute("dunstctl", {"close-all"});
    QProcess p;
    p.start("dunstctl", {"history"});
    p.waitForFinished(5000);
    QStringList shown;
    const QJsonArray all = QJsonDocument::fromJson(p.readAllStandardOutput())["data"][0].toArray();
    for (const QJsonValue& n : all) {
        QStringList fields;
        for (const char* key : {"id", "appname", "category", "summary", "body"})
            fields << n[key]["data"].toVariant().toString();
        shown << fields.join('|');
    }
    return shown;
}

} // namespace

class TestUnattended : public QObject {
    Q_OBJECT
private slots:
    void loginAtStartLogsInEveryBotWithNoClick()
    {
        GatewayConsole c(TEST_LOOPBACK);
        QList<int> all{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        c.setUp(all, "Op Den", "away", "Login At Start=1\r\n");
        c.w->show();
        LoginAtStart(*c.w);
        QVERIFY(c.gateway.waitForConnections(10));
        for (int bot : all) {
            QVERIFY(c.follow(bot));
            QVERIFY(c.gateway.waitForText(c.connectionOf(bot), login(bot)));
            c.gateway.send(c.connectionOf(bot),
                           QString("2010 NAME bot%1\r\n").arg(bot + 1).toLatin1());
        }
        for (int bot : all) {
            QVERIFY(c.gateway.waitForText(c.connectionOf(bot), "Op Den\r\n"));
            QCOMPARE(c.gateway.received(c.connectionOf(bot)), login(bot) + "Op Den\r\n");
        }
    }

    // At boot the server may not be up yet: with Reconnect on the first
    // connect is tried again, and the connection that comes up logs in.
    void aRefusedFirstConnectIsTriedAgainThenLogsIn()
    {
        SetReconnectTimeScale(0.1);
        auto c = std::make_unique<GatewayConsole>(TEST_LOOPBACK);
        c->gateway.stopListening();
        c->setUp({0}, "Op Den", "away", "Login At Start=1\r\nReconnect=1\r\n");
        LoginAtStart(*c->w);
        QTRY_VERIFY(LogLines(*c->w->txtChatBox[0]).join('\n').contains("Could not connect: "));
        ScriptedGateway later(TEST_LOOPBACK);
        QVERIFY(later.waitForConnections(1, 5000));
        QVERIFY(later.waitForText(0, login(0)));
        later.send(0, "2010 NAME bot1\r\n");
        QVERIFY(later.waitForText(0, "Op Den\r\n"));
        QCOMPARE(later.received(0), login(0) + "Op Den\r\n");
    }

    void autostartEntryIsWrittenReadAndRemoved()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        QString why;
        QVERIFY(!AutostartOn());
        QVERIFY2(SetAutostart(true, &why), qPrintable(why));
        QCOMPARE(AutostartPath(), config.filePath("autostart/tenfold.desktop"));
        QVERIFY(AutostartOn());
        struct stat st {};
        QVERIFY(stat(QFile::encodeName(AutostartPath()), &st) == 0 && (st.st_mode & 0777) == 0644);
        const QByteArray entry = ReadFile(AutostartPath());
        QByteArray installed = ReadFile(":/data/tenfold.desktop");
        QVERIFY(installed.contains("\nExec=tenfold\n"));
        QCOMPARE(entry,
                 installed.replace("\nExec=tenfold\n",
                                   "\nExec=\"" + QCoreApplication::applicationFilePath().toUtf8() +
                                       "\"\n"));
        QVERIFY(AutostartEntry("/usr/bin/tenfold").contains("\nExec=tenfold\n"));
        QVERIFY(AutostartEntry("/o p/\"$x`\\100%")
                    .contains("\nExec=\"/o p/\\\\\"\\\\$x\\\\`\\\\\\\\100%%\"\n"));
        QVERIFY2(SetAutostart(false, &why), qPrintable(why));
        QVERIFY(!AutostartOn());
        // Where a file stands, no folder can be made.
        WriteFile(config.filePath("file"), "");
        qputenv("XDG_CONFIG_HOME", config.filePath("file").toLocal8Bit());
        QVERIFY(!SetAutostart(true, &why) && !why.isEmpty());
    }

    // Bot Setup's new boxes: the option goes to the file, the entry to disk.
    void botSetupTurnsLoginAtStartAndTheEntryOnAndOff()
    {
        QTemporaryDir config;
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
        const auto restore = qScopeGuard([] { qunsetenv("XDG_CONFIG_HOME"); });
        TempSettings s;
        frmMain w(s.path());
        w.Load();
        for (bool on : {true, false}) {
            QTimer::singleShot(0, &w, [] {
                QWidget* dialog = QApplication::activeModalWidget();
                for (QCheckBox* box : dialog->findChildren<QCheckBox*>())
                    if (box->text().startsWith("Connect and log in") ||
                        box->text().startsWith("Start Tenfold"))
                        box->toggle();
                QTest::keyClick(dialog, Qt::Key_Return);
            });
            BotSetup(w);
            QCOMPARE(ReadOption(s.path(), "Login At Start", !on), on);
            QCOMPARE(AutostartOn(), on);
        }
    }

    // Each bot's tab gets one kind of entry while the Settings tab is shown.
    void tabsWithNewsAreMarkedUntilShown()
    {
        GatewayConsole c(TEST_LOOPBACK);
        QList<int> all{0, 1, 2, 3, 4, 5, 6, 7, 8, 9};
        c.setUp(all);
        QVERIFY(c.connectBots(all));
        c.w->show();
        for (int bot : all)
            QVERIFY(c.feed(bot, QString("2010 NAME bot%1\r\n").arg(bot + 1).toLatin1()));
        QCOMPARE(markOf(*c.w, 0), QString("plain")); // off by default
        StoreSetting(c.settings.path(), "Options", "Mark Tabs", "1");
        ApplyChatOptions(*c.w);
        c.w->SSTab1->setCurrentIndex(10);
        const QByteArray lines[] = {
            "1005 TALK x 0010 \"hi\"\r\n",
            "1004 WHISPER Scout 0010 \"psst\"\r\n",
            "1018 INFO \"bot3 has been kicked by Op (x).\"\r\n",
            "1018 INFO \"bot4 has been banned by Op (x).\"\r\n",
            "1019 ERROR \"You are banned from that channel.\"\r\n",
            "",
            "Login failed.\r\n",
            "2000 NULL\r\n1023 EMOTE bot8 0010 \"Anti-Idle [Tenfold v1.00 (away)]\"\r\n",
            "",
            "1004 WHISPER Scout 0010 \"seen\"\r\n",
        };
        for (int bot : all)
            QVERIFY(c.feed(bot, lines[bot]));
        c.gateway.close(c.connectionOf(5));
        c.w->txtTalkAll->setText("hello all");
        c.w->Command5->click();
        QTRY_COMPARE(markOf(*c.w, 5), QString("red, needs attention"));
        const QString marks[] = {"blue, new lines", "red, needs attention"};
        QCOMPARE(markOf(*c.w, 0), marks[0]);
        for (int bot : {1, 2, 3, 4, 6})
            QCOMPARE(markOf(*c.w, bot), marks[1]);
        for (int bot : {7, 8, 9})
            QVERIFY2(
                markOf(*c.w, bot) == "plain",
                qPrintable(QString::number(bot) + ColouredLines(*c.w->txtChatBox[bot]).join('\n')));
        QTest::mouseClick(c.w->SSTab1->tabButton(2), Qt::LeftButton);
        QCOMPARE(markOf(*c.w, 1), QString("plain"));
        QCOMPARE(markOf(*c.w, 0), marks[0]);
    }

    void notifications()
    {
        if (qEnvironmentVariable("TENFOLD_TEST_DUNST") != "1")
            QSKIP("needs dunst on a private session bus: run through notify.sh");
        Notifier::SetQuietMs(2000);
        QVERIFY(Notifier::Available());
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({0, 1}, "Op Den", "away", "Notify=1\r\n");
        QVERIFY(c.connectBots({0, 1}));
        c.w->show();
        QVERIFY(QTest::qWaitForWindowActive(c.w.get()));
        for (int bot : {0, 1})
            QVERIFY(c.feed(bot, QString("2010 NAME bot%1\r\n").arg(bot + 1).toLatin1()));
        Notifier* notifier = c.w->attention->notifier();
        const auto delivered = [&] { return RunUntil([&] { return notifier->idle(); }, 5000); };
        history();
        // Bot 1's tab in the active window: nothing for it. Bot 2's three
        // pieces of news within the quiet time: one notification, replaced.
        c.w->SSTab1->setCurrentIndex(1);
        QVERIFY(c.feed(0, "1004 WHISPER Scout 0010 \"seen\"\r\n"));
        QVERIFY(c.feed(1, "1004 WHISPER Scout 0010 \"first\"\r\n"));
        QVERIFY(c.feed(1, "1018 INFO \"bot2 has been banned by Op (x).\"\r\n"));
        QVERIFY(c.feed(1, "1004 WHISPER Scout 0010 \"a <b>&amp; c</b>\"\r\n"));
        QVERIFY(delivered());
        const QString first = "Tenfold|im.received|bot2: whisper from Scout (and 2 more)|"
                              "a &lt;b&gt;&amp;amp; c&lt;/b&gt;";
        QCOMPARE(history().replaceInStrings(QRegularExpression("^\\d+\\|"), ""),
                 QStringList{first});

        // After the quiet time a new one; in an inactive window bot 1's too.
        QTest::qWait(2100);
        c.gateway.close(c.connectionOf(1));
        QWidget other;
        other.show();
        QVERIFY(QTest::qWaitForWindowActive(&other));
        QVERIFY(c.feed(0, "1004 WHISPER Scout 0010 \"hi\"\r\n"));
        QVERIFY(RunUntil(
            [&] { return notifier->idle() && c.w->Winsock[1]->State() != BotSocket::Connected; },
            5000));
        QProcess::execute("dunstctl", {"action", "0"});
        QTRY_COMPARE(c.w->SSTab1->currentIndex(), 2);
        QVERIFY(QTest::qWaitForWindowActive(c.w.get()));
        // The history keeps the first one, oldest last.
        QCOMPARE(history().replaceInStrings(QRegularExpression("^\\d+\\|"), "").mid(0, 3),
                 (QStringList{"Tenfold|im.received|bot1: whisper from Scout|hi",
                              "Tenfold|network.disconnected|bot2 lost its connection|"
                              "The connection to " TEST_LOOPBACK " ended.",
                              first}));
    }
};

QTEST_MAIN(TestUnattended)
#include "test_unattended.moc"
