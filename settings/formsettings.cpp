// PLACEHOLDER: replaced by the start-up and saving implementation.
#include "settings/formsettings.h"
#include "app/frmmain.h"
#include "bots/botsocket.h"
void Form_Load(frmMain&) {}
void SSTab1_Click(frmMain&, int) {}
void Form_Unload(frmMain& w) { for (auto* s : w.Winsock) s->Close(); }
bool SaveSettings(frmMain&) { return false; }
void SetBotTabCaptions(frmMain&) {}
