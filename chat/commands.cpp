#include "chat/commands.h"

#include <QLineEdit>
#include <QListWidget>

#include "app/attention.h"
#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "bots/sendqueue.h"
#include "chat/showdata.h"
#include "userlist/userlist.h"

namespace {

// Whether the operator's line may go out through the bot. Until the login the
// server reads every line as the next account name or password; the log says
// why nothing went.
bool mayTalk(frmMain& w, int Index)
{
    if (w.Winsock[Index]->State() != BotSocket::Connected)
        return false;
    if (LoggedInNow(w, Index))
        return true;
    const Unmarked reply(w);
    AddChat(w, Index, "Not logged in: nothing was sent.", "Gray");
    return false;
}

// The text as it goes out, without its line end.
QString asSent(const QString& text)
{
    return QString::fromLatin1(OutgoingLine(text).chopped(2));
}

// A moderation command needs a logged-in connection to send on and a user to
// aim at; without them nothing is sent, shown or cleared.
bool target(frmMain& w, int Index, QString& name)
{
    if (!mayTalk(w, Index) || w.UserList[Index]->selectedItems().isEmpty())
        return false;
    name = SelectedUser(*w.UserList[Index]);
    return true;
}

void moderate(frmMain& w, int Index, const char* command)
{
    QString name;
    if (target(w, Index, name))
        SendPaced(w, Index, command + name + " " + w.txttalk[Index]->text());
}

} // namespace

void Send(frmMain& w, int Index)
{
    if (!mayTalk(w, Index))
        return;
    const QString text = w.txttalk[Index]->text();
    SendPaced(w, Index, text,
              [&w, Index, name = w.txtUsername[Index]->text(), said = asSent(text)] {
                  const Unmarked echo(w);
                  ShowTalk(w, Index, name, said);
              });
    w.txttalk[Index]->clear();
}

void Whisper(frmMain& w, int Index)
{
    QString name;
    if (!target(w, Index, name))
        return;
    const QString text = w.txttalk[Index]->text();
    SendPaced(w, Index, "/w " + name + " " + text,
              [&w, Index, name, said = asSent(text)] {
                  const Unmarked echo(w);
                  ShowWhisperTo(w, Index, name, said);
              });
    w.txttalk[Index]->clear();
}

void Ban(frmMain& w, int Index)
{
    moderate(w, Index, "/ban ");
}

void Kick(frmMain& w, int Index)
{
    moderate(w, Index, "/kick ");
}

void SendToAll(frmMain& w)
{
    bool sent = false;
    for (int i = 0; i < BotCount; ++i) {
        if (w.unloaded())
            return;
        if (!mayTalk(w, i))
            continue;
        // Read afresh for each bot: the operator may edit it during the yield.
        const QString text = w.txtTalkAll->text();
        SendPaced(w, i, text, [&w, i, name = w.txtUsername[i]->text(), said = asSent(text)] {
            const Unmarked toAll(w);
            ShowTalk(w, i, name, said);
        });
        sent = true;
        Yield();
    }
    // A line that went nowhere stays, to be sent once the bots are in.
    if (!w.unloaded() && sent)
        w.txtTalkAll->clear();
}
