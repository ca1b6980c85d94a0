#include "bots/botsocket.h"

#include "bots/protocol.h"

#include <QDebug>
#include <cerrno>
#include <cstring>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <utility>

BotSocket::BotSocket(int index, QObject* parent) : QObject(parent), m_index(index)
{
    // A server that sends faster than the bot handles its lines is slowed by
    // TCP rather than filling memory.
    m_socket.setReadBufferSize(1 << 20);
    connect(&m_socket, &QTcpSocket::readyRead, this, [this] {
        heard();
        emit DataArrival(m_index);
    });
    connect(&m_socket, &QTcpSocket::connected, this, [this] {
        m_up = true;
        applyKeepAlive();
        heard();
        emit Up(m_index);
    });
    m_silence.setSingleShot(true);
    connect(&m_silence, &QTimer::timeout, this, [this] {
        // Bytes that came while a handler was busy raised no readyRead yet.
        if (m_socket.bytesAvailable() > 0)
            heard();
        else if (m_up)
            emit Silent(m_index);
    });
    connect(&m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        m_silence.stop();
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

void BotSocket::WatchForDeadLink(int silenceMs)
{
    m_silenceMs = silenceMs;
    if (m_socket.state() == QAbstractSocket::ConnectedState)
        applyKeepAlive();
    if (m_up)
        heard();
}

void BotSocket::applyKeepAlive()
{
    const int fd = int(m_socket.socketDescriptor());
    if (fd < 0)
        return;
    // Qt's own keep-alive option leaves the system's two hours before the first probe.
    const int on = m_silenceMs > 0, idle = 60, interval = 10, count = 3;
    const bool set =
        setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on) == 0 &&
        (!on || (setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle) == 0 &&
                 setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval) == 0 &&
                 setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count) == 0));
    // Only the silence limit then notices a dead link.
    if (!set)
        qWarning().noquote() << "tenfold: bot" << m_index + 1
                             << "TCP keep-alive not set:" << strerror(errno);
}

void BotSocket::heard()
{
    if (m_silenceMs > 0)
        m_silence.start(m_silenceMs);
    else
        m_silence.stop();
}

void BotSocket::Close()
{
    m_up = false;
    m_silence.stop();
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
    // A handler may close the socket while the bot's lines are read.
    if (!m_socket.isOpen())
        return {};
    QByteArray data = m_socket.read(max);
    m_taken += data.size();
    if (!data.isEmpty() && m_up)
        heard();
    return data;
}
