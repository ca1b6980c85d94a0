#include "bots/pacing.h"

#include <algorithm>

namespace pacing {

int lineCost(qsizetype bytes)
{
    return int(std::max<qsizetype>(1, (bytes + kPieceBytes - 1) / kPieceBytes));
}

namespace {

int costOf(const QByteArray& line)
{
    return lineCost(line.endsWith("\r\n") ? line.size() - 2 : line.size());
}

} // namespace

bool Pacer::push(Line line, Kind kind)
{
    // Lines the server's own notices call for: a flood of notices must not
    // pile up answers.
    if (kind != Kind::Chat &&
        std::any_of(m_waiting.begin(), m_waiting.end(),
                    [&](const Waiting& w) { return w.line.bytes == line.bytes; }))
        return false;
    auto at = m_waiting.end();
    if (kind == Kind::Rejoin)
        at = std::find_if(m_waiting.begin(), m_waiting.end(),
                          [](const Waiting& w) { return w.kind != Kind::Rejoin; });
    m_waiting.insert(at, {std::move(line), kind});
    return true;
}

qint64 Pacer::roomAt(qint64 now, int cost, const Limits& limits) const
{
    // A line dearer than the whole budget goes alone on an empty window
    // rather than never.
    const int need = std::min(cost, limits.budget);
    int used = 0;
    for (const Sent& s : m_sent)
        if (s.at + limits.windowMs > now)
            used += s.cost;
    qint64 at = now;
    for (const Sent& s : m_sent) {
        if (used + need <= limits.budget)
            break;
        if (s.at + limits.windowMs <= now)
            continue;
        used -= s.cost;
        at = s.at + limits.windowMs;
    }
    return at;
}

std::optional<qint64> Pacer::nextAt(qint64 now, const Limits& limits) const
{
    if (m_waiting.empty())
        return std::nullopt;
    const Line& first = m_waiting.front().line;
    return roomAt(now, costOf(first.bytes), limits);
}

std::optional<Line> Pacer::take(qint64 now, const Limits& limits)
{
    const std::optional<qint64> at = nextAt(now, limits);
    if (!at || *at > now)
        return std::nullopt;
    while (!m_sent.empty() && m_sent.front().at + limits.windowMs <= now)
        m_sent.pop_front();
    Line line = std::move(m_waiting.front().line);
    m_waiting.pop_front();
    m_sent.push_back({now, costOf(line.bytes)});
    return line;
}

qsizetype Pacer::clear()
{
    const qsizetype dropped = waiting();
    m_waiting.clear();
    m_sent.clear();
    return dropped;
}

} // namespace pacing
