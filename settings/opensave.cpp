#include "settings/opensave.h"

#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>
#include <SimpleIni.h>
#include <cerrno>
#include <cstring>
#include <string>
#include <sys/stat.h>

namespace {

// Holds what follows the last entry of a loaded file: SimpleIni keeps a comment
// only as the prefix of the entry after it, so trailing comments would be lost.
// No real file has a section of this name; it is removed right after loading.
constexpr char kTailSection[] = "\x01tenfold trailing comments\x01";

QByteArray latin1(const QString& s)
{
    return s.toLatin1();
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

bool isQuote(char c)
{
    return c == '"' || c == '\'';
}

// The profile services drop the blanks around a value and one pair of
// enclosing quotes; a value that would lose either is written in double quotes.
bool needsQuotes(const QByteArray& v)
{
    if (v.isEmpty())
        return false;
    if (isBlank(v.front()) || isBlank(v.back()))
        return true;
    return v.size() >= 2 && isQuote(v.front()) && v.back() == v.front();
}

QByteArray unquoted(const char* raw)
{
    const qsizetype n = qsizetype(std::strlen(raw));
    if (n >= 2 && isQuote(raw[0]) && raw[n - 1] == raw[0])
        return QByteArray(raw + 1, n - 2);
    return QByteArray(raw, n);
}

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

// SimpleIni files the keys that follow a "[" line without its "]" under a
// section named by the text from that "[" to the next key, line breaks and
// all; a save writes that name back as a header that is broken again, one
// line longer each time. Such a line names no section: it is dropped, as any
// line that is neither a section, a key nor a comment is.
void blankUnclosedSections(QByteArray& data)
{
    char* const text = data.data();
    const qsizetype n = data.size();
    // SimpleIni skips a UTF-8 byte order mark before the first line.
    const qsizetype first = data.startsWith("\xEF\xBB\xBF") ? 3 : 0;
    for (qsizetype begin = first, end; begin < n; begin = end + 1) {
        end = begin;
        while (end < n && text[end] != '\n' && text[end] != '\r')
            ++end;
        qsizetype at = begin;
        while (at < end && isBlank(text[at]))
            ++at;
        if (at < end && text[at] == '[' && !std::memchr(text + at, ']', size_t(end - at)))
            std::memset(text + at, ' ', size_t(end - at));
    }
}

// SimpleIni puts two blank lines between sections; one is enough.
void collapseBlankLines(std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const size_t n = out.size();
        if (c == '\n' && n >= 2 && out[n - 1] == '\n' && out[n - 2] == '\n')
            continue;
        out += c;
    }
    text.swap(out);
}

QString megabytes(qint64 bytes)
{
    return QString::number(double(bytes) / (1 << 20), 'f', 1) + " MB";
}

} // namespace

bool MakePrivateFolder(const QString& dir, QString* why)
{
    if (QFileInfo(dir).isDir())
        return true;
    const QString parent = QFileInfo(dir).absolutePath();
    if (parent != dir && !MakePrivateFolder(parent, why))
        return false;
    if (::mkdir(QFile::encodeName(dir).constData(), 0700) == 0)
        return true;
    int e = errno;
    if (e == EEXIST) {
        if (QFileInfo(dir).isDir())
            return true;
        e = ENOTDIR;
    }
    *why = QString("cannot create the folder %1: %2").arg(dir, errnoText(e));
    return false;
}

QString DefaultSettingsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           "/tenfold/setup.cfg";
}

QString BotSection(int Index)
{
    return QStringLiteral("Bot %1").arg(Index + 1);
}

struct SettingsFile::Private {
    QString path;
    QString loadError;
    QString loadWarning;
    // Case-insensitive names; several values under one key are kept, and the
    // first is the one read, as the profile services do.
    CSimpleIniA ini{false, true, false};
    std::string tailComment;

    void load();
};

void SettingsFile::Private::load()
{
    ini.SetSpaces(false);
    // Quotes are handled here rather than by SimpleIni, so that the values of
    // other keys are written back exactly as they were.
    ini.SetQuotes(false);

    QFile file(path);
    if (!file.exists())
        return;
    // A folder, a pipe or a device in its place would fail or block.
    if (!QFileInfo(path).isFile()) {
        loadError = "it is not a regular file";
        return;
    }
    if (!file.open(QIODevice::ReadOnly)) {
        loadError = file.errorString();
        return;
    }
    const qint64 size = file.size();
    QByteArray data = file.read(SettingsReadLimit);
    if (file.error() != QFileDevice::NoError) {
        loadError = file.errorString();
        return;
    }
    // A NUL would end SimpleIni's parse; a file damaged by a crash can hold a
    // block of them with readable lines after it.
    data.replace('\0', '\n');
    blankUnclosedSections(data);
    if (size > SettingsReadLimit) {
        // Drop the cut line: half a value would be read as the whole value.
        data.truncate(
            std::max<qsizetype>(std::max(data.lastIndexOf('\n'), data.lastIndexOf('\r')), 0));
        loadWarning = QString("only the first %1 of its %2 are read; the rest is ignored and "
                              "the next save keeps only that part")
                          .arg(megabytes(SettingsReadLimit), megabytes(size));
    }
    data.append("\n[").append(kTailSection).append("]\n");
    if (ini.LoadData(data.constData(), size_t(data.size())) < 0) {
        ini.Reset();
        loadError = "it cannot be parsed";
        return;
    }

    CSimpleIniA::TNamesDepend sections;
    ini.GetAllSections(sections);
    for (const auto& s : sections) {
        if (std::strcmp(s.pItem, kTailSection) == 0 && s.pComment)
            tailComment = s.pComment;
    }
    ini.Delete(kTailSection, nullptr);
}

SettingsFile::SettingsFile(const QString& path) : d(new Private)
{
    d->path = path;
    d->load();
}

SettingsFile::~SettingsFile() = default;

const QString& SettingsFile::path() const
{
    return d->path;
}

const QString& SettingsFile::loadError() const
{
    return d->loadError;
}

const QString& SettingsFile::loadWarning() const
{
    return d->loadWarning;
}

QString SettingsFile::value(const QString& section, const QString& key) const
{
    const char* raw =
        d->ini.GetValue(latin1(section).constData(), latin1(key).constData(), nullptr);
    return raw ? QString::fromLatin1(unquoted(raw)) : QString();
}

void SettingsFile::setValue(const QString& section, const QString& key, const QString& value)
{
    QByteArray v = latin1(value);
    for (char& c : v) {
        if (c == '\r' || c == '\n' || c == '\0')
            c = ' ';
    }
    if (needsQuotes(v))
        v = '"' + v + '"';
    const QByteArray sectionName = latin1(section);
    QByteArray keyName = latin1(key);
    // A key keeps the spelling it has in the file, as the profile services do.
    const SI_GenericNoCase<char> less;
    CSimpleIniA::TNamesDepend keys;
    d->ini.GetAllKeys(sectionName.constData(), keys);
    for (const auto& k : keys) {
        if (!less(k.pItem, keyName.constData()) && !less(keyName.constData(), k.pItem))
            keyName = k.pItem;
    }
    d->ini.SetValue(sectionName.constData(), keyName.constData(), v.constData(), nullptr, true);
}

bool SettingsFile::save(QString* error)
{
    QString why;
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    if (!d->loadError.isEmpty())
        return fail("the existing file cannot be read (" + d->loadError + ")");
    if (!MakePrivateFolder(QFileInfo(d->path).absolutePath(), &why))
        return fail(why);

    std::string text;
    if (d->ini.Save(text, false) < 0)
        return fail("cannot format the settings");
    collapseBlankLines(text);
    if (!d->tailComment.empty())
        text.append("\n").append(d->tailComment).append("\n");

    // The file holds passwords: a new one is private, an old one keeps its mode.
    struct stat old;
    const mode_t mode =
        ::stat(QFile::encodeName(d->path).constData(), &old) == 0 ? old.st_mode & 07777 : 0600;

    QSaveFile file(d->path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    ::fchmod(file.handle(), mode); // fails only where modes mean nothing (FAT)
    // commit() alone would rename a short file over the old one after a failed
    // write (full disk, size limit): every step is checked.
    errno = 0;
    if (file.write(text.data(), qint64(text.size())) != qint64(text.size()) || !file.flush()) {
        // A short write sets no error on the device; errno has the cause.
        const int e = errno;
        const QString reason = file.error() != QFileDevice::NoError ? file.errorString()
                               : e != 0                             ? errnoText(e)
                                                                    : QString("short write");
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

bool SettingsFile::saveOrWarn()
{
    QString why;
    if (save(&why))
        return true;
    qWarning().noquote() << QString("tenfold: settings not saved to %1: %2").arg(d->path, why);
    return false;
}

QString ReadSetting(const SettingsFile& file, const QString& section, const QString& key,
                    const QString& def)
{
    const QString v = file.value(section, key);
    return v.isEmpty() ? def : v;
}

QString ReadSetting(const QString& section, const QString& key, const QString& file,
                    const QString& def)
{
    return ReadSetting(SettingsFile(file), section, key, def);
}

namespace {
const QString kOptions = QStringLiteral("Options");
}

bool ReadOption(const QString& file, const QString& key, bool def)
{
    const QString v = SettingsFile(file).value(kOptions, key);
    return v == u"1" ? true : v == u"0" ? false : def;
}

int ReadOptionNumber(const QString& file, const QString& key, int def, int min, int max)
{
    bool ok = false;
    const int v = SettingsFile(file).value(kOptions, key).trimmed().toInt(&ok);
    return ok && v >= min && v <= max ? v : def;
}

bool WriteOptions(const QString& file, const QList<std::pair<QString, bool>>& options)
{
    SettingsFile settings(file);
    for (const auto& [key, on] : options)
        settings.setValue(kOptions, key, on ? "1" : "0");
    return settings.saveOrWarn();
}
