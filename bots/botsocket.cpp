#include "bots/botsocket.h"

#include "bots/protocol.h"

#include <utility>

BotSocket::BotSocket(int index, QObject* parent) : QObject(parent), m_index(index)
{
    // A server that sends faster than the bot handles its lines is slowed by
    // TCP rather than filling memory.
    m_socket.setReadBufferSize(1 << 20);
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] { emit DataArrival(m_index); });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_up = true;
        emit Up(m_index);
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        // A peer's close arrives as an error first; it is "closing", not "error".
        if (e == QAbstractSocket::RemoteHostClosedError)
            m_peerClosed = true;
        else
            m_error = true;
        if (std::exchange(m_up, false))
            emit Dropped(m_index);
        else
            emit ConnectFailed(m_index, m_socket.errorString());
    });
}

int BotSocket::State() const
{
    if (m_error)
        return Error;
    if (m_peerClosed)
        return Closing;
    switch (m_socket.state()) {
    case QAbstractSocket::UnconnectedState:
        return Closed;
    case QAbstractSocket::HostLookupState:
        return ResolvingHost;
    case QAbstractSocket::ConnectingState:
        return Connecting;
    case QAbstractSocket::ConnectedState:
        return Connected;
    case QAbstractSocket::BoundState:
        return Open;
    case QAbstractSocket::ListeningState:
        return Listening;
    case QAbstractSocket::ClosingState:
        return Closing;
    }
    return Closed;
}

bool BotSocket::Connect(const QString& host, quint16 port)
{
    const int state = State();
    if (state == ResolvingHost || state == Connecting || state == Connected)
        return false;
    Close();
    ++m_connection;
    m_socket.connectToHost(host, port);
    return true;
}

void BotSocket::Close()
{
    m_up = false;
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        m_socket.flush();
    m_socket.abort();
    m_peerClosed = false;
    m_error = false;
    emit ConnectionEnded(m_index);
}

bool BotSocket::SendData(const QByteArray& bytes)
{
    if (State() != Connected)
        return false;
    return m_socket.write(bytes) == bytes.size();
}

QByteArray OutgoingLine(const QString& text)
{
    const QByteArray latin1 = text.toLatin1();
    const std::string line = protocol::outgoingLine({latin1.constData(), size_t(latin1.size())});
    return QByteArray(line.data(), qsizetype(line.size()));
}

bool BotSocket::SendLine(const QString& text)
{
    return SendData(OutgoingLine(text));
}

QByteArray BotSocket::GetData(qint64 max)
{
    QByteArray data = m_socket.read(max);
    m_taken += data.size();
    return data;
}
