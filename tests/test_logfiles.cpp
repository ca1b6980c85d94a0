#include <QtTest>
#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

#include "app/quitsignals.h"
#include "chat/chatlog.h"
#include "chat/showdata.h"
#include "log/logfiles.h"
#include "support/testapp.h"

namespace {

// A local time on a day of December 2026.
qint64 at(int day, const char* time)
{
    return QDateTime(QDate(2026, 12, day), QTime::fromString(time)).toSecsSinceEpoch();
}

int modeOf(const QString& path)
{
    struct stat st {};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// The logs of bots 1 and 3, each handing its entries to the same log files,
// which report back into them as the window does. Above the files' own two
// folders is a link, as $XDG_DATA_HOME may be.
struct Bots {
    QTemporaryDir dir;
    LogFiles files{dir.filePath("home/data/logs"), 3};
    LogView log[2];
    Bots()
    {
        QFile::link(dir.path(), dir.filePath("home"));
        for (int i : {0, 1})
            log[i].setEntryTap([this, i](const EntryTime& t, std::string_view text) {
                files.write(2 * i, t, text);
            });
        QObject::connect(&files, &LogFiles::writeFailed,
                         [this](int bot, const QString& m) { AddChat(log[bot / 2], m, "Red"); });
        QObject::connect(&files, &LogFiles::noted,
                         [this](int bot, const QString& m) { AddChat(log[bot / 2], m, "Gray"); });
    }
    QByteArray read(int bot, int day) const { return ReadFile(files.path(bot, 20261200 + day)); }
};

} // namespace

const char kChildMode[] = "--console-until-signalled";
const char kStarted7[] = "--- Logging started 2026-12-07 ";

class TestLogFiles : public QObject {
    Q_OBJECT
private slots:
    // Each entry one line, led by its time, in UTF-8, in the bot's file of the
    // entry's day; breaks and controls as visible marks (the window keeps
    // them); private; written out within a second, when the day's file
    // closes, and appended to when opened again; each run between marks.
    void filesHoldWhatTheLogsShow()
    {
        Bots b;
        SetEntryClockForTesting(at(7, "23:59:59"));
        b.log[0].setTimestamps(true);
        AddChat(b.log[0], "<bot1> caf\u00e9 \u20ac", "White");
        const char* forged = "a\r\nb\r23:59:59 <Admin>\x1b[2J\u009b\x7f\t";
        AddChat(b.log[1], forged, "White");
        AddChat(b.log[0], "Already logged in as bot1.", "Gray");
        const QByteArray bot1 = "23:59:59\n23:59:59 <bot1> caf\xc3\xa9 ?\n23:59:59 Already logged "
                                "in as bot1.\n";
        QTRY_COMPARE_WITH_TIMEOUT(b.read(0, 7), kStarted7 + bot1, 3000);
        QCOMPARE(b.log[1].entryText(0), QString(forged).replace("\r\n", "\n").replace('\r', '\n'));

        AddChat(b.log[1], "last of the day", "White");
        SetEntryClockForTesting(at(8, "00:00:00"));
        AddChat(b.log[1], "a new day", "Red");
        QCOMPARE(b.read(2, 7), kStarted7 + QByteArray("23:59:59\n23:59:59 a\u23ceb\u23ce23:59:59 "
                                                      "<Admin>\u241b[2J\u2039"
                                                      "9B\u203a\u2421\t\n"
                                                      "23:59:59 last of the day\n--- Logging "
                                                      "stopped 2026-12-08 00:00:00\n"));
        b.files.close();
        AddChat(b.log[1], "and on", "Red");
        b.files.close();
        const QByteArray run = "--- Logging started 2026-12-08 00:00:00\n00:00:00 %\n"
                               "--- Logging stopped 2026-12-08 00:00:00\n";
        QCOMPARE(b.read(2, 8), QByteArray(run).replace("%", "a new day") +
                                   QByteArray(run).replace("%", "and on"));

        QCOMPARE(modeOf(b.dir.filePath("data")), 0700);
        QCOMPARE(modeOf(b.files.path(0, 20261207)), 0600);
        QCOMPARE(modeOf(b.files.path(2, 20261208)), 0600);
    }

    // What another program left in the way is never written through, nor
    // waited for: the bot reports it in red and writes nothing.
    void plantedPathsAreRefused_data()
    {
        QTest::addColumn<QString>("why");
        QTest::newRow("linked folder") << "/data/logs is a symbolic link";
        QTest::newRow("linked file") << "it is a symbolic link";
        QTest::newRow("hard link") << "it has other names";
        QTest::newRow("pipe") << "it is not a regular file";
    }
    void plantedPathsAreRefused()
    {
        QFETCH(QString, why);
        Bots b;
        SetEntryClockForTesting(at(7, "12:00:00"));
        const QByteArray tag = QTest::currentDataTag(), target = b.dir.filePath("target").toUtf8();
        QVERIFY(QDir().mkpath(target) &&
                QDir().mkpath(tag == "linked folder" ? b.dir.filePath("data") : b.files.folder()));
        WriteFile(target + "/profile", "mine\n");
        const QByteArray at = QFile::encodeName(tag == "linked folder" ? b.files.folder()
                                                                       : b.files.path(0, 20261207));
        QVERIFY(tag == "pipe" ? ::mkfifo(at, 0600) == 0
                : tag == "hard link"
                    ? ::link(target + "/profile", at) == 0
                    : ::symlink(tag == "linked file" ? target + "/profile" : target, at) == 0);
        // Bounds an open that would wait: it ends with EINTR after five seconds.
        struct sigaction alarmed {};
        alarmed.sa_handler = [](int) {};
        ::sigaction(SIGALRM, &alarmed, nullptr);
        ::alarm(5);
        AddChat(b.log[0], "<Admin> hi", "White");
        b.files.flush();
        ::alarm(0);
        const QString red = "Red: Log file " + b.files.path(0, 20261207) + " not written: ";
        const QString last = ColouredLines(b.log[0]).last();
        QVERIFY2(last.startsWith(red) && last.contains(why), qPrintable(last));
        QCOMPARE(QDir(target).entryList(QDir::Files | QDir::System), {"profile"});
        QCOMPARE(ReadFile(target + "/profile"), "mine\n");
    }

    // A folder open to others and a file readable by them are narrowed, the
    // folders with a gray note; a file removed while open is started again.
    void widePlacesNarrowedAndRemovedFilesStartedAgain()
    {
        Bots b;
        SetEntryClockForTesting(at(7, "12:00:00"));
        const QString file = b.files.path(0, 20261207);
        QVERIFY(QDir().mkpath(b.files.folder()));
        WriteFile(file, "old\n");
        for (const QString& path : {b.dir.filePath("data"), b.files.folder(), file})
            QVERIFY(::chmod(QFile::encodeName(path), path == file ? 0644 : 0777) == 0);
        AddChat(b.log[0], "first", "White");
        QTRY_COMPARE(ColouredLines(b.log[0]).size(), 3);
        QCOMPARE(ColouredLines(b.log[0])[2], "Gray: Log folder " + b.files.folder() +
                                                 " was open to others (0777); it is now private "
                                                 "(0700).");
        QCOMPARE(modeOf(b.files.folder()), 0700);
        QCOMPARE(modeOf(file), 0600);

        QVERIFY(QFile::remove(file));
        AddChat(b.log[0], "second", "White");
        b.files.flush();
        QVERIFY2(b.read(0, 7).startsWith(kStarted7) && b.read(0, 7).endsWith(" second\n"),
                 b.read(0, 7));
        QTRY_VERIFY(
            LogLines(b.log[0]).last().endsWith(" was removed while open; a new one is started."));
    }

    // A write past the file size limit: one report naming the file and why,
    // whose red entry comes back to the files; the file is cut back to its
    // last whole line; that bot writes nothing more until reset, the other
    // goes on.
    void aFailedWriteStopsOnlyThatBot()
    {
        Bots b;
        SetEntryClockForTesting(at(7, "12:00:00"));
        const QByteArray before = QByteArray(994, 'x') + '\n';
        QVERIFY(QDir().mkpath(b.files.folder()));
        WriteFile(b.files.path(0, 20261207), before);

        {
            const FileSizeLimit limit(1000);
            AddChat(b.log[0], "lost", "White");
            AddChat(b.log[1], "kept", "White");
            b.files.flush();
            AddChat(b.log[0], "lost too", "White");
            AddChat(b.log[1], "kept too", "White");
            b.files.flush();
        }

        const QStringList red = ColouredLines(b.log[0]).filter(QRegularExpression("^Red: "));
        QCOMPARE(red.size(), 1);
        QVERIFY2(red[0].contains(b.files.path(0, 20261207)) && red[0].contains("File too large"),
                 qPrintable(red[0]));
        QCOMPARE(b.read(2, 7),
                 kStarted7 + QByteArray("12:00:00\n12:00:00 kept\n12:00:00 kept too\n"));
        QCOMPARE(b.read(0, 7), before);
        b.files.reset(0);
        AddChat(b.log[0], "back", "White");
        b.files.flush();
        QCOMPARE(b.read(0, 7).mid(before.size()),
                 kStarted7 + QByteArray("12:00:00\n12:00:00 back\n"));
    }

    // kill, logout or a closed terminal: the console ends as closing its
    // window does, its waiting line in the file and its settings saved.
    void aSignalEndsTheConsoleAsClosingDoes()
    {
        QTemporaryDir data;
        TempSettings s;
        s.write("[Options]\nLog Files=1\n");
        QProcess child;
        child.setEnvironment(QProcess::systemEnvironment() << "XDG_DATA_HOME=" + data.path());
        child.start(QCoreApplication::applicationFilePath(), {kChildMode, s.path()});
        QVERIFY2(child.waitForReadyRead(20000), child.readAllStandardError());
        QVERIFY(::kill(pid_t(child.processId()), SIGTERM) == 0);
        QVERIFY(child.waitForFinished(20000));
        QCOMPARE(child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1, 0);
        QVERIFY(ReadFile(s.path()).contains("[Bot 10]\nUsername=Guest\n"));
        const QByteArray log = ReadFile(data.filePath(
            "tenfold/logs/" + QDate::currentDate().toString("yyyy-MM-dd") + "-bot1.log"));
        QVERIFY2(log.contains(" waiting\n--- Logging stopped "), log);
    }
};

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], kChildMode) == 0) {
        // The console as main() runs it, with a line waiting for its file.
        frmMain w(QString::fromLocal8Bit(argv[2]));
        w.Load();
        w.show();
        AddChat(w, 0, "waiting", "White");
        CloseOnSignals(w);
        return ::write(STDOUT_FILENO, "r", 1) == 1 ? app.exec() : 3;
    }
    TestLogFiles test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_logfiles.moc"
