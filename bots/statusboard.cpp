#include "bots/statusboard.h"

#include <QLabel>
#include <QPushButton>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "bots/parser.h"

void WinsockState_Timer(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i)
        BotState(w, *w.lblBotConnected[i], *w.Winsock[i], QString::number(i + 1));
}

void BotState(frmMain& w, QLabel& connectedLabel, BotSocket& socket, const QString& botNumber)
{
    const int i = botNumber.toInt() - 1;
    if (i < 0 || i >= BotCount)
        return;
    const int state = socket.State();
    if (state == BotSocket::Open || state > BotSocket::Error)
        return;

    const bool connected = state == BotSocket::Connected;
    connectedLabel.setText(connected ? "Yes" : state == BotSocket::Error ? "Error" : "No");
    if (!connected) {
        w.lblBotName[i]->setText(botNumber + ":");
        w.lblCurrentChannel[i]->setText(QString());
    }
    if (state == BotSocket::Closing) {
        // Lines the server sent before closing are handled, not thrown away.
        TakeUnread(w, i);
        if (socket.State() == BotSocket::Closing)
            socket.Close();
    }
    // While connecting the buttons keep what they had.
    if (connected || state == BotSocket::Closed || state == BotSocket::Closing ||
        state == BotSocket::Error) {
        w.btnLogin[i]->setEnabled(connected);
        w.btnClose[i]->setEnabled(connected);
    }
}
