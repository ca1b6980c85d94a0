// PLACEHOLDER: replaced by the event presentation implementation.
#include "chat/showdata.h"
#include "app/frmmain.h"
#include "chat/chatlog.h"
#include <QPlainTextEdit>
QString FromServer(std::string_view b) { return QString::fromLatin1(b.data(), qsizetype(b.size())); }
void AddChat(frmMain& w, int i, const QString& t, const QString& c) { AddChat(*w.txtChatBox[i], t, c); }
bool ShowWhisperFrom(frmMain&, int, std::string_view) { return true; }
void ShowWhisperTo(frmMain&, int, const QString&, const QString&) {}
void ShowTalk(frmMain&, int, const QString&, const QString&) {}
void ParseEmote(frmMain&, int, std::string_view) {}
void ShowEmote(frmMain&, int, const QString&, const QString&) {}
bool ShowChannelJoined(frmMain&, int, std::string_view) { return true; }
