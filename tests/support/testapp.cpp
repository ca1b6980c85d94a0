#include "support/testapp.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QListWidget>
#include <QPushButton>
#include <QTest>
#include <csignal>

#include "app/frmmain.h"
#include "bots/botsocket.h"
#include "chat/chatlog.h"
#include "log/logview.h"
#include "settings/opensave.h"

FileSizeLimit::FileSizeLimit(rlim_t bytes)
{
    std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &old);
    const rlimit lower{bytes, old.rlim_max};
    setrlimit(RLIMIT_FSIZE, &lower);
}

void TempSettings::write(const QByteArray& contents) const
{
    WriteFile(path(), contents);
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        qFatal("cannot write %s", qPrintable(path));
}

bool StoreSetting(const QString& path, const QString& section, const QString& key,
                  const QString& value)
{
    SettingsFile file(path);
    file.setValue(section, key, value);
    return file.save();
}

QStringList LogLines(const LogView& log)
{
    QStringList lines = log.toPlainText().split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QStringList ColouredLines(const LogView& log)
{
    QStringList lines;
    for (qint64 i = 0; i < log.entryCount(); ++i) {
        QString name = "Plain";
        for (const char* colour : {"Red", "Green", "White", "Yellow", "Blue", "Gray"})
            if (log.entryColour(i) == ColourOf(colour))
                name = colour;
        lines << name + ": " + log.entryText(i);
    }
    return lines;
}

QStringList ListNames(const QListWidget& list)
{
    QStringList names;
    for (int i = 0; i < list.count(); ++i)
        names << list.item(i)->text();
    return names;
}

GatewayConsole::GatewayConsole(const QString& address) : gateway(address)
{
    if (!gateway.listening())
        qFatal("the scripted gateway cannot listen on %s:6112", qPrintable(address));
}

GatewayConsole::~GatewayConsole() = default;

void GatewayConsole::setUp(const QList<int>& bots, const QString& homeChannel,
                           const QString& antiIdle, const QByteArray& options)
{
    QByteArray ini;
    for (int i = 0; i < BotCount; ++i) {
        ini += QString("[Bot %1]\r\n").arg(i + 1).toLatin1();
        ini += QString("Username=bot%1\r\n").arg(i + 1).toLatin1();
        ini += QString("Password=pw%1\r\n").arg(i + 1).toLatin1();
        if (bots.contains(i))
            ini += "Server=" + gateway.address().toLatin1() + "\r\n";
        ini += "\r\n";
    }
    ini += "[All Bots]\r\nHome Channel=" + homeChannel.toLatin1() +
           "\r\nAnti Idle=" + antiIdle.toLatin1() + "\r\n";
    if (!options.isEmpty())
        ini += "[Options]\r\n" + options;
    settings.write(ini);
    w = std::make_unique<frmMain>(settings.path());
    w->Load();
}

bool GatewayConsole::connectBots(const QList<int>& bots)
{
    w->btnConnect->click();
    QDeadlineTimer deadline(5000);
    for (int bot : bots) {
        while (w->Winsock[bot]->State() != BotSocket::Connected) {
            if (deadline.hasExpired())
                return false;
            QTest::qWait(5);
        }
    }
    if (!gateway.waitForConnections(int(bots.size())))
        return false;
    for (int bot : bots)
        if (!follow(bot, int(deadline.remainingTime())))
            return false;
    return true;
}

bool GatewayConsole::follow(int bot, int timeoutMs)
{
    if (!RunUntil([&] { return gateway.connectionFrom(w->Winsock[bot]->LocalPort()) >= 0; },
                  timeoutMs))
        return false;
    m_connection[bot] = gateway.connectionFrom(w->Winsock[bot]->LocalPort());
    return true;
}

bool GatewayConsole::feed(int bot, const QByteArray& bytes, int timeoutMs)
{
    const qint64 goal = w->Winsock[bot]->BytesTaken() + bytes.size();
    gateway.send(connectionOf(bot), bytes);
    QDeadlineTimer deadline(timeoutMs);
    while (w->Winsock[bot]->BytesTaken() < goal || w->bot[bot].parsing) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(1);
    }
    return true;
}
