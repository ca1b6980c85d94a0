#include "app/frmmain.h"

#include <QCloseEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QTimer>

#include "app/attention.h"
#include "app/setupdialogs.h"
#include "app/tabstrip.h"
#include "bots/botsocket.h"
#include "bots/connection.h"
#include "bots/parser.h"
#include "bots/reconnect.h"
#include "bots/sendqueue.h"
#include "bots/statusboard.h"
#include "chat/chatlog.h"
#include "chat/commands.h"
#include "chat/showdata.h"
#include "log/logfiles.h"
#include "log/logfind.h"
#include "log/logview.h"
#include "settings/formsettings.h"
#include "userlist/pictures.h"
#include "userlist/userlist.h"

namespace {

// The layout is given in twips; the design screen has 15 twips per pixel.
constexpr int px(int twips)
{
    return twips / 15;
}
QRect tw(int left, int top, int width, int height)
{
    return {px(left), px(top), px(width), px(height)};
}
constexpr int kTextBoxHeight = 285;

template <class W> W* place(QWidget* parent, const QRect& geometry, const QString& accessibleName)
{
    auto* w = new W(parent);
    w->setGeometry(geometry);
    w->setAccessibleName(accessibleName);
    return w;
}

QPushButton* button(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* b = place<QPushButton>(parent, geometry, QString(caption).remove('&'));
    b->setText(caption);
    return b;
}

QLineEdit* textBox(QWidget* parent, int left, int top, int width, const QString& role)
{
    return place<QLineEdit>(parent, tw(left, top, width, kTextBoxHeight), role);
}

QGroupBox* frame(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* f = place<QGroupBox>(parent, geometry, caption);
    f->setTitle(caption);
    return f;
}

// A label's accessible name is left unset, so that assistive technology reads
// its text as it changes; context goes in its description.
QLabel* label(QWidget* parent, const QString& caption, const QRect& geometry)
{
    auto* l = new QLabel(parent);
    l->setGeometry(geometry);
    l->setText(caption);
    l->setTextFormat(Qt::PlainText);
    return l;
}

void tabChain(std::initializer_list<QWidget*> widgets)
{
    QWidget* previous = nullptr;
    for (QWidget* w : widgets) {
        if (previous)
            QWidget::setTabOrder(previous, w);
        previous = w;
    }
}

// Black with teal text: the channel boxes and the user lists.
void tealOnBlack(QWidget* w)
{
    QPalette pal = w->palette();
    for (auto role : {QPalette::Base, QPalette::Window})
        pal.setColor(role, Qt::black);
    for (auto role : {QPalette::Text, QPalette::WindowText})
        pal.setColor(role, QColor(0, 192, 192));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

} // namespace

frmMain::frmMain(const QString& settingsPath, QWidget* parent)
    : QMainWindow(parent), m_settingsPath(settingsPath)
{
    setObjectName("frmMain");
    setWindowTitle("Tenfold");
    setWindowIcon(WindowIcon());
    for (int k = 0; k < int(picTexture.size()); ++k)
        picTexture[k] = ProductPicture(k);

    auto* client = new QWidget(this);
    client->setFixedSize(px(10650), px(7260));
    setCentralWidget(client);

    SSTab1 = new TabStrip(12, 6, 21, client);
    SSTab1->setObjectName("SSTab1");
    SSTab1->setGeometry(px(90), px(15), px(10455), px(7215));
    SSTab1->setTabCaption(0, "Settings");
    for (int i = 0; i < BotCount; ++i)
        SSTab1->setTabCaption(i + 1, QString("Bot %1").arg(i + 1));
    SSTab1->setTabCaption(11, "About");

    for (int i = 0; i < BotCount; ++i)
        Winsock[i] = new BotSocket(i, this);

    buildSettingsTab(SSTab1->page(0));
    for (int i = 0; i < BotCount; ++i)
        buildBotTab(SSTab1->page(i + 1), i);
    buildAboutTab(SSTab1->page(11));
    buildMenus();

    WinsockState = new QTimer(this);
    WinsockState->setObjectName("WinsockState");
    WinsockState->setInterval(100);
    SetUpReconnect(*this);
    SetUpPacing(*this);
    logFiles = new LogFiles(DefaultLogFolder(), BotCount, this);
    connect(logFiles, &LogFiles::writeFailed, this,
            [this](int Index, const QString& why) { AddChat(*this, Index, why, "Red"); });
    connect(logFiles, &LogFiles::noted, this,
            [this](int Index, const QString& what) { AddChat(*this, Index, what, "Gray"); });
    attention = new Attention(*this);

    wire();
    adjustSize();
    setFixedSize(sizeHint());
}

void frmMain::Load()
{
    Form_Load(*this);
    ApplyChatOptions(*this);
    SSTab1->setCurrentIndex(0);
    WinsockState->start();
}

frmMain::~frmMain()
{
    // Its last flush may put a failure into a bot's log: before the logs go.
    delete logFiles;
}

void frmMain::buildSettingsTab(QWidget* page)
{
    auto* talkAll = frame(page, "Send Text To All Bots", tw(240, 840, 5055, 735));
    txtTalkAll = textBox(talkAll, 120, 240, 3615, "Send Text To All Bots");
    Command5 = button(talkAll, "Send", tw(3840, 240, 1095, 375));

    auto* antiIdle = frame(page, "Anti Idle Message", tw(240, 1560, 5055, 735));
    txtAntiIdle = textBox(antiIdle, 120, 240, 4815, "Anti Idle Message");
    auto* home = frame(page, "Home Channel", tw(240, 2280, 5055, 735));
    txtHomeChannel = textBox(home, 120, 240, 4815, "Home Channel");
    auto* home2 = frame(page, "2nd Home Channel", tw(240, 3000, 5055, 735));
    txtHomeChannel2 = textBox(home2, 120, 240, 4815, "2nd Home Channel");

    auto* status = frame(page, "Bot Status", tw(240, 3840, 5055, 3135));
    auto* names = frame(status, "Bot Name", tw(120, 240, 1695, 2775));
    auto* connected = frame(status, "Connected", tw(1980, 240, 1095, 2775));
    auto* channels = frame(status, "Current Channel", tw(3240, 240, 1695, 2775));
    for (int i = 0; i < BotCount; ++i) {
        const int top = 240 + 240 * i;
        const QString number = QString::number(i + 1);
        // Bot 1's label is built with a blank after its colon.
        lblBotName[i] = label(names, i == 0 ? "1: " : number + ":", tw(120, top, 1695 - 240, 255));
        lblBotName[i]->setAccessibleDescription("Bot " + number + ", name");
        lblBotConnected[i] = label(connected, "", tw(120, top, 1095 - 240, 255));
        lblBotConnected[i]->setAccessibleDescription("Bot " + number + ", connected");
        lblCurrentChannel[i] = label(channels, "", tw(120, top, 1695 - 240, 255));
        lblCurrentChannel[i]->setAccessibleDescription("Bot " + number + ", current channel");
    }

    auto* connections = frame(page, "Connections:", tw(5400, 840, 4695, 6135));
    btnConnect = button(connections, "Connect All Bots", tw(1320, 360, 2175, 375));
    btnLoginAll = button(connections, "Login All Bots", tw(480, 840, 1815, 375));
    btnLoginAll->setEnabled(false);
    btnDisconnectAll = button(connections, "Disconnect All Bots", tw(2520, 840, 1815, 375));
    for (int i = 0; i < BotCount; ++i) {
        const int top = 1320 + 480 * i;
        btnLogin[i] =
            button(connections, QString("Login Bot %1").arg(i + 1), tw(480, top, 1815, 375));
        btnClose[i] =
            button(connections, QString("Disconnect Bot %1").arg(i + 1), tw(2520, top, 1815, 375));
    }

    // Tab order: the shared fields, then the connection buttons row by row.
    tabChain({txtTalkAll, Command5, txtAntiIdle, txtHomeChannel, txtHomeChannel2, btnConnect,
              btnLoginAll, btnDisconnectAll});
    QWidget* previous = btnDisconnectAll;
    for (int i = 0; i < BotCount; ++i) {
        QWidget::setTabOrder(previous, btnLogin[i]);
        QWidget::setTabOrder(btnLogin[i], btnClose[i]);
        previous = btnClose[i];
    }
}

void frmMain::buildBotTab(QWidget* page, int i)
{
    txtChatBox[i] = place<LogView>(page, tw(120, 720, 7215, 5775), "Chat log");
    ConfigureChatLog(*txtChatBox[i]);

    Frame1[i] = frame(page, "Bot Settings", tw(7440, 720, 2775, 1575));
    Label1[i] = label(Frame1[i], "Username:", tw(120, 360, 855, 255));
    Label2[i] = label(Frame1[i], "Password:", tw(120, 720, 855, 255));
    Label3[i] = label(Frame1[i], "Server:", tw(120, 1080, 855, 255));
    for (QLabel* l : {Label1[i], Label2[i], Label3[i]})
        l->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    txtUsername[i] = textBox(Frame1[i], 1080, 360, 1455, "Username");
    txtPassword[i] = textBox(Frame1[i], 1080, 720, 1455, "Password");
    txtPassword[i]->setEchoMode(QLineEdit::Password);
    txtServer[i] = textBox(Frame1[i], 1080, 1080, 1455, "Server");
    Label1[i]->setBuddy(txtUsername[i]);
    Label2[i]->setBuddy(txtPassword[i]);
    Label3[i]->setBuddy(txtServer[i]);

    UserList[i] = place<QListWidget>(page, tw(7440, 2640, 2775, 3855), "Users");
    ConfigureUserList(*UserList[i]);
    // The channel box overlaps the list's top edge; it stays in front.
    txtChannel[i] = textBox(page, 7440, 2400, 2775, "Channel");
    tealOnBlack(txtChannel[i]);
    txtChannel[i]->raise();

    txttalk[i] = textBox(page, 120, 6600, 4575, "Message");
    Command1[i] = button(page, "&Send", tw(4800, 6600, 1215, 375));
    Command2[i] = button(page, "&Whisper", tw(6120, 6600, 1215, 375));
    Command3[i] = button(page, "&Ban", tw(7560, 6600, 1215, 375));
    Command4[i] = button(page, "&Kick", tw(8880, 6600, 1215, 375));

    // Tab order follows the layout: the log, the right-hand column top to
    // bottom, then the input line and its buttons.
    tabChain({txtChatBox[i], txtUsername[i], txtPassword[i], txtServer[i], txtChannel[i],
              UserList[i], txttalk[i], Command1[i], Command2[i], Command3[i], Command4[i]});
    new FindBar(*txtChatBox[i], *txttalk[i]); // hidden until Ctrl+F; the page owns it
}

void frmMain::buildAboutTab(QWidget* page)
{
    auto* title = label(page, "Tenfold", tw(120, 840, 9975, 615));
    title->setAlignment(Qt::AlignCenter);
    QFont big = title->font();
    big.setPointSize(24);
    title->setFont(big);

    auto credits = [](QGroupBox* box, const QString& text) {
        auto* l = label(box, text, box->rect().adjusted(px(120), px(360), -px(120), -px(120)));
        l->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        l->setWordWrap(true);
    };
    credits(frame(page, "Beta Testers", tw(120, 1680, 4935, 5295)),
            "Everyone who ran ten bots at once and told us what broke.");
    credits(frame(page, "Programmers", tw(5160, 1680, 4935, 2535)), "The Tenfold developers.");
    credits(frame(page, "Web Page", tw(5160, 4440, 4935, 2535)),
            "Source, notes and known limits: see README.md in the source tree.");
}

void frmMain::buildMenus()
{
    mnuFile = menuBar()->addMenu("&File");
    mnuFile->setObjectName("mnuFile");
    mnuClose = mnuFile->addAction("&Close");
    mnuClose->setObjectName("mnuClose");
    connect(mnuClose, &QAction::triggered, this, &QWidget::close);

    mnuOptions = menuBar()->addMenu("&Options");
    mnuOptions->setObjectName("mnuOptions");
    mnuBot = mnuOptions->addAction("&Bot Setup");
    mnuBot->setObjectName("mnuBot");
    connect(mnuBot, &QAction::triggered, this, [this] { BotSetup(*this); });
    mnuChat = mnuOptions->addAction("&Chat Setup");
    mnuChat->setObjectName("mnuChat");
    connect(mnuChat, &QAction::triggered, this, [this] { ChatSetup(*this); });
}

void frmMain::wire()
{
    connect(SSTab1, &TabStrip::Click, this,
            [this](int previous) { SSTab1_Click(*this, previous); });
    connect(WinsockState, &QTimer::timeout, this, [this] { WinsockState_Timer(*this); });
    connect(btnConnect, &QPushButton::clicked, this, [this] { ConnectAll(*this); });
    connect(btnLoginAll, &QPushButton::clicked, this, [this] { LoginAll(*this); });
    connect(btnDisconnectAll, &QPushButton::clicked, this, [this] { DisconnectAll(*this); });
    connect(Command5, &QPushButton::clicked, this, [this] { SendToAll(*this); });
    connect(txtTalkAll, &QLineEdit::returnPressed, this, [this] { SendToAll(*this); });
    for (int i = 0; i < BotCount; ++i) {
        connect(Winsock[i], &BotSocket::DataArrival, this,
                [this](int Index) { Winsock_DataArrival(*this, Index); });
        connect(Winsock[i], &BotSocket::ConnectionEnded, this,
                [this](int Index) { ConnectionEnded(*this, Index); });
        connect(Winsock[i], &BotSocket::Up, this, [this](int Index) { ConnectionUp(*this, Index); });
        connect(Winsock[i], &BotSocket::Dropped, this,
                [this](int Index) { ConnectionDropped(*this, Index); });
        connect(Winsock[i], &BotSocket::ConnectFailed, this,
                [this](int Index, const QString& why) { ConnectFailed(*this, Index, why); });
        connect(Winsock[i], &BotSocket::Up, this,
                [this](int Index) { StartConnectionUp(*this, Index); });
        connect(Winsock[i], &BotSocket::ConnectFailed, this,
                [this](int Index, const QString& why) { StartConnectFailed(*this, Index, why); });
        connect(Winsock[i], &BotSocket::Dropped, this, [this](int Index) {
            NeedsOperator(*this, Index, Alert::Lost, {},
                          "The connection to " + bot[Index].strServer + " ended.");
        });
        connect(txtChatBox[i], &LogView::appended, attention,
                [this, i] { attention->entryAdded(i); });
        connect(btnLogin[i], &QPushButton::clicked, this, [this, i] { LoginOne(*this, i); });
        connect(btnClose[i], &QPushButton::clicked, this, [this, i] { DisconnectOne(*this, i); });
        connect(Command1[i], &QPushButton::clicked, this, [this, i] { Send(*this, i); });
        connect(txttalk[i], &QLineEdit::returnPressed, this, [this, i] { Send(*this, i); });
        connect(Command2[i], &QPushButton::clicked, this, [this, i] { Whisper(*this, i); });
        connect(Command3[i], &QPushButton::clicked, this, [this, i] { Ban(*this, i); });
        connect(Command4[i], &QPushButton::clicked, this, [this, i] { Kick(*this, i); });
    }
}

void frmMain::closeEvent(QCloseEvent* e)
{
    // Closing may come while a handler waits inside a yield; the settings are
    // saved and the sockets closed once, and that handler stops at its next step.
    if (!m_unloaded) {
        m_unloaded = true;
        WinsockState->stop();
        for (int i = 0; i < BotCount; ++i)
            StopReconnecting(*this, i);
        Form_Unload(*this);
        logFiles->close();
    }
    e->accept();
}
