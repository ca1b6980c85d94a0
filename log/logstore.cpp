#include "log/logstore.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr quint16 kMaxColours = (1u << 14) - 1;

} // namespace

LogStore::LogStore() : m_palette{0} {}

LogStore::~LogStore() = default;

quint16 LogStore::colourIndex(const QColor& colour)
{
    if (!colour.isValid())
        return 0;
    const QRgb rgb = colour.rgb();
    for (size_t k = 1; k < m_palette.size(); ++k)
        if (m_palette[k] == rgb)
            return quint16(k);
    // Callers use a handful of colours; past the record's room an entry falls
    // back to the ordinary colour rather than failing.
    if (m_palette.size() > kMaxColours)
        return 0;
    m_palette.push_back(rgb);
    return quint16(m_palette.size() - 1);
}

QColor LogStore::colour(qint64 i) const
{
    const quint16 k = record(i).colour;
    return k ? QColor(m_palette[k]) : QColor();
}

std::string_view LogStore::text(qint64 i, std::string& scratch) const
{
    return bytes(byteStart(i), record(i).end, scratch);
}

std::string_view LogStore::bytes(quint64 begin, quint64 end, std::string& scratch) const
{
    const size_t length = size_t(end - begin);
    const size_t first = size_t(begin >> kChunkBits);
    const size_t at = size_t(begin) & ((1u << kChunkBits) - 1);
    if (length == 0)
        return {};
    if (at + length <= (size_t(1) << kChunkBits))
        return {m_chunks[first].get() + at, length};
    scratch.resize(length);
    for (size_t done = 0, chunk = first, from = at; done < length; ++chunk, from = 0) {
        const size_t n = std::min(length - done, (size_t(1) << kChunkBits) - from);
        std::memcpy(scratch.data() + done, m_chunks[chunk].get() + from, n);
        done += n;
    }
    return scratch;
}

quint32 LogStore::rowsOf(const Record& r, std::string_view text) const
{
    // An entry whose widest line fits needs no look at its text.
    if (!r.lines && r.width <= m_avail)
        return 1;
    return logwrap::rowCount(text, m_widths, m_avail);
}

void LogStore::append(std::initializer_list<QStringView> pieces, const QColor& colour,
                      std::string_view stamp)
{
    if ((m_count >> kRecordBits) == qint64(m_records.size()))
        m_records.push_back(std::make_unique_for_overwrite<Record[]>(size_t(1) << kRecordBits));

    const quint64 start = m_bytes;
    quint64 at = m_bytes;
    char *out = nullptr, *outEnd = nullptr; // where the next byte goes, within its chunk
    auto put = [&](char b) {
        if (out == outEnd) {
            const size_t chunk = size_t(at >> kChunkBits);
            if (chunk == m_chunks.size())
                m_chunks.push_back(std::make_unique_for_overwrite<char[]>(size_t(1) << kChunkBits));
            out = m_chunks[chunk].get() + (size_t(at) & ((1u << kChunkBits) - 1));
            outEnd = m_chunks[chunk].get() + (size_t(1) << kChunkBits);
        }
        *out++ = b;
        ++at;
    };
    bool lines = false, afterCr = false;
    float x = 0, widest = 0;
    for (const char b : stamp) {
        x += m_widths.of(static_cast<unsigned char>(b), x);
        put(b);
    }
    for (QStringView piece : pieces) {
        for (const QChar c : piece) {
            const char16_t u = c.unicode();
            if (u == u'\n' && afterCr) { // the LF of a CR LF: the break is there already
                afterCr = false;
                continue;
            }
            afterCr = u == u'\r';
            const unsigned char b = afterCr     ? '\n'
                                    : u < 0x100 ? static_cast<unsigned char>(u)
                                                : '?';
            if (b == '\n') {
                lines = true;
                widest = std::max(widest, x);
                x = 0;
            } else {
                x += m_widths.of(b, x);
            }
            put(char(b));
        }
    }
    m_bytes = at;

    Record& r = record(m_count);
    r.end = m_bytes;
    r.colour = colourIndex(colour);
    r.lines = lines;
    r.stamped = !stamp.empty();
    r.width = std::max(widest, x);
    std::string scratch;
    r.rows = rowsOf(r, bytes(start, m_bytes, scratch));
    if ((m_count & ((1 << kBlockBits) - 1)) == 0)
        m_blockRows.push_back(m_rows);
    m_rows += r.rows;
    ++m_count;
}

void LogStore::clear()
{
    m_chunks.clear();
    m_records.clear();
    m_blockRows.clear();
    m_count = 0;
    m_bytes = 0;
    m_rows = 0;
}

void LogStore::setLayout(const logwrap::Widths& widths, float avail)
{
    const bool remeasure = widths.advance != m_widths.advance || widths.tabStop != m_widths.tabStop;
    m_widths = widths;
    m_avail = avail;
    std::string scratch;
    for (qint64 i = 0; i < m_count; ++i) {
        Record& r = record(i);
        if (remeasure)
            r.width = logwrap::naturalWidth(text(i, scratch), m_widths);
        r.rows = rowsOf(r, text(i, scratch));
    }
    rebuildBlocks();
}

void LogStore::rebuildBlocks()
{
    m_blockRows.clear();
    m_rows = 0;
    for (qint64 i = 0; i < m_count; ++i) {
        if ((i & ((1 << kBlockBits) - 1)) == 0)
            m_blockRows.push_back(m_rows);
        m_rows += record(i).rows;
    }
}

quint64 LogStore::firstRow(qint64 i) const
{
    if (i >= m_count)
        return m_rows;
    const qint64 block = i >> kBlockBits;
    quint64 row = m_blockRows[size_t(block)];
    for (qint64 k = block << kBlockBits; k < i; ++k)
        row += record(k).rows;
    return row;
}

std::pair<qint64, quint64> LogStore::entryAtRow(quint64 row) const
{
    if (row >= m_rows)
        return {m_count, row - m_rows};
    const auto after = std::upper_bound(m_blockRows.begin(), m_blockRows.end(), row);
    const qint64 block = qint64(after - m_blockRows.begin()) - 1;
    quint64 within = row - m_blockRows[size_t(block)];
    qint64 i = block << kBlockBits;
    while (within >= record(i).rows) {
        within -= record(i).rows;
        ++i;
    }
    return {i, within};
}

qint64 LogStore::entryAtChar(quint64 c) const
{
    // Entry i holds the characters from firstChar(i) to its line break at
    // record(i).end + i.
    qint64 low = 0, high = m_count;
    while (low < high) {
        const qint64 mid = low + (high - low) / 2;
        if (quint64(record(mid).end) + quint64(mid) < c)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

qint64 LogStore::entryAtByte(quint64 b) const
{
    qint64 low = 0, high = m_count;
    while (low < high) {
        const qint64 mid = low + (high - low) / 2;
        if (quint64(record(mid).end) <= b)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}
