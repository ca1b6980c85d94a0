#include "bots/keeper.h"

#include <QLabel>
#include <QLineEdit>

#include "app/attention.h"
#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "bots/protocol.h"
#include "bots/sendqueue.h"
#include "chat/showdata.h"

namespace {

// The operator in "bot1 has been kicked by boss (reason).", or empty.
QString byWhom(const QString& notice)
{
    const qsizetype at = notice.indexOf(" by ");
    QString name = at < 0 ? QString() : notice.mid(at + 4).section(' ', 0, 0);
    while (name.endsWith('.'))
        name.chop(1);
    return name;
}

} // namespace

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
    const auto kickBan = protocol::kickBanOf({info.constData(), size_t(info.size())},
                                             {name.constData(), size_t(name.size())});
    if (kickBan != protocol::KickBan::None)
        NeedsOperator(w, Index,
                      kickBan == protocol::KickBan::Kicked ? Alert::Kicked : Alert::Banned,
                      byWhom(strData), strData);
    switch (kickBan) {
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
            [&w, Index] {
                const Unmarked answer(w);
                AddChat(w, Index, "", "Yellow");
            },
            pacing::Kind::Answer);
    }
}

void ShowBotName(frmMain& w, int Index, const QString& strName)
{
    AddChat(w, Index, "The name given to you by the server is: " + strName, "Yellow");
    w.lblBotName[Index]->setText(QString::number(Index + 1) + ": " + strName);
    LoggedIn(w, Index, strName);
}
