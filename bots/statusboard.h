// The status board: every 100 ms, each bot's row follows its socket's state.
#pragma once

#include <QString>

class frmMain;
class QLabel;
class BotSocket;

void WinsockState_Timer(frmMain& w);
// The row of a bot that is not connected: its number and a colon, no channel.
void ClearStatusRow(frmMain& w, int Index);
void BotState(frmMain& w, QLabel& connectedLabel, BotSocket& socket, const QString& botNumber);
