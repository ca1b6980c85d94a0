// Moving the window's fields to and from the settings file: at start-up, on
// every change of tab and at shutdown.
#pragma once

class frmMain;

// Fills the account and shared fields from the file and captions the bot tabs.
// The 2nd home channel is neither loaded nor saved.
void Form_Load(frmMain& w);
// Writes all thirty-two values in one save and re-captions the bot tabs.
void SSTab1_Click(frmMain& w, int PreviousTab);
// Writes every value and closes the ten sockets.
void Form_Unload(frmMain& w);

// Writes the fields' values in one save; false (and one line on stderr) on failure.
bool SaveSettings(frmMain& w);
// Each bot tab's caption: its number, ": " and the bot's user name.
void SetBotTabCaptions(frmMain& w);
