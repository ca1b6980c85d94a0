#include <QLineEdit>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>
#include <csignal>
#include <optional>
#include <sys/resource.h>

#include "app/frmmain.h"
#include "app/tabstrip.h"
#include "bots/botsocket.h"
#include "support/testapp.h"

namespace {

// "1: <name of bot 1>" .. "10: <name of bot 10>", the bot tabs' captions.
QStringList captions(const frmMain& w)
{
    QStringList list;
    for (int k = 1; k <= BotCount; ++k)
        list << w.SSTab1->tabCaption(k);
    return list;
}

// `pattern` with %1 replaced by the bot number, if it has one.
QString forBot(const QString& pattern, int i)
{
    return pattern.contains("%1") ? pattern.arg(i) : pattern;
}

QStringList captionsFor(const QString& name)
{
    QStringList list;
    for (int i = 1; i <= BotCount; ++i)
        list << QString("%1: %2").arg(i).arg(forBot(name, i));
    return list;
}

void clickTab(frmMain& w, int k)
{
    QTest::mouseClick(w.SSTab1->tabButton(k), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), k);
}

// Writes beyond `bytes` fail with EFBIG instead of killing the process.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes)
    {
        oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &old);
        rlimit lower = old;
        lower.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &lower);
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
    }
    rlimit old{};
    void (*oldHandler)(int) = nullptr;
};

// Bot i's fields hold user<i>, pass<i> and host<i>.
void fillFields(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        w.txtUsername[i]->setText(QString("user%1").arg(i + 1));
        w.txtPassword[i]->setText(QString("pass%1").arg(i + 1));
        w.txtServer[i]->setText(QString("host%1").arg(i + 1));
    }
    w.txtHomeChannel->setText("Op Room");
    w.txtAntiIdle->setText("still here");
    w.txtHomeChannel2->setText("never stored");
}

// The file as a save writes it from scratch; %1 is the bot number.
QByteArray savedFile(const QString& user = "user%1", const QString& pass = "pass%1",
                     const QString& host = "host%1", const QString& home = "Op Room",
                     const QString& antiIdle = "still here")
{
    QString text;
    for (int i = 1; i <= BotCount; ++i)
        text += QString("[Bot %1]\nUsername=%2\nPassword=%3\nServer=%4\n\n")
                    .arg(i)
                    .arg(forBot(user, i), forBot(pass, i), forBot(host, i));
    text += QString("[All Bots]\nHome Channel=%1\nAnti Idle=%2\n").arg(home, antiIdle);
    return text.toLatin1();
}

void expectWarning(const QString& pattern)
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(pattern));
}

} // namespace

class TestFormSettings : public QObject {
    Q_OBJECT
private slots:
    void startsWithDefaults()
    {
        TempSettings s;
        frmMain w(s.path());
        w.Load();
        for (int i = 0; i < BotCount; ++i) {
            QCOMPARE(w.txtUsername[i]->text(), QString("Guest"));
            QVERIFY(w.txtPassword[i]->text().isEmpty());
            QVERIFY(w.txtServer[i]->text().isEmpty());
        }
        QVERIFY(w.txtHomeChannel->text().isEmpty());
        QVERIFY(w.txtAntiIdle->text().isEmpty());
        QCOMPARE(captions(w), captionsFor("Guest"));
        QVERIFY(!QFile::exists(s.path()));
    }

    void loadsFromFile()
    {
        TempSettings s;
        QByteArray text = savedFile().replace("Username=user3", "Username=");
        WriteFile(s.path(), text + "2nd Home Channel=ignored\n");
        frmMain w(s.path());
        w.Load();
        for (int i = 0; i < BotCount; ++i) {
            QCOMPARE(w.txtUsername[i]->text(), i == 2 ? "Guest" : QString("user%1").arg(i + 1));
            QCOMPARE(w.txtPassword[i]->text(), QString("pass%1").arg(i + 1));
            QCOMPARE(w.txtServer[i]->text(), QString("host%1").arg(i + 1));
        }
        QCOMPARE(w.txtHomeChannel->text(), QString("Op Room"));
        QCOMPARE(w.txtAntiIdle->text(), QString("still here"));
        QVERIFY(w.txtHomeChannel2->text().isEmpty());
        QCOMPARE(captions(w)[2], QString("3: Guest"));
        QCOMPARE(captions(w)[9], QString("10: user10"));
    }

    void tabClickWritesEveryValue()
    {
        TempSettings s;
        {
            frmMain w(s.path());
            w.Load();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            clickTab(w, 5);
            QCOMPARE(ReadFile(s.path()), savedFile("Guest", "", "", "", ""));

            fillFields(w);
            QCOMPARE(captions(w), captionsFor("Guest")); // until the next click
            clickTab(w, 11);
            QCOMPARE(ReadFile(s.path()), savedFile());
            QCOMPARE(captions(w), captionsFor("user%1"));

            w.txtUsername[0]->clear();
            w.txtUsername[3]->setText("Alpha");
            clickTab(w, 0);
            QCOMPARE(captions(w)[0], QString("1: "));
            QCOMPARE(captions(w)[3], QString("4: Alpha"));
        }
        frmMain again(s.path());
        again.Load();
        QCOMPARE(again.txtUsername[0]->text(), QString("Guest"));
        QCOMPARE(captions(again)[3], QString("4: Alpha"));
        QVERIFY(again.txtHomeChannel2->text().isEmpty());
    }

    void closingWritesEveryValueAndClosesSockets()
    {
        TempSettings s;
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress(TEST_LOOPBACK)));
        QList<QTcpSocket*> peers;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            while (QTcpSocket* peer = server.nextPendingConnection())
                peers << peer;
        });

        frmMain w(s.path());
        w.Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (BotSocket* socket : w.Winsock)
            QVERIFY(socket->Connect(TEST_LOOPBACK, server.serverPort()));
        for (BotSocket* socket : w.Winsock)
            QTRY_COMPARE(socket->State(), int(BotSocket::Connected));
        QTRY_COMPARE(peers.size(), BotCount);

        fillFields(w);
        QVERIFY(w.close());
        QCOMPARE(ReadFile(s.path()), savedFile());
        for (BotSocket* socket : w.Winsock)
            QCOMPARE(socket->State(), int(BotSocket::Closed));
        for (QTcpSocket* peer : peers)
            QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(captions(w), captionsFor("Guest")); // shutdown leaves them
    }

    void failedSaveKeepsOldFileAndFields_data()
    {
        QTest::addColumn<QString>("path");    // the settings file
        QTest::addColumn<QString>("blocker"); // what is in the way; "/" ends a folder
        QTest::addColumn<QString>("loadWarning");
        QTest::addColumn<QStringList>("left"); // what the folder holds afterwards
        QTest::newRow("write fails midway") << "setup.cfg"
                                            << ""
                                            << "" << QStringList{"setup.cfg"};
        QTest::newRow("folder is a file") << "tenfold/setup.cfg"
                                          << "tenfold"
                                          << "" << QStringList{"tenfold"};
        QTest::newRow("file is a folder") << "setup.cfg"
                                          << "setup.cfg/"
                                          << "not read from" << QStringList{"setup.cfg"};
    }
    void failedSaveKeepsOldFileAndFields()
    {
        QFETCH(QString, path);
        QFETCH(QString, blocker);
        QFETCH(QString, loadWarning);
        QFETCH(QStringList, left);
        TempSettings s;
        const QString file = s.dir.filePath(path);
        const QByteArray old = "[Bot 1]\nUsername=old\n";
        if (blocker.isEmpty())
            WriteFile(file, old);
        else if (blocker.endsWith('/'))
            QVERIFY(QDir(s.dir.path()).mkdir(blocker));
        else
            WriteFile(s.dir.filePath(blocker), old);

        const QString named = QRegularExpression::escape(file);
        if (!loadWarning.isEmpty())
            expectWarning("^tenfold: settings " + loadWarning + " " + named + ": .+");
        frmMain w(file);
        w.Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        fillFields(w);
        expectWarning("^tenfold: settings not saved to " + named + ": .+");
        {
            std::optional<FileSizeLimit> limit;
            if (blocker.isEmpty())
                limit.emplace(64);
            clickTab(w, 2);
        }
        QCOMPARE(
            QDir(s.dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
            left);
        if (!blocker.endsWith('/'))
            QCOMPARE(ReadFile(blocker.isEmpty() ? file : s.dir.filePath(blocker)), old);
        for (int i = 0; i < BotCount; ++i) {
            QCOMPARE(w.txtUsername[i]->text(), QString("user%1").arg(i + 1));
            QCOMPARE(w.txtPassword[i]->text(), QString("pass%1").arg(i + 1));
            QCOMPARE(w.txtServer[i]->text(), QString("host%1").arg(i + 1));
        }
        QCOMPARE(w.txtHomeChannel->text(), QString("Op Room"));
        QCOMPARE(w.txtAntiIdle->text(), QString("still here"));
        QCOMPARE(captions(w), captionsFor("user%1"));
        if (blocker.isEmpty()) { // the disk takes it again
            QVERIFY(w.close());
            QCOMPARE(ReadFile(file), savedFile());
        } else {
            expectWarning("^tenfold: settings not saved to " + named + ": .+");
            QVERIFY(w.close());
        }
    }

    void hugeFileDoesNotStallStartUp()
    {
        TempSettings s;
        {
            QFile f(s.path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Bot 1]\r\nUsername=alice\r\n");
            QVERIFY(f.resize(50 << 20)); // a sparse hole of NUL bytes
            QVERIFY(f.seek(f.size()));
            f.write("\r\n[Bot 2]\r\nUsername=bob\r\n");
        }
        expectWarning("^tenfold: " + QRegularExpression::escape(s.path()) +
                      ": only the first 1.0 MB of its 50.0 MB are read");
        QElapsedTimer timer;
        timer.start();
        frmMain w(s.path());
        w.Load();
        QVERIFY2(timer.elapsed() < 5000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(w.txtUsername[0]->text(), QString("alice"));
        QCOMPARE(w.txtUsername[1]->text(), QString("Guest"));
        // The next save keeps what was read, and the file is small again.
        QVERIFY(w.close());
        QVERIFY(ReadFile(s.path()).startsWith("[Bot 1]\nUsername=alice\nPassword=\n"));
        QVERIFY(QFileInfo(s.path()).size() < 1024);
    }
};

QTEST_MAIN(TestFormSettings)
#include "test_form_settings.moc"
