#include "support/netfaults.h"

#include <QFile>
#include <QTcpSocket>
#include <sys/socket.h>

#include "tools/gateway/scriptedgateway.h"

QTcpSocket* GatewaySocket(ScriptedGateway& gateway, int n)
{
    // The gateway adopts each accepted socket, so its direct children are its
    // connections in the order they came.
    const auto sockets = gateway.findChildren<QTcpSocket*>(Qt::FindDirectChildrenOnly);
    if (n < 0 || n >= sockets.size())
        return nullptr;
    QTcpSocket* socket = sockets.at(n);
    return gateway.connectionFrom(socket->peerPort()) == n ? socket : nullptr;
}

void ResetConnection(QTcpSocket& socket)
{
    // A zero linger makes the kernel answer the close with a reset.
    const linger hard{1, 0};
    ::setsockopt(int(socket.socketDescriptor()), SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
    socket.abort();
}

ProcessMemory ProcessMemory::now()
{
    ProcessMemory m;
    QFile status("/proc/self/status");
    if (!status.open(QIODevice::ReadOnly))
        return m;
    for (const QByteArray& line : status.readAll().split('\n')) {
        const auto kb = [&line] { return line.mid(6).trimmed().split(' ').value(0).toLongLong(); };
        if (line.startsWith("VmRSS:"))
            m.rssKb = kb();
        else if (line.startsWith("VmHWM:"))
            m.peakKb = kb();
    }
    return m;
}
