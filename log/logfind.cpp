#include "log/logfind.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QShortcut>
#include <QTimerEvent>
#include <QToolButton>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "log/logview.h"

namespace {

constexpr quint64 kFirstWindow = 1 << 16; // characters a backward search looks at first
constexpr quint64 kLastWindow = 1 << 24;
constexpr quint64 kCountSlice = 1 << 22; // characters counted between two events

std::array<unsigned char, 256> makeFold()
{
    std::array<unsigned char, 256> fold{};
    for (int c = 0; c < 256; ++c) {
        // A-Z and the capitals 0xC0-0xDE (but the multiplication sign) sit 0x20
        // below their small letters; the rest (ß, µ, ÿ among them) stand alone.
        const bool capital = (c >= 'A' && c <= 'Z') || (c >= 0xc0 && c <= 0xde && c != 0xd7);
        fold[size_t(c)] = static_cast<unsigned char>(capital ? c + 0x20 : c);
    }
    return fold;
}

// The other byte that folds to the same letter as `c` (itself when none).
unsigned char otherCase(unsigned char c)
{
    static const std::array<unsigned char, 256> other = [] {
        const auto& fold = LogFinder::foldTable();
        std::array<unsigned char, 256> t{};
        for (int c = 0; c < 256; ++c) {
            t[size_t(c)] = static_cast<unsigned char>(c);
            for (int x = 0; x < 256; ++x)
                if (x != c && fold[size_t(x)] == fold[size_t(c)])
                    t[size_t(c)] = static_cast<unsigned char>(x);
        }
        return t;
    }();
    return other[c];
}

} // namespace

const std::array<unsigned char, 256>& LogFinder::foldTable()
{
    static const std::array<unsigned char, 256> table = makeFold();
    return table;
}

void LogFinder::setText(QStringView text, bool matchCase)
{
    m_fold = !matchCase;
    m_impossible = false;
    m_needle.clear();
    const auto& fold = foldTable();
    // Longer than the bar takes: a match then could span more than two chunks.
    if (text.size() > kLongest) {
        m_impossible = true;
        text = text.left(kLongest);
    }
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text[i].unicode();
        if (u == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
        if (u > 0xff)
            m_impossible = true;
        const unsigned char b = u == u'\r' ? '\n' : static_cast<unsigned char>(u);
        m_needle += char(m_fold ? fold[b] : b);
    }
    // The longest piece between breaks is searched in place; the rest is checked around it.
    m_anchor.clear();
    m_anchorAt = 0;
    for (size_t start = 0; start <= m_needle.size();) {
        size_t end = m_needle.find('\n', start);
        if (end == std::string::npos)
            end = m_needle.size();
        if (end - start > m_anchor.size()) {
            m_anchor = m_needle.substr(start, end - start);
            m_anchorAt = start;
        }
        start = end + 1;
    }
}

std::optional<quint64> LogFinder::next(quint64 from, quint64 to) const
{
    std::optional<quint64> found;
    scan(from, to, [&](quint64 at) {
        found = at;
        return false;
    });
    return found;
}

std::optional<quint64> LogFinder::previous(quint64 before, quint64 from) const
{
    // Windows growing back from `before`: a near match costs a small scan.
    before = std::min(before, m_store.charCount());
    for (quint64 window = kFirstWindow; before > from; window = std::min(window * 2, kLastWindow)) {
        const quint64 start = before - std::min(window, before - from);
        std::optional<quint64> last;
        scan(start, before, [&](quint64 at) {
            last = at;
            return true;
        });
        if (last)
            return last;
        before = start;
    }
    return std::nullopt;
}

quint64 LogFinder::count(quint64 from, quint64 to) const
{
    quint64 n = 0;
    scan(from, to, [&](quint64) {
        ++n;
        return true;
    });
    return n;
}

char LogFinder::charAt(quint64 c) const
{
    const qint64 e = m_store.entryAtChar(c);
    if (e >= m_store.size())
        return 0;
    const quint64 b = c - quint64(e);
    if (b == m_store.byteEnd(e))
        return '\n';
    return m_store.chunk(b / LogStore::kChunkBytes)[size_t(b % LogStore::kChunkBytes)];
}

bool LogFinder::matchesAt(quint64 at) const
{
    if (at + m_needle.size() > m_store.charCount())
        return false;
    const auto& fold = foldTable();
    for (size_t j = 0; j < m_needle.size(); ++j) {
        const auto c = static_cast<unsigned char>(charAt(at + j));
        if (char(m_fold ? fold[c] : c) != m_needle[j])
            return false;
    }
    return true;
}

void LogFinder::scanChars(quint64 from, quint64 to, HitRef hit) const
{
    const quint64 n = m_needle.size();
    const quint64 total = m_store.charCount();
    if (n == 0 || m_impossible || n > total)
        return;
    to = std::min(to, total - n + 1);
    if (from >= to)
        return;
    // A character offset to the byte offset of the same place.
    auto byteOf = [&](quint64 c) {
        const qint64 e = m_store.entryAtChar(c);
        return e >= m_store.size() ? m_store.byteCount() : c - quint64(e);
    };
    if (m_anchor.empty()) {
        scanBreaks(from, to, hit);
    } else if (m_anchor.size() == n) {
        scanBytes(m_needle, byteOf(from), byteOf(to), hit);
    } else {
        // A needle with breaks: its anchor found in place, the rest read around it.
        const quint64 k = m_anchorAt;
        auto around = [&](quint64 at) { return !matchesAt(at - k) || hit(at - k); };
        scanBytes(m_anchor, byteOf(from + k), byteOf(to + k), ref(around));
    }
}

bool LogFinder::scanBreaks(quint64 from, quint64 to, HitRef hit) const
{
    // A needle of breaks only: every break in the range is a candidate.
    std::string scratch;
    for (qint64 e = m_store.entryAtChar(from); e < m_store.size(); ++e) {
        const quint64 base = m_store.firstChar(e);
        if (base >= to)
            break;
        const std::string_view text = m_store.text(e, scratch);
        for (size_t i = 0; i <= text.size(); ++i) {
            const quint64 c = base + i;
            if (c >= from && c < to && (i == text.size() || text[i] == '\n') && matchesAt(c) &&
                !hit(c))
                return false;
        }
    }
    return true;
}

namespace {

// Calls found(i) for each i in [lo, hi) where `piece` matches data[i..]: the
// first and last bytes (either case) sift 16 places at a time, then the
// whole piece is compared through the fold table.
template <class Found>
bool findIn(const char* data, size_t lo, size_t hi, const std::string& piece, bool fold,
            Found found)
{
    const size_t n = piece.size();
    const auto& table = LogFinder::foldTable();
    auto same = [&](const char* at) {
        if (!fold)
            return std::memcmp(at, piece.data(), n) == 0;
        for (size_t j = 0; j < n; ++j)
            if (table[static_cast<unsigned char>(at[j])] != static_cast<unsigned char>(piece[j]))
                return false;
        return true;
    };
    const auto first = static_cast<unsigned char>(piece[0]);
    const auto last = static_cast<unsigned char>(piece[n - 1]);
    const unsigned char firstAlt = fold ? otherCase(first) : first;
    const unsigned char lastAlt = fold ? otherCase(last) : last;
    size_t i = lo;
#if defined(__SSE2__)
    const __m128i f0 = _mm_set1_epi8(char(first)), f1 = _mm_set1_epi8(char(firstAlt));
    const __m128i l0 = _mm_set1_epi8(char(last)), l1 = _mm_set1_epi8(char(lastAlt));
    for (; i + 16 <= hi; i += 16) {
        const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i + n - 1));
        const __m128i a = _mm_or_si128(_mm_cmpeq_epi8(x, f0), _mm_cmpeq_epi8(x, f1));
        const __m128i b = _mm_or_si128(_mm_cmpeq_epi8(y, l0), _mm_cmpeq_epi8(y, l1));
        for (unsigned m = unsigned(_mm_movemask_epi8(_mm_and_si128(a, b))); m; m &= m - 1) {
            const size_t at = i + size_t(__builtin_ctz(m));
            if (same(data + at) && !found(at))
                return false;
        }
    }
#endif
    for (; i < hi; ++i) {
        const auto c = static_cast<unsigned char>(data[i]);
        if ((c == first || c == firstAlt) && same(data + i) && !found(i))
            return false;
    }
    return true;
}

} // namespace

bool LogFinder::scanBytes(const std::string& piece, quint64 from, quint64 to, HitRef hit) const
{
    const quint64 n = piece.size();
    const quint64 total = m_store.byteCount();
    if (n == 0 || total < n)
        return true;
    to = std::min(to, total - n + 1);
    // A match counts only inside one entry: the entry of the last hit is kept,
    // and a few steps forward are tried before a binary search.
    qint64 e = -1;
    quint64 eEnd = 0;
    auto accept = [&](quint64 p) {
        for (int steps = 0; e >= 0 && eEnd <= p && steps < 8; ++steps)
            eEnd = m_store.byteEnd(++e);
        if (e < 0 || eEnd <= p) {
            e = m_store.entryAtByte(p);
            eEnd = m_store.byteEnd(e);
        }
        return p + n > eEnd || hit(p + quint64(e));
    };
    constexpr quint64 C = LogStore::kChunkBytes;
    std::string seam; // the ends of two chunks, for the matches across them
    for (quint64 k = from / C; from < to && k * C < to; ++k) {
        const quint64 base = k * C;
        const std::string_view chunk = m_store.chunk(k);
        const quint64 lo = std::max(from, base) - base;
        const quint64 inside = chunk.size() >= n ? chunk.size() - n + 1 : 0;
        const quint64 hi = std::min(to - base, inside);
        if (lo < hi && !findIn(chunk.data(), size_t(lo), size_t(hi), piece, m_fold,
                               [&](size_t i) { return accept(base + i); }))
            return false;
        const quint64 seamLo = std::max(lo, inside), seamHi = std::min(to - base, C);
        if (seamLo < seamHi) {
            const std::string_view after = m_store.chunk(k + 1);
            seam.assign(chunk.substr(size_t(inside)));
            seam.append(after.substr(0, std::min<size_t>(after.size(), size_t(n - 1))));
            if (!findIn(seam.data(), size_t(seamLo - inside), size_t(seamHi - inside), piece,
                        m_fold, [&](size_t i) { return accept(base + inside + i); }))
                return false;
        }
    }
    return true;
}

FindBar::FindBar(LogView& log, QWidget& input)
    : QWidget(log.parentWidget()), m_log(log), m_input(input), m_finder(log.store())
{
    setObjectName("FindBar");
    field = new QLineEdit(this);
    field->setPlaceholderText("Find in log");
    field->setAccessibleName("Find in log");
    field->setMaxLength(int(LogFinder::kLongest));
    field->installEventFilter(this);
    matchCase = new QCheckBox("Match case", this);
    matchCase->setAccessibleName(matchCase->text());
    auto button = [this](const QString& caption) {
        auto* b = new QToolButton(this);
        b->setText(caption);
        b->setAccessibleName(caption);
        b->setFocusPolicy(Qt::TabFocus);
        return b;
    };
    previousButton = button("Previous");
    nextButton = button("Next");
    closeButton = button("Close");
    countLabel = new QLabel(this);
    countLabel->setAccessibleDescription("Matches in the log");
    countLabel->setMinimumWidth(countLabel->fontMetrics().horizontalAdvance("000 of 000"));

    auto* row = new QHBoxLayout(this);
    row->setContentsMargins(0, 2, 0, 0);
    row->setSpacing(4);
    row->addWidget(field, 1);
    row->addWidget(matchCase);
    row->addWidget(previousButton);
    row->addWidget(nextButton);
    row->addWidget(countLabel);
    row->addWidget(closeButton);
    hide();

    QWidget::setTabOrder(&m_log, field);
    QWidget* before = field;
    for (QWidget* w :
         std::initializer_list<QWidget*>{matchCase, previousButton, nextButton, closeButton}) {
        QWidget::setTabOrder(before, w);
        before = w;
    }

    for (QWidget* w : std::initializer_list<QWidget*>{&m_log, &m_input, field})
        connect(new QShortcut(QKeySequence::Find, w, nullptr, nullptr, Qt::WidgetShortcut),
                &QShortcut::activated, this, &FindBar::open);
    connect(new QShortcut(Qt::Key_Escape, this, nullptr, nullptr, Qt::WidgetWithChildrenShortcut),
            &QShortcut::activated, this, &FindBar::dismiss);
    connect(field, &QLineEdit::textChanged, this, &FindBar::search);
    connect(matchCase, &QCheckBox::toggled, this, &FindBar::search);
    connect(previousButton, &QToolButton::clicked, this, [this] { step(true); });
    connect(nextButton, &QToolButton::clicked, this, [this] { step(false); });
    connect(closeButton, &QToolButton::clicked, this, &FindBar::dismiss);
    connect(&m_log, &LogView::appended, this, [this] {
        // The count goes on over the new entries.
        if (!isHidden() && !m_finder.empty() && !m_counter.isActive())
            m_counter.start(0, this);
    });
    connect(&m_log, &LogView::cleared, this, [this] {
        m_current.reset();
        if (!isHidden())
            restartCount();
    });
}

void FindBar::open()
{
    if (isHidden()) {
        // The bar takes the bottom of the log's place.
        m_logRect = m_log.geometry();
        const int h = sizeHint().height();
        setGeometry(m_logRect.left(), m_logRect.bottom() + 1 - h, m_logRect.width(), h);
        m_log.setGeometry(m_logRect.adjusted(0, 0, 0, -h));
        m_log.setHeld(true);
        show();
        raise();
        if (!m_finder.empty()) {
            m_log.setMarks(&m_finder);
            if (m_current) // the match it stood on, selected again
                select(*m_current);
            restartCount();
        }
    }
    field->setFocus(Qt::ShortcutFocusReason);
    field->selectAll();
}

void FindBar::dismiss()
{
    if (isHidden())
        return;
    m_counter.stop();
    hide();
    m_log.setGeometry(m_logRect);
    m_log.setMarks(nullptr);
    m_log.setHeld(false);
    m_input.setFocus(Qt::OtherFocusReason);
}

bool FindBar::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == field && e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            step(!(key->modifiers() & Qt::ShiftModifier));
            return true;
        }
    }
    return QWidget::eventFilter(watched, e);
}

quint64 FindBar::bottomOffset() const
{
    const QWidget* view = m_log.viewport();
    return m_log.offsetAt(QPoint(view->width(), view->height() - 1));
}

void FindBar::search()
{
    m_finder.setText(field->text(), matchCase->isChecked());
    m_current.reset();
    m_wrapped = false;
    if (m_finder.empty()) {
        m_counter.stop();
        m_log.setMarks(nullptr);
        countLabel->clear();
        return;
    }
    m_log.setMarks(&m_finder);
    // The newest match at or above the bottom of the view, else the newest below it:
    // one pass over the log at most.
    const quint64 bottom = bottomOffset();
    std::optional<quint64> at = m_finder.previous(bottom + 1);
    if (!at)
        at = m_finder.previous(m_log.characterCount(), bottom + 1);
    if (!at) {
        m_log.setSelection(m_log.selectionStart(), m_log.selectionStart());
        const quint64 size = m_log.characterCount(), n = m_finder.length();
        m_total = 0;
        m_countedTo = size >= n ? size - n + 1 : 0;
        m_counter.stop();
        showCount();
        return;
    }
    select(*at);
    restartCount();
}

void FindBar::step(bool older)
{
    if (m_finder.empty())
        return;
    if (!m_current) {
        search();
        return;
    }
    const quint64 from = *m_current, end = m_log.characterCount();
    std::optional<quint64> at = older ? m_finder.previous(from) : m_finder.next(from + 1, end);
    m_wrapped = !at;
    if (!at)
        at = older ? m_finder.previous(end, from) : m_finder.next(0, from + 1);
    if (!at)
        return;
    select(*at);
    // Each step goes to the neighbouring match: once the count has passed
    // the old one, the new one's number follows from it.
    if (m_index > 0 && !m_counter.isActive()) {
        m_index = older ? (m_wrapped ? m_total : m_index - 1) : (m_wrapped ? 1 : m_index + 1);
        showCount();
    } else {
        restartCount();
    }
}

void FindBar::select(quint64 at)
{
    m_current = at;
    const quint64 end = at + m_finder.length();
    m_log.setSelection(at, end);
    m_log.ensureVisible(end);
    m_log.ensureVisible(at);
}

void FindBar::restartCount()
{
    m_total = 0;
    m_countedTo = 0;
    m_index = 0;
    m_counter.start(0, this);
}

void FindBar::timerEvent(QTimerEvent* e)
{
    if (e->timerId() == m_counter.timerId())
        countSlice();
    else
        QWidget::timerEvent(e);
}

void FindBar::countSlice()
{
    const quint64 n = m_finder.length(), size = m_log.characterCount();
    const quint64 limit = size >= n ? size - n + 1 : 0; // no match starts later
    const quint64 to = std::min(m_countedTo + kCountSlice, limit);
    if (m_current && m_index == 0 && *m_current >= m_countedTo && *m_current < to) {
        m_total += m_finder.count(m_countedTo, *m_current);
        m_index = m_total + 1;
        m_countedTo = *m_current;
    }
    if (to > m_countedTo)
        m_total += m_finder.count(m_countedTo, to);
    m_countedTo = std::max(m_countedTo, to);
    if (m_countedTo >= limit) {
        m_counter.stop();
        showCount();
    }
}

void FindBar::showCount()
{
    if (m_total == 0)
        countLabel->setText("No match");
    else if (!m_current || m_index == 0)
        countLabel->setText(QString("%1 %2").arg(m_total).arg(m_total == 1 ? "match" : "matches"));
    else
        countLabel->setText(
            QString("%1 of %2%3").arg(m_index).arg(m_total).arg(m_wrapped ? " (wrapped)" : ""));
}
