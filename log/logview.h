// A bot's chat log on screen: read-only, one colour per entry, on black. It
// lays out and paints only the rows in view, wrapped at its width, so an
// append costs the same however long the log is. Offsets count characters
// from the log's start; each entry ends with one line-break character.
#pragma once

#include <QAbstractScrollArea>
#include <QBasicTimer>
#include <QColor>
#include <QFont>
#include <functional>
#include <string_view>

#include "log/logclock.h"
#include "log/logstore.h"

class LogFinder;

class LogView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit LogView(QWidget* parent = nullptr);
    ~LogView() override;

    // Appends an entry, made of the pieces, at the end; the caret then stands
    // behind it with no selection. An invalid colour shows the log's ordinary
    // text colour.
    void append(std::initializer_list<QStringView> pieces, const QColor& colour);
    // Empties the log.
    void clear();

    // Entries appended from now on start with their local time, "[HH:MM:SS] ",
    // a run of its own in gray; entries shown already keep their form.
    void setTimestamps(bool on) { m_timestamps = on; }
    bool timestamps() const { return m_timestamps; }
    // Called for every entry appended, with its time (the one its stamp shows)
    // and its text as the log shows it, without the stamp: ISO-8859-1, a line
    // break as '\n'. An empty tap costs nothing.
    using EntryTap = std::function<void(const EntryTime&, std::string_view)>;
    void setEntryTap(EntryTap tap) { m_tap = std::move(tap); }

    qint64 entryCount() const { return m_store.size(); }
    QString entryText(qint64 i) const;
    QColor entryColour(qint64 i) const; // invalid for the ordinary colour
    // Text between two offsets, each entry's break as '\n'.
    QString text(quint64 start, quint64 end) const;
    QString toPlainText() const { return text(0, characterCount()); }
    quint64 characterCount() const { return m_store.charCount(); }
    // The entry holding the character at `offset`; entryCount() past the last.
    qint64 entryAt(quint64 offset) const { return m_store.entryAtChar(offset); }
    // The offsets at which the entry holding `offset` starts and ends (past its break).
    std::pair<quint64, quint64> entrySpan(quint64 offset) const;
    // A stretch of text in one colour: an entry's stamp, or the rest of the
    // entry with its break. The colour is invalid for the ordinary one.
    struct ColourRun {
        quint64 start = 0, end = 0;
        QColor colour;
    };
    // The run holding `offset`; an empty one at characterCount() past the last.
    ColourRun colourRunAt(quint64 offset) const;
    // The visual row holding `offset`, as offsets.
    std::pair<quint64, quint64> rowSpan(quint64 offset) const;

    quint64 cursorPosition() const { return m_caret; }
    quint64 selectionStart() const { return std::min(m_anchor, m_caret); }
    quint64 selectionEnd() const { return std::max(m_anchor, m_caret); }
    bool hasSelection() const { return m_anchor != m_caret; }
    QString selectedText() const { return text(selectionStart(), selectionEnd()); }
    // Selects from `anchor` to `caret` (an empty selection puts the caret).
    void setSelection(quint64 anchor, quint64 caret);
    void selectAll();
    void copy() const;

    // In viewport coordinates: the box of the character at `offset`, and the
    // offset nearest to a point.
    QRect characterRect(quint64 offset) const;
    quint64 offsetAt(const QPoint& point) const;
    // Scrolls so that `offset` is in view, as the operator would.
    void ensureVisible(quint64 offset);
    // Whether the view follows new entries; only the operator's scrolling changes it.
    bool following() const { return m_following; }

    // While held (as the find bar holds it), new entries leave the selection
    // and the view where they are; let go, the view follows if at its end.
    void setHeld(bool held);
    // Every match of `finder` in view is painted marked; nullptr for none.
    void setMarks(const LogFinder* finder);
    // Marked matches: black on this.
    static constexpr QColor kMarkColour{255, 200, 0};
    const LogStore& store() const { return m_store; }

signals:
    void appended();
    void cleared();

protected:
    void paintEvent(QPaintEvent* e) override;
    void resizeEvent(QResizeEvent* e) override;
    void changeEvent(QEvent* e) override;
    void keyPressEvent(QKeyEvent* e) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
    void mouseReleaseEvent(QMouseEvent* e) override;
    void mouseDoubleClickEvent(QMouseEvent* e) override;
    void contextMenuEvent(QContextMenuEvent* e) override;
    void focusInEvent(QFocusEvent* e) override;
    void focusOutEvent(QFocusEvent* e) override;
    void timerEvent(QTimerEvent* e) override;
    void scrollContentsBy(int dx, int dy) override;
    bool event(QEvent* e) override;

private:
    struct Row {
        qint64 entry = 0;
        quint64 begin = 0, end = 0; // offsets; end stops before a break
        bool endsLine = true;       // the row ends at a break, not a wrap
    };
    Row rowAt(quint64 row) const;
    Row rowUnder(const QPoint& point) const;
    // The offset of the character under a point.
    quint64 characterAt(const QPoint& point) const;
    quint64 rowOf(quint64 offset) const;
    float xOf(const Row& row, quint64 offset) const;
    quint64 offsetInRow(const Row& row, float x) const;
    // Every entry's rows and the caret's row after the last entry.
    quint64 totalRows() const { return m_store.rowCount() + 1; }
    int pageRows() const;
    void measure();
    void relayout();
    void syncScrollBar();
    void moveCaret(quint64 offset, bool select);
    quint64 wordStart(quint64 offset) const;
    quint64 wordEnd(quint64 offset) const;
    // The run around the character at `offset`: a word, blanks, or the one
    // character of any other kind.
    std::pair<quint64, quint64> runAround(quint64 offset) const;
    void caretMoved();

    LogStore m_store;
    QFont m_paintFont;
    float m_ascent = 0;
    int m_rowHeight = 1;
    float m_boxWidth = 0; // the hollow box shown for a control character
    quint64 m_anchor = 0, m_caret = 0;
    bool m_following = true;
    bool m_timestamps = false;
    bool m_held = false;
    const LogFinder* m_marks = nullptr;
    EntryTap m_tap;
    bool m_sized = false;     // the viewport has had its first size
    bool m_dirty = false;     // an update is already on its way
    bool m_selecting = false; // the left button is down on the text
    float m_wantedX = -1;     // Up and Down keep the column they started in
    QBasicTimer m_autoScroll;
    QPoint m_lastMouse;
};
