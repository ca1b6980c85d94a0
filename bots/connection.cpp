#include "bots/connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <utility>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/parser.h"
#include "chat/showdata.h"
#include "chat/logview.h"
#include "settings/opensave.h"

namespace {

QString botSection(int Index)
{
    return QStringLiteral("Bot %1").arg(Index + 1);
}

void readAccount(frmMain& w, int Index)
{
    const QString section = botSection(Index);
    w.strUsername[Index] = ReadSetting(section, "Username", w.settingsPath(), "");
    w.strPassword[Index] = ReadSetting(section, "Password", w.settingsPath(), "");
}

// Two control characters and two empty lines, the account name, the password:
// three separate sends.
void sendLogin(frmMain& w, int Index)
{
    BotSocket& socket = *w.Winsock[Index];
    socket.SendData(QByteArray("\x03\x04\r\n\r\n"));
    socket.SendLine(w.strUsername[Index]);
    socket.SendLine(w.strPassword[Index]);
    w.session[Index].login = LoginState::LoginSent;
}

// Whether the bot's connection awaits a login; if not, its log says why.
bool mayLogIn(frmMain& w, int Index)
{
    const BotSession& session = w.session[Index];
    switch (session.login) {
    case LoginState::NotLoggedIn:
        return true;
    case LoginState::LoginSent:
        AddChat(w, Index, "A login is already on its way: waiting for the server's answer.",
                "Gray");
        return false;
    case LoginState::LoggedIn:
        AddChat(w, Index, "Already logged in as " + session.givenName.value_or(QString()) + ".",
                "Gray");
        return false;
    }
    return false;
}

void sendHomeChannel(frmMain& w, int Index)
{
    w.Winsock[Index]->SendLine(w.txtHomeChannel->text());
}

} // namespace

void Yield()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitFor(double dblSeconds)
{
    if (!(dblSeconds > 0))
        return;
    // Sleeps in the event loop until the deadline; events run meanwhile. The
    // monotonic clock is used, so a change of the wall clock does not stretch it.
    const QDeadlineTimer deadline(qint64(dblSeconds * 1000.0), Qt::PreciseTimer);
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    while (!deadline.hasExpired()) {
        timer.start(std::max<qint64>(1, deadline.remainingTime()));
        if (loop.exec() != 0)
            return; // the application is quitting
    }
}

void ConnectAll(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        if (w.unloaded())
            return;
        w.strServer[i] = ReadSetting(botSection(i), "Server", w.settingsPath(), "");
        if (!w.strServer[i].isEmpty()) {
            // A connect resets a socket the server has closed: what it sent
            // before closing is handled first.
            if (w.Winsock[i]->BytesAvailable() > 0)
                TakeUnread(w, i);
            if (w.unloaded())
                return;
            w.Winsock[i]->Connect(w.strServer[i], kGatewayPort);
        }
        Yield();
    }
    if (!w.unloaded())
        w.btnLoginAll->setEnabled(true);
}

void LoginOne(frmMain& w, int Index)
{
    // A click can come between a drop of the connection and the board's next tick.
    if (w.Winsock[Index]->State() != BotSocket::Connected || !mayLogIn(w, Index))
        return;
    readAccount(w, Index);
    sendLogin(w, Index);
    const quint64 connection = w.Winsock[Index]->Connection();
    WaitFor(1);
    // The home channel belongs to this login: not to a connection made during
    // the pause, nor to a refused login. A server still reading the login
    // would take it for the next account name: then it waits for the name.
    if (w.unloaded() || w.Winsock[Index]->Connection() != connection || w.session[Index].ending)
        return;
    if (w.session[Index].login == LoginState::LoggedIn)
        sendHomeChannel(w, Index);
    else if (w.session[Index].login == LoginState::LoginSent)
        w.session[Index].homeChannelDue = true;
}

void LoginAll(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        if (w.unloaded())
            return;
        const bool connected = w.Winsock[i]->State() == BotSocket::Connected;
        if (connected && !mayLogIn(w, i))
            continue;
        // Emptied before the login, so what arrives during the yield stays.
        w.txtChatBox[i]->clear();
        w.UserList[i]->clear();
        w.txtChannel[i]->clear();
        if (connected) {
            readAccount(w, i);
            sendLogin(w, i);
            Yield();
        }
    }
}

void DisconnectOne(frmMain& w, int Index)
{
    w.Winsock[Index]->Close();
    w.btnLoginAll->setEnabled(false);
}

void DisconnectAll(frmMain& w)
{
    for (BotSocket* socket : w.Winsock)
        socket->Close();
    w.btnLoginAll->setEnabled(false);
}

void LoggedIn(frmMain& w, int Index, const QString& strName)
{
    BotSession& session = w.session[Index];
    session.login = LoginState::LoggedIn;
    session.givenName = strName;
    if (std::exchange(session.homeChannelDue, false) && !session.ending)
        sendHomeChannel(w, Index);
}

bool LoggedInNow(const frmMain& w, int Index)
{
    // An ending session's lines are still handled, but the socket may already
    // hold a new connection.
    return w.session[Index].login == LoginState::LoggedIn && !w.session[Index].ending;
}

void LoginFailed(frmMain& w, int Index, const QString& strLine)
{
    AddChat(w, Index, strLine, "Red");
    w.session[Index].login = LoginState::NotLoggedIn;
    w.session[Index].homeChannelDue = false;
}

void ConnectionEnded(frmMain& w, int Index)
{
    w.strBuffer[Index].dropUnfinished();
    w.session[Index].ending = w.strBuffer[Index].hasLine();
    if (!w.session[Index].ending)
        EndSession(w, Index);
}

void EndSession(frmMain& w, int Index)
{
    w.session[Index] = BotSession();
    // The row shows what this connection was told; a new connection that
    // comes up between two ticks of the board must not show the old name.
    w.lblBotName[Index]->setText(QString::number(Index + 1) + ":");
    w.lblCurrentChannel[Index]->clear();
}
