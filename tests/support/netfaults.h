// Faults a test server can inflict on a bot's connection, and the process's
// memory as the kernel counts it.
#pragma once

#include <QtGlobal>

class QTcpSocket;
class ScriptedGateway;

// The gateway's socket of connection n, or nullptr.
QTcpSocket* GatewaySocket(ScriptedGateway& gateway, int n);

// Drops the connection with a reset (RST) instead of an orderly close.
void ResetConnection(QTcpSocket& socket);

// VmRSS and VmHWM of this process, in kilobytes (-1 when unknown).
struct ProcessMemory {
    qint64 rssKb = -1;
    qint64 peakKb = -1;
    static ProcessMemory now();
};
