// The bot's own reactions that keep it in its channel.
#pragma once

#include <QString>

class frmMain;

void CheckKickBan(frmMain& w, int Index, const QString& strData);
void SendAntiIdle(frmMain& w, int Index);
void ShowBotName(frmMain& w, int Index, const QString& strName);
