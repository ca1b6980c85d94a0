// The window's fields and the settings file: read at start-up, written on
// every change of tab and at shutdown.
#include <QLineEdit>
#include <QtTest>
#include <csignal>
#include <optional>
#include <sys/resource.h>
#include <sys/stat.h>

#include "app/frmmain.h"
#include "app/tabstrip.h"
#include "support/testapp.h"

namespace {

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

// Each bot's user, password and server, then the shared fields and the bot
// tabs' captions, as one list.
QStringList fields(const frmMain& w)
{
    QStringList list;
    for (int i = 0; i < BotCount; ++i)
        list << w.txtUsername[i]->text() + '|' + w.txtPassword[i]->text() + '|' +
                    w.txtServer[i]->text();
    list << w.txtHomeChannel->text() << w.txtAntiIdle->text() << w.txtHomeChannel2->text();
    for (int k = 1; k <= BotCount; ++k)
        list << w.SSTab1->tabCaption(k);
    return list;
}

// What fields() shows when bot i has user<i>, pass<i> and host<i>, but bot 3
// has `user3`.
QStringList filled(const QString& user3 = "user3")
{
    QStringList list, captions;
    for (int i = 1; i <= BotCount; ++i) {
        const QString user = i == 3 ? user3 : QString("user%1").arg(i);
        list << QString("%1|pass%2|host%2").arg(user).arg(i);
        captions << QString("%1: %2").arg(i).arg(user);
    }
    return list << "Op Room"
                << "still here"
                << "" << captions;
}

void fill(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        w.txtUsername[i]->setText(QString("user%1").arg(i + 1));
        w.txtPassword[i]->setText(QString("pass%1").arg(i + 1));
        w.txtServer[i]->setText(QString("host%1").arg(i + 1));
    }
    w.txtHomeChannel->setText("Op Room");
    w.txtAntiIdle->setText("still here");
}

// The file a save writes from scratch, for fields as fill() sets them or, when
// not `filled`, as a start without a file leaves them.
QByteArray savedFile(bool filled = true)
{
    QByteArray text;
    for (int i = 1; i <= BotCount; ++i) {
        const QByteArray n = QByteArray::number(i);
        text += "[Bot " + n + "]\nUsername=" + (filled ? "user" + n : "Guest") +
                "\nPassword=" + (filled ? "pass" + n : "") +
                "\nServer=" + (filled ? "host" + n : "") + "\n\n";
    }
    return text + "[All Bots]\nHome Channel=" + (filled ? "Op Room" : "") +
           "\nAnti Idle=" + (filled ? "still here" : "") + "\n";
}

void clickTab(frmMain& w, int k)
{
    QTest::mouseClick(w.SSTab1->tabButton(k), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), k);
}

void expectWarning(const QString& pattern)
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(pattern));
}

} // namespace

class TestFormSettings : public QObject {
    Q_OBJECT
private slots:
    // Every value is written at each change of tab and at shutdown, and read
    // at start-up: an empty user name as "Guest", the 2nd home channel never.
    void tabClicksAndCloseWriteEveryValue()
    {
        TempSettings s;
        {
            frmMain w(s.path());
            w.Load();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(w.txtUsername[9]->text(), QString("Guest"));
            QVERIFY(!QFile::exists(s.path()));
            clickTab(w, 5);
            QCOMPARE(ReadFile(s.path()), savedFile(false));

            fill(w);
            clickTab(w, 11);
            QCOMPARE(ReadFile(s.path()), savedFile());
            QCOMPARE(fields(w), filled());
            w.txtHomeChannel2->setText("never stored");
            w.txtUsername[2]->clear();
            QVERIFY(w.close());
        }
        WriteFile(s.path(), ReadFile(s.path()) + "2nd Home Channel=x\n");
        frmMain again(s.path());
        again.Load();
        QCOMPARE(fields(again), filled("Guest"));
    }

    void failedSaveKeepsOldFileAndFields_data()
    {
        QTest::addColumn<bool>("unreadable"); // else the disk fills up
        QTest::newRow("write fails midway") << false;
        QTest::newRow("file cannot be read") << true;
    }
    void failedSaveKeepsOldFileAndFields()
    {
        QFETCH(bool, unreadable);
        TempSettings s;
        const QByteArray old = "[Bot 1]\nUsername=old\n";
        if (unreadable) // a pipe: neither read nor replaced
            QCOMPARE(::mkfifo(QFile::encodeName(s.path()).constData(), 0600), 0);
        else
            s.write(old);
        const QString named = QRegularExpression::escape(s.path());
        if (unreadable)
            expectWarning("^tenfold: settings not read from " + named + ": .+");
        frmMain w(s.path());
        w.Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        fill(w);
        expectWarning("^tenfold: settings not saved to " + named + ": .+");
        {
            std::optional<FileSizeLimit> limit;
            if (!unreadable)
                limit.emplace(64);
            clickTab(w, 2);
        }
        QCOMPARE(
            QDir(s.dir.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"setup.cfg"});
        QVERIFY(unreadable ? !QFileInfo(s.path()).isFile() : ReadFile(s.path()) == old);
        QCOMPARE(fields(w), filled());
        if (unreadable)
            expectWarning("^tenfold: settings not saved to " + named + ": .+");
        QVERIFY(w.close());
        if (!unreadable) // the disk takes it again
            QCOMPARE(ReadFile(s.path()), savedFile());
    }

    // Only the first megabyte is read, and the next save keeps only that.
    void hugeFileIsReadInPart()
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
        frmMain w(s.path());
        w.Load();
        QCOMPARE(w.txtUsername[0]->text(), QString("alice"));
        QCOMPARE(w.txtUsername[1]->text(), QString("Guest"));
        QVERIFY(w.close());
        QVERIFY(ReadFile(s.path()).startsWith("[Bot 1]\nUsername=alice\nPassword=\n"));
        QVERIFY(QFileInfo(s.path()).size() < 1024);
    }
};

QTEST_MAIN(TestFormSettings)
#include "test_form_settings.moc"
