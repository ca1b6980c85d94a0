#include "chat/commands.h"
#include "app/frmmain.h"
void Send(frmMain&, int) {}
void Whisper(frmMain&, int) {}
void Ban(frmMain&, int) {}
void Kick(frmMain&, int) {}
void SendToAll(frmMain&) {}
