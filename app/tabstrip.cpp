#include "app/tabstrip.h"

#include <QKeyEvent>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

QSize TabButton::sizeHint() const
{
    return {fontMetrics().horizontalAdvance(text()) + 16, fontMetrics().height() + 8};
}

void TabButton::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionTab opt;
    opt.initFrom(this);
    opt.text = text();
    opt.shape = QTabBar::RoundedNorth;
    opt.position = QStyleOptionTab::Middle;
    opt.selectedPosition = QStyleOptionTab::NotAdjacent;
    if (isChecked())
        opt.state |= QStyle::State_Selected;
    if (hasFocus())
        opt.state |= QStyle::State_HasFocus;
    p.drawControl(QStyle::CE_TabBarTab, opt);
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
        tab->setFocusPolicy(Qt::StrongFocus);
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
    return m_tabs.at(index)->text();
}

void TabStrip::setTabCaption(int index, const QString& caption)
{
    TabButton* tab = m_tabs.at(index);
    tab->setText(caption);
    tab->setAccessibleName(caption);
}

void TabStrip::setCurrentIndex(int index)
{
    if (index < 0 || index >= count())
        return;
    m_pages.at(m_current)->setVisible(false);
    m_tabs.at(m_current)->setChecked(false);
    m_current = index;
    m_pages.at(index)->setVisible(true);
    m_tabs.at(index)->setChecked(true);
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

void TabStrip::paintEvent(QPaintEvent*)
{
    QStylePainter p(this);
    QStyleOptionTabWidgetFrame frame;
    frame.initFrom(this);
    frame.rect = rect().adjusted(0, stripHeight() - 1, 0, 0);
    frame.shape = QTabBar::RoundedNorth;
    p.drawPrimitive(QStyle::PE_FrameTabWidget, frame);
}
