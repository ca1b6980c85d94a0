#include "userlist/pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <cmath>
#include <string_view>

namespace {

// A pixel font of our own for the badges' words: uppercase letters as whole
// pixels, five rows high, sharp at any scale and independent of installed fonts.
namespace pixelfont {

constexpr int kHeight = 5;

struct Glyph {
    char c;
    const char* rows[kHeight];
};

constexpr Glyph kGlyphs[] = {
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}},
    {'C', {".##", "#..", "#..", "#..", ".##"}},
    {'E', {"###", "#..", "##.", "#..", "###"}},
    {'H', {"#.#", "#.#", "###", "#.#", "#.#"}},
    {'L', {"#..", "#..", "#..", "#..", "###"}},
    {'N', {"#..#", "##.#", "#.##", "#..#", "#..#"}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}},
    {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'S', {".##", "#..", ".#.", "..#", "##."}},
    {'T', {"###", ".#.", ".#.", ".#.", ".#."}},
    {'W', {"#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'X', {"#.#", "#.#", ".#.", "#.#", "#.#"}},
    {'.', {".", ".", ".", ".", "#"}},
};

const Glyph* glyph(char c)
{
    for (const Glyph& g : kGlyphs)
        if (g.c == c)
            return &g;
    return nullptr;
}

int glyphWidth(const Glyph& g)
{
    return int(std::string_view(g.rows[0]).size());
}

// Width of a word: glyphs one pixel apart.
int width(std::string_view text)
{
    int w = 0;
    for (char c : text)
        if (const Glyph* g = glyph(c))
            w += glyphWidth(*g) + 1;
    return w > 0 ? w - 1 : 0;
}

void draw(QPainter& p, std::string_view text, int x, int y, const QColor& colour)
{
    for (char c : text) {
        const Glyph* g = glyph(c);
        if (!g)
            continue;
        for (int row = 0; row < kHeight; ++row)
            for (int col = 0; g->rows[row][col]; ++col)
                if (g->rows[row][col] == '#')
                    p.fillRect(QRect(x + col, y + row, 1, 1), colour);
        x += glyphWidth(*g) + 1;
    }
}

} // namespace pixelfont

// Pictures are drawn in logical pixels: whole-pixel rectangles stay sharp at
// any device pixel ratio, curves are antialiased vectors.
void px(QPainter& p, int x, int y, int w, int h, const QColor& c)
{
    p.fillRect(QRect(x, y, w, h), c);
}

// A badge: a rectangle with its corner pixels cut, a border and a lighter top edge.
void badge(QPainter& p, const QRect& r, const QColor& fill, const QColor& border)
{
    const int l = r.left(), t = r.top(), b = r.bottom();
    px(p, l + 1, t, r.width() - 2, r.height(), border);
    px(p, l, t + 1, r.width(), r.height() - 2, border);
    px(p, l + 1, t + 1, r.width() - 2, r.height() - 2, fill);
    px(p, l + 2, t + 1, r.width() - 4, 1, fill.lighter(135));
    px(p, l + 2, b - 1, r.width() - 4, 1, fill.darker(130));
}

// Words centred on a row band of the picture.
void word(QPainter& p, std::string_view text, const QRect& within, const QColor& c)
{
    const int w = pixelfont::width(text);
    const int x = within.left() + (within.width() - w + 1) / 2;
    const int y = within.top() + (within.height() - pixelfont::kHeight + 1) / 2;
    pixelfont::draw(p, text, x, y, c);
}

void disc(QPainter& p, QPointF centre, qreal radius, const QColor& fill)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    p.drawEllipse(centre, radius, radius);
    p.restore();
}

// The round game logo: a crimson disc in a gold ring, a flame at its heart.
void roundLogo(QPainter& p, QPointF c, qreal r)
{
    disc(p, c, r, QColor(214, 168, 60));
    disc(p, c, r - r / 6.0 - 0.5, QColor(140, 18, 24));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    QPainterPath flame;
    const qreal s = r / 6.0;
    flame.moveTo(c.x(), c.y() - 3.6 * s);
    flame.cubicTo(c.x() + 2.8 * s, c.y() - 0.5 * s, c.x() + 2.6 * s, c.y() + 3.0 * s, c.x(),
                  c.y() + 3.2 * s);
    flame.cubicTo(c.x() - 2.6 * s, c.y() + 3.0 * s, c.x() - 2.8 * s, c.y() - 0.5 * s, c.x(),
                  c.y() - 3.6 * s);
    p.setBrush(QColor(255, 190, 60));
    p.drawPath(flame);
    p.setBrush(QColor(255, 240, 170));
    p.drawEllipse(QPointF(c.x(), c.y() + 1.2 * s), 1.1 * s, 1.5 * s);
    p.restore();
}

void roundLogoPicture(QPainter& p)
{
    roundLogo(p, QPointF(14, 7), 6.5);
}

void chatBadge(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 14), QColor(24, 120, 72), QColor(120, 220, 150));
    word(p, "CHAT", QRect(0, 0, 28, 14), Qt::white);
}

void swareBadge(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 14), QColor(70, 70, 150), QColor(160, 160, 240));
    word(p, "SWARE", QRect(0, 0, 28, 14), QColor(255, 230, 120));
}

void starxBadge(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 14), QColor(20, 28, 70), QColor(110, 140, 230));
    const int w = pixelfont::width("STARX");
    const int x = (28 - w + 1) / 2;
    pixelfont::draw(p, "STAR", x, 5, QColor(230, 236, 255));
    pixelfont::draw(p, "X", x + pixelfont::width("STAR") + 1, 5, QColor(255, 80, 70));
}

void scBadge(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 14), QColor(30, 50, 110), QColor(140, 190, 255));
    word(p, "S.C.", QRect(0, 0, 28, 14), QColor(170, 220, 255));
}

void gavel(QPainter& p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    // Sound block.
    p.setBrush(QColor(120, 74, 34));
    p.drawRoundedRect(QRectF(1.5, 11, 12, 3), 1, 1);
    p.setBrush(QColor(170, 112, 56));
    p.drawRect(QRectF(2.5, 11, 10, 1));
    // Handle, then the head across its end, striking the block.
    p.translate(9.0, 6.0);
    p.rotate(20);
    p.setBrush(QColor(160, 100, 44));
    p.drawRoundedRect(QRectF(0, -1, 16, 2), 1, 1);
    p.setBrush(QColor(214, 150, 70));
    p.drawRoundedRect(QRectF(-2.5, -5, 5, 10), 1.5, 1.5);
    p.setBrush(QColor(240, 200, 120));
    p.drawRect(QRectF(-2.5, -4, 5, 1.2));
    p.drawRect(QRectF(-2.5, 2.8, 5, 1.2));
    p.restore();
}

void swLogoBadge(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 14), QColor(60, 60, 72), QColor(170, 170, 190));
    roundLogo(p, QPointF(9.0, 7.0), 5.0);
    pixelfont::draw(p, "SW", 16, 5, QColor(255, 230, 120));
}

void serviceLogo(QPainter& p)
{
    // A globe on a dark field, its meridians in light blue.
    const QPointF c(14, 7);
    disc(p, c, 6.5, QColor(160, 210, 255));
    disc(p, c, 5.5, QColor(24, 70, 160));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(160, 210, 255), 1));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(c, 2.5, 5.5);
    p.drawLine(QPointF(8.5, 7), QPointF(19.5, 7));
    p.drawLine(QPointF(14, 1.5), QPointF(14, 12.5));
    p.restore();
    px(p, 3, 6, 3, 2, QColor(160, 210, 255));
    px(p, 22, 6, 3, 2, QColor(160, 210, 255));
}

void redCross(QPainter& p)
{
    badge(p, QRect(6, 0, 16, 13), QColor(245, 245, 245), QColor(190, 190, 190));
    px(p, 12, 2, 4, 9, QColor(220, 30, 30));
    px(p, 9, 5, 10, 3, QColor(220, 30, 30));
}

void leaguePlayer(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 13), QColor(80, 40, 120), QColor(200, 160, 240));
    const QColor gold(240, 196, 60);
    // A cup: bowl, handles, stem and foot.
    px(p, 4, 3, 7, 3, gold);
    px(p, 5, 6, 5, 1, gold);
    px(p, 6, 7, 3, 1, gold);
    px(p, 7, 8, 1, 1, gold);
    px(p, 5, 9, 5, 1, gold);
    px(p, 3, 3, 1, 2, gold);
    px(p, 11, 3, 1, 2, gold);
    px(p, 6, 3, 1, 2, QColor(255, 240, 170));
    pixelfont::draw(p, "PL", 15, 4, Qt::white);
}

void netBadge(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 14), QColor(10, 80, 90), QColor(60, 200, 210));
    word(p, "NET", QRect(0, 0, 28, 14), QColor(200, 255, 255));
}

void leagueOfficial(QPainter& p)
{
    badge(p, QRect(0, 0, 28, 13), QColor(235, 235, 235), QColor(120, 120, 120));
    for (int x = 3; x < 25; x += 4)
        px(p, x, 1, 2, 11, QColor(30, 30, 30));
    // A gold star on a dark disc in the middle.
    disc(p, QPointF(14, 6.5), 5, QColor(30, 30, 30));
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(250, 204, 60));
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const qreal a = -M_PI / 2 + i * M_PI / 5;
        const qreal r = i % 2 ? 1.7 : 4.2;
        star << QPointF(14 + r * std::cos(a), 6.8 + r * std::sin(a));
    }
    p.drawPolygon(star);
    p.restore();
}

void megaphone(QPainter& p)
{
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(230, 90, 40));
    QPolygonF cone;
    cone << QPointF(5, 5) << QPointF(16, 1) << QPointF(16, 13) << QPointF(5, 9);
    p.drawPolygon(cone);
    p.setBrush(QColor(250, 160, 90));
    p.drawPolygon(QPolygonF() << QPointF(5, 5) << QPointF(16, 1) << QPointF(16, 4)
                              << QPointF(5, 6.5));
    p.setBrush(QColor(200, 200, 200));
    p.drawRect(QRectF(2, 5, 3, 4));
    p.setBrush(QColor(140, 60, 30));
    p.drawRect(QRectF(7, 8.5, 2, 4));
    p.setPen(QPen(QColor(255, 230, 120), 1.2));
    p.setBrush(Qt::NoBrush);
    p.drawArc(QRectF(14, 3, 6, 8), -60 * 16, 120 * 16);
    p.drawArc(QRectF(15, 0.5, 10, 13), -60 * 16, 120 * 16);
    p.restore();
}

QSize pictureSize(int k)
{
    return {28, (k == 8 || k == 9 || k == 11) ? 13 : 14};
}

} // namespace

QPixmap ProductPicture(int k, qreal devicePixelRatio)
{
    if (k < 0 || k >= ProductPictureCount)
        return {};
    const QSize size = pictureSize(k);
    QPixmap pm(size * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    // Opaque on the lists' black, so that drawing a picture copies it.
    pm.fill(Qt::black);
    QPainter p(&pm);
    using Draw = void (*)(QPainter&);
    static constexpr Draw pictures[ProductPictureCount] = {
        chatBadge, swareBadge,     roundLogoPicture, starxBadge, scBadge,
        gavel,     swLogoBadge,    serviceLogo,      redCross,   leaguePlayer,
        netBadge,  leagueOfficial, megaphone};
    pictures[k](p);
    return pm;
}

namespace {

const QColor kTeal(0, 192, 192);
const QColor kIconField(16, 20, 28);

// The window icon: ten dots, four rows of 4, 3, 2 and 1, for ten bots, in a
// teal speech bubble on a dark field. Drawn on a 32-unit grid.
void drawWindowIcon(QPainter& p, int size)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(size / 32.0, size / 32.0);
    p.setPen(Qt::NoPen);
    p.setBrush(kIconField);
    p.drawRoundedRect(QRectF(0.5, 0.5, 31, 31), 6, 6);

    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(3, 3, 26, 20), 5, 5);
    QPolygonF tail;
    tail << QPointF(8, 21) << QPointF(16, 21) << QPointF(6, 29);
    bubble.addPolygon(tail);
    bubble.setFillRule(Qt::WindingFill);
    p.setBrush(kTeal);
    p.drawPath(bubble.simplified());

    p.setBrush(kIconField);
    for (int row = 0; row < 4; ++row) {
        const int dots = 4 - row;
        for (int i = 0; i < dots; ++i)
            p.drawEllipse(QPointF(16 - (dots - 1) * 2.6 + i * 5.2, 7 + row * 4.3), 1.8, 1.8);
    }
}

// At 16 pixels the bubble, without its tail, fills the icon: whole pixels, the
// dots on a 4-pixel pitch so that every row is centred.
void drawSmallWindowIcon(QPainter& p)
{
    p.fillRect(QRect(1, 0, 14, 16), kTeal);
    p.fillRect(QRect(0, 1, 16, 14), kTeal);
    for (int row = 0; row < 4; ++row)
        for (int i = 0; i < 4 - row; ++i)
            p.fillRect(QRect(1 + 2 * row + 4 * i, 2 + 3 * row, 2, 2), kIconField);
}

} // namespace

QPixmap WindowIconPixmap(int size, qreal devicePixelRatio)
{
    QPixmap pm(QSize(size, size) * devicePixelRatio);
    pm.setDevicePixelRatio(devicePixelRatio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    if (size == 16 && devicePixelRatio == 1.0)
        drawSmallWindowIcon(p);
    else
        drawWindowIcon(p, size);
    return pm;
}

QIcon WindowIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256})
        icon.addPixmap(WindowIconPixmap(size));
    return icon;
}
