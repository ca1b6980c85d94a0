#include "bots/keeper.h"

#include <QLabel>
#include <QLineEdit>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "bots/protocol.h"
#include "bots/sendqueue.h"
#include "chat/showdata.h"

void CheckKickBan(frmMain& w, int Index, const QString& strData)
{
    // At the login prompt a rejoin line would be read as an account name.
    if (!LoggedInNow(w, Index))
        return;
    const QByteArray info = strData.toLatin1();
    // The notices use the name the server gave this connection, which may
    // differ from the account name (a second login of an account: "Guard#2").
    const QByteArray name =
        w.bot[Index].session.givenName.value_or(w.txtUsername[Index]->text()).toLatin1();
    const QString home = w.txtHomeChannel->text();
    bool sent = false;
    switch (protocol::kickBanOf({info.constData(), size_t(info.size())},
                                {name.constData(), size_t(name.size())})) {
    case protocol::KickBan::Kicked:
        sent = SendPaced(w, Index, "/join " + home, {}, pacing::Kind::Rejoin);
        break;
    case protocol::KickBan::Banned:
        sent = SendPaced(w, Index, "/join " + home + "2", {}, pacing::Kind::Rejoin);
        break;
    case protocol::KickBan::None:
        break;
    }
    if (sent)
        Yield();
}

void SendAntiIdle(frmMain& w, int Index)
{
    // The server's keep-alive reaches a connection at its login prompt too,
    // where an answer would be read as the next account name.
    if (LoggedInNow(w, Index)) {
        SendPaced(
            w, Index, "/me Anti-Idle [Tenfold v1.00 (" + w.txtAntiIdle->text() + ")]",
            [&w, Index] { AddChat(w, Index, "", "Yellow"); }, pacing::Kind::Answer);
    }
}

void ShowBotName(frmMain& w, int Index, const QString& strName)
{
    AddChat(w, Index, "The name given to you by the server is: " + strName, "Yellow");
    w.lblBotName[Index]->setText(QString::number(Index + 1) + ": " + strName);
    LoggedIn(w, Index, strName);
}
