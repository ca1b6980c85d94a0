#include "bots/parser.h"

#include <QListWidget>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/keeper.h"
#include "bots/protocol.h"
#include "chat/showdata.h"
#include "userlist/userlist.h"

namespace {

// Bytes taken from the socket at a time: with the socket's bounded read buffer
// this bounds what a bot holds however fast the server sends.
constexpr qint64 kChunk = 64 * 1024;

bool showQuoted(frmMain& w, int Index, std::string_view line, const QString& colour,
                bool checkKickBan)
{
    const auto text = protocol::quotedText(line);
    if (!text)
        return false;
    const QString shown = FromServer(*text);
    AddChat(w, Index, shown, colour);
    if (checkKickBan)
        CheckKickBan(w, Index, shown);
    return true;
}

} // namespace

bool ParseLine(frmMain& w, int Index, std::string_view line)
{
    using protocol::Event;
    switch (protocol::eventOf(line)) {
    case Event::UserIn:
    case Event::UserJoin:
        return AddUser(*w.UserList[Index], line, protocol::GetUserFlags(line));
    case Event::UserLeave:
        return RemoveUser(*w.UserList[Index], line, protocol::GetUserFlags(line));
    case Event::WhisperFrom:
        return ShowWhisperFrom(w, Index, line);
    case Event::Talk: {
        const auto talk = protocol::cutTalk(line);
        if (!talk)
            return false;
        ShowTalk(w, Index, FromServer(talk->name), FromServer(talk->text));
        return true;
    }
    case Event::Channel:
        return ShowChannelJoined(w, Index, line);
    case Event::Info:
        return showQuoted(w, Index, line, "Yellow", true);
    case Event::Error:
        return showQuoted(w, Index, line, "Red", false);
    case Event::Emote:
        ParseEmote(w, Index, line);
        return true;
    case Event::KeepAlive:
        SendAntiIdle(w, Index);
        return true;
    case Event::Name: {
        const auto name = protocol::cutBotName(line);
        if (!name)
            return false;
        ShowBotName(w, Index, FromServer(*name));
        return true;
    }
    case Event::Other:
        return true;
    }
    return true;
}

void Winsock_DataArrival(frmMain& w, int Index)
{
    // An arrival while this bot's lines are being handled (the handler yields
    // after a rejoin, and so do other handlers it may run inside) is read by
    // that handling when it goes on, so the lines stay in order.
    if (w.parsing[Index])
        return;
    w.parsing[Index] = true;
    protocol::LineBuffer& buffer = w.strBuffer[Index];
    BotSocket& socket = *w.Winsock[Index];
    std::string line;
    while (!w.unloaded()) {
        if (buffer.takeLine(line)) {
            ParseLine(w, Index, line);
            continue;
        }
        // Qt raises no new arrival while a handler of it yields: read until
        // nothing is left.
        const QByteArray chunk = socket.GetData(kChunk);
        if (chunk.isEmpty())
            break;
        buffer.append({chunk.constData(), size_t(chunk.size())});
    }
    w.parsing[Index] = false;
}

void TakeUnread(frmMain& w, int Index)
{
    BotSocket& socket = *w.Winsock[Index];
    if (!w.parsing[Index]) {
        Winsock_DataArrival(w, Index);
        return;
    }
    // The handling in progress goes on through these bytes after the close.
    for (QByteArray chunk; !(chunk = socket.GetData(kChunk)).isEmpty();)
        w.strBuffer[Index].append({chunk.constData(), size_t(chunk.size())});
}
