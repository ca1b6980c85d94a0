#include "bots/connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRegularExpression>
#include <QTimer>
#include <optional>
#include <utility>

#include "app/attention.h"
#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/parser.h"
#include "bots/reconnect.h"
#include "bots/sendqueue.h"
#include "bots/statusboard.h"
#include "chat/showdata.h"
#include "log/logview.h"
#include "settings/keyring.h"
#include "settings/opensave.h"

void SendLogin(frmMain& w, int Index)
{
    BotRecord& bot = w.bot[Index];
    bot.strUsername = ReadSetting(BotSection(Index), "Username", w.settingsPath(), "");
    bot.session.login = LoginState::LoginSent;
    // The password may come later (from the keyring): the login goes out then,
    // on the same connection if it still awaits it, or not at all.
    const quint64 connection = w.Winsock[Index]->Connection();
    ReadLoginPassword(w, Index, [&w, Index, connection](std::optional<QString> password) {
        BotRecord& bot = w.bot[Index];
        BotSocket& socket = *w.Winsock[Index];
        if (w.unloaded() || socket.Connection() != connection || bot.session.ending ||
            bot.session.login != LoginState::LoginSent)
            return;
        if (!password) { // as good as refused: the bot may log in again
            bot.session.login = LoginState::NotLoggedIn;
            bot.session.homeChannelDue = false;
            ReconnectLoginRefused(w, Index);
            return;
        }
        bot.strPassword = *password;
        // Two control characters and two empty lines, the account name, the
        // password: three separate sends.
        socket.SendData(QByteArray("\x03\x04\r\n\r\n"));
        socket.SendLine(bot.strUsername);
        socket.SendLine(bot.strPassword);
    });
}

namespace {

// Whether the bot's connection awaits a login; if not, its log says why.
bool mayLogIn(frmMain& w, int Index)
{
    const BotSession& session = w.bot[Index].session;
    // Answers to the operator's own click.
    const Unmarked reply(w);
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

// A click can come between a drop of the connection and the board's next tick.
bool awaitsLogin(frmMain& w, int Index)
{
    return w.Winsock[Index]->State() == BotSocket::Connected && mayLogIn(w, Index);
}

void sendHomeChannel(frmMain& w, int Index)
{
    // Paced, the line may go later: only then can a channel answer it.
    SendPaced(w, Index, w.txtHomeChannel->text(),
              [&w, Index] { w.bot[Index].session.headingSent(); });
}

// Where the home channel's line takes a bot; none when the field is empty.
std::optional<Destination> homeChannel(const frmMain& w)
{
    static const QRegularExpression join("^/j(oin)?\\s+",
                                         QRegularExpression::CaseInsensitiveOption);
    const QString line = w.txtHomeChannel->text();
    const QString channel = QString(line).remove(join).trimmed();
    if (channel.isEmpty())
        return std::nullopt;
    return Destination{line, channel};
}

// A login whose home channel follows its pause. The channel is owed until
// sent: a drop during the pause leaves it to a reconnect.
void loginForHome(frmMain& w, int Index)
{
    SendLogin(w, Index);
    if (const auto home = homeChannel(w))
        w.bot[Index].session.headFor(*home);
}

// The home channel belongs to this login: not to a connection made during
// the pause, nor to a refused login. A server still reading the login
// would take it for the next account name: then it waits for the name.
void afterLoginPause(frmMain& w, int Index, quint64 connection)
{
    BotSession& session = w.bot[Index].session;
    if (w.unloaded() || w.Winsock[Index]->Connection() != connection || session.ending)
        return;
    if (session.login == LoginState::LoggedIn)
        sendHomeChannel(w, Index);
    else if (session.login == LoginState::LoginSent)
        session.homeChannelDue = true;
}

} // namespace

void Yield()
{
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void WaitFor(const frmMain& w, double dblSeconds)
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
    // Closing the window quits the application, which also ends this loop.
    while (!deadline.hasExpired() && !w.unloaded()) {
        timer.start(std::max<qint64>(1, deadline.remainingTime()));
        loop.exec();
    }
}

bool ConnectBot(frmMain& w, int Index)
{
    w.bot[Index].strServer = ReadSetting(BotSection(Index), "Server", w.settingsPath(), "");
    if (w.bot[Index].strServer.isEmpty())
        return false;
    // A connect resets a socket the server has closed: what it sent before
    // closing is handled first.
    if (w.Winsock[Index]->BytesAvailable() > 0)
        TakeUnread(w, Index);
    if (w.unloaded())
        return false;
    WatchForDeadLink(w, Index);
    return w.Winsock[Index]->Connect(w.bot[Index].strServer, kGatewayPort);
}

void ConnectAll(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        if (w.unloaded())
            return;
        ReconnectOverridden(w, i);
        ConnectBot(w, i);
        Yield();
    }
    if (!w.unloaded())
        w.btnLoginAll->setEnabled(true);
}

void LoginOne(frmMain& w, int Index)
{
    if (!awaitsLogin(w, Index))
        return;
    loginForHome(w, Index);
    const quint64 connection = w.Winsock[Index]->Connection();
    WaitFor(w, 1);
    afterLoginPause(w, Index, connection);
}

void LoginInBackground(frmMain& w, int Index)
{
    if (!awaitsLogin(w, Index))
        return;
    loginForHome(w, Index);
    const quint64 connection = w.Winsock[Index]->Connection();
    QTimer::singleShot(1000, &w,
                       [&w, Index, connection] { afterLoginPause(w, Index, connection); });
}

void LoginAtStart(frmMain& w)
{
    if (!ReadOption(w.settingsPath(), "Login At Start", false))
        return;
    for (int i = 0; i < BotCount; ++i) {
        if (w.unloaded())
            return;
        // Noted before the yield, in which the connection may come up.
        if (ConnectBot(w, i))
            w.bot[i].startConnection = w.Winsock[i]->Connection();
        Yield();
    }
    if (!w.unloaded())
        w.btnLoginAll->setEnabled(true);
}

void StartConnectionUp(frmMain& w, int Index)
{
    quint64& start = w.bot[Index].startConnection;
    if (start != 0 && std::exchange(start, 0) == w.Winsock[Index]->Connection())
        LoginInBackground(w, Index);
}

void StartConnectFailed(frmMain& w, int Index, const QString& why)
{
    quint64& start = w.bot[Index].startConnection;
    if (start == 0 || std::exchange(start, 0) != w.Winsock[Index]->Connection() || w.unloaded())
        return;
    // At boot the network or the server may not be up yet.
    if (ReadOption(w.settingsPath(), "Reconnect", false))
        ReconnectFromStart(w, Index, why);
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
            SendLogin(w, i);
            Yield();
        }
    }
}

void DisconnectOne(frmMain& w, int Index)
{
    ReconnectCancelled(w, Index);
    w.Winsock[Index]->Close();
    w.btnLoginAll->setEnabled(false);
}

void DisconnectAll(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i)
        DisconnectOne(w, i);
}

void LoggedIn(frmMain& w, int Index, const QString& strName)
{
    BotSession& session = w.bot[Index].session;
    session.login = LoginState::LoggedIn;
    session.givenName = strName;
    if (std::exchange(session.homeChannelDue, false) && !session.ending)
        sendHomeChannel(w, Index);
    ReconnectLoggedIn(w, Index);
}

bool LoggedInNow(const frmMain& w, int Index)
{
    // An ending session's lines are still handled, but the socket may already
    // hold a new connection.
    const BotSession& session = w.bot[Index].session;
    return session.login == LoginState::LoggedIn && !session.ending;
}

void LoginFailed(frmMain& w, int Index, const QString& strLine)
{
    AddChat(w, Index, strLine, "Red");
    NeedsOperator(w, Index, Alert::LoginRefused, {}, strLine);
    BotSession& session = w.bot[Index].session;
    session.login = LoginState::NotLoggedIn;
    session.homeChannelDue = false;
    ReconnectLoginRefused(w, Index);
}

void ConnectionEnded(frmMain& w, int Index)
{
    BotRecord& bot = w.bot[Index];
    bot.strBuffer.dropUnfinished();
    bot.session.ending = bot.strBuffer.hasLine();
    if (!bot.session.ending)
        EndSession(w, Index);
}

void EndSession(frmMain& w, int Index)
{
    const BotSession ended = std::exchange(w.bot[Index].session, BotSession());
    // The row shows what this connection was told; a new connection that
    // comes up between two ticks of the board must not show the old name.
    ClearStatusRow(w, Index);
    ReconnectSessionEnded(w, Index, ended);
}
