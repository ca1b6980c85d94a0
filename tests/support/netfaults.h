// Faults a test server can inflict on a bot's connection.
#pragma once

#include <QtGlobal>

class QTcpSocket;
class ScriptedGateway;

// The gateway's socket of connection n, or nullptr.
QTcpSocket* GatewaySocket(ScriptedGateway& gateway, int n);

// Drops the connection with a reset (RST) instead of an orderly close.
void ResetConnection(QTcpSocket& socket);
