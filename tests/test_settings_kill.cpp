// Saving the settings killed at random moments: the file always reads back
// whole, holding all the old values or all the new ones. The saves run in a
// child process (this executable in a helper mode) that is killed with SIGKILL.
#include <QtTest>

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QRandomGenerator>
#include <csignal>
#include <ctime>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/opensave.h"
#include "support/testapp.h"

namespace {

const char kChildMode[] = "--save-until-killed";
constexpr int kKills = 300;
constexpr int kBudgetMs = 60000; // a slow build (sanitizers) stops early

// The thirty-two values the console saves: three per bot, two shared.
struct Key {
    QString section, key;
};
QList<Key> allKeys()
{
    QList<Key> keys;
    for (int i = 1; i <= 10; ++i)
        for (const char* key : {"Username", "Password", "Server"})
            keys.append(Key{QString("Bot %1").arg(i), key});
    keys.append(Key{"All Bots", "Home Channel"});
    keys.append(Key{"All Bots", "Anti Idle"});
    return keys;
}

// Two sets of values of different lengths, so that a file cut short or mixed
// from both shows.
QString valueOf(int set, int k)
{
    if (set == 0)
        return QString("old%1").arg(k);
    return QString(" new value %1 with caf\u00e9 and = ; # ").arg(k) + QString(40 + k, QChar('n'));
}

// Saves one set as the console does: one load, thirty-two values, one save.
bool saveSet(const QString& path, int set)
{
    SettingsFile file(path);
    const QList<Key> keys = allKeys();
    for (int k = 0; k < keys.size(); ++k)
        file.setValue(keys[k].section, keys[k].key, valueOf(set, k));
    return file.save();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The child: saves the two sets alternately and reports each finished save
// with one byte.
int saveUntilKilled(const QString& path)
{
    for (int round = 1;; ++round) {
        if (!saveSet(path, round % 2))
            return 2;
        if (::write(STDOUT_FILENO, "s", 1) != 1)
            return 3;
    }
}

void sleepMicroseconds(qint64 us)
{
    const timespec t{time_t(us / 1000000), long(us % 1000000) * 1000};
    ::nanosleep(&t, nullptr);
}

// Which set the file holds: 0 or 1, or -1 with `why` set.
int setInFile(const QString& path, QString* why)
{
    const SettingsFile file(path);
    if (!file.loadError().isEmpty()) {
        *why = "unreadable: " + file.loadError();
        return -1;
    }
    if (file.value("Extra", "Keep") != "yes") {
        *why = "the unknown section was lost";
        return -1;
    }
    const QList<Key> keys = allKeys();
    int set = -1;
    for (int k = 0; k < keys.size(); ++k) {
        const QString v = file.value(keys[k].section, keys[k].key);
        const int of = v == valueOf(0, k) ? 0 : v == valueOf(1, k) ? 1 : -1;
        if (of < 0 || (set >= 0 && of != set)) {
            *why = QString("%1/%2 reads \"%3\"").arg(keys[k].section, keys[k].key, v);
            return -1;
        }
        set = of;
    }
    return set;
}

} // namespace

class TestSettingsKill : public QObject {
    Q_OBJECT
private slots:
    void aKilledSaveLeavesTheOldFileOrTheNew()
    {
        TempSettings settings;
        settings.write("; kept across saves\r\n[Extra]\r\nKeep=yes\r\n");
        QVERIFY(QFile::setPermissions(settings.path(), QFile::ReadOwner | QFile::WriteOwner));
        // The exact bytes of each set as a save writes them, from either one.
        std::array<QByteArray, 2> whole;
        for (int set : {1, 0, 1, 0}) {
            QVERIFY(saveSet(settings.path(), set));
            const QByteArray bytes = readAll(settings.path());
            QVERIFY(whole[set].isEmpty() || whole[set] == bytes);
            whole[set] = bytes;
        }

        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator rng(seed);

        QElapsedTimer clock;
        clock.start();
        int kills = 0, waited = 0, beforeFirstSave = 0, saves = 0, changes = 0;
        int last = 0;
        qint64 firstSaveUs = 0;
        for (; kills < kKills && clock.elapsed() < kBudgetMs; ++kills) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {kChildMode, settings.path()});
            QVERIFY(child.waitForStarted(5000));
            // Most kills land once saving is under way, at a random point of
            // the next few saves; some while the child is still starting.
            if (rng.bounded(8) != 0) {
                QElapsedTimer started;
                started.start();
                QVERIFY2(child.waitForReadyRead(10000), "the child never saved");
                firstSaveUs += started.nsecsElapsed() / 1000;
                ++waited;
                sleepMicroseconds(rng.bounded(20000));
            } else {
                sleepMicroseconds(rng.bounded(5000));
            }
            QVERIFY(::kill(pid_t(child.processId()), SIGKILL) == 0);
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);
            const int saved = int(child.readAllStandardOutput().size());
            if (saved == 0)
                ++beforeFirstSave;
            saves += saved;

            QString why;
            const int set = setInFile(settings.path(), &why);
            QVERIFY2(set >= 0, qPrintable(QString("after kill %1: %2").arg(kills + 1).arg(why)));
            QVERIFY(readAll(settings.path()) == whole[set]);
            changes += set != last;
            last = set;
            // The passwords never become readable by others, not even in a
            // temporary left behind.
            for (const QFileInfo& f : QDir(settings.dir.path()).entryInfoList(QDir::Files)) {
                QVERIFY2((f.permissions() & (QFile::ReadGroup | QFile::ReadOther)) == 0,
                         qPrintable(f.fileName()));
            }
        }
        const int leftovers = int(QDir(settings.dir.path()).entryList(QDir::Files).size()) - 1;
        qInfo("%d kills in %lld ms: %d before any save, %d saves finished in all, the file "
              "changed sets %d times; %d temporary files left behind; first save after %lld us "
              "on average",
              kills, clock.elapsed(), beforeFirstSave, saves, changes, leftovers,
              firstSaveUs / std::max(1, waited));
        QVERIFY(changes > 0);
    }
};

int main(int argc, char** argv)
{
    if (argc == 3 && qstrcmp(argv[1], kChildMode) == 0)
        return saveUntilKilled(QString::fromLocal8Bit(argv[2]));
    QCoreApplication app(argc, argv);
    TestSettingsKill test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_settings_kill.moc"
