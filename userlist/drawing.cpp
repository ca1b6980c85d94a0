#include "userlist/drawing.h"

#include <QGuiApplication>
#include <QPainter>
#include <QPixmapCache>
#include <QVector>

#include "userlist/pictures.h"
#include "userlist/userlist.h"

namespace {

const QColor kSelectedBand(0, 255, 255);
const QColor kSelectedText(0, 0, 0);
constexpr int kPictureWidth = 28;
constexpr int kPictureRows = 14;
constexpr int kPictureDrop = 2;
constexpr int kNameIndent = 40;

// The platform's focus outline: every other pixel along the edge of `r`
// inverted, so that drawing it twice removes it.
void invertDotted(QPainter& p, const QRect& r)
{
    if (r.isEmpty())
        return;
    QVector<QRect> dots;
    auto dot = [&](int x, int y) {
        if ((x - r.left() + y - r.top()) % 2 == 0)
            dots.append(QRect(x, y, 1, 1));
    };
    for (int x = r.left(); x <= r.right(); ++x) {
        dot(x, r.top());
        if (r.bottom() != r.top())
            dot(x, r.bottom());
    }
    for (int y = r.top() + 1; y < r.bottom(); ++y) {
        dot(r.left(), y);
        if (r.right() != r.left())
            dot(r.right(), y);
    }
    p.save();
    p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
    p.setPen(Qt::NoPen);
    p.setBrush(Qt::white);
    p.drawRects(dots);
    p.restore();
}

QPixmap picture(int k, qreal dpr)
{
    const QString key = QStringLiteral("tenfold-picture-%1@%2").arg(k).arg(dpr);
    QPixmap pm;
    if (!QPixmapCache::find(key, &pm)) {
        pm = ProductPicture(k, dpr);
        QPixmapCache::insert(key, pm);
    }
    return pm;
}

} // namespace

void DrawItem(QPainter& p, const UserItemLook& item)
{
    const QRect& r = item.rect;
    p.save();
    p.setRenderHint(QPainter::Antialiasing, false);
    // The icon column starts at x = 0 of the surface, whatever the item's left.
    const int columnLeft = qMin(0, r.left());
    p.setClipRect(QRect(columnLeft, r.top(), r.right() + 1 - columnLeft, r.height()),
                  Qt::IntersectClip);

    p.fillRect(r, item.selected ? kSelectedBand : QColor(Qt::black));
    if (item.listHasFocus && item.selected)
        invertDotted(p, r);
    if (item.index == -1) {
        p.restore();
        return;
    }

    if (item.topLine)
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), item.lineColour);

    const QRect block(0, r.top() + kPictureDrop, kPictureWidth, kPictureRows);
    if (item.icon >= 0 && item.icon < ProductPictureCount) {
        // A 13-row picture leaves the block's last row: it shows the list's black.
        p.fillRect(block, Qt::black);
        p.drawPixmap(block.topLeft(), picture(item.icon, p.device()->devicePixelRatioF()));
    } else {
        // As tall as the picture block, so the box stays inside its own item.
        invertDotted(p, QRect(0, r.top() + kPictureDrop, kPictureWidth,
                              qMin(kPictureRows, r.height() - kPictureDrop)));
    }

    const QRect nameRect = r.adjusted(kNameIndent, 0, 0, 0);
    if (nameRect.width() > 0) {
        p.setPen(item.selected ? kSelectedText : item.textColour);
        p.setClipRect(nameRect, Qt::IntersectClip);
        p.drawText(nameRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, item.text);
    }
    p.restore();
}

void UserListDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                             const QModelIndex& index) const
{
    UserItemLook look;
    look.rect = option.rect;
    look.selected = option.state & QStyle::State_Selected;
    look.listHasFocus = option.widget && option.widget->hasFocus();
    look.index = index.isValid() ? index.row() : -1;
    look.text = index.data(Qt::DisplayRole).toString();
    const QVariant icon = index.data(userlist::IconRole);
    look.icon = icon.isValid() ? icon.toInt() : -1;
    look.topLine = index.data(userlist::TopLineRole).toBool();
    look.textColour = option.palette.color(QPalette::Text);
    look.lineColour = QGuiApplication::palette().color(QPalette::WindowText);
    painter->setFont(option.font);
    DrawItem(*painter, look);
}

QSize UserListDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    // The list stretches items to its width; names are clipped, never measured.
    return {kNameIndent, userlist::ItemHeight};
}
