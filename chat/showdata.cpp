#include "chat/showdata.h"

#include <QLabel>
#include <QLineEdit>

#include "app/attention.h"
#include "app/frmmain.h"
#include "bots/protocol.h"
#include "chat/chatlog.h"
#include "log/logview.h"
#include "userlist/userlist.h"

namespace {

LogView& chatBox(frmMain& w, int Index)
{
    Q_ASSERT(Index >= 0 && Index < BotCount);
    return *w.txtChatBox[Index];
}

} // namespace

QString FromServer(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

void AddChat(frmMain& w, int Index, const QString& strText, const QString& strColor)
{
    AddChat(chatBox(w, Index), strText, strColor);
}

bool ShowWhisperFrom(frmMain& w, int Index, std::string_view strData)
{
    const auto whisper = protocol::cutWhisper(strData);
    if (!whisper)
        return false;
    AppendEntry(chatBox(w, Index),
                {u"<From:", FromServer(whisper->name), u"> ", FromServer(whisper->text)}, colours::Gray);
    NeedsOperator(w, Index, Alert::Whisper, FromServer(whisper->name), FromServer(whisper->text));
    return true;
}

void ShowWhisperTo(frmMain& w, int Index, const QString& strName, const QString& strText)
{
    AppendEntry(chatBox(w, Index), {u"<To:", strName, u"> ", strText}, colours::Gray);
}

void ShowTalk(frmMain& w, int Index, const QString& strName, const QString& strText)
{
    LogView& log = chatBox(w, Index);
    if (CaretAtStart(log))
        AppendEntry(log, {u"< ", strName, u" > ", strText}, colours::White);
    else
        AppendEntry(log, {u"<", strName, u"> ", strText}, colours::White);
}

void ParseEmote(frmMain& w, int Index, std::string_view strData)
{
    const protocol::Said emote = protocol::cutEmote(strData);
    // The server's echo of the bot's own emote (its anti-idle answer) is no news.
    const Unmarked own(w, FromServer(emote.name).trimmed() == w.bot[Index].session.givenName);
    ShowEmote(w, Index, FromServer(emote.name), FromServer(emote.text));
}

void ShowEmote(frmMain& w, int Index, const QString& strName, const QString& strText)
{
    AppendEntry(chatBox(w, Index), {u"<", strName, strText, u">"}, colours::Yellow);
}

bool ShowChannelJoined(frmMain& w, int Index, std::string_view strData)
{
    const auto cut = protocol::cutChannel(strData);
    if (!cut)
        return false;
    const QString channel = FromServer(*cut);
    w.bot[Index].session.putIn(channel);
    w.txtChannel[Index]->setText(channel);
    AddChat(w, Index, "You have joined channel: " + channel, "Blue");
    ClearUsers(*w.UserList[Index]);
    w.lblCurrentChannel[Index]->setText(channel);
    return true;
}
