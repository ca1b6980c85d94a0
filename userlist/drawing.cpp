// PLACEHOLDER: replaced by the user list drawing implementation.
#include "userlist/drawing.h"
void DrawItem(QPainter&, const UserItemLook&) {}
void UserListDelegate::paint(QPainter* p, const QStyleOptionViewItem& o, const QModelIndex& i) const { QStyledItemDelegate::paint(p, o, i); }
QSize UserListDelegate::sizeHint(const QStyleOptionViewItem& o, const QModelIndex& i) const { return QStyledItemDelegate::sizeHint(o, i); }
