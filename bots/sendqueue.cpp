#include "bots/sendqueue.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QTimer>
#include <cmath>
#include <sys/stat.h>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "chat/showdata.h"
#include "settings/opensave.h"

namespace {

double s_timeScale = 1.0;

qint64 now()
{
    return QDeadlineTimer::current(Qt::PreciseTimer).deadline();
}

struct PaceOptions {
    bool on = false;
    int budget = 4;
    int seconds = 6;
};

bool sameFile(const struct stat& a, const struct stat& b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino && a.st_size == b.st_size &&
           a.st_mtim.tv_sec == b.st_mtim.tv_sec && a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

// [Options] as the settings file holds them now, parsed again only when the
// file has changed: every keep-alive of a flood is answered through here.
PaceOptions readOptions(const frmMain& w)
{
    static struct {
        QString path;
        struct stat file {};
        PaceOptions options;
    } cache;
    struct stat file {};
    const QString& path = w.settingsPath();
    const bool found = ::stat(QFile::encodeName(path).constData(), &file) == 0;
    if (found && cache.path == path && sameFile(file, cache.file))
        return cache.options;
    const PaceOptions options{ReadOption(path, "Pace Lines", false),
                              ReadOptionNumber(path, "Pace Budget", 4, 1, 100),
                              ReadOptionNumber(path, "Pace Seconds", 6, 1, 60)};
    if (found)
        cache = {path, file, options};
    return options;
}

void dropWaiting(frmMain& w, int Index)
{
    SendQueue& q = w.bot[Index].queue;
    q.timer->stop();
    q.noted = false;
    const qsizetype dropped = q.pacer.clear();
    if (dropped == 1)
        AddChat(w, Index, "1 waiting line was not sent.", "Gray");
    else if (dropped > 1)
        AddChat(w, Index, QString("%1 waiting lines were not sent.").arg(dropped), "Gray");
}

// Sends what the window has room for, then sets the timer for the rest.
void pump(frmMain& w, int Index)
{
    SendQueue& q = w.bot[Index].queue;
    if (w.Winsock[Index]->State() != BotSocket::Connected) {
        dropWaiting(w, Index);
        return;
    }
    while (std::optional<pacing::Line> line = q.pacer.take(now(), q.limits)) {
        w.Winsock[Index]->SendData(line->bytes);
        if (line->shown)
            line->shown();
    }
    const std::optional<qint64> next = q.pacer.nextAt(now(), q.limits);
    if (!next) {
        q.noted = false;
        return;
    }
    if (!std::exchange(q.noted, true)) {
        const qsizetype n = q.pacer.waiting();
        AddChat(w, Index,
                (n == 1 ? QString("1 line waiting") : QString("%1 lines waiting").arg(n)) +
                    ": the server allows 5 lines in 5 seconds.",
                "Gray");
    }
    q.timer->start(int(std::max<qint64>(1, *next - now())));
}

} // namespace

bool SendPaced(frmMain& w, int Index, const QString& text, std::function<void()> shown,
               pacing::Kind kind)
{
    SendQueue& q = w.bot[Index].queue;
    // Lines still waiting keep their place even when the option was just
    // turned off.
    const PaceOptions options = readOptions(w);
    if (q.pacer.waiting() == 0 && !options.on) {
        const bool sent = w.Winsock[Index]->SendLine(text);
        if (shown)
            shown();
        return sent;
    }
    if (w.Winsock[Index]->State() != BotSocket::Connected)
        return false;
    q.limits = {options.budget,
                std::max<qint64>(1, std::llround(options.seconds * 1000 * s_timeScale))};
    if (!q.pacer.push({OutgoingLine(text), std::move(shown)}, kind))
        return false;
    pump(w, Index);
    return true;
}

void SetUpPacing(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        SendQueue& q = w.bot[i].queue;
        q.timer = new QTimer(&w);
        q.timer->setSingleShot(true);
        q.timer->setTimerType(Qt::PreciseTimer);
        QObject::connect(q.timer, &QTimer::timeout, &w, [&w, i] {
            if (!w.unloaded())
                pump(w, i);
        });
        QObject::connect(w.Winsock[i], &BotSocket::ConnectionEnded, &w,
                         [&w](int Index) { dropWaiting(w, Index); });
        QObject::connect(w.Winsock[i], &BotSocket::Dropped, &w,
                         [&w](int Index) { dropWaiting(w, Index); });
    }
}

void SetPaceTimeScale(double scale)
{
    s_timeScale = scale;
}
