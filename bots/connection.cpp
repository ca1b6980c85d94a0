#include "bots/connection.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/frmmain.h"
#include "bots/botsocket.h"
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
        if (!w.strServer[i].isEmpty())
            w.Winsock[i]->Connect(w.strServer[i], kGatewayPort);
        Yield();
    }
    if (!w.unloaded())
        w.btnLoginAll->setEnabled(true);
}

void LoginOne(frmMain& w, int Index)
{
    // A click can come between a drop of the connection and the board's next tick.
    if (w.Winsock[Index]->State() != BotSocket::Connected)
        return;
    readAccount(w, Index);
    sendLogin(w, Index);
    const quint64 connection = w.Winsock[Index]->Connection();
    WaitFor(1);
    // The home channel belongs to this login: not to a connection made
    // during the pause, which has not logged in.
    if (w.unloaded() || w.Winsock[Index]->Connection() != connection)
        return;
    w.Winsock[Index]->SendLine(w.txtHomeChannel->text());
}

void LoginAll(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        if (w.unloaded())
            return;
        // Emptied before the login, so what arrives during the yield stays.
        w.txtChatBox[i]->clear();
        w.UserList[i]->clear();
        w.txtChannel[i]->clear();
        if (w.Winsock[i]->State() == BotSocket::Connected) {
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
