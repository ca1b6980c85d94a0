// A scripted chat gateway: listens on a loopback address at the bots' port,
// records every byte each connection sends and sends what its script says.
// The tests drive it directly; the demo gateway plays a channel through it.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <QVector>

// Runs the event loop for `ms` milliseconds.
inline void RunFor(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop until `done()` holds or the timeout passes; whether it held.
template <class F> bool RunUntil(F done, int timeoutMs, int pollMs = 5)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        RunFor(pollMs);
    }
    return true;
}

class ScriptedGateway : public QObject {
    Q_OBJECT
public:
    explicit ScriptedGateway(const QString& address, quint16 port = 6112,
                             QObject* parent = nullptr);

    bool listening() const { return m_server.isListening(); }
    QString address() const { return m_address; }
    void stopListening() { m_server.close(); }

    int count() const { return int(m_connections.size()); }
    // The connection whose far end is the given local port of a bot, or -1.
    int connectionFrom(quint16 botPort) const;
    bool waitForConnections(int n, int timeoutMs = 5000);

    QByteArray received(int n) const { return m_connections.at(n).received; }
    void clearReceived(int n) { m_connections[n].received.clear(); }
    // Waits until connection n has received at least `size` bytes in all.
    bool waitForReceived(int n, qsizetype size, int timeoutMs = 5000);
    // Waits until what connection n received contains `needle`.
    bool waitForText(int n, const QByteArray& needle, int timeoutMs = 5000);

    void send(int n, const QByteArray& bytes);
    void close(int n);
    bool isOpen(int n) const;
    // Waits until the bot has closed connection n.
    bool waitForClosed(int n, int timeoutMs = 5000);

signals:
    void accepted(int n);
    void bytesArrived(int n);
    void closedByPeer(int n);

private:
    struct Connection {
        QTcpSocket* socket = nullptr;
        QByteArray received;
    };
    QTcpServer m_server;
    QString m_address;
    QVector<Connection> m_connections;
};
