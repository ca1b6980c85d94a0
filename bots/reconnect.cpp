#include "bots/reconnect.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "chat/showdata.h"
#include "settings/opensave.h"

namespace {

constexpr int kFirstDelayMs = 5'000;
constexpr int kLongestDelayMs = 300'000;
constexpr int kAttemptMs = 30'000; // an attempt with no answer by then has failed
constexpr int kLastingMs = 60'000; // a connection up this long has lasted
double s_timeScale = 1.0;

int scaled(int ms)
{
    return std::max(1, int(std::lround(ms * s_timeScale)));
}

void note(frmMain& w, int Index, const QString& text)
{
    AddChat(w, Index, text, "Gray");
}

void reset(Reconnect& r)
{
    QTimer* timer = r.timer;
    timer->stop();
    r = Reconnect();
    r.timer = timer;
}

void waitForNext(frmMain& w, int Index, const QString& why)
{
    Reconnect& r = w.bot[Index].reconnect;
    const int delay =
        ReconnectDelayMs(r.attempts + 1, QRandomGenerator::global()->generateDouble());
    r.phase = Reconnect::Phase::Waiting;
    r.timer->start(scaled(delay));
    note(w, Index, why + QString(" Connecting again in %1 s.").arg(std::lround(delay / 1000.0)));
}

void attempt(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (ReadSetting(BotSection(Index), "Server", w.settingsPath(), "").isEmpty()) {
        note(w, Index, "No server is set for this bot: it is not connected again.");
        reset(r);
        return;
    }
    note(w, Index, QString("Connecting again (attempt %1).").arg(++r.attempts));
    r.phase = Reconnect::Phase::Connecting;
    r.timer->start(scaled(kAttemptMs));
    ConnectBot(w, Index);
}

// Logs in again when there is a login to repeat; otherwise waits to see the
// connection last.
void carryOn(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (std::exchange(r.fromStart, false)) {
        r.timer->stop();
        LoginInBackground(w, Index);
    } else if (r.relogin) {
        r.timer->stop();
        SendLogin(w, Index);
    } else {
        r.timer->start(scaled(kLastingMs));
    }
}

void timerFired(frmMain& w, int Index)
{
    if (w.unloaded())
        return;
    Reconnect& r = w.bot[Index].reconnect;
    switch (r.phase) {
    case Reconnect::Phase::Waiting:
        attempt(w, Index);
        break;
    case Reconnect::Phase::Connecting:
        w.Winsock[Index]->Close();
        waitForNext(w, Index, "No answer within 30 s.");
        break;
    case Reconnect::Phase::Up: // it has lasted: the next drop starts from the first delay
    case Reconnect::Phase::Idle:
        reset(r);
        break;
    }
}

} // namespace

int ReconnectDelayMs(int attempt, double random)
{
    double delay = kFirstDelayMs;
    for (int n = 1; n < attempt && delay < kLongestDelayMs; ++n)
        delay *= 2;
    delay = std::min<double>(delay, kLongestDelayMs) * (0.8 + 0.4 * std::clamp(random, 0.0, 1.0));
    return int(std::lround(std::min<double>(delay, kLongestDelayMs)));
}

void SetReconnectTimeScale(double scale)
{
    s_timeScale = scale;
}

void SetUpReconnect(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        QTimer* timer = new QTimer(&w);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, &w, [&w, i] { timerFired(w, i); });
        w.bot[i].reconnect.timer = timer;
    }
}

void ConnectionUp(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (w.unloaded() || r.phase != Reconnect::Phase::Connecting)
        return;
    r.phase = Reconnect::Phase::Up;
    note(w, Index, "Connected again.");
    // Until the dropped connection's lines are handled, what to repeat is not known.
    if (!r.readSession)
        carryOn(w, Index);
}

void ConnectionDropped(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (w.unloaded())
        return;
    if (!ReadOption(w.settingsPath(), "Reconnect", false)) {
        reset(r);
        return;
    }
    r.readSession = true;
    waitForNext(w, Index, "Connection lost.");
}

void ConnectFailed(frmMain& w, int Index, const QString& why)
{
    // The operator's own connect is not tried again: he sees "Error" and decides.
    if (w.unloaded() || w.bot[Index].reconnect.phase != Reconnect::Phase::Connecting)
        return;
    waitForNext(w, Index, "Could not connect: " + why + ".");
}

void ReconnectFromStart(frmMain& w, int Index, const QString& why)
{
    w.bot[Index].reconnect.fromStart = true;
    waitForNext(w, Index, "Could not connect: " + why + ".");
}

void ReconnectSessionEnded(frmMain& w, int Index, const BotSession& ended)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (!std::exchange(r.readSession, false))
        return;
    // A connection that dropped before its login came through leaves what
    // the last logged-in one asked for.
    if (ended.login == LoginState::LoggedIn) {
        r.relogin = ReadOption(w.settingsPath(), "Relogin", true);
        r.channel = ended.channel;
    }
    if (r.phase == Reconnect::Phase::Up)
        carryOn(w, Index);
}

void ReconnectLoggedIn(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (r.phase != Reconnect::Phase::Up || !LoggedInNow(w, Index))
        return;
    if (r.relogin && r.channel)
        w.Winsock[Index]->SendLine("/join " + *r.channel);
    reset(r);
}

void ReconnectLoginRefused(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    r.relogin = false;
    r.channel.reset();
    if (r.phase == Reconnect::Phase::Up)
        r.timer->start(scaled(kLastingMs));
}

void ReconnectCancelled(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (r.phase == Reconnect::Phase::Waiting || r.phase == Reconnect::Phase::Connecting)
        note(w, Index, "Not connecting again: the bot was disconnected.");
    reset(r);
}

void ReconnectOverridden(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (r.phase == Reconnect::Phase::Waiting || r.phase == Reconnect::Phase::Connecting)
        reset(r);
}

void StopReconnecting(frmMain& w, int Index)
{
    reset(w.bot[Index].reconnect);
}
