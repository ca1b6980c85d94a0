// The settings file reader and writer: the input is a settings file's bytes.
// It is read, the console's 32 values (some of them hostile) are set, and it
// is saved and read again. A plain reader of the profile format, written here
// line by line, says what every value must be before and after: the values
// set read back as set (less their line breaks), everything else survives,
// and saving again changes no more than blank lines.
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "settings/opensave.h"

namespace {

[[noreturn]] void fail(int line, const char* what)
{
    std::fprintf(stderr, "fuzz_settings: check failed at line %d: %s\n", line, what);
    std::abort();
}
#define CHECK(cond) ((cond) ? void() : fail(__LINE__, #cond))

// Section and key, in small letters: names match case-insensitively in ASCII
// only, as the reader matches them.
using Entry = QPair<QString, QString>;

QByteArray trimmed(QByteArray s)
{
    while (!s.isEmpty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove(0, 1);
    while (!s.isEmpty() && (s.back() == ' ' || s.back() == '\t'))
        s.chop(1);
    return s;
}

// What a profile file holds, read line by line: "[name]" opens a section, the
// first "key=value" of a name counts, a line that starts with ";" or "#" is a
// comment, any other line means nothing. Names and values lose the blanks
// around them; a value loses one pair of enclosing quotes. A UTF-8 byte order
// mark before the first line is skipped, and a NUL ends a line.
QMap<Entry, QString> readProfile(QByteArray bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        bytes.remove(0, 3);
    QMap<Entry, QString> values;
    QString section;
    for (const QByteArray& raw : bytes.replace('\0', '\n').replace('\r', '\n').split('\n')) {
        const QByteArray line = trimmed(raw);
        const qsizetype close = line.indexOf(']'), eq = line.indexOf('=');
        if (line.startsWith('[') && close > 0) {
            section = QString::fromLatin1(trimmed(line.mid(1, close - 1)).toLower());
        } else if (eq > 0 && !line.startsWith(';') && !line.startsWith('#') &&
                   !line.startsWith('[')) {
            const Entry e(section, QString::fromLatin1(trimmed(line.left(eq)).toLower()));
            QByteArray v = trimmed(line.mid(eq + 1));
            if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
                v = v.mid(1, v.size() - 2);
            if (!values.contains(e))
                values[e] = QString::fromLatin1(v);
        }
    }
    // The reader's own name for its trailing comments: no real file has it.
    values.removeIf([](auto it) { return it.key().first.startsWith('\x01'); });
    return values;
}

QByteArray withoutBlankLines(const QByteArray& bytes)
{
    QList<QByteArray> lines = bytes.split('\n');
    lines.removeAll(QByteArray());
    return lines.join('\n');
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    // tmpfs where there is one, unless TMPDIR says otherwise; fuzz/run sets
    // TMPDIR to a folder it removes, as libFuzzer never removes this one.
    static QTemporaryDir dir((qEnvironmentVariableIsEmpty("TMPDIR") && QDir("/dev/shm").exists()
                                  ? QString("/dev/shm")
                                  : QDir::tempPath()) +
                             "/tenfold-fuzz-XXXXXX");
    static const QString path = dir.path() + "/setup.cfg";
    const auto readAll = [] {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    };
    const QByteArray input(reinterpret_cast<const char*>(data), qsizetype(size));
    QFile f(path);
    CHECK(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(input) == input.size());
    f.close();

    SettingsFile file(path);
    CHECK(file.loadError().isEmpty());
    QMap<Entry, QString> expected = readProfile(input);
    for (auto it = expected.cbegin(); it != expected.cend(); ++it)
        CHECK(file.value(it.key().first, it.key().second) == it.value());

    // The values to set: hostile ones, and the input's own first lines.
    QStringList pool = {"",         " ",    "\t",           "  lead",
                        "trail  ",  "\"",   "\"\"",         "'x'",
                        "\"a'",     "\r\n", "a\r\nb\nc\rd", "\r\n[Bot 1]\r\nUsername=evil\r\n",
                        "a=b=c",    "; no", "[All Bots]",   "[unclosed",
                        "C:\\dir\\"};
    pool << QString(1000, ' ') + "x" << QString::fromLatin1("\x80\xA0\xE9\xFF")
         << QString::fromLatin1("\0x", 2);
    pool += QString::fromLatin1(input).split('\n').mid(0, 8);
    QList<Entry> known;
    for (int bot = 1; bot <= 10; ++bot)
        for (const char* key : {"Username", "Password", "Server"})
            known << Entry(QString("Bot %1").arg(bot), key);
    known << Entry("All Bots", "Home Channel") << Entry("All Bots", "Anti Idle");
    for (qsizetype j = 0; j < known.size(); ++j) {
        const std::uint8_t pick = size ? data[size - 1 - std::size_t(j) % size] : 0;
        if (pick % 3 == 0)
            continue;
        QString v = pool[(pick / 3 + j) % pool.size()];
        file.setValue(known[j].first, known[j].second, v);
        for (QChar& c : v)
            c = c == '\r' || c == '\n' || c == QChar(0) ? QChar(' ') : c;
        expected[Entry(known[j].first.toLower(), known[j].second.toLower())] = v;
    }
    CHECK(file.save());

    const QMap<Entry, QString> written = readProfile(readAll());
    SettingsFile again(path);
    CHECK(again.loadError().isEmpty());
    for (auto it = expected.cbegin(); it != expected.cend(); ++it) {
        // A nameless section's key that begins with a byte order mark can be
        // written first in the file, where every reader takes the mark for
        // the file's own.
        if (it.key().first.isEmpty() &&
            it.key().second.startsWith(QString::fromLatin1("\xEF\xBB\xBF")))
            continue;
        CHECK(written.value(it.key(), "(absent)") == it.value());
        CHECK(again.value(it.key().first, it.key().second) == it.value());
    }

    // Saves settle: later ones may still move a blank line (a leading comment
    // that comes to stand right before the first section is read as the
    // file's own, which is written with a blank line after it), nothing else.
    CHECK(again.save());
    const QByteArray second = readAll();
    SettingsFile third(path);
    CHECK(third.save());
    CHECK(withoutBlankLines(readAll()) == withoutBlankLines(second));
    return 0;
}
