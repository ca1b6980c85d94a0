#include "bots/statusboard.h"

#include <QLabel>
#include <QPushButton>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/parser.h"
#include "bots/reconnect.h"

void WinsockState_Timer(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i)
        BotState(w, *w.lblBotConnected[i], *w.Winsock[i], QString::number(i + 1));
}

void ClearStatusRow(frmMain& w, int Index)
{
    w.lblBotName[Index]->setText(QString::number(Index + 1) + ":");
    w.lblCurrentChannel[Index]->setText(QString());
}

void BotState(frmMain& w, QLabel& connectedLabel, BotSocket& socket, const QString& botNumber)
{
    const int i = botNumber.toInt() - 1;
    if (i < 0 || i >= BotCount)
        return;
    int state = socket.State();
    if (state == BotSocket::Closing) {
        // The server's last lines first: a name or channel among them must
        // not land in a row that already reads "No". (Lines a busy handling
        // takes up only later end with the session, which clears the row.)
        TakeUnread(w, i);
        state = socket.State();
    }
    if (state == BotSocket::Open || state > BotSocket::Error)
        return;

    const bool connected = state == BotSocket::Connected;
    connectedLabel.setText(connected ? "Yes" : state == BotSocket::Error ? "Error" : "No");
    if (!connected)
        ClearStatusRow(w, i);
    if (state == BotSocket::Closing)
        socket.Close();
    // While connecting the buttons keep what they had.
    if (connected || state == BotSocket::Closed || state == BotSocket::Closing ||
        state == BotSocket::Error) {
        w.btnLogin[i]->setEnabled(connected);
        // Unlike the board's own rule, it also stops a bot's reconnect.
        w.btnClose[i]->setEnabled(connected || ReconnectUnderWay(w, i));
    }
}
