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

} // namespace

class TestSettingsFile : public QObject {
    Q_OBJECT
private slots:
    void roundTrip_data()
    {
        QTest::addColumn<QString>("value");
        QTest::addColumn<QByteArray>("line"); // as stored
        const auto row = [](const char* name, const QString& value, const char* line) {
            QTest::newRow(name) << value << QByteArray(line);
        };
        row("plain", "Op Room 2", "Password=Op Room 2");
        row("blanks at the edges", " \tx ", "Password=\" \tx \"");
        row("double-quoted", "\"q\"", "Password=\"\"q\"\"");
        row("single-quoted", "'q'", "Password=\"'q'\"");
        row("lone quote", "\"", "Password=\"");
        row("mixed quotes", "\"a'", "Password=\"a'");
        row("one byte a character", QString::fromUtf8("J\u00fcrgen \u20ac"),
            "Password=J\xfcrgen ?");
        row("file syntax", "[Bot 2]=x;y #z", "Password=[Bot 2]=x;y #z");
        row("line breaks cannot add keys", "evil\r\n[Bot 2]\nServer=x\ry",
            "Password=evil  [Bot 2] Server=x y");
        row("NUL", QString::fromLatin1("a\0b", 3), "Password=a b");
    }
    void roundTrip()
    {
        QFETCH(QString, value);
        QFETCH(QByteArray, line);
        TempSettings s;
        SettingsFile file(s.path());
        file.setValue("Bot 1", "Username", "before");
        file.setValue("Bot 1", "Password", value);
        file.setValue("Bot 1", "Server", "after");
        QVERIFY(file.save());

        QCOMPARE(ReadFile(s.path()), "[Bot 1]\nUsername=before\n" + line + "\nServer=after\n");
        QString expected = QString::fromLatin1(value.toLatin1()); // "?" for what it cannot hold
        for (QChar c : {QChar('\r'), QChar('\n'), QChar(0)})
            expected.replace(c, ' ');
        const SettingsFile again(s.path());
        QCOMPARE(again.value("Bot 1", "Password"), expected);
        QCOMPARE(again.value("Bot 1", "Server"), QString("after"));
    }

    // A file written by hand, as the desktop's profile services read it; what
    // the console does not know survives a save.
    void handWrittenFile()
    {
        TempSettings s;
        s.write("; written by hand\r\n"
                "[ bot 1 ]\r\n"
                "  USERNAME = alice \r\n"
                "password='  two blanks  '\r\n"
                "; between keys\r\n"
                "Server\t=\t\"quoted\" and more\t\r\n"
                "a line that is no key\r\n"
                "[Bot 2]\n"
                "Username=bob\n"
                "Username=second\n"
                "Password=\"\"\n"
                "; the end\n");
        SettingsFile file(s.path());
        QStringList values;
        for (const char* key : {"Username", "Password", "Server"})
            for (const char* section : {"Bot 1", "Bot 2"})
                values << ReadSetting(file, section, key, "(none)");
        QCOMPARE(values, (QStringList{"alice", "bob", "  two blanks  ", "(none)",
                                      "\"quoted\" and more", "(none)"}));

        file.setValue("Bot 1", "Username", "new");
        QVERIFY(file.save());
        const QByteArray saved = ReadFile(s.path());
        for (const char* kept :
             {"; written by hand\n", "\nUSERNAME=new\n", "; between keys\n", "\nUsername=second\n",
              "\npassword='  two blanks  '\n", "\nPassword=\"\"\n", "; the end\n"})
            QVERIFY2(saved.contains(kept), saved.constData());
    }

    // The file holds passwords.
    void modes_data()
    {
        QTest::addColumn<int>("before"); // -1: no file, no folder
        QTest::addColumn<int>("after");
        QTest::newRow("new file is private") << -1 << 0600;
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
        QVERIFY(StoreSetting(path, "Bot 1", "Username", "b"));
        QCOMPARE(modeOf(path), after);
        if (before < 0) {
            QCOMPARE(modeOf(s.dir.filePath("config")), 0700);
            QCOMPARE(modeOf(s.dir.filePath("config/tenfold")), 0700);
        }
    }

    // What can be read of a damaged file is read, and saving it again and
    // again changes nothing more.
    void damagedFiles_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("expected"); // Bot 1's user name
        QByteArray noise(64 * 1024, '\0');
        QRandomGenerator rng(42);
        for (char& c : noise)
            c = char(rng.bounded(256));
        QTest::newRow("after NUL bytes") << QByteArray(1000, '\0') + "[Bot 1]\nUsername=alice\n"
                                         << "alice";
        QTest::newRow("after noise") << noise + "\n[Bot 1]\nUsername=alice\n"
                                     << "alice";
        QTest::newRow("unclosed section line")
            << QByteArray("[Bot 1]\n[Bot 2\nUsername=alice\n[Bot 3]\nServer=s\n") << "alice";
    }
    void damagedFiles()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, expected);
        TempSettings s;
        s.write(content);
        SettingsFile file(s.path());
        QCOMPARE(file.value("Bot 1", "Username"), expected);
        file.setValue("Bot 2", "Username", "bob");
        QVERIFY(file.save());
        const QByteArray saved = ReadFile(s.path());
        for (int i = 0; i < 2; ++i)
            QVERIFY(SettingsFile(s.path()).save());
        QCOMPARE(ReadFile(s.path()), saved);
        const SettingsFile again(s.path());
        QCOMPARE(again.value("Bot 1", "Username"), expected);
        QCOMPARE(again.value("Bot 2", "Username"), QString("bob"));
    }
};

QTEST_MAIN(TestSettingsFile)
#include "test_settings_file.moc"
