// Keeping a bot under the server's flood limit: each line costs units, and a
// sliding window holds at most a budget of them. Pure: times are milliseconds
// of one monotonic clock, passed in, so the rule is tested without a socket.
#pragma once

#include <QByteArray>
#include <deque>
#include <functional>
#include <optional>

class QTimer;

namespace pacing {

// The server counts a line longer than this as one unit per piece started.
constexpr qsizetype kPieceBytes = 40;

// The units of a line of `bytes` as it goes out, without its CR LF: 1, or
// one per 40-byte piece started.
int lineCost(qsizetype bytes);

struct Limits {
    int budget = 4;         // units the window may hold
    qint64 windowMs = 6000; // its length
};

struct Line {
    QByteArray bytes;            // with its CR LF
    std::function<void()> shown; // its log entry, added as it goes out
};

enum class Kind {
    Chat,   // everything in order
    Rejoin, // ahead of waiting chat; not queued twice
    Answer, // not queued twice
};

class Pacer {
public:
    // Queues a line behind the waiting ones, a rejoin behind waiting rejoins
    // only. False (and dropped) for a rejoin or answer whose bytes already wait.
    bool push(Line line, Kind kind);
    // The first waiting line if it may go at `now`; it then counts as sent.
    std::optional<Line> take(qint64 now, const Limits& limits);
    // When the first waiting line may go (at least `now`); none if none waits.
    std::optional<qint64> nextAt(qint64 now, const Limits& limits) const;
    qsizetype waiting() const { return qsizetype(m_waiting.size()); }
    // Drops the waiting lines and forgets what was sent: a new connection is
    // counted afresh. Returns how many were dropped.
    qsizetype clear();

private:
    struct Sent {
        qint64 at;
        int cost;
    };
    struct Waiting {
        Line line;
        Kind kind;
    };
    // The earliest time from `now` at which `cost` more units fit the window.
    qint64 roomAt(qint64 now, int cost, const Limits& limits) const;

    std::deque<Sent> m_sent; // oldest first
    std::deque<Waiting> m_waiting;
};

} // namespace pacing

// A bot's queue: the rule, its timer and the limits last read.
struct SendQueue {
    pacing::Pacer pacer;
    pacing::Limits limits;
    QTimer* timer = nullptr;
    bool noted = false; // the log has said that lines wait, since the queue was last empty
};
