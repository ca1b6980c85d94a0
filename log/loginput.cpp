// The operator's hands on the log: keys, mouse and the context menu move the
// caret and the selection, and scroll as the operator would.
#include <QClipboard>
#include <QContextMenuEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>

#include "log/logview.h"

namespace {

constexpr int kAutoScrollMs = 50; // while a selection is dragged past the view's edge

bool isWordByte(unsigned char c)
{
    return c != ' ' && c != '\t' && c != '\n' && !logwrap::isControl(c);
}

// Words, blanks, and anything else, which stands alone.
int kindOf(unsigned char c)
{
    return isWordByte(c) ? 0 : c == ' ' || c == '\t' ? 1 : 2;
}

} // namespace

void LogView::moveCaret(quint64 offset, bool select)
{
    m_caret = std::min(offset, characterCount());
    if (!select)
        m_anchor = m_caret;
    ensureVisible(m_caret);
    caretMoved();
}

quint64 LogView::wordStart(quint64 offset) const
{
    const auto [begin, end] = entrySpan(offset);
    const QString t = text(begin, end);
    qsizetype k = qsizetype(offset - begin);
    while (k > 0 && !isWordByte(uchar(t[k - 1].unicode())))
        --k;
    while (k > 0 && isWordByte(uchar(t[k - 1].unicode())))
        --k;
    return begin + quint64(k);
}

quint64 LogView::wordEnd(quint64 offset) const
{
    const auto [begin, end] = entrySpan(offset);
    const QString t = text(begin, end);
    qsizetype k = qsizetype(offset - begin);
    while (k < t.size() && !isWordByte(uchar(t[k].unicode())))
        ++k;
    while (k < t.size() && isWordByte(uchar(t[k].unicode())))
        ++k;
    return begin + quint64(k);
}

std::pair<quint64, quint64> LogView::runAround(quint64 offset) const
{
    const auto [begin, end] = entrySpan(offset);
    const QString t = text(begin, end);
    const qsizetype at = qsizetype(offset - begin);
    if (at >= t.size())
        return {offset, offset};
    const int kind = kindOf(uchar(t[at].unicode()));
    if (kind == 2)
        return {offset, offset + 1};
    qsizetype from = at, to = at + 1;
    while (from > 0 && kindOf(uchar(t[from - 1].unicode())) == kind)
        --from;
    while (to < t.size() && kindOf(uchar(t[to].unicode())) == kind)
        ++to;
    return {begin + quint64(from), begin + quint64(to)};
}

void LogView::keyPressEvent(QKeyEvent* e)
{
    if (e == QKeySequence::Copy) {
        copy();
        return;
    }
    if (e == QKeySequence::SelectAll) {
        selectAll();
        return;
    }
    using K = QKeySequence;
    const bool select = e->modifiers() & Qt::ShiftModifier;
    const quint64 caret = m_caret;
    auto is = [e](K::StandardKey move, K::StandardKey extend) {
        return e->matches(move) || e->matches(extend);
    };
    // Up and Down keep the column; a page also scrolls the view by a page.
    auto vertical = [&](qint64 rows) {
        const Row from = rowAt(rowOf(caret));
        if (m_wantedX < 0)
            m_wantedX = xOf(from, caret);
        if (rows > 1 || rows < -1)
            verticalScrollBar()->setValue(verticalScrollBar()->value() + int(rows));
        const qint64 target =
            std::clamp<qint64>(qint64(rowOf(caret)) + rows, 0, qint64(totalRows()) - 1);
        const float x = m_wantedX;
        moveCaret(offsetInRow(rowAt(quint64(target)), x), select);
        m_wantedX = x;
    };

    if (is(K::MoveToNextChar, K::SelectNextChar))
        moveCaret(caret + 1, select);
    else if (is(K::MoveToPreviousChar, K::SelectPreviousChar))
        moveCaret(caret > 0 ? caret - 1 : 0, select);
    else if (is(K::MoveToNextWord, K::SelectNextWord))
        moveCaret(wordEnd(caret) == caret && caret < characterCount() ? wordEnd(caret + 1)
                                                                      : wordEnd(caret),
                  select);
    else if (is(K::MoveToPreviousWord, K::SelectPreviousWord))
        moveCaret(wordStart(caret) == caret && caret > 0 ? wordStart(caret - 1) : wordStart(caret),
                  select);
    else if (is(K::MoveToNextLine, K::SelectNextLine))
        vertical(1);
    else if (is(K::MoveToPreviousLine, K::SelectPreviousLine))
        vertical(-1);
    else if (is(K::MoveToNextPage, K::SelectNextPage))
        vertical(pageRows());
    else if (is(K::MoveToPreviousPage, K::SelectPreviousPage))
        vertical(-pageRows());
    else if (is(K::MoveToStartOfLine, K::SelectStartOfLine))
        moveCaret(rowAt(rowOf(caret)).begin, select);
    else if (is(K::MoveToEndOfLine, K::SelectEndOfLine)) {
        const Row r = rowAt(rowOf(caret));
        moveCaret(r.endsLine ? r.end : offsetInRow(r, 1e9f), select);
    } else if (is(K::MoveToStartOfDocument, K::SelectStartOfDocument))
        moveCaret(0, select);
    else if (is(K::MoveToEndOfDocument, K::SelectEndOfDocument))
        moveCaret(characterCount(), select);
    else {
        // Not ours: the window's shortcuts and focus keys go on.
        e->ignore();
        return;
    }
    if (e->key() != Qt::Key_Up && e->key() != Qt::Key_Down && e->key() != Qt::Key_PageUp &&
        e->key() != Qt::Key_PageDown)
        m_wantedX = -1;
}

void LogView::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    m_selecting = true;
    m_lastMouse = e->position().toPoint();
    m_wantedX = -1;
    moveCaret(offsetAt(m_lastMouse), e->modifiers() & Qt::ShiftModifier);
}

void LogView::mouseMoveEvent(QMouseEvent* e)
{
    if (!m_selecting)
        return;
    m_lastMouse = e->position().toPoint();
    moveCaret(offsetAt(m_lastMouse), true);
    // Past the top or bottom edge the view goes on scrolling while the button is held.
    if (m_lastMouse.y() < 0 || m_lastMouse.y() >= viewport()->height())
        m_autoScroll.start(kAutoScrollMs, this);
    else
        m_autoScroll.stop();
}

void LogView::mouseReleaseEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || !m_selecting)
        return;
    m_selecting = false;
    m_autoScroll.stop();
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (hasSelection() && clipboard->supportsSelection())
        clipboard->setText(selectedText(), QClipboard::Selection);
}

void LogView::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    // The word under the pointer, or the blanks when it is on blanks.
    const auto [from, to] = runAround(characterAt(e->position().toPoint()));
    setSelection(from, to);
}

void LogView::timerEvent(QTimerEvent* e)
{
    if (e->timerId() != m_autoScroll.timerId())
        return QAbstractScrollArea::timerEvent(e);
    moveCaret(offsetAt(m_lastMouse), true);
}

void LogView::contextMenuEvent(QContextMenuEvent* e)
{
    QMenu menu(this);
    QAction* copyAction = menu.addAction(tr("&Copy"), this, &LogView::copy);
    copyAction->setShortcut(QKeySequence::Copy);
    copyAction->setEnabled(hasSelection());
    menu.addSeparator();
    QAction* all = menu.addAction(tr("Select All"), this, &LogView::selectAll);
    all->setShortcut(QKeySequence::SelectAll);
    all->setEnabled(characterCount() > 0);
    menu.exec(e->globalPos());
}

void LogView::focusInEvent(QFocusEvent* e)
{
    viewport()->update();
    QAbstractScrollArea::focusInEvent(e);
}

void LogView::focusOutEvent(QFocusEvent* e)
{
    viewport()->update();
    QAbstractScrollArea::focusOutEvent(e);
}
