// The one window. Its controls hold the console's whole state; the routines
// of bots/, chat/, userlist/ and settings/ act on them by bot index.
#pragma once

#include <QMainWindow>
#include <QPixmap>
#include <QString>
#include <array>

#include "bots/botrecord.h"

class Attention;
class BotSocket;
class QAction;
class QGroupBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class LogFiles;
class LogView;
class QPushButton;
class QTimer;
class TabStrip;

constexpr int BotCount = 10;

class frmMain : public QMainWindow {
    Q_OBJECT
public:
    // `settingsPath` is the settings file; the default is the user's own.
    explicit frmMain(const QString& settingsPath, QWidget* parent = nullptr);
    ~frmMain() override;

    // Start-up: fills the fields from the settings file and starts the status
    // board. Until then the window is as built.
    void Load();

    template <class T> using PerBot = std::array<T*, BotCount>;

    // Per-bot controls, index = bot index 0..9.
    PerBot<BotSocket> Winsock{};
    PerBot<LogView> txtChatBox{};
    PerBot<QListWidget> UserList{};
    PerBot<QLineEdit> txtChannel{};
    PerBot<QLineEdit> txttalk{};
    PerBot<QPushButton> Command1{}, Command2{}, Command3{}, Command4{};
    PerBot<QGroupBox> Frame1{};
    PerBot<QLineEdit> txtUsername{}, txtPassword{}, txtServer{};
    PerBot<QLabel> Label1{}, Label2{}, Label3{};
    PerBot<QPushButton> btnLogin{}, btnClose{};
    PerBot<QLabel> lblBotName{}, lblBotConnected{}, lblCurrentChannel{};

    // Shared controls.
    TabStrip* SSTab1 = nullptr;
    QPushButton* btnConnect = nullptr;
    QPushButton* btnLoginAll = nullptr;
    QPushButton* btnDisconnectAll = nullptr;
    QLineEdit* txtTalkAll = nullptr;
    QPushButton* Command5 = nullptr;
    QLineEdit* txtAntiIdle = nullptr;
    QLineEdit* txtHomeChannel = nullptr;
    QLineEdit* txtHomeChannel2 = nullptr;
    QTimer* WinsockState = nullptr;
    std::array<QPixmap, 13> picTexture;

    QMenu* mnuFile = nullptr;
    QAction* mnuClose = nullptr;
    QMenu* mnuOptions = nullptr;
    QAction* mnuBot = nullptr;
    QAction* mnuChat = nullptr;

    // Per-bot state besides the controls.
    std::array<BotRecord, BotCount> bot;
    // Where the bots' logs are kept beyond the window (Chat Setup's option).
    LogFiles* logFiles = nullptr;
    // Marked tabs and desktop notifications (Chat Setup's options).
    Attention* attention = nullptr;

    const QString& settingsPath() const { return m_settingsPath; }
    // True once the window has been unloaded: handlers still running inside a
    // yield stop at their next step.
    bool unloaded() const { return m_unloaded; }

protected:
    void closeEvent(QCloseEvent* e) override;

private:
    void buildSettingsTab(QWidget* page);
    void buildBotTab(QWidget* page, int i);
    void buildAboutTab(QWidget* page);
    void buildMenus();
    void wire();

    QString m_settingsPath;
    bool m_unloaded = false;
};
