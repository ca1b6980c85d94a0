// How each chat event of a bot is shown: entries in its log, and on a channel
// change its channel box, status label and user list.
#pragma once

#include <QString>
#include <string_view>

class frmMain;

void AddChat(frmMain& w, int Index, const QString& strText, const QString& strColor);

// The routines that cut a server line return false when the line lacks the
// pieces they need; nothing is shown then. Texts are taken between the first
// and the last double quote, so quotes inside them are kept.
bool ShowWhisperFrom(frmMain& w, int Index, std::string_view strData);
void ShowWhisperTo(frmMain& w, int Index, const QString& strName, const QString& strText);
// "<name> text", or "< name > text" when the log's caret stood at its start.
void ShowTalk(frmMain& w, int Index, const QString& strName, const QString& strText);
// Never fails: a missing piece is shown empty.
void ParseEmote(frmMain& w, int Index, std::string_view strData);
void ShowEmote(frmMain& w, int Index, const QString& strName, const QString& strText);
// Channel box, log entry, emptied user list, status label: in that order.
bool ShowChannelJoined(frmMain& w, int Index, std::string_view strData);

// Text of the server (one byte per character, ISO-8859-1) as shown.
QString FromServer(std::string_view bytes);
