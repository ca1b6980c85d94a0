// Saving the settings killed at random moments: the file always holds all the
// old values or all the new ones, and stays private. The saves run in a child
// process (this executable in a helper mode) that is killed with SIGKILL.
#include <QtTest>

#include <csignal>
#include <unistd.h>

#include "settings/opensave.h"
#include "support/testapp.h"

namespace {

const char kChildMode[] = "--save-until-killed";
constexpr int kKills = 300;
constexpr int kBudgetMs = 60000; // a slow build (sanitizers) stops early

// Saves one of two sets of the console's thirty-two values as the console
// does, in one save. The sets differ in length, so a file cut short shows.
bool saveSet(const QString& path, int set)
{
    SettingsFile file(path);
    int k = 0;
    const auto value = [&] {
        ++k;
        return set == 0 ? QString("old%1").arg(k)
                        : QString(" new %1 caf\u00e9 = ; # ").arg(k) + QString(40 + k, QChar('n'));
    };
    for (int bot = 1; bot <= 10; ++bot)
        for (const char* key : {"Username", "Password", "Server"})
            file.setValue(QString("Bot %1").arg(bot), key, value());
    file.setValue("All Bots", "Home Channel", value());
    file.setValue("All Bots", "Anti Idle", value());
    return file.save();
}

// The child: saves the two sets in turn and reports each finished save with a byte.
int saveUntilKilled(const QString& path)
{
    for (int round = 1;; ++round) {
        if (!saveSet(path, round % 2))
            return 2;
        if (::write(STDOUT_FILENO, "s", 1) != 1)
            return 3;
    }
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
        // The exact bytes a save of each set writes, whichever set was there.
        std::array<QByteArray, 2> whole;
        for (int set : {1, 0, 1, 0}) {
            QVERIFY(saveSet(settings.path(), set));
            QVERIFY(whole[set].isEmpty() || whole[set] == ReadFile(settings.path()));
            whole[set] = ReadFile(settings.path());
        }
        QVERIFY(whole[0].contains("Keep=yes") && whole[1].contains("Keep=yes"));

        const quint32 seed = QRandomGenerator::global()->generate();
        qInfo("seed %u", seed);
        QRandomGenerator rng(seed);
        QElapsedTimer clock;
        clock.start();
        int last = 0, changes = 0;
        for (int kill = 1; kill <= kKills && clock.elapsed() < kBudgetMs; ++kill) {
            QProcess child;
            child.start(QCoreApplication::applicationFilePath(), {kChildMode, settings.path()});
            QVERIFY(child.waitForStarted(5000));
            // Most kills land once saving is under way, at a random point of
            // the next few saves; some while the child is still starting.
            if (rng.bounded(8) != 0) {
                QVERIFY2(child.waitForReadyRead(10000), "the child never saved");
                QThread::usleep(rng.bounded(20000));
            } else {
                QThread::usleep(rng.bounded(5000));
            }
            QVERIFY(::kill(pid_t(child.processId()), SIGKILL) == 0);
            QVERIFY(child.waitForFinished(5000));
            QCOMPARE(child.exitStatus(), QProcess::CrashExit);

            const QByteArray now = ReadFile(settings.path());
            const int set = now == whole[0] ? 0 : now == whole[1] ? 1 : -1;
            QVERIFY2(set >= 0, qPrintable(QString("after kill %1 the file holds:\n%2")
                                              .arg(kill)
                                              .arg(QString::fromLatin1(now))));
            changes += set != last;
            last = set;
            // Not even a temporary left behind is readable by others.
            for (const QFileInfo& f : QDir(settings.dir.path()).entryInfoList(QDir::Files))
                QVERIFY2(!(f.permissions() & (QFile::ReadGroup | QFile::ReadOther)),
                         qPrintable(f.fileName()));
        }
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
