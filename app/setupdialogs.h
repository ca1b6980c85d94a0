// The Options menu's dialogs: switches beyond the console's own behaviour,
// kept in the settings file's [Options] section.
#pragma once

class frmMain;

// "Bot Setup": connecting again after a drop, and logging in again.
void BotSetup(frmMain& w);
