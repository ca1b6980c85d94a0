#include "support/netfaults.h"

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
