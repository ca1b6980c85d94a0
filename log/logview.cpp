#include "log/logview.h"

#include <QAccessible>
#include <QClipboard>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QPainter>
#include <QScrollBar>
#include <QSignalBlocker>
#include <climits>
#include <cmath>
#include <cstring>

#include "chat/chatlog.h"
#include "log/logaccessible.h"
#include "log/logfind.h"

namespace {

constexpr int kMargin = 4; // around the text, as the old text view had
constexpr unsigned char kSoftHyphen = 0xad;
constexpr qsizetype kRemovedPerEvent = 1 << 16; // characters a removal event reports at most
constexpr size_t kMostMarks = 4096;             // matches marked in one paint

} // namespace

LogView::LogView(QWidget* parent) : QAbstractScrollArea(parent)
{
    InstallLogAccessibility();
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::WheelFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    verticalScrollBar()->setSingleStep(1);
    // The log moves the bar with its signals held back: any change heard is the operator's.
    connect(verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        m_following = !m_held && value >= verticalScrollBar()->maximum();
    });
    measure();
    syncScrollBar();
}

LogView::~LogView() = default;

void LogView::measure()
{
    m_paintFont = font();
    // Glyphs then stand exactly at the sum of the advances before them, so a
    // width per byte measures every row without shaping it.
    m_paintFont.setKerning(false);
    m_paintFont.setStyleStrategy(QFont::PreferNoShaping);
    const QFontMetricsF fm(m_paintFont, viewport());
    m_boxWidth = float(fm.horizontalAdvance(QChar(1)));
    logwrap::Widths widths;
    for (int b = 0; b < 256; ++b)
        widths.advance[size_t(b)] =
            logwrap::isControl(b) ? m_boxWidth : float(fm.horizontalAdvance(QChar(b)));
    widths.advance['\n'] = 0;
    widths.advance[kSoftHyphen] = 0; // shown only where a row breaks, and ours never do
    m_ascent = float(fm.ascent());
    m_rowHeight = std::max(1, int(std::ceil(fm.lineSpacing())));
    m_store.setLayout(widths, m_store.avail());
}

int LogView::pageRows() const
{
    return std::max(1, (viewport()->height() - 2 * kMargin) / m_rowHeight);
}

void LogView::syncScrollBar()
{
    // The bar's signals are held back: on each change of its range the scroll
    // area would lay itself out again, once per entry. Whether the bar shows
    // is decided here instead.
    QScrollBar* bar = verticalScrollBar();
    const QSignalBlocker quiet(bar);
    const quint64 page = quint64(pageRows());
    const int max = int(std::min<quint64>(totalRows() > page ? totalRows() - page : 0, INT_MAX));
    const int top = bar->value();
    if (bar->maximum() != max)
        bar->setRange(0, max);
    if (bar->pageStep() != int(page))
        bar->setPageStep(int(page));
    if (m_following)
        bar->setValue(max);
    if (bar->value() != top)
        viewport()->update();
    const Qt::ScrollBarPolicy shown = max > 0 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff;
    if (verticalScrollBarPolicy() != shown)
        setVerticalScrollBarPolicy(shown);
}

void LogView::relayout()
{
    // The entry and row at the top stay there, unless the view follows the end.
    const auto [entry, within] = m_store.entryAtRow(quint64(verticalScrollBar()->value()));
    m_store.setLayout(m_store.widths(), float(viewport()->width() - 2 * kMargin));
    syncScrollBar();
    if (!m_following && entry < m_store.size()) {
        const QSignalBlocker quiet(verticalScrollBar());
        verticalScrollBar()->setValue(
            int(m_store.firstRow(entry) + std::min<quint64>(within, m_store.rows(entry) - 1)));
    }
    viewport()->update();
}

void LogView::append(std::initializer_list<QStringView> pieces, const QColor& colour)
{
    const quint64 at = m_store.charCount();
    EntryTime time;
    if (m_timestamps || m_tap)
        time = EntryTimeNow();
    char stamp[LogStore::kStampLength] = {'[', 0, 0, 0, 0, 0, 0, 0, 0, ']', ' '};
    std::memcpy(stamp + 1, time.hms, sizeof time.hms);
    m_store.append(pieces, colour,
                   m_timestamps ? std::string_view(stamp, sizeof stamp) : std::string_view());
    if (!m_held) {
        m_anchor = m_caret = m_store.charCount();
        m_wantedX = -1;
    }
    // A hidden log's bar is set when it shows: a bar's every change costs.
    if (isVisible())
        syncScrollBar();
    // Repaints are coalesced: one per turn of the event loop, however many entries came.
    if (!m_dirty && isVisible()) {
        m_dirty = true;
        viewport()->update();
    }
    if (LogEventsWanted()) {
        QAccessibleTextInsertEvent inserted(this, int(std::min<quint64>(at, INT_MAX)),
                                            this->text(at, m_store.charCount()));
        SendLogEvent(inserted);
    }
    if (m_tap) {
        const qint64 e = m_store.size() - 1;
        std::string scratch;
        m_tap(time, m_store.text(e, scratch).substr(size_t(m_store.stampLength(e))));
    }
    emit appended();
}

void LogView::clear()
{
    const quint64 removed = m_store.charCount();
    m_store.clear();
    m_anchor = m_caret = 0;
    m_following = !m_held;
    syncScrollBar();
    viewport()->update();
    emit cleared();
    if (LogEventsWanted() && removed > 0) {
        // The bridge tells the length of a removal by the length of its text;
        // Qt's own views pass blanks when the old text is gone. Pieces from
        // the start keep that from costing memory as large as the log.
        static const QString blanks(kRemovedPerEvent, u' ');
        for (quint64 left = removed; left > 0;) {
            const qsizetype n = qsizetype(std::min<quint64>(left, kRemovedPerEvent));
            QAccessibleTextRemoveEvent piece(this, 0, n == blanks.size() ? blanks : blanks.left(n));
            SendLogEvent(piece);
            left -= quint64(n);
        }
    }
}

QString LogView::entryText(qint64 i) const
{
    std::string scratch;
    const std::string_view bytes = m_store.text(i, scratch);
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

QColor LogView::entryColour(qint64 i) const
{
    return m_store.colour(i);
}

QString LogView::text(quint64 start, quint64 end) const
{
    end = std::min(end, characterCount());
    QString out;
    if (start >= end)
        return out;
    out.reserve(qsizetype(end - start));
    std::string scratch;
    for (qint64 e = m_store.entryAtChar(start); e < m_store.size(); ++e) {
        const quint64 base = m_store.firstChar(e);
        if (base >= end)
            break;
        const std::string_view bytes = m_store.text(e, scratch);
        const quint64 from = std::max(start, base) - base;
        const quint64 to = std::min<quint64>(end - base, bytes.size() + 1);
        const quint64 textTo = std::min<quint64>(to, bytes.size());
        if (textTo > from)
            out += QLatin1StringView(bytes.data() + from, qsizetype(textTo - from));
        if (to > bytes.size())
            out += u'\n';
    }
    return out;
}

std::pair<quint64, quint64> LogView::entrySpan(quint64 offset) const
{
    const qint64 e = m_store.entryAtChar(offset);
    if (e >= m_store.size())
        return {characterCount(), characterCount()};
    return {m_store.firstChar(e), m_store.firstChar(e + 1)};
}

LogView::ColourRun LogView::colourRunAt(quint64 offset) const
{
    const qint64 e = m_store.entryAtChar(offset);
    if (e >= m_store.size())
        return {characterCount(), characterCount(), {}};
    const quint64 start = m_store.firstChar(e);
    const quint64 stampEnd = start + quint64(m_store.stampLength(e));
    if (offset < stampEnd)
        return {start, stampEnd, colours::Gray};
    return {stampEnd, m_store.firstChar(e + 1), m_store.colour(e)};
}

LogView::Row LogView::rowAt(quint64 row) const
{
    const auto [entry, within] = m_store.entryAtRow(row);
    if (entry >= m_store.size())
        return {entry, characterCount(), characterCount(), true};
    std::string scratch;
    const quint64 base = m_store.firstChar(entry);
    Row found{entry, base, base, true};
    quint64 k = 0;
    logwrap::forEachRow(m_store.text(entry, scratch), m_store.widths(), m_store.avail(),
                        [&](size_t begin, size_t end, bool endsLine) {
                            found = {entry, base + begin, base + end, endsLine};
                            return k++ < within;
                        });
    return found;
}

quint64 LogView::rowOf(quint64 offset) const
{
    const qint64 entry = m_store.entryAtChar(offset);
    if (entry >= m_store.size())
        return totalRows() - 1;
    std::string scratch;
    const quint64 local = offset - m_store.firstChar(entry);
    quint64 k = 0;
    logwrap::forEachRow(m_store.text(entry, scratch), m_store.widths(), m_store.avail(),
                        [&](size_t begin, size_t end, bool endsLine) {
                            if (local >= begin && (local < end || (endsLine && local == end)))
                                return false;
                            ++k;
                            return true;
                        });
    return m_store.firstRow(entry) + k;
}

std::pair<quint64, quint64> LogView::rowSpan(quint64 offset) const
{
    const Row r = rowAt(rowOf(offset));
    return {r.begin, r.end};
}

float LogView::xOf(const Row& row, quint64 offset) const
{
    if (row.entry >= m_store.size() || offset <= row.begin)
        return 0;
    std::string scratch;
    const std::string_view text = m_store.text(row.entry, scratch);
    const quint64 base = m_store.firstChar(row.entry);
    return m_store.widths().width(
        text.substr(size_t(row.begin - base), size_t(std::min(offset, row.end) - row.begin)));
}

quint64 LogView::offsetInRow(const Row& row, float x) const
{
    if (row.entry >= m_store.size())
        return row.begin;
    std::string scratch;
    const std::string_view text = m_store.text(row.entry, scratch);
    const quint64 base = m_store.firstChar(row.entry);
    const std::string_view cells =
        text.substr(size_t(row.begin - base), size_t(row.end - row.begin));
    quint64 at = row.begin + m_store.widths().offsetAt(cells, x);
    // Past the end of a wrapped row: before its last blank, which stands past the edge.
    if (!row.endsLine && at == row.end && at > row.begin && cells.back() == ' ')
        --at;
    return at;
}

QRect LogView::characterRect(quint64 offset) const
{
    offset = std::min(offset, characterCount());
    const quint64 row = rowOf(offset);
    const Row r = rowAt(row);
    const float x = xOf(r, offset);
    float w = m_store.widths().advance[' '];
    if (offset < r.end) {
        std::string scratch;
        const std::string_view text = m_store.text(r.entry, scratch);
        w = m_store.widths().of(
            static_cast<unsigned char>(text[size_t(offset - m_store.firstChar(r.entry))]), x);
    }
    const qint64 y = qint64(kMargin) + (qint64(row) - verticalScrollBar()->value()) * m_rowHeight;
    return QRectF(kMargin + x, double(y), w, m_rowHeight).toAlignedRect();
}

LogView::Row LogView::rowUnder(const QPoint& point) const
{
    const qint64 row = verticalScrollBar()->value() +
                       qint64(std::floor(double(point.y() - kMargin) / m_rowHeight));
    return rowAt(quint64(std::clamp<qint64>(row, 0, qint64(totalRows()) - 1)));
}

quint64 LogView::offsetAt(const QPoint& point) const
{
    return offsetInRow(rowUnder(point), float(point.x() - kMargin));
}

quint64 LogView::characterAt(const QPoint& point) const
{
    // The nearest offset lies past the character when the pointer is on its
    // right half; past a row's end, the row's last character.
    const Row row = rowUnder(point);
    const float x = float(point.x() - kMargin);
    const quint64 at = offsetInRow(row, x);
    return at > row.begin && (xOf(row, at) > x || at == row.end) ? at - 1 : at;
}

void LogView::ensureVisible(quint64 offset)
{
    QScrollBar* bar = verticalScrollBar();
    const quint64 row = rowOf(offset);
    const quint64 top = quint64(bar->value());
    if (row < top)
        bar->setValue(int(row));
    else if (row >= top + quint64(pageRows()))
        bar->setValue(int(row - quint64(pageRows()) + 1));
}

void LogView::setHeld(bool held)
{
    m_held = held;
    m_following = !held && verticalScrollBar()->value() >= verticalScrollBar()->maximum();
}

void LogView::setMarks(const LogFinder* finder)
{
    m_marks = finder;
    viewport()->update();
}

void LogView::setSelection(quint64 anchor, quint64 caret)
{
    m_anchor = std::min(anchor, characterCount());
    m_caret = std::min(caret, characterCount());
    caretMoved();
}

void LogView::selectAll()
{
    setSelection(0, characterCount());
}

void LogView::copy() const
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void LogView::caretMoved()
{
    viewport()->update();
    if (!LogEventsWanted())
        return;
    if (hasSelection()) {
        QAccessibleTextSelectionEvent selected(this,
                                               int(std::min<quint64>(selectionStart(), INT_MAX)),
                                               int(std::min<quint64>(selectionEnd(), INT_MAX)));
        selected.setCursorPosition(int(std::min<quint64>(m_caret, INT_MAX)));
        SendLogEvent(selected);
    } else {
        QAccessibleTextCursorEvent moved(this, int(std::min<quint64>(m_caret, INT_MAX)));
        SendLogEvent(moved);
    }
}

void LogView::paintEvent(QPaintEvent*)
{
    m_dirty = false;
    QPainter p(viewport());
    p.setFont(m_paintFont);
    const QPalette& pal = palette();
    const logwrap::Widths& widths = m_store.widths();
    const int height = viewport()->height();
    const quint64 selStart = selectionStart(), selEnd = selectionEnd();

    // The cells from `first` on of one row that starts at x = 0: printable runs
    // as text, tabs as room, control characters as hollow boxes.
    auto drawCells = [&](std::string_view cells, int top, size_t first = 0) {
        const float baseline = float(top) + m_ascent;
        float x = widths.width(cells.substr(0, first)), runX = x;
        size_t run = first;
        auto flush = [&](size_t upTo) {
            if (upTo > run)
                p.drawText(QPointF(kMargin + runX, baseline),
                           QString::fromLatin1(cells.data() + run, qsizetype(upTo - run)));
        };
        for (size_t i = first; i < cells.size(); ++i) {
            const unsigned char c = static_cast<unsigned char>(cells[i]);
            const float w = widths.of(c, x);
            if (c == '\t' || logwrap::isControl(c)) {
                flush(i);
                if (c != '\t')
                    p.drawRect(QRectF(kMargin + x + 1, top + 2, w - 3, m_rowHeight - 5));
                run = i + 1;
                runX = x + w;
            }
            x += w;
        }
        flush(cells.size());
    };

    // The matches that may show, by where they start and end.
    std::vector<std::pair<quint64, quint64>> marks;
    if (m_marks && !m_marks->empty()) {
        const quint64 first = quint64(verticalScrollBar()->value());
        const quint64 from = rowAt(first).begin;
        const quint64 to =
            rowAt(std::min(first + quint64(pageRows()) + 1, totalRows() - 1)).end + 1;
        const quint64 n = m_marks->length();
        m_marks->forEach(from >= n ? from - n + 1 : 0, to, [&](quint64 at) {
            marks.emplace_back(at, at + n);
            return marks.size() < kMostMarks;
        });
    }

    auto [entry, within] = m_store.entryAtRow(quint64(verticalScrollBar()->value()));
    int top = kMargin;
    std::string scratch;
    for (; top < height && entry < m_store.size(); ++entry, within = 0) {
        const std::string_view text = m_store.text(entry, scratch);
        const quint64 base = m_store.firstChar(entry);
        const QColor entryColour = m_store.colour(entry);
        const QColor colour = entryColour.isValid() ? entryColour : pal.color(QPalette::Text);
        const size_t stamp = size_t(m_store.stampLength(entry));
        quint64 k = 0;
        logwrap::forEachRow(
            text, widths, m_store.avail(), [&](size_t begin, size_t end, bool endsLine) {
                if (k++ < within)
                    return true;
                const std::string_view cells = text.substr(begin, end - begin);
                // The part of [s, t) in this row, its line break shown as a blank's width.
                auto band = [&](quint64 s, quint64 t) {
                    const quint64 from = std::max(s, base + begin);
                    const quint64 to = std::min(t, base + end + (endsLine ? 1 : 0));
                    if (from >= to)
                        return QRectF();
                    const float x0 = widths.width(cells.substr(0, size_t(from - base - begin)));
                    float x1 = widths.width(
                        cells.substr(0, size_t(std::min(to, base + end) - base - begin)));
                    if (to > base + end)
                        x1 += widths.advance[' '];
                    return QRectF(kMargin + x0, top, x1 - x0, m_rowHeight);
                };
                QRegion marked;
                for (const auto& [s, t] : marks) {
                    const QRectF r = band(s, t);
                    if (!r.isEmpty()) {
                        p.fillRect(r, kMarkColour);
                        marked += r.toAlignedRect();
                    }
                }
                const QRectF selected = band(selStart, selEnd);
                if (!selected.isEmpty())
                    p.fillRect(selected, pal.brush(QPalette::Highlight));
                // The stamp, at the start of the entry's first row, in its own colour.
                const size_t gray = begin < stamp ? std::min(end, stamp) - begin : 0;
                if (gray > 0) {
                    p.setPen(colours::Gray);
                    drawCells(cells.substr(0, gray), top);
                }
                p.setPen(colour);
                drawCells(cells, top, gray);
                if (!marked.isEmpty()) {
                    p.save();
                    p.setClipRegion(marked - QRegion(selected.toAlignedRect()));
                    p.setPen(Qt::black);
                    drawCells(cells, top);
                    p.restore();
                }
                if (!selected.isEmpty()) {
                    p.save();
                    p.setClipRect(selected);
                    p.setPen(pal.color(QPalette::HighlightedText));
                    drawCells(cells, top);
                    p.restore();
                }
                top += m_rowHeight;
                return top < height;
            });
    }

    if (hasFocus()) {
        const quint64 row = rowOf(m_caret);
        const qint64 y = kMargin + (qint64(row) - verticalScrollBar()->value()) * m_rowHeight;
        if (y >= 0 && y < height)
            p.fillRect(QRectF(kMargin + xOf(rowAt(row), m_caret), double(y), 1, m_rowHeight),
                       pal.brush(QPalette::Text));
    }
}

void LogView::resizeEvent(QResizeEvent*)
{
    // Called for the viewport's size as well as the frame's. Until the first
    // one, the log has no width and wraps nothing: a tab not yet opened costs
    // no wrapping.
    m_sized = true;
    if (float(viewport()->width() - 2 * kMargin) != m_store.avail())
        relayout();
    else
        syncScrollBar();
}

void LogView::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::FontChange) {
        measure();
        if (m_sized)
            relayout();
    }
    QAbstractScrollArea::changeEvent(e);
}

void LogView::scrollContentsBy(int, int)
{
    viewport()->update();
}

bool LogView::event(QEvent* e)
{
    // Hidden, the log paints nothing; shown again it paints whole.
    if (e->type() == QEvent::Show) {
        m_dirty = false;
        syncScrollBar();
    }
    return QAbstractScrollArea::event(e);
}
