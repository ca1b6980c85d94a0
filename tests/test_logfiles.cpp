#include <QSignalSpy>
#include <QtTest>
#include <sys/stat.h>

#include "chat/chatlog.h"
#include "chat/logfiles.h"
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

// The logs of bots 1 and 3, each handing its entries to the same log files.
struct Bots {
    QTemporaryDir dir;
    LogFiles files{dir.filePath("data/logs"), 3};
    LogView log[2];
    Bots()
    {
        for (int i : {0, 1})
            log[i].setEntryTap([this, i](const EntryTime& t, std::string_view text) {
                files.write(2 * i, t, text);
            });
    }
    QByteArray read(int bot, int day) const { return ReadFile(files.path(bot, 20261200 + day)); }
};

} // namespace

class TestLogFiles : public QObject {
    Q_OBJECT
private slots:
    // Each line of an entry, led by the entry's time, in UTF-8, in the bot's
    // file of the entry's day; private; written out within a second, when the
    // day's file closes, and appended to when opened again.
    void filesHoldWhatTheLogsShow()
    {
        Bots b;
        SetEntryClockForTesting(at(7, "23:59:59"));
        b.log[0].setTimestamps(true);
        AddChat(b.log[0], "<bot1> caf\u00e9 \u20ac", "White");
        AddChat(b.log[1], "two\r\nlines\rand\nmore", "White");
        AddChat(b.log[0], "Already logged in as bot1.", "Gray");
        QTRY_COMPARE_WITH_TIMEOUT(
            b.read(0, 7), "23:59:59 <bot1> caf\xc3\xa9 ?\n23:59:59 Already logged in as bot1.\n",
            3000);

        AddChat(b.log[1], "last of the day", "White");
        SetEntryClockForTesting(at(8, "00:00:00"));
        AddChat(b.log[1], "a new day", "Red");
        QCOMPARE(b.read(2, 7), "23:59:59 two\n23:59:59 lines\n23:59:59 and\n23:59:59 more\n"
                               "23:59:59 last of the day\n");
        b.files.close();
        AddChat(b.log[1], "and on", "Red");
        b.files.close();
        QCOMPARE(b.read(2, 8), "00:00:00 a new day\n00:00:00 and on\n");

        QCOMPARE(modeOf(b.dir.filePath("data")), 0700);
        QCOMPARE(modeOf(b.files.folder()), 0700);
        QCOMPARE(modeOf(b.files.path(0, 20261207)), 0600);
        QCOMPARE(modeOf(b.files.path(2, 20261208)), 0600);
    }

    // A write past the file size limit: one report naming the file and why,
    // whose red entry comes back to the files; that bot writes nothing more
    // until reset, the other goes on.
    void aFailedWriteStopsOnlyThatBot()
    {
        Bots b;
        SetEntryClockForTesting(at(7, "12:00:00"));
        QFile full(b.files.path(0, 20261207));
        QVERIFY(QDir().mkpath(b.files.folder()) && full.open(QIODevice::WriteOnly));
        full.write(QByteArray(2000, 'x'));
        full.close();
        connect(&b.files, &LogFiles::writeFailed,
                [&](int bot, const QString& message) { AddChat(b.log[bot / 2], message, "Red"); });
        QSignalSpy failures(&b.files, &LogFiles::writeFailed);

        {
            const FileSizeLimit limit(1000);
            AddChat(b.log[0], "lost", "White");
            AddChat(b.log[1], "kept", "White");
            b.files.flush();
            AddChat(b.log[0], "lost too", "White");
            AddChat(b.log[1], "kept too", "White");
            b.files.flush();
        }

        QCOMPARE(failures.size(), 1);
        QCOMPARE(failures[0][0].toInt(), 0);
        const QString message = failures[0][1].toString();
        QVERIFY2(message.contains(full.fileName()) && message.contains("File too large"),
                 qPrintable(message));
        QCOMPARE(b.read(2, 7), "12:00:00 kept\n12:00:00 kept too\n");
        QCOMPARE(b.read(0, 7).size(), 2000);
        b.files.reset(0);
        AddChat(b.log[0], "back", "White");
        b.files.flush();
        QCOMPARE(b.read(0, 7).mid(2000), "12:00:00 back\n");
    }
};

QTEST_MAIN(TestLogFiles)
#include "test_logfiles.moc"
