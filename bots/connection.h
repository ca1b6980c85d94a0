// Connecting, logging in and disconnecting the bots, and the pause of a login.
#pragma once

#include <QString>
#include <QtGlobal>

class frmMain;

constexpr quint16 kGatewayPort = 6112;

// Connects the bot to the server the settings file holds for it; false when
// there is none, or its socket is busy connecting or connected.
bool ConnectBot(frmMain& w, int Index);
// Reads the bot's account from the settings file and sends the login sequence,
// once its password is read (ReadLoginPassword).
void SendLogin(frmMain& w, int Index);

void ConnectAll(frmMain& w);
void LoginOne(frmMain& w, int Index);
// Login Bot N without holding the caller: the pause before the home channel
// runs in the event loop.
void LoginInBackground(frmMain& w, int Index);
void LoginAll(frmMain& w);

// Bot Setup's "Login At Start": after the window is shown, connects the bots
// as Connect All Bots does and logs in each one whose connection comes up.
void LoginAtStart(frmMain& w);
// What the bot's socket reports, for the connection Login At Start made.
void StartConnectionUp(frmMain& w, int Index);
void StartConnectFailed(frmMain& w, int Index, const QString& why);
void DisconnectOne(frmMain& w, int Index);
void DisconnectAll(frmMain& w);

// The server named the bot: it is logged in under that name.
void LoggedIn(frmMain& w, int Index, const QString& strName);
// Whether the bot's current connection has logged in. Until then the server
// reads every line as the next account name or password, so nothing but the
// login may go out.
bool LoggedInNow(const frmMain& w, int Index);
// The server refused the login: shown, and the bot may log in again.
void LoginFailed(frmMain& w, int Index, const QString& strLine);
// The bot's connection was closed or replaced. Its session ends once the
// lines it left in the bot's buffer are handled, so they still count for it.
void ConnectionEnded(frmMain& w, int Index);
// Starts the bot's next session: not logged in, no name, an empty row on the board.
void EndSession(frmMain& w, int Index);

// Lets the event loop run, sleeping between events, for `dblSeconds` or
// until the window is unloaded.
void WaitFor(const frmMain& w, double dblSeconds);
// Lets the event loop handle every pending event once.
void Yield();
