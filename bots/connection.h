// Connecting, logging in and disconnecting the bots, and the pause of a login.
#pragma once

#include <QtGlobal>

class frmMain;

constexpr quint16 kGatewayPort = 6112;

void ConnectAll(frmMain& w);
void LoginOne(frmMain& w, int Index);
void LoginAll(frmMain& w);
void DisconnectOne(frmMain& w, int Index);
void DisconnectAll(frmMain& w);

// Lets the event loop run, sleeping between events, for `dblSeconds`.
void WaitFor(double dblSeconds);
// Lets the event loop handle every pending event once.
void Yield();
