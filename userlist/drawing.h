// How one item of a user list is painted.
#pragma once

#include <QStyledItemDelegate>

struct UserItemLook {
    QRect rect; // the item's rectangle on the list's surface
    bool selected = false;
    bool listHasFocus = false;
    int index = -1; // -1: no item, only the band
    QString text;
    int icon = -1;
    bool topLine = false;
    QColor textColour; // the list's text colour
    QColor lineColour; // the window-text colour, for the top line
};

// Paints one item: the band (cyan when selected, else black), the focus
// outline, the top line, the picture's 28 x 14 block at x = 0, two pixels below
// the item's top (a dotted box for a negative picture number), and the name
// from left + 40, clipped and on one line, black on the cyan band. Nothing is
// painted outside the item's rows. The outlines invert pixels, so the painter
// must be a raster one (a widget or a QImage).
void DrawItem(QPainter& p, const UserItemLook& item);

class UserListDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
