// The settings file reader and writer: the input is a settings file's bytes.
// It is read, the console's 32 values (some of them hostile) are set, and it
// is saved and read again. A plain reader of the profile format, written here
// line by line, says what every value must be before and after: the values
// set read back as set (less their line breaks), everything else survives,
// and saving again and again changes no more than blank lines.
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QList>
#include <QMap>
#include <QPair>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "settings/opensave.h"

namespace {

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "fuzz_settings: check failed at line %d: %s\n", __LINE__, #cond); \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

using Entry = QPair<QString, QString>; // section, key

// Names match case-insensitively in ASCII only, as the reader matches them.
QString folded(QString name)
{
    for (QChar& c : name)
        if (c >= 'A' && c <= 'Z')
            c = QChar(c.unicode() + ('a' - 'A'));
    return name;
}

Entry folded(const Entry& e)
{
    return Entry(folded(e.first), folded(e.second));
}

const char kBom[] = "\xEF\xBB\xBF"; // a UTF-8 byte order mark

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArray trimmed(QByteArray s)
{
    while (!s.isEmpty() && isBlank(s.front()))
        s.remove(0, 1);
    while (!s.isEmpty() && isBlank(s.back()))
        s.chop(1);
    return s;
}

QString unquoted(const QByteArray& v)
{
    const bool quoted =
        v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
    return QString::fromLatin1(quoted ? v.mid(1, v.size() - 2) : v);
}

// What a profile file holds, read line by line: "[name]" opens a section, the
// first "key=value" of a name counts, a line that starts with ";" or "#" is a
// comment, any other line means nothing. Names and values lose the blanks
// around them; a value loses one pair of enclosing quotes.
struct Profile {
    QStringList sections; // folded
    QMap<Entry, QString> values;
};

Profile readProfile(QByteArray bytes)
{
    if (bytes.startsWith(kBom))
        bytes.remove(0, 3);
    bytes.replace('\0', '\n'); // what a crash can leave: the reader reads on after it
    bytes.replace('\r', '\n');
    Profile profile;
    QString section;
    for (const QByteArray& raw : bytes.split('\n')) {
        const QByteArray line = trimmed(raw);
        if (line.isEmpty() || line.front() == ';' || line.front() == '#')
            continue;
        if (line.front() == '[') {
            const qsizetype close = line.indexOf(']');
            if (close < 0)
                continue;
            section = folded(QString::fromLatin1(trimmed(line.mid(1, close - 1))));
            if (!profile.sections.contains(section))
                profile.sections << section;
            continue;
        }
        const qsizetype eq = line.indexOf('=');
        if (eq <= 0)
            continue;
        const Entry e(section, folded(QString::fromLatin1(trimmed(line.left(eq)))));
        if (!profile.values.contains(e))
            profile.values[e] = unquoted(trimmed(line.mid(eq + 1)));
    }
    // The reader's own name for its trailing comments: no real file has it.
    profile.sections.removeIf([](const QString& s) { return s.startsWith('\x01'); });
    profile.values.removeIf([](auto it) { return it.key().first.startsWith('\x01'); });
    return profile;
}

QList<Entry> knownEntries()
{
    QList<Entry> known;
    for (int bot = 1; bot <= 10; ++bot)
        for (const char* key : {"Username", "Password", "Server"})
            known << Entry(QString("Bot %1").arg(bot), key);
    known << Entry("All Bots", "Home Channel") << Entry("All Bots", "Anti Idle");
    return known;
}

QStringList hostileValues()
{
    QStringList values = {
        "",
        " ",
        "\t",
        "plain value",
        "  lead",
        "trail  ",
        "\"",
        "\"\"",
        "'x'",
        "\"x\"",
        "\"a'",
        "'",
        "\r",
        "\n",
        "\r\n",
        "a\r\nb\nc\rd",
        "\r\n[Bot 1]\r\nUsername=evil\r\n",
        "=",
        "a=b=c",
        "; not a comment",
        "# nor this",
        "[All Bots]",
        "[unclosed",
        "<<<END",
        "C:\\dir\\",
        QString(300, 'x'),
        QString(1000, ' ') + "x",
        QString::fromLatin1("\x80\xA0\xE9\xFF latin-1"),
    };
    values << QString::fromLatin1(QByteArray("nul\0inside", 10));
    values << QString::fromLatin1(QByteArray("\0", 1));
    return values;
}

// What a value reads back as: the file holds one value per line.
QString stored(QString v)
{
    for (QChar& c : v)
        if (c == '\r' || c == '\n' || c == QChar(0))
            c = ' ';
    return v;
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    CHECK(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

void writeAll(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    CHECK(f.write(bytes) == bytes.size());
}

// A file's bytes as readable text, for the report of a finding.
QByteArray escaped(const QByteArray& bytes)
{
    return bytes.toPercentEncoding(" !\"#$&'()*+,/:;<=>?@[\\]^`{|}~\n");
}

QByteArray withoutBlankLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeIf([](const QByteArray& line) { return line.isEmpty(); });
    return lines.join('\n');
}

void save(SettingsFile& file)
{
    QString why;
    if (!file.save(&why)) {
        std::fprintf(stderr, "fuzz_settings: save failed: %s\n", qPrintable(why));
        std::abort();
    }
}

const QString& scratchPath()
{
    // Every run writes, syncs and renames a file: tmpfs, where there is one,
    // unless TMPDIR says otherwise. libFuzzer ends without running static
    // destructors, so the folder stays; fuzz/run sets TMPDIR to a folder of
    // its own and removes it.
    static QTemporaryDir dir((qEnvironmentVariableIsEmpty("TMPDIR") && QDir("/dev/shm").exists()
                                  ? QString("/dev/shm")
                                  : QDir::tempPath()) +
                             "/tenfold-fuzz-XXXXXX");
    static const QString path = dir.path() + "/setup.cfg";
    CHECK(dir.isValid());
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const QString& path = scratchPath();
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    writeAll(path, input);

    SettingsFile file(path);
    CHECK(file.loadError().isEmpty());
    const Profile before = readProfile(input);
    const QList<Entry> known = knownEntries();
    for (auto it = before.values.cbegin(); it != before.values.cend(); ++it)
        CHECK(file.value(it.key().first, it.key().second) == it.value());
    for (const Entry& e : known)
        CHECK(file.value(e.first, e.second) == before.values.value(folded(e)));

    // The values to set: the hostile ones and the input's own lines.
    QStringList pool = hostileValues();
    const QList<QByteArray> lines = input.split('\n');
    for (qsizetype i = 0; i < std::min<qsizetype>(lines.size(), 8); ++i)
        pool << QString::fromLatin1(lines[i]);
    QMap<Entry, QString> expected = before.values;
    for (qsizetype j = 0; j < known.size(); ++j) {
        const std::uint8_t pick = size ? data[size - 1 - std::size_t(j) % size] : 0;
        if (pick % 3 == 0)
            continue;
        const QString v = pool[(pick / 3 + j) % pool.size()];
        file.setValue(known[j].first, known[j].second, v);
        expected[folded(known[j])] = stored(v);
    }
    save(file);

    const QByteArray saved = readAll(path);
    const Profile after = readProfile(saved);
    for (const QString& s : before.sections) // the nameless one is written without a header
        CHECK(s.isEmpty() || after.sections.contains(s));
    SettingsFile again(path);
    CHECK(again.loadError().isEmpty());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        // A nameless section's key that begins with a byte order mark can be
        // written first in the file, where every reader takes the mark for
        // the file's own.
        if (it.key().first.isEmpty() && it.key().second.startsWith(QString::fromLatin1(kBom)))
            continue;
        const QString written = after.values.value(it.key(), "(absent)");
        const QString read = again.value(it.key().first, it.key().second);
        if (written != it.value() || read != it.value()) {
            std::fprintf(stderr, "[%s] %s: expected %s, written %s, read %s\nsaved:\n%s\n",
                         escaped(it.key().first.toLatin1()).constData(),
                         escaped(it.key().second.toLatin1()).constData(),
                         escaped(it.value().toLatin1()).constData(),
                         escaped(written.toLatin1()).constData(),
                         escaped(read.toLatin1()).constData(), escaped(saved).constData());
            std::abort();
        }
    }

    // Saves settle: the first tidies what was read, and later ones may still
    // move a blank line (a leading comment that comes to stand right before
    // the first section is read as the file's own, which is written with a
    // blank line after it), but they change nothing else.
    save(again);
    const QByteArray second = readAll(path);
    SettingsFile third(path);
    save(third);
    const QByteArray resaved = readAll(path);
    if (withoutBlankLines(resaved) != withoutBlankLines(second))
        std::fprintf(stderr, "second save:\n%s\nthird save:\n%s\n", escaped(second).constData(),
                     escaped(resaved).constData());
    CHECK(withoutBlankLines(resaved) == withoutBlankLines(second));
    return 0;
}
