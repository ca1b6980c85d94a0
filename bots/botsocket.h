// One bot's TCP connection, reporting its state as the numbers 0 to 9 the
// status board and the commands test (7 is connected).
#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QTcpSocket>
#include <QTimer>

// The bytes of one line as it goes out: ISO-8859-1 ("?" for what it cannot
// hold), line breaks turned into blanks, then CR LF.
QByteArray OutgoingLine(const QString& text);

class BotSocket : public QObject {
    Q_OBJECT
public:
    enum State {
        Closed = 0,
        Open = 1,
        Listening = 2,
        ConnectionPending = 3,
        ResolvingHost = 4,
        HostResolved = 5,
        Connecting = 6,
        Connected = 7,
        Closing = 8, // the peer has closed; the local side has not yet
        Error = 9,
    };

    BotSocket(int index, QObject* parent = nullptr);

    int Index() const { return m_index; }
    int State() const;

    // Starts a connection and returns at once. A socket that is resolving,
    // connecting or connected keeps its connection and the call returns false.
    bool Connect(const QString& host, quint16 port);
    // Ends the connection at once; harmless on a closed socket.
    void Close();

    // Queues bytes for sending; false (and nothing sent) unless connected.
    bool SendData(const QByteArray& bytes);
    // One line, as OutgoingLine() makes it.
    bool SendLine(const QString& text);

    // Takes up to `max` of the bytes that have arrived.
    QByteArray GetData(qint64 max);
    qint64 BytesAvailable() const { return m_socket.bytesAvailable(); }
    // All bytes taken since the socket was made.
    qint64 BytesTaken() const { return m_taken; }

    // The address and port of the local end, for tests that need to tell
    // connections apart.
    quint16 LocalPort() const { return m_socket.localPort(); }
    // Changes with every connect: a step that waited can tell whether it is
    // still the same connection.
    quint64 Connection() const { return m_connection; }
    // The connection's descriptor, or -1, for tests that read its options.
    qintptr Descriptor() const { return m_socket.socketDescriptor(); }

    // Watches the connection for a dead link, now and on later connects:
    // TCP keep-alive (probes after 60 s idle, every 10 s, 3 of them) and
    // Silent() after `silenceMs` without a byte. 0 turns both off.
    void WatchForDeadLink(int silenceMs);

signals:
    void DataArrival(int Index);
    // The connection was closed, or dropped for a new one: text that it left
    // unfinished will never be completed.
    void ConnectionEnded(int Index);
    // A connect came up.
    void Up(int Index);
    // A connection that was up ended by the network: the server closed it, or
    // it was reset or failed. Close() is never a drop.
    void Dropped(int Index);
    // A connect failed before it came up; `why` says how.
    void ConnectFailed(int Index, const QString& why);
    // The connection brought no byte for the time WatchForDeadLink() gave.
    void Silent(int Index);

private:
    void applyKeepAlive();
    void heard();

    QTcpSocket m_socket;
    QTimer m_silence;
    int m_silenceMs = 0;
    int m_index;
    bool m_peerClosed = false;
    bool m_error = false;
    bool m_up = false; // connected since the last connect, not closed by us
    qint64 m_taken = 0;
    quint64 m_connection = 0;
};
