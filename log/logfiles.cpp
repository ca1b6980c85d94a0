#include "log/logfiles.h"

#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTimerEvent>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "settings/opensave.h"

namespace {

constexpr int kFlushMs = 1000;
// A flood writes out in pieces of this size rather than holding a second of it.
constexpr size_t kFlushBytes = 64 * 1024;

QString errnoText(int e)
{
    return QString::fromLocal8Bit(std::strerror(e));
}

// What one byte of chat text becomes in the file: Latin-1 in UTF-8, except a
// line break, which becomes a visible mark (U+23CE) with the entry going on,
// and the controls, which a terminal showing the file would obey: C0 but tab
// and DEL as their pictures (U+2400..U+2421), C1 as its code in single
// guillemets. None of these marks can come from Latin-1 text itself.
struct Glyph {
    unsigned char size = 0;
    char bytes[8] = {};
};
constexpr size_t kGlyphMax = sizeof Glyph::bytes;

constexpr std::array<Glyph, 256> glyphs()
{
    std::array<Glyph, 256> t{};
    auto set = [&](int b, std::initializer_list<int> bytes) {
        for (const int x : bytes)
            t[size_t(b)].bytes[t[size_t(b)].size++] = char(x);
    };
    constexpr char hex[] = "0123456789ABCDEF";
    for (int b = 0; b < 256; ++b) {
        if (b == '\n')
            set(b, {0xe2, 0x8f, 0x8e});
        else if (b == '\t' || (b >= 0x20 && b < 0x7f))
            set(b, {b});
        else if (b < 0x20)
            set(b, {0xe2, 0x90, 0x80 + b});
        else if (b == 0x7f)
            set(b, {0xe2, 0x90, 0xa1});
        else if (b < 0xa0)
            set(b, {0xe2, 0x80, 0xb9, hex[b >> 4], hex[b & 15], 0xe2, 0x80, 0xba});
        else
            set(b, {0xc0 | (b >> 6), 0x80 | (b & 0x3f)});
    }
    return t;
}
constexpr std::array<Glyph, 256> kGlyphs = glyphs();

// "--- Logging started 2026-12-07 23:59:59": no entry's line starts so.
std::string markLine(const char* what, const EntryTime& t)
{
    char line[64];
    const int n = std::snprintf(line, sizeof line, "--- Logging %s %04d-%02d-%02d %.8s\n", what,
                                t.date / 10000, t.date / 100 % 100, t.date % 100, t.hms);
    return std::string(line, size_t(std::max(n, 0)));
}

// Opens `name` under `at` as one of our folders: made 0700 when missing; one
// that is there must be a real folder, not a link, and ours. One open to
// others is narrowed to 0700, with a note for the operator in `narrowed`.
int openOwnFolder(int at, const QByteArray& name, const QString& path, QString* why,
                  QStringList* narrowed)
{
    if (::mkdirat(at, name.constData(), 0700) != 0 && errno != EEXIST) {
        *why = QString("cannot create the folder %1: %2").arg(path, errnoText(errno));
        return -1;
    }
    const int fd = ::openat(at, name.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || st.st_uid != ::geteuid()) {
        const int e = errno;
        struct stat link {};
        const bool found = ::fstatat(at, name.constData(), &link, AT_SYMLINK_NOFOLLOW) == 0;
        *why = QString("the folder %1 %2")
                   .arg(path, !found                       ? "cannot be opened: " + errnoText(e)
                              : S_ISLNK(link.st_mode)      ? QString("is a symbolic link")
                              : !S_ISDIR(link.st_mode)     ? QString("is not a folder")
                              : link.st_uid != ::geteuid() ? QString("belongs to another user")
                                                           : "cannot be opened: " + errnoText(e));
        if (fd >= 0)
            ::close(fd);
        return -1;
    }
    if ((st.st_mode & 077) != 0 && ::fchmod(fd, 0700) == 0)
        narrowed->append(QString("Log folder %1 was open to others (%2); it is now private (0700).")
                             .arg(path)
                             .arg(st.st_mode & 0777, 4, 8, QChar('0')));
    return fd;
}

// Why an opened file (or, with `e` set, one that failed to open) is no place
// for a log.
QString fileProblem(int e, const struct stat& st)
{
    if (e == ELOOP)
        return "it is a symbolic link";
    if (e == ENXIO || (e == 0 && !S_ISREG(st.st_mode)))
        return "it is not a regular file";
    if (e != 0)
        return errnoText(e);
    if (st.st_uid != ::geteuid())
        return "it belongs to another user";
    return "it has other names (hard links)";
}

} // namespace

QString DefaultLogFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tenfold/logs";
}

LogFiles::LogFiles(const QString& folder, int bots, QObject* parent)
    : QObject(parent), m_folder(folder), m_bots(size_t(std::max(bots, 0)))
{
    const QFileInfo own(folder), above(own.path());
    m_own[0] = QFile::encodeName(above.fileName());
    m_own[1] = QFile::encodeName(own.fileName());
    m_base = above.path();
}

LogFiles::~LogFiles()
{
    close();
}

QString LogFiles::path(int bot, int date) const
{
    return m_folder + QString::asprintf("/%04d-%02d-%02d-bot%d.log", date / 10000, date / 100 % 100,
                                        date % 100, bot + 1);
}

int LogFiles::openFolder(QString* why, QStringList* narrowed)
{
    if (!MakePrivateFolder(m_base, why))
        return -1;
    int at = ::open(QFile::encodeName(m_base).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (at < 0) {
        *why = QString("the folder %1 cannot be opened: %2").arg(m_base, errnoText(errno));
        return -1;
    }
    QString path = m_base;
    for (const QByteArray& name : m_own) {
        path += '/' + QFile::decodeName(name);
        const int fd = openOwnFolder(at, name, path, why, narrowed);
        ::close(at);
        if (fd < 0)
            return -1;
        at = fd;
    }
    return at;
}

bool LogFiles::makeFolder(QString* why)
{
    QStringList narrowed;
    const int fd = openFolder(why, &narrowed);
    if (fd >= 0)
        ::close(fd);
    return fd >= 0;
}

void LogFiles::write(int bot, const EntryTime& time, std::string_view text)
{
    if (bot < 0 || size_t(bot) >= m_bots.size() || m_bots[size_t(bot)].failed)
        return;
    Bot& b = m_bots[size_t(bot)];
    if (b.fd < 0 || b.date != time.date) {
        closeFile(bot, time);
        if (b.failed || !open(bot, time.date, time))
            return;
    }
    const size_t before = b.pending.size();
    b.pending.resize(before + sizeof time.hms + 2 + kGlyphMax * text.size());
    char* out = b.pending.data() + before;
    std::memcpy(out, time.hms, sizeof time.hms);
    out[sizeof time.hms] = ' ';
    out += sizeof time.hms + 1;
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x20 && u < 0x7f) {
            *out++ = c;
        } else {
            std::memcpy(out, kGlyphs[u].bytes, kGlyphMax);
            out += kGlyphs[u].size;
        }
    }
    *out++ = '\n';
    b.pending.resize(size_t(out - b.pending.data()));
    if (b.pending.size() >= kFlushBytes)
        flush(bot);
    else if (!m_timer.isActive())
        m_timer.start(kFlushMs, Qt::PreciseTimer, this);
}

bool LogFiles::open(int bot, int date, const EntryTime& now)
{
    const QString file = path(bot, date);
    QString why;
    QStringList narrowed;
    const int dir = openFolder(&why, &narrowed);
    for (const QString& message : narrowed)
        note(bot, message);
    if (dir < 0) {
        fail(bot, file, why);
        return false;
    }
    // No link is followed and nothing waits: a pipe planted here fails at once.
    const int fd =
        ::openat(dir, QFile::encodeName(QFileInfo(file).fileName()).constData(),
                 O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    const int e = errno;
    ::close(dir);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid() ||
        st.st_nlink != 1) {
        if (fd >= 0)
            ::close(fd);
        fail(bot, file, fileProblem(fd < 0 ? e : 0, st));
        return false;
    }
    if ((st.st_mode & 0177) != 0)
        ::fchmod(fd, 0600);
    Bot& b = m_bots[size_t(bot)];
    b.fd = fd;
    b.date = date;
    b.pending.insert(0, markLine("started", now));
    return true;
}

void LogFiles::flush(int bot)
{
    Bot& b = m_bots[size_t(bot)];
    if (b.fd < 0 || b.pending.empty()) {
        b.pending.clear();
        return;
    }
    struct stat st {};
    bool sized = ::fstat(b.fd, &st) == 0;
    if (sized && st.st_nlink == 0) {
        // Removed while open: what follows would vanish with it.
        ::close(b.fd);
        b.fd = -1;
        std::string lines = std::move(b.pending);
        b.pending.clear();
        if (!open(bot, b.date, EntryTimeNow()))
            return;
        b.pending += lines;
        note(bot, QString("Log file %1 was removed while open; a new one is started.")
                      .arg(path(bot, b.date)));
        sized = ::fstat(b.fd, &st) == 0;
    }
    const char* at = b.pending.data();
    size_t left = b.pending.size();
    while (left > 0) {
        const ssize_t n = ::write(b.fd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int e = n < 0 ? errno : EIO;
            // Half a line would run into the next run's first: the file
            // goes back to the end of its last whole entry.
            if (left < b.pending.size() && sized)
                (void)::ftruncate(b.fd, st.st_size);
            fail(bot, path(bot, b.date), errnoText(e));
            return;
        }
        at += n;
        left -= size_t(n);
    }
    b.pending.clear();
}

void LogFiles::flush()
{
    m_timer.stop();
    for (size_t i = 0; i < m_bots.size(); ++i)
        flush(int(i));
}

void LogFiles::closeFile(int bot, const EntryTime& now)
{
    Bot& b = m_bots[size_t(bot)];
    if (b.fd < 0)
        return;
    b.pending += markLine("stopped", now);
    flush(bot);
    if (b.fd >= 0)
        ::close(b.fd);
    b.fd = -1;
}

void LogFiles::close()
{
    m_timer.stop();
    const EntryTime now = EntryTimeNow();
    for (size_t i = 0; i < m_bots.size(); ++i)
        closeFile(int(i), now);
}

void LogFiles::fail(int bot, const QString& path, const QString& why)
{
    // Marked first: the report comes back through this bot's log as an entry.
    Bot& b = m_bots[size_t(bot)];
    b.failed = true;
    b.pending.clear();
    if (b.fd >= 0)
        ::close(b.fd);
    b.fd = -1;
    emit writeFailed(bot, QString("Log file %1 not written: %2. Log Files stay off for this "
                                  "bot until the option is set again.")
                              .arg(path, why));
}

void LogFiles::note(int bot, const QString& message)
{
    // Queued: the note comes back as an entry, which must not land inside
    // the open or flush that noticed.
    QMetaObject::invokeMethod(
        this, [this, bot, message] { emit noted(bot, message); }, Qt::QueuedConnection);
}

void LogFiles::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == m_timer.timerId())
        flush();
    else
        QObject::timerEvent(e);
}
