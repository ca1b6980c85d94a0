// A tab control with its tabs in rows that never move: twelve tabs in two rows
// of six stay where they are, so a click always lands on the tab under it.
// Each tab owns a page; the pages fill the whole control and their children
// are placed from the control's top-left corner, below the rows of tabs.
// Only the selected tab is a Tab stop; the arrow keys move between tabs.
#pragma once

#include <QAbstractButton>
#include <QVector>
#include <QWidget>

class TabButton : public QAbstractButton {
    Q_OBJECT
public:
    using QAbstractButton::QAbstractButton;
    QSize sizeHint() const override;

    // Captions hold user names: kept apart from the button's text so that an
    // "&" in a name neither vanishes nor becomes a keyboard shortcut.
    QString caption() const { return m_caption; }
    void setCaption(const QString& caption);

    // A tab not shown that has news: new lines, or lines that need the
    // operator. Drawn in a colour of its own, the second one also in bold,
    // and said in the accessible description after where the tab is.
    enum class Mark { None, NewLines, NeedsAttention };
    Mark mark() const { return m_mark; }
    // Only ever raises the mark; clearMark() takes it away.
    void raiseMark(Mark mark);
    void clearMark();
    void setPlace(const QString& place);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    void describe();

    QString m_caption;
    QString m_place;
    Mark m_mark = Mark::None;
};

class TabStrip : public QWidget {
    Q_OBJECT
public:
    TabStrip(int tabCount, int tabsPerRow, int rowHeight, QWidget* parent = nullptr);

    int count() const { return int(m_tabs.size()); }
    int currentIndex() const { return m_current; }
    // Shows tab `index` without raising Click (as at start-up).
    void setCurrentIndex(int index);
    // Shows tab `index` as the operator's choice, raising Click.
    void choose(int index);

    QString tabCaption(int index) const;
    void setTabCaption(int index, const QString& caption);
    QWidget* page(int index) const { return m_pages.at(index); }
    TabButton* tabButton(int index) const { return m_tabs.at(index); }
    // The height taken by the rows of tabs.
    int stripHeight() const;

signals:
    // A tab was chosen by the operator; the tab that was selected before it.
    void Click(int PreviousTab);

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override;
    bool event(QEvent* e) override;
    bool eventFilter(QObject* watched, QEvent* e) override;

private:
    void layoutTabs();

    QVector<TabButton*> m_tabs;
    QVector<QWidget*> m_pages;
    int m_tabsPerRow;
    int m_rowHeight;
    int m_current = 0;
};
