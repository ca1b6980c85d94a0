#include "log/logaccessible.h"

#include <QAccessibleWidget>
#include <QScrollBar>
#include <QTextBoundaryFinder>
#include <climits>

#include "log/logview.h"

namespace {

int clampInt(quint64 v)
{
    return int(std::min<quint64>(v, INT_MAX));
}

class LogAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit LogAccessible(LogView* view) : QAccessibleWidget(view, QAccessible::EditableText) {}

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return view()->toPlainText();
        return QAccessibleWidget::text(t);
    }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && view()->hasSelection()) {
            *startOffset = clampInt(view()->selectionStart());
            *endOffset = clampInt(view()->selectionEnd());
        }
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        setSelection(0, startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            view()->setSelection(view()->cursorPosition(), view()->cursorPosition());
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0 && startOffset >= 0 && endOffset >= 0)
            view()->setSelection(quint64(startOffset), quint64(endOffset));
    }
    int cursorPosition() const override { return clampInt(view()->cursorPosition()); }
    void setCursorPosition(int position) override
    {
        if (position < 0)
            return;
        view()->setSelection(quint64(position), quint64(position));
        view()->ensureVisible(quint64(position));
    }

    QString text(int startOffset, int endOffset) const override
    {
        if (startOffset < 0 || endOffset <= startOffset)
            return {};
        return view()->text(quint64(startOffset), quint64(endOffset));
    }
    int characterCount() const override { return clampInt(view()->characterCount()); }

    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                         int* endOffset) const override
    {
        return pieceText(segment(offset, type), startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                             int* endOffset) const override
    {
        const auto [start, end] = segment(offset, type);
        return pieceText(start > 0 ? segment(start - 1, type) : std::pair{-1, -1}, startOffset,
                         endOffset);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* startOffset,
                            int* endOffset) const override
    {
        const auto [start, end] = segment(offset, type);
        return pieceText(end >= 0 && end < characterCount() ? segment(end, type)
                                                            : std::pair{-1, -1},
                         startOffset, endOffset);
    }

    QRect characterRect(int offset) const override
    {
        if (offset < 0 || offset > characterCount())
            return {};
        const QRect r = view()->characterRect(quint64(offset));
        return {view()->viewport()->mapToGlobal(r.topLeft()), r.size()};
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        const QPoint local = view()->viewport()->mapFromGlobal(point);
        if (!view()->viewport()->rect().contains(local))
            return -1;
        return clampInt(view()->offsetAt(local));
    }
    void scrollToSubstring(int startIndex, int) override
    {
        if (startIndex >= 0)
            view()->ensureVisible(quint64(startIndex));
    }

    // The run of an entry's stamp, or of the rest of the entry with its line
    // break: the log's font, and the run's colour unless it is the ordinary
    // one. The same pairs, in the same order, as Qt's rich-text views give.
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        const int count = characterCount();
        if (offset == count && count > 0)
            offset = count - 1;
        if (offset < 0 || offset >= count) {
            *startOffset = *endOffset = -1;
            return {};
        }
        const LogView::ColourRun run = view()->colourRunAt(quint64(offset));
        *startOffset = clampInt(run.start);
        *endOffset = clampInt(run.end);

        const QFont font = view()->font();
        QString out;
        QString family = font.families().value(0);
        if (!family.isEmpty()) {
            for (const char* special : {"\\", ":", ",", "=", ";", "\""})
                family.replace(QLatin1String(special), QLatin1String("\\") + special);
            out += "font-family:\"" + family + "\";";
        }
        if (font.pointSize() > 0)
            out += QString("font-size:%1pt;").arg(font.pointSize());
        out += font.weight() > QFont::Normal ? "font-weight:bold;" : "font-weight:normal;";
        out += font.style() == QFont::StyleItalic    ? "font-style:italic;"
               : font.style() == QFont::StyleOblique ? "font-style:oblique;"
                                                     : "font-style:normal;";
        out += "text-position:baseline;";
        if (run.colour.isValid())
            out += QString("color:rgb(%1,%2,%3);")
                       .arg(run.colour.red())
                       .arg(run.colour.green())
                       .arg(run.colour.blue());
        out += "text-align:left;";
        return out;
    }

private:
    LogView* view() const { return static_cast<LogView*>(widget()); }

    QString pieceText(std::pair<int, int> piece, int* startOffset, int* endOffset) const
    {
        *startOffset = piece.first;
        *endOffset = piece.second;
        return piece.first < 0 ? QString() : text(piece.first, piece.second);
    }

    // The piece of the given kind that holds `offset`: a character, a word or
    // sentence (or the blanks between), a row as shown, a line of an entry
    // with its break, or the whole text.
    std::pair<int, int> segment(int offset, QAccessible::TextBoundaryType type) const
    {
        const int count = characterCount();
        if (offset < 0 || offset >= count)
            return {-1, -1};
        switch (type) {
        case QAccessible::CharBoundary:
            return {offset, offset + 1};
        case QAccessible::NoBoundary:
            return {0, count};
        case QAccessible::LineBoundary: {
            const auto [start, end] = view()->rowSpan(quint64(offset));
            // A row that ends its line takes the break along.
            const int stop = clampInt(end) < count && view()->text(end, end + 1) == "\n"
                                 ? clampInt(end) + 1
                                 : clampInt(end);
            return {clampInt(start), std::max(stop, offset + 1)};
        }
        default:
            break;
        }
        // Word, sentence and paragraph look within the line of the entry.
        const auto [entryStart, entryEnd] = view()->entrySpan(quint64(offset));
        const QString entry = view()->text(entryStart, entryEnd);
        const int local = offset - clampInt(entryStart);
        const int lineStart = int(entry.lastIndexOf(u'\n', local - 1) + 1);
        const int lineEnd = int(entry.indexOf(u'\n', local)) + 1; // the break included
        if (type == QAccessible::ParagraphBoundary || entry[local] == u'\n')
            return {clampInt(entryStart) + lineStart, clampInt(entryStart) + lineEnd};
        QTextBoundaryFinder finder(type == QAccessible::WordBoundary
                                       ? QTextBoundaryFinder::Word
                                       : QTextBoundaryFinder::Sentence,
                                   entry.mid(lineStart, lineEnd - 1 - lineStart));
        finder.setPosition(local - lineStart);
        const qsizetype from =
            finder.isAtBoundary() ? finder.position() : finder.toPreviousBoundary();
        finder.setPosition(local - lineStart);
        const qsizetype to = finder.toNextBoundary();
        return {clampInt(entryStart) + lineStart + int(from),
                clampInt(entryStart) + lineStart + int(to < 0 ? lineEnd - 1 - lineStart : to)};
    }
};

QAccessibleInterface* logFactory(const QString& key, QObject* object)
{
    if (key == QLatin1String("LogView") && object && object->isWidgetType())
        return new LogAccessible(static_cast<LogView*>(object));
    return nullptr;
}

} // namespace

namespace {
void (*s_testSink)(QAccessibleEvent*) = nullptr;
}

bool LogEventsWanted()
{
    return s_testSink || QAccessible::isActive();
}

void SendLogEvent(QAccessibleEvent& event)
{
    if (s_testSink)
        s_testSink(&event);
    else
        QAccessible::updateAccessibility(&event);
}

void CatchLogEventsForTests(void (*sink)(QAccessibleEvent*))
{
    s_testSink = sink;
}

void InstallLogAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(logFactory);
        return true;
    }();
    (void)installed;
}
