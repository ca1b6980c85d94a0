#include "bots/keeper.h"
#include "app/frmmain.h"
void CheckKickBan(frmMain&, int, const QString&) {}
void SendAntiIdle(frmMain&, int) {}
void ShowBotName(frmMain&, int, const QString&) {}
