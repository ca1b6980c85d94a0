#include "chat/logfiles.h"

#include <QFile>
#include <QStandardPaths>
#include <QTimerEvent>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
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

} // namespace

QString DefaultLogFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + "/tenfold/logs";
}

LogFiles::LogFiles(const QString& folder, int bots, QObject* parent)
    : QObject(parent), m_folder(folder), m_bots(size_t(std::max(bots, 0)))
{
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

void LogFiles::write(int bot, const EntryTime& time, std::string_view text)
{
    if (bot < 0 || size_t(bot) >= m_bots.size() || m_bots[size_t(bot)].failed)
        return;
    Bot& b = m_bots[size_t(bot)];
    if (b.fd < 0 || b.date != time.date) {
        closeFile(bot);
        if (b.failed || !open(bot, time.date))
            return;
    }
    // Each byte takes at most two in UTF-8; each break brings a time along.
    const size_t breaks = size_t(std::count(text.begin(), text.end(), '\n'));
    const size_t before = b.pending.size();
    b.pending.resize(before + 2 * text.size() + 10 * (breaks + 1));
    char* out = b.pending.data() + before;
    auto lead = [&] {
        std::memcpy(out, time.hms, sizeof time.hms);
        out[sizeof time.hms] = ' ';
        out += sizeof time.hms + 1;
    };
    lead();
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u == '\n') {
            *out++ = '\n';
            lead();
        } else if (u < 0x80) {
            *out++ = c;
        } else {
            *out++ = char(0xc0 | (u >> 6));
            *out++ = char(0x80 | (u & 0x3f));
        }
    }
    *out++ = '\n';
    b.pending.resize(size_t(out - b.pending.data()));
    if (b.pending.size() >= kFlushBytes)
        flush(bot);
    else if (!m_timer.isActive())
        m_timer.start(kFlushMs, Qt::PreciseTimer, this);
}

bool LogFiles::open(int bot, int date)
{
    const QString file = path(bot, date);
    QString why;
    if (!MakePrivateFolder(m_folder, &why)) {
        fail(bot, file, why);
        return false;
    }
    const int fd = ::open(QFile::encodeName(file).constData(),
                          O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        fail(bot, file, errnoText(errno));
        return false;
    }
    m_bots[size_t(bot)].fd = fd;
    m_bots[size_t(bot)].date = date;
    return true;
}

void LogFiles::flush(int bot)
{
    Bot& b = m_bots[size_t(bot)];
    const char* at = b.pending.data();
    size_t left = b.fd >= 0 ? b.pending.size() : 0;
    while (left > 0) {
        const ssize_t n = ::write(b.fd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            fail(bot, path(bot, b.date), errnoText(n < 0 ? errno : EIO));
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

void LogFiles::closeFile(int bot)
{
    flush(bot);
    Bot& b = m_bots[size_t(bot)];
    if (b.fd >= 0)
        ::close(b.fd);
    b.fd = -1;
}

void LogFiles::close()
{
    m_timer.stop();
    for (size_t i = 0; i < m_bots.size(); ++i)
        closeFile(int(i));
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

void LogFiles::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == m_timer.timerId())
        flush();
    else
        QObject::timerEvent(e);
}
