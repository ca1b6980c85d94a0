#include <QtTest>
#include <sys/stat.h>

#include "settings/opensave.h"
#include "support/testapp.h"

namespace {

int modeOf(const QString& path)
{
    struct stat st;
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? int(st.st_mode & 07777) : -1;
}

// Written by hand, as the desktop platform's profile services accept it.
const QByteArray kProfileFile = "; written by hand\r\n\r\n"
                                "[bot 1]\r\n"
                                "  USERNAME = alice \r\n"
                                "password=\"  two blanks  \"\r\n"
                                "; between keys\r\n"
                                "Server\t=\tchat.example.net\t\r\n\r\n"
                                "[ ALL BOTS ]\r\n"
                                "home channel='Op Room'\r\n"
                                "Anti Idle = \"quoted\" and more\r\n"
                                "a line that is no key\r\n"
                                "[Bot 2]\n"
                                "Username=bob\n"
                                "Username=second\n"
                                "Password=\n"
                                "Server=\"\"\n";

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line"); // as stored, when it matters
        QTest::newRow("plain") << "Op Room 2" << QByteArray("Password=Op Room 2");
        QTest::newRow("leading blanks") << "  lead" << QByteArray("Password=\"  lead\"");
        QTest::newRow("trailing blanks") << "trail  " << QByteArray();
        QTest::newRow("tabs at edges") << "\tx\t" << QByteArray();
        QTest::newRow("double-quoted") << "\"q\"" << QByteArray("Password=\"\"q\"\"");
        QTest::newRow("single-quoted") << "'q'" << QByteArray();
        QTest::newRow("two quotes") << "\"\"" << QByteArray();
        QTest::newRow("lone quote") << "\"" << QByteArray();
        QTest::newRow("mixed quotes") << "\"a'" << QByteArray("Password=\"a'");
        QTest::newRow("latin-1") << QString::fromUtf8("J\u00fcrgen \u20ac")
                                 << QByteArray("Password=J\xfcrgen ?");
        QTest::newRow("ini syntax") << "[Bot 2]=x;y #z" << QByteArray();
        QTest::newRow("escapes and lists") << "C:\\dir %20 a, b" << QByteArray();
        QTest::newRow("line breaks")
            << "evil\r\n[Bot 2]\nServer=x\ry" << QByteArray("Password=evil  [Bot 2] Server=x y");
        QTest::newRow("5000 chars") << QString(4999, 'y') + "z" << QByteArray();
    }
    void roundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        TempSettings s;
        QVERIFY(WriteSetting("Bot 1", "Username", "before", s.path()));
        QVERIFY(WriteSetting("Bot 1", "Password", value, s.path()));
        QVERIFY(WriteSetting("Bot 1", "Server", "after", s.path()));

        const QByteArray stored = ReadFile(s.path());
        QCOMPARE(stored.count('\n'), 4); // no key or section added
        if (!line.isEmpty())
            QVERIFY2(stored.contains("\n" + line + "\n"), stored.constData());
        QString expected = QString::fromLatin1(value.toLatin1()); // "?" for what it cannot hold
        expected.replace('\r', ' ').replace('\n', ' ');
        QCOMPARE(ReadSetting("Bot 1", "Password", s.path(), "default"), expected);
        QCOMPARE(ReadSetting("Bot 1", "Username", s.path(), ""), QString("before"));
        QCOMPARE(ReadSetting("Bot 2", "Server", s.path(), "none"), QString("none"));
        QCOMPARE(ReadSetting("Bot 1", "Server", s.path(), ""), QString("after"));
    }

    void readsProfileFormat_data()
    {
        QTest::addColumn<QString>("section");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::newRow("odd case, blanks") << "Bot 1"
                                          << "Username"
                                          << "alice";
        QTest::newRow("double quotes") << "Bot 1"
                                       << "Password"
                                       << "  two blanks  ";
        QTest::newRow("tabs, after comment") << "Bot 1"
                                             << "Server"
                                             << "chat.example.net";
        QTest::newRow("single quotes") << "All Bots"
                                       << "Home Channel"
                                       << "Op Room";
        QTest::newRow("quote not enclosing") << "All Bots"
                                             << "Anti Idle"
                                             << "\"quoted\" and more";
        QTest::newRow("LF lines, first of two") << "Bot 2"
                                                << "Username"
                                                << "bob";
        QTest::newRow("empty value") << "Bot 2"
                                     << "Password"
                                     << "default";
        QTest::newRow("empty quotes") << "Bot 2"
                                      << "Server"
                                      << "default";
        QTest::newRow("absent section") << "Bot 3"
                                        << "Username"
                                        << "default";
        QTest::newRow("absent key") << "All Bots"
                                    << "Server"
                                    << "default";
    }
    void readsProfileFormat()
    {
        QFETCH(QString, section);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        TempSettings s;
        WriteFile(s.path(), kProfileFile);
        QCOMPARE(ReadSetting(section, key, s.path(), "default"), expected);
    }

    void keepsWhatItDoesNotKnow()
    {
        TempSettings s;
        WriteFile(s.path(), "; my bots\r\n\r\n"
                            "[Bot 1]\r\n"
                            "USERNAME=old\r\n"
                            "; keep this\r\n"
                            "Extra=\"  raw  \"\r\n\r\n"
                            "[Other]\r\n"
                            "x=1\r\n"
                            "; the end\r\n");
        SettingsFile file(s.path());
        file.setValue("Bot 1", "Username", "new");
        file.setValue("Bot 1", "Server", "srv");
        file.setValue("All Bots", "Home Channel", "op");
        QVERIFY(file.save());
        QCOMPARE(ReadFile(s.path()), QByteArray("; my bots\n\n"
                                                "[Bot 1]\n"
                                                "USERNAME=new\n\n"
                                                "; keep this\n"
                                                "Extra=\"  raw  \"\n"
                                                "Server=srv\n\n"
                                                "[Other]\n"
                                                "x=1\n\n"
                                                "[All Bots]\n"
                                                "Home Channel=op\n\n"
                                                "; the end\n"));
    }

    void modes_data()
    {
        QTest::addColumn<int>("before"); // -1: no file, no folder
        QTest::addColumn<int>("after");
        QTest::newRow("new file is private") << -1 << 0600;
        // An owner who cannot write the file could not save it at all.
        QTest::newRow("private stays private") << 0600 << 0600;
        QTest::newRow("wider is kept") << 0640 << 0640;
    }
    void modes()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        TempSettings s;
        const QString path = s.dir.filePath("config/tenfold/setup.cfg");
        if (before >= 0) {
            QVERIFY(QDir().mkpath(s.dir.filePath("config/tenfold")));
            WriteFile(path, "[Bot 1]\nUsername=a\n");
            QVERIFY(::chmod(QFile::encodeName(path).constData(), mode_t(before)) == 0);
        }
        QVERIFY(WriteSetting("Bot 1", "Username", "b", path));
        QCOMPARE(modeOf(path), after);
        if (before < 0) {
            QCOMPARE(modeOf(s.dir.filePath("config")), 0700);
            QCOMPARE(modeOf(s.dir.filePath("config/tenfold")), 0700);
        }
    }

    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // Bot 1's user name
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator rng(42);
        for (char& c : noise)
            c = char(rng.bounded(256));
        QTest::newRow("binary") << noise << "Guest";
        QTest::newRow("prose") << QByteArray("Dear operator,\nno INI here.\n[unclosed\n")
                               << "Guest";
        QTest::newRow("after NUL bytes") << QByteArray(1000, '\0') + "[Bot 1]\nUsername=alice\n"
                                         << "alice";
        QTest::newRow("after noise") << noise + "\n[Bot 1]\nUsername=alice\n"
                                     << "alice";
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        TempSettings s;
        WriteFile(s.path(), content);
        SettingsFile file(s.path());
        QCOMPARE(ReadSetting(file, "Bot 1", "Username", "Guest"), expected);
        file.setValue("Bot 2", "Username", "bob");
        QVERIFY(file.save());
        QCOMPARE(ReadSetting("Bot 2", "Username", s.path(), ""), QString("bob"));
    }

    // A "[" line without its "]" names no section: the keys after it stay in
    // the section before, and save after save leaves the file as it is.
    void unclosedSectionLine_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("section"); // where Password ends up
        QTest::newRow("between sections")
            << QByteArray("[Bot 1]\nUsername=alice\n[Bot 2\nPassword=secret\n[Bot 3]\nServer=s\n")
            << "Bot 1";
        QTest::newRow("first line, after a byte order mark")
            << QByteArray("\xEF\xBB\xBF[Bot 2\nPassword=secret\n[Bot 3]\nServer=s\n") << "";
    }
    void unclosedSectionLine()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, section);
        TempSettings s;
        WriteFile(s.path(), content);
        SettingsFile file(s.path());
        QCOMPARE(file.value(section, "Password"), QString("secret"));
        QCOMPARE(file.value("Bot 3", "Server"), QString("s"));
        QVERIFY(file.save());
        const QByteArray saved = ReadFile(s.path());
        QVERIFY2(!saved.contains("[Bot 2"), saved.constData());
        for (int i = 0; i < 3; ++i)
            QVERIFY(SettingsFile(s.path()).save());
        QCOMPARE(ReadFile(s.path()), saved);
    }
};

QTEST_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
