#include "app/tabstrip.h"

#include <QKeyEvent>
#include <QPainter>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

QSize TabButton::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(m_caption) + 16, fontMetrics().height() + 8};
}

void TabButton::setCaption(const QString& caption)
{
    m_caption = caption;
    setAccessibleName(caption);
    update();
}

void TabButton::raiseMark(Mark mark)
{
    if (mark <= m_mark)
        return;
    m_mark = mark;
    describe();
    update();
}

void TabButton::clearMark()
{
    if (m_mark == Mark::None)
        return;
    m_mark = Mark::None;
    describe();
    update();
}

void TabButton::setPlace(const QString& place)
{
    m_place = place;
    describe();
}

void TabButton::describe()
{
    static const char* const marks[] = {"", ", new lines", ", needs attention"};
    setAccessibleDescription(m_place + marks[int(m_mark)]);
}

void TabButton::paintEvent(QPaintEvent*)
{
    // A raised tab: the selected one in the page's colour with its caption in
    // bold, the others a shade darker, so the selection reads at a glance.
    QPainter p(this);
    const QPalette& pal = palette();
    const QRect r = rect().adjusted(0, isChecked() ? 0 : 2, -1, 0);
    p.fillRect(r, isChecked() ? pal.window() : QBrush(pal.window().color().darker(112)));
    p.setPen(pal.light().color());
    p.drawLine(r.bottomLeft(), r.topLeft() + QPoint(0, 2));
    p.drawLine(r.topLeft() + QPoint(2, 0), r.topRight() - QPoint(2, 0));
    p.setPen(pal.dark().color());
    p.drawLine(r.topRight() + QPoint(0, 2), r.bottomRight());
    p.setPen(pal.light().color());
    p.drawPoint(r.topLeft() + QPoint(1, 1));
    p.setPen(pal.dark().color());
    p.drawPoint(r.topRight() + QPoint(-1, 1));

    // Blue, and red in bold: they read on the tab's gray, and apart also
    // without telling red from green.
    QFont f = font();
    f.setBold(isChecked() || m_mark == Mark::NeedsAttention);
    p.setFont(f);
    p.setPen(m_mark == Mark::NewLines         ? QColor(0, 64, 192)
             : m_mark == Mark::NeedsAttention ? QColor(176, 0, 0)
                                              : pal.windowText().color());
    const QRect textRect = r.adjusted(4, 0, -4, 0);
    p.drawText(textRect, Qt::AlignCenter | Qt::TextSingleLine,
               QFontMetrics(f).elidedText(m_caption, Qt::ElideRight, textRect.width()));
    if (hasFocus()) {
        QStyleOptionFocusRect focus;
        focus.initFrom(this);
        focus.rect = textRect.adjusted(0, 3, 0, -3);
        style()->drawPrimitive(QStyle::PE_FrameFocusRect, &focus, &p, this);
    }
}

TabStrip::TabStrip(int tabCount, int tabsPerRow, int rowHeight, QWidget* parent)
    : QWidget(parent), m_tabsPerRow(tabsPerRow), m_rowHeight(rowHeight)
{
    for (int i = 0; i < tabCount; ++i) {
        auto* page = new QWidget(this);
        page->setVisible(i == 0);
        m_pages.append(page);

        auto* tab = new TabButton(this);
        tab->setCheckable(true);
        tab->setChecked(i == 0);
        tab->setFocusPolicy(i == 0 ? Qt::StrongFocus : Qt::ClickFocus);
        tab->installEventFilter(this);
        // The name is the caption, which changes; where the tab is goes here.
        tab->setPlace(QString("Tab %1 of %2").arg(i + 1).arg(tabCount));
        connect(tab, &QAbstractButton::clicked, this, [this, i] { choose(i); });
        m_tabs.append(tab);
    }
    layoutTabs();
}

int TabStrip::stripHeight() const
{
    return m_rowHeight * ((count() + m_tabsPerRow - 1) / m_tabsPerRow);
}

QString TabStrip::tabCaption(int index) const
{
    return m_tabs.at(index)->caption();
}

void TabStrip::setTabCaption(int index, const QString& caption)
{
    m_tabs.at(index)->setCaption(caption);
}

void TabStrip::setCurrentIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    m_pages.at(m_current)->setVisible(false);
    m_tabs.at(m_current)->setChecked(false);
    // Only the selected tab is a Tab stop, so Tab goes from it into its page.
    m_tabs.at(m_current)->setFocusPolicy(Qt::ClickFocus);
    m_current = index;
    m_pages.at(index)->setVisible(true);
    m_tabs.at(index)->setChecked(true);
    m_tabs.at(index)->setFocusPolicy(Qt::StrongFocus);
    m_tabs.at(index)->clearMark();
}

void TabStrip::choose(int index)
{
    const int previous = m_current;
    setCurrentIndex(index);
    // A click on the selected tab leaves it checked.
    m_tabs.at(index)->setChecked(true);
    emit Click(previous);
}

void TabStrip::layoutTabs()
{
    for (int i = 0; i < count(); ++i) {
        const int row = i / m_tabsPerRow;
        const int column = i % m_tabsPerRow;
        const int left = width() * column / m_tabsPerRow;
        const int right = width() * (column + 1) / m_tabsPerRow;
        m_tabs[i]->setGeometry(left, row * m_rowHeight, right - left, m_rowHeight);
        m_tabs[i]->raise();
    }
    for (QWidget* page : m_pages)
        page->setGeometry(rect());
}

void TabStrip::resizeEvent(QResizeEvent*)
{
    layoutTabs();
}

bool TabStrip::event(QEvent* e)
{
    // Ctrl+Tab and Ctrl+Shift+Tab move between tabs as in other tab controls.
    if (e->type() == QEvent::ShortcutOverride || e->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(e);
        if (key->modifiers() & Qt::ControlModifier &&
            (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
            if (e->type() == QEvent::KeyPress) {
                const int step = key->key() == Qt::Key_Backtab ? count() - 1 : 1;
                choose((m_current + step) % count());
            }
            e->accept();
            return true;
        }
    }
    return QWidget::event(e);
}

bool TabStrip::eventFilter(QObject* watched, QEvent* e)
{
    if (e->type() != QEvent::KeyPress || watched != m_tabs.value(m_current))
        return QWidget::eventFilter(watched, e);
    auto* key = static_cast<QKeyEvent*>(e);
    if (key->modifiers() & ~Qt::KeypadModifier)
        return false;
    int target = -1;
    switch (key->key()) {
    case Qt::Key_Left:
        target = m_current - 1;
        break;
    case Qt::Key_Right:
        target = m_current + 1;
        break;
    case Qt::Key_Up:
        target = m_current - m_tabsPerRow;
        break;
    case Qt::Key_Down:
        target = m_current + m_tabsPerRow;
        break;
    default:
        return false;
    }
    if (target >= 0 && target < count()) {
        choose(target);
        m_tabs.at(target)->setFocus(Qt::TabFocusReason);
    }
    return true;
}

void TabStrip::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, stripHeight() - 1, 0, 0);
    frame.shape = QTabBar::RoundedNorth;
    p.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}
