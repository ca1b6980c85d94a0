#include "bots/parser.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QTimer>

#include "app/attention.h"
#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "bots/keeper.h"
#include "bots/protocol.h"
#include "chat/showdata.h"
#include "userlist/userlist.h"

namespace {

// Bytes taken from the socket at a time: with the socket's bounded read buffer
// this bounds what a bot holds however fast the server sends.
constexpr qint64 kChunk = 64 * 1024;

// How long one bot's lines may hold the window before the status board, the
// painting and the operator get a turn: ten bots flooded at once would
// otherwise each empty a full read buffer before the window could react, and
// even ten short slices in a row hold it for ten times as long.
constexpr qint64 kSliceNs = 500'000;

std::optional<QString> showQuoted(frmMain& w, int Index, std::string_view line,
                                  const QString& colour, bool checkKickBan)
{
    const auto text = protocol::quotedText(line);
    if (!text)
        return std::nullopt;
    const QString shown = FromServer(*text);
    AddChat(w, Index, shown, colour);
    if (checkKickBan)
        CheckKickBan(w, Index, shown);
    return shown;
}

} // namespace

bool ParseLine(frmMain& w, int Index, std::string_view line)
{
    // `line` may point into the bot's buffer, which an arrival during the
    // keeper's yield can move: it is not read after CheckKickBan.
    using protocol::Event;
    line = protocol::afterPrompts(line);
    switch (protocol::eventOf(line)) {
    case Event::UserIn:
    case Event::UserJoin: {
        // Cut once: name, flags and picture together.
        const auto user = protocol::cutUser(line);
        if (!user)
            return false;
        AddUser(*w.UserList[Index], *user);
        return true;
    }
    case Event::UserLeave: {
        const auto name = protocol::cutLeave(line);
        if (!name)
            return false;
        RemoveUser(*w.UserList[Index], FromServer(*name));
        return true;
    }
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
        return showQuoted(w, Index, line, "Yellow", true).has_value();
    case Event::Error: {
        const auto shown = showQuoted(w, Index, line, "Red", false);
        if (shown)
            NeedsOperator(w, Index, Alert::Error, {}, *shown);
        return shown.has_value();
    }
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
    case Event::LoginFailed:
        LoginFailed(w, Index, FromServer(line));
        return true;
    case Event::Other:
        return true;
    }
    return true;
}

namespace {

// Handles the bot's lines until none is left, then clears `parsing`. When the
// slice runs out first it goes on from the event loop with `parsing` still set.
void handleLines(frmMain& w, int Index)
{
    protocol::LineBuffer& buffer = w.bot[Index].strBuffer;
    BotSocket& socket = *w.Winsock[Index];
    QElapsedTimer slice;
    slice.start();
    std::string_view line;
    while (!w.unloaded()) {
        if (buffer.takeLine(line)) {
            ParseLine(w, Index, line);
            if (slice.nsecsElapsed() > kSliceNs) {
                QTimer::singleShot(0, &w, [&w, Index] { handleLines(w, Index); });
                return;
            }
            continue;
        }
        // The lines of a connection that has ended are handled: from here on
        // the bytes belong to the next one.
        if (w.bot[Index].session.ending)
            EndSession(w, Index);
        // Qt raises no new arrival while a handler of it yields: read until
        // nothing is left.
        const QByteArray chunk = socket.GetData(kChunk);
        if (chunk.isEmpty())
            break;
        buffer.append({chunk.constData(), size_t(chunk.size())});
    }
    w.bot[Index].parsing = false;
}

} // namespace

void Winsock_DataArrival(frmMain& w, int Index)
{
    // An arrival while this bot's lines are being handled (the handling yields
    // between slices and after a rejoin, and so do other handlers it may run
    // inside) is read by that handling when it goes on, so the lines stay in order.
    if (w.bot[Index].parsing)
        return;
    w.bot[Index].parsing = true;
    handleLines(w, Index);
}

void TakeUnread(frmMain& w, int Index)
{
    // Taken before the close, which drops what the socket holds; the handling
    // goes on through these bytes after it.
    BotSocket& socket = *w.Winsock[Index];
    for (QByteArray chunk; !(chunk = socket.GetData(kChunk)).isEmpty();)
        w.bot[Index].strBuffer.append({chunk.constData(), size_t(chunk.size())});
    Winsock_DataArrival(w, Index);
}
