// The operator's commands through a bot: talk, whisper, ban, kick, and one
// line through every connected bot.
#pragma once

class frmMain;

void Send(frmMain& w, int Index);
void Whisper(frmMain& w, int Index);
void Ban(frmMain& w, int Index);
void Kick(frmMain& w, int Index);
void SendToAll(frmMain& w);
