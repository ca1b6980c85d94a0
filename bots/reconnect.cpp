#include "bots/reconnect.h"

#include <QLineEdit>
#include <QRandomGenerator>
#include <algorithm>
#include <cmath>
#include <utility>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "bots/sendqueue.h"
#include "chat/showdata.h"
#include "settings/opensave.h"

namespace {

constexpr int kFirstDelayMs = 5'000;
constexpr int kLongestDelayMs = 300'000;
constexpr int kAttemptMs = 30'000; // an attempt, or its login, with no answer by then has failed
constexpr int kLastingMs = 60'000; // a connection up this long has lasted
constexpr int kMostRefusals = 5;   // of the same account in a row, after a drop
double s_timeScale = 1.0;

int scaled(int ms)
{
    return std::max(1, int(std::lround(ms * s_timeScale)));
}

void note(frmMain& w, int Index, const QString& text)
{
    AddChat(w, Index, text, "Gray");
}

bool reconnectOn(const frmMain& w)
{
    return ReadOption(w.settingsPath(), "Reconnect", false);
}

int silenceLimit(const frmMain& w)
{
    return ReadOptionNumber(w.settingsPath(), "Silence Limit", 300, 30, 3600);
}

bool trying(const Reconnect& r)
{
    using P = Reconnect::Phase;
    return r.phase == P::Waiting || r.phase == P::Connecting || r.phase == P::LoggingIn;
}

// Ends the waits and attempts; where the bot goes back to stays.
void stop(Reconnect& r)
{
    r.timer->stop();
    r.phase = Reconnect::Phase::Idle;
    r.attempts = 0;
    r.refusals = 0;
    r.readSession = false;
}

// Ends them and forgets it.
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
    if (r.fromStart) {
        // Logged in as at start-up; the login's answer is bounded all the same.
        r.phase = Reconnect::Phase::LoggingIn;
        r.timer->start(scaled(kAttemptMs));
        LoginInBackground(w, Index);
    } else if (r.relogin) {
        r.phase = Reconnect::Phase::LoggingIn;
        r.timer->start(scaled(kAttemptMs));
        SendLogin(w, Index);
    } else {
        r.timer->start(scaled(kLastingMs));
    }
}

// An attempt that got no answer is closed and counts as failed.
void giveUp(frmMain& w, int Index, const QString& why)
{
    w.Winsock[Index]->Close();
    waitForNext(w, Index, why);
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
        giveUp(w, Index, "No answer within 30 s.");
        break;
    case Reconnect::Phase::LoggingIn:
        giveUp(w, Index, "No answer to the login within 30 s.");
        break;
    case Reconnect::Phase::Up: // it has lasted: the next drop starts from the first delay
    case Reconnect::Phase::Idle:
        stop(r);
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
        QObject::connect(w.Winsock[i], &BotSocket::Silent, &w,
                         [&w](int Index) { ConnectionSilent(w, Index); });
    }
}

void WatchForDeadLink(frmMain& w, int Index)
{
    w.Winsock[Index]->WatchForDeadLink(reconnectOn(w) ? scaled(silenceLimit(w) * 1000) : 0);
}

void ApplyReconnectOption(frmMain& w)
{
    const bool on = reconnectOn(w);
    for (int i = 0; i < BotCount; ++i) {
        if (!on && trying(w.bot[i].reconnect)) {
            ReconnectCancelled(w, i);
            w.Winsock[i]->Close();
        } else if (!on) {
            reset(w.bot[i].reconnect);
        }
        WatchForDeadLink(w, i);
    }
}

bool ReconnectUnderWay(const frmMain& w, int Index)
{
    return trying(w.bot[Index].reconnect);
}

void ConnectionUp(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (w.unloaded())
        return;
    if (r.phase != Reconnect::Phase::Connecting) {
        // The operator's own connection: only what it learns counts.
        if (r.phase == Reconnect::Phase::Idle)
            reset(r);
        return;
    }
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
    if (!reconnectOn(w)) {
        reset(r);
        return;
    }
    r.readSession = true;
    waitForNext(w, Index, "Connection lost.");
}

void ConnectionSilent(frmMain& w, int Index)
{
    if (w.unloaded())
        return;
    note(w, Index,
         QString("Nothing from the server for %1 s: the connection is taken as lost.")
             .arg(silenceLimit(w)));
    ConnectionDropped(w, Index);
    w.Winsock[Index]->Close();
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
    // the last logged-in one asked for; one that learnt nothing newer than
    // where the bot was going leaves that.
    const BotRecord& bot = w.bot[Index];
    if (ended.login == LoginState::LoggedIn) {
        r.relogin = ReadOption(w.settingsPath(), "Relogin", true);
        r.account = bot.strUsername;
        r.password = bot.strPassword;
    }
    if (ended.headingTo)
        r.back = ended.headingTo;
    else if (ended.login == LoginState::LoggedIn && ended.channel)
        r.back = Destination{"/join " + *ended.channel, *ended.channel};
    if (r.phase == Reconnect::Phase::Up)
        carryOn(w, Index);
}

void ReconnectLoggedIn(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (r.phase != Reconnect::Phase::LoggingIn || !LoggedInNow(w, Index))
        return;
    if (r.back) {
        w.bot[Index].session.headFor(*r.back);
        SendPaced(w, Index, r.back->line, [&w, Index] { w.bot[Index].session.headingSent(); });
    }
    r.fromStart = false; // its home channel follows the pause of its login
    stop(r);
}

void ReconnectLoginRefused(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    const BotRecord& bot = w.bot[Index];
    if (r.phase == Reconnect::Phase::LoggingIn && !r.account.isEmpty() &&
        bot.strUsername == r.account && bot.strPassword == r.password) {
        // The server may still hold the dropped connection's login.
        if (++r.refusals < kMostRefusals) {
            giveUp(w, Index,
                   QString("The login was refused (%1 of %2).").arg(r.refusals).arg(kMostRefusals));
            return;
        }
        AddChat(w, Index,
                QString("The server refused bot %1's login %2 times; not trying again.")
                    .arg(Index + 1)
                    .arg(kMostRefusals),
                "Red");
    }
    const bool attempting =
        r.phase == Reconnect::Phase::Up || r.phase == Reconnect::Phase::LoggingIn;
    const int attempts = r.attempts;
    reset(r);
    if (attempting) {
        r.phase = Reconnect::Phase::Up;
        r.attempts = attempts;
        r.timer->start(scaled(kLastingMs));
    }
}

void ReconnectCancelled(frmMain& w, int Index)
{
    Reconnect& r = w.bot[Index].reconnect;
    if (trying(r))
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
