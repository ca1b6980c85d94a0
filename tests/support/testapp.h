// Helpers the widget and network tests share; they include the window's
// controls, which every such test reads.
#pragma once

#include <QMap>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <memory>
#include <sys/resource.h>

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "log/logview.h"
#include "support/gateway.h"

// While it lives, writes beyond `bytes` fail with EFBIG instead of killing the
// process, as on a full disk.
struct FileSizeLimit {
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit() { setrlimit(RLIMIT_FSIZE, &old); }
    rlimit old{};
};

// A fresh folder for a test's settings file, removed afterwards.
struct TempSettings {
    QTemporaryDir dir;
    QString path() const { return dir.filePath("setup.cfg"); }
    // Writes the file by hand, as a user or another program would.
    void write(const QByteArray& contents) const;
};

// A whole file's bytes (empty when it cannot be read), and a file written whole.
QByteArray ReadFile(const QString& path);
void WriteFile(const QString& path, const QByteArray& bytes);
// Stores one value in a settings file, as another program would while the
// console runs.
bool StoreSetting(const QString& path, const QString& section, const QString& key,
                  const QString& value);

// The lines of a chat log, without the empty line after the last entry.
QStringList LogLines(const LogView& log);
// The same, each entry led by its colour's name and ": " ("Red: Login failed.");
// "Plain: " for the log's ordinary colour.
QStringList ColouredLines(const LogView& log);
// The names in a user list, in order.
QStringList ListNames(const QListWidget& list);

// A console whose bots connect to a scripted gateway on the test's own
// loopback address.
class GatewayConsole {
public:
    explicit GatewayConsole(const QString& address);
    ~GatewayConsole();

    // Stores server, account and password for the given bots (the others get
    // no server) and the shared fields, then starts the console.
    void setUp(const QList<int>& bots, const QString& homeChannel = "Op Den",
               const QString& antiIdle = "away", const QByteArray& options = {});
    // Presses Connect All and waits until the given bots are connected.
    bool connectBots(const QList<int>& bots);
    // The gateway's connection of a bot.
    int connectionOf(int bot) const { return m_connection.value(bot, -1); }
    // Waits until the gateway holds the bot's current connection, which then
    // becomes connectionOf(bot).
    bool follow(int bot, int timeoutMs = 5000);
    // Sends bytes to a bot and waits until the bot has read them all.
    bool feed(int bot, const QByteArray& bytes, int timeoutMs = 5000);

    TempSettings settings;
    ScriptedGateway gateway;
    std::unique_ptr<frmMain> w;

private:
    QMap<int, int> m_connection;
};
