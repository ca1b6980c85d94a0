// Bot Setup's options: a bot whose connection drops connects again by itself,
// with growing delays, and may log in again and go back to its channel. Off
// by default; the [Options] switches are read at each drop.
#pragma once

#include <QString>
#include <optional>

class frmMain;
struct BotSession;

// Milliseconds to wait before attempt `attempt` (1, 2, ...): 5 s doubling to
// at most 5 minutes, varied by `random` (0 to 1) by up to 20% either way.
int ReconnectDelayMs(int attempt, double random);

// Tests only: every wait of connecting again (delays, the 30 s an attempt and
// its login may take, the 60 s after which a connection counts as lasting,
// the silence limit) times `scale`.
void SetReconnectTimeScale(double scale);

// Creates each bot's timer; called once by the window.
void SetUpReconnect(frmMain& w);

// Before each connect: with Reconnect on, the connection is watched for a
// dead link ([Options] Silence Limit, TCP keep-alive); otherwise not.
void WatchForDeadLink(frmMain& w, int Index);
// Bot Setup's OK: with Reconnect off every wait and attempt ends as on
// Disconnect; the dead-link watch of live connections follows the option.
void ApplyReconnectOption(frmMain& w);

// A wait or an attempt (until its login is answered) is under way: the
// operator may stop it with Disconnect Bot N.
bool ReconnectUnderWay(const frmMain& w, int Index);

// What the bot's socket reports.
void ConnectionUp(frmMain& w, int Index);
void ConnectionDropped(frmMain& w, int Index);
void ConnectionSilent(frmMain& w, int Index);
void ConnectFailed(frmMain& w, int Index, const QString& why);

// Login At Start's connect failed: it is tried again as after a drop, and the
// connection that comes up logs in as at start-up, home channel included.
void ReconnectFromStart(frmMain& w, int Index, const QString& why);

// From the session: its end (the dropped connection's lines are handled),
// the server's name for the bot, a refused login.
void ReconnectSessionEnded(frmMain& w, int Index, const BotSession& ended);
void ReconnectLoggedIn(frmMain& w, int Index);
void ReconnectLoginRefused(frmMain& w, int Index);

// The operator's disconnect cancels connecting again, and the log says so
// when a wait or an attempt was on.
void ReconnectCancelled(frmMain& w, int Index);
// The operator's own connect ends a wait or an attempt: what it connects is
// his. A bot that is up again keeps going back to its channel.
void ReconnectOverridden(frmMain& w, int Index);
// Closing the window: nothing more is tried.
void StopReconnecting(frmMain& w, int Index);
