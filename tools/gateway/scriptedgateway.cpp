#include "tools/gateway/scriptedgateway.h"

ScriptedGateway::ScriptedGateway(const QString& address, quint16 port, QObject* parent)
    : QObject(parent), m_address(address)
{
    connect(&m_server, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_server.nextPendingConnection()) {
            const int n = int(m_connections.size());
            socket->setParent(this);
            socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
            m_connections.append(Connection{socket, {}});
            connect(socket, &QTcpSocket::readyRead, this, [this, n] {
                m_connections[n].received += m_connections[n].socket->readAll();
                emit bytesArrived(n);
            });
            connect(socket, &QTcpSocket::disconnected, this, [this, n] { emit closedByPeer(n); });
            emit accepted(n);
        }
    });
    const QHostAddress host(address);
    if (host.isLoopback())
        m_server.listen(host, port);
}

int ScriptedGateway::connectionFrom(quint16 botPort) const
{
    // A closed connection's peer port reads 0, as does an unconnected bot's.
    for (int n = 0; botPort != 0 && n < count(); ++n)
        if (m_connections[n].socket->peerPort() == botPort)
            return n;
    return -1;
}

bool ScriptedGateway::waitForConnections(int n, int timeoutMs)
{
    return RunUntil([&] { return count() >= n; }, timeoutMs);
}

bool ScriptedGateway::waitForReceived(int n, qsizetype size, int timeoutMs)
{
    return RunUntil([&] { return m_connections.at(n).received.size() >= size; }, timeoutMs);
}

bool ScriptedGateway::waitForText(int n, const QByteArray& needle, int timeoutMs)
{
    return RunUntil([&] { return m_connections.at(n).received.contains(needle); }, timeoutMs);
}

void ScriptedGateway::send(int n, const QByteArray& bytes)
{
    QTcpSocket* socket = m_connections.at(n).socket;
    socket->write(bytes);
    socket->flush();
}

void ScriptedGateway::close(int n)
{
    QTcpSocket* socket = m_connections.at(n).socket;
    socket->flush();
    socket->disconnectFromHost();
}

bool ScriptedGateway::isOpen(int n) const
{
    return m_connections.at(n).socket->state() == QAbstractSocket::ConnectedState;
}

bool ScriptedGateway::waitForClosed(int n, int timeoutMs)
{
    return RunUntil([&] { return !isOpen(n); }, timeoutMs);
}
