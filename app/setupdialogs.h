// The Options menu's dialogs: switches beyond the console's own behaviour,
// kept in the settings file's [Options] section.
#pragma once

class frmMain;

// "Bot Setup": connecting again after a drop, logging in again, pacing what
// each bot sends, logging in at start-up, starting with the desktop, and
// keeping the passwords in the desktop keyring.
void BotSetup(frmMain& w);

// "Chat Setup": the time of each entry, a log file per bot, marked tabs and
// desktop notifications.
void ChatSetup(frmMain& w);
// Applies Chat Setup's switches, as the settings file holds them, to the
// entries added from now on.
void ApplyChatOptions(frmMain& w);
