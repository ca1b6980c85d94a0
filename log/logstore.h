// The entries of a chat log, kept compact: each entry's text as bytes (one per
// character, ISO-8859-1, a line break inside it as '\n') in fixed-size chunks,
// and one 16-byte record per entry, in chunks too, so that an append moves
// nothing and allocates at most one chunk. The store also keeps how many rows
// each entry takes at the current wrap width, and the rows before every block
// of entries, so that row and entry find each other by a binary search.
#pragma once

#include <QColor>
#include <QRgb>
#include <QStringView>
#include <algorithm>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "log/logwrap.h"

class LogStore {
public:
    LogStore();
    ~LogStore();
    LogStore(const LogStore&) = delete;
    LogStore& operator=(const LogStore&) = delete;

    qint64 size() const { return m_count; }
    // Every entry's text and the line break that ends it.
    quint64 charCount() const { return m_bytes + quint64(m_count); }
    quint64 rowCount() const { return m_rows; }

    // The time an entry may start with, "[HH:MM:SS] ": kept in its text, so
    // that offsets, rows and copies take it along like any other character.
    static constexpr int kStampLength = 11;

    // Appends the pieces as one entry, led by `stamp` (empty, or kStampLength
    // bytes). An invalid colour stands for the log's ordinary text colour. A
    // character beyond ISO-8859-1 is kept as '?'; CR LF, a lone CR and a lone
    // LF each become one line break, so the entry shows several lines.
    void append(std::initializer_list<QStringView> pieces, const QColor& colour,
                std::string_view stamp = {});
    void clear();

    // Sets how rows are measured and counts every entry's rows again; the
    // entries' unwrapped widths are measured again only when `widths` changed.
    void setLayout(const logwrap::Widths& widths, float avail);
    const logwrap::Widths& widths() const { return m_widths; }
    float avail() const { return m_avail; }

    // The text of entry i; `scratch` holds it when it spans two chunks.
    std::string_view text(qint64 i, std::string& scratch) const;
    QColor colour(qint64 i) const;
    // How many of the entry's first characters are its stamp.
    int stampLength(qint64 i) const { return record(i).stamped ? kStampLength : 0; }
    quint32 rows(qint64 i) const { return record(i).rows; }
    quint64 firstChar(qint64 i) const { return byteStart(i) + quint64(i); }
    quint64 firstRow(qint64 i) const;
    // The entry holding a row and the row within it; past the last entry,
    // size() and the rows beyond it.
    std::pair<qint64, quint64> entryAtRow(quint64 row) const;
    // The entry holding a character; size() past the last one.
    qint64 entryAtChar(quint64 c) const;

    // The texts back to back, without the breaks between entries: byte b of
    // entry i is character b + i. For reading in place, as find does.
    static constexpr quint64 kChunkBytes = quint64(1) << 16;
    quint64 byteCount() const { return m_bytes; }
    // The bytes of chunk k in use.
    std::string_view chunk(quint64 k) const
    {
        const quint64 begin = k * kChunkBytes;
        return {m_chunks[size_t(k)].get(), size_t(std::min(kChunkBytes, m_bytes - begin))};
    }
    // Where entry i's text ends in the bytes, and the entry holding byte b
    // (the first whose text ends after it; size() past the last).
    quint64 byteEnd(qint64 i) const { return record(i).end; }
    qint64 entryAtByte(quint64 b) const;

private:
    struct Record {
        quint64 end : 48;    // offset just past the text in the byte chunks
        quint64 colour : 14; // into m_palette; 0 for the ordinary colour
        quint64 lines : 1;   // the text holds a line break
        quint64 stamped : 1; // the text starts with a stamp
        float width;         // the widest line, unwrapped
        quint32 rows;        // at the current wrap width
    };
    static_assert(sizeof(Record) == 16);

    static constexpr int kChunkBits = 16;  // bytes per text chunk: 64 KiB, kChunkBytes
    static constexpr int kRecordBits = 12; // records per chunk: 4096 (64 KiB)
    static constexpr int kBlockBits = 8;   // entries per block of row sums: 256
    static_assert(kChunkBytes == quint64(1) << kChunkBits);

    const Record& record(qint64 i) const
    {
        return m_records[size_t(i >> kRecordBits)][size_t(i) & ((1u << kRecordBits) - 1)];
    }
    Record& record(qint64 i)
    {
        return m_records[size_t(i >> kRecordBits)][size_t(i) & ((1u << kRecordBits) - 1)];
    }
    quint64 byteStart(qint64 i) const { return i > 0 ? quint64(record(i - 1).end) : 0; }
    std::string_view bytes(quint64 begin, quint64 end, std::string& scratch) const;
    quint16 colourIndex(const QColor& colour);
    // Reads the text only when the entry does not fit in one row.
    quint32 rowsOf(const Record& r, std::string_view text) const;
    void rebuildBlocks();

    std::vector<std::unique_ptr<char[]>> m_chunks;
    std::vector<std::unique_ptr<Record[]>> m_records;
    std::vector<quint64> m_blockRows; // rows before each block of entries
    std::vector<QRgb> m_palette;      // index 0 unused: the ordinary colour
    qint64 m_count = 0;
    quint64 m_bytes = 0;
    quint64 m_rows = 0;
    logwrap::Widths m_widths;
    float m_avail = 1e9f;
};
