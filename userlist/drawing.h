// How one item of a user list is painted.
#pragma once

#include <QStyledItemDelegate>

struct UserItemLook {
    QRect rect;            // the item's rectangle on the list's surface
    bool selected = false;
    bool listHasFocus = false;
    int index = -1;        // -1: no item, only the band
    QString text;
    int icon = -1;
    bool topLine = false;
    QColor textColour;     // the list's text colour
    QColor lineColour;     // the window-text colour, for the top line
};

// Paints one item: the band, the focus outline, the top line, the picture
// at x = 0 (a dotted box for a negative picture number) and the name from left + 40.
void DrawItem(QPainter& p, const UserItemLook& item);

class UserListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
