#include "bots/statusboard.h"
#include "app/frmmain.h"
void WinsockState_Timer(frmMain&) {}
void BotState(frmMain&, QLabel&, BotSocket&, const QString&) {}
