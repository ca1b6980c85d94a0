#include <QListWidget>
#include <QPainter>
#include <QtTest>

#include "bots/protocol.h"
#include "userlist/drawing.h"
#include "userlist/pictures.h"
#include "userlist/userlist.h"

namespace {

const QColor kMarker(255, 0, 255); // never painted by an item: shows what was left alone
const QColor kCyan(0, 255, 255);
const QColor kInvertedCyan(255, 0, 0);
const QColor kTeal(0, 192, 192);
constexpr int kTop = 16;

QImage canvas(int width = 185, qreal dpr = 1.0)
{
    QImage img(QSize(width, 48) * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(kMarker);
    return img;
}

UserItemLook item(int icon = 0, bool selected = false, bool focus = false, const QString& text = {})
{
    UserItemLook look;
    look.rect = QRect(0, kTop, 185, 16);
    look.selected = selected;
    look.listHasFocus = focus;
    look.index = 1;
    look.text = text;
    look.icon = icon;
    look.textColour = kTeal;
    look.lineColour = Qt::red;
    return look;
}

void paint(QImage& img, const UserItemLook& look)
{
    QPainter p(&img);
    QFont font("DejaVu Sans");
    font.setPixelSize(11);
    font.setStyleStrategy(QFont::NoAntialias);
    p.setFont(font);
    DrawItem(p, look);
}

QColor at(const QImage& img, int x, int y)
{
    return img.pixelColor(x, y);
}

// Rows of other items are never touched.
bool onlyItemRows(const QImage& img)
{
    for (int y : {0, kTop - 1, kTop + 16, 47})
        for (int x = 0; x < img.width(); ++x)
            if (at(img, x, y) != kMarker)
                return false;
    return true;
}

// The picture as it must show in a list: 28 x 14, a missing last row black.
QImage expectedBlock(int k, qreal dpr)
{
    QImage block(QSize(28, 14) * dpr, QImage::Format_ARGB32_Premultiplied);
    block.fill(Qt::black);
    QPainter p(&block);
    QImage picture = ProductPicture(k, dpr).toImage();
    picture.setDevicePixelRatio(1);
    p.drawImage(0, 0, picture);
    return block;
}

} // namespace

class TestDrawing : public QObject {
    Q_OBJECT
private slots:
    void band_data()
    {
        QTest::addColumn<bool>("selected");
        QTest::addColumn<bool>("focus");
        QTest::addColumn<int>("index");
        QTest::addColumn<QColor>("band");
        QTest::addColumn<QColor>("corner");
        QTest::newRow("unselected")
            << false << false << 1 << QColor(Qt::black) << QColor(Qt::black);
        QTest::newRow("unselected with focus")
            << false << true << 1 << QColor(Qt::black) << QColor(Qt::black);
        QTest::newRow("selected") << true << false << 1 << kCyan << kCyan;
        QTest::newRow("selected with focus") << true << true << 1 << kCyan << kInvertedCyan;
        QTest::newRow("no item, focused") << true << true << -1 << kCyan << kInvertedCyan;
    }
    void band()
    {
        QFETCH(bool, selected);
        QFETCH(bool, focus);
        QFETCH(int, index);
        QFETCH(QColor, band);
        QFETCH(QColor, corner);
        QImage img = canvas();
        UserItemLook look = item(0, selected, focus);
        look.index = index;
        paint(img, look);
        QVERIFY(onlyItemRows(img));
        QCOMPARE(at(img, 100, kTop + 8), band);
        QCOMPARE(at(img, 184, kTop + 1), band);
        // The outline: every other pixel of the edge, starting at the corner.
        QCOMPARE(at(img, 0, kTop), corner);
        QCOMPARE(at(img, 1, kTop), band);
        QCOMPARE(at(img, 2, kTop), corner);
        QCOMPARE(at(img, 184, kTop + 1), band);
        QCOMPARE(at(img, 184, kTop + 2), corner);
        QCOMPARE(at(img, 101, kTop + 15), corner);
        QCOMPARE(at(img, 100, kTop + 15), band);
        // Without an item nothing follows the band; with one, the picture.
        const QColor inBlock = at(img, 5, kTop + 8);
        QCOMPARE(inBlock == band, index == -1);
    }

    void pictureBlock_data()
    {
        QTest::addColumn<int>("k");
        QTest::addColumn<qreal>("dpr");
        for (int k = 0; k < ProductPictureCount; ++k) {
            QTest::addRow("picture %d", k) << k << 1.0;
            QTest::addRow("picture %d at 2x", k) << k << 2.0;
        }
    }
    void pictureBlock()
    {
        QFETCH(int, k);
        QFETCH(qreal, dpr);
        for (bool selected : {false, true}) {
            QImage img = canvas(185, dpr);
            paint(img, item(k, selected));
            QImage block = img.copy(QRect(QPoint(0, kTop + 2) * dpr, QSize(28, 14) * dpr));
            block.setDevicePixelRatio(1);
            QCOMPARE(block, expectedBlock(k, dpr));
            const QColor band = selected ? kCyan : QColor(Qt::black);
            QCOMPARE(at(img, 10 * dpr, (kTop + 1) * dpr), band);
            QCOMPARE(at(img, 28 * dpr, (kTop + 8) * dpr), band);
        }
    }

    void dottedBoxForNoPicture_data()
    {
        QTest::addColumn<int>("icon");
        QTest::newRow("-1") << -1;
        QTest::newRow("past the set") << ProductPictureCount;
    }
    void dottedBoxForNoPicture()
    {
        QFETCH(int, icon);
        QImage img = canvas();
        paint(img, item(icon));
        QVERIFY(onlyItemRows(img));
        const int top = kTop + 2, bottom = kTop + 15;
        for (int y = top; y <= bottom; ++y)
            for (int x = 0; x < 30; ++x) {
                const bool edge = (x == 0 || x == 27 || y == top || y == bottom) && x < 28;
                const bool dot = edge && (x + y - top) % 2 == 0;
                QCOMPARE(at(img, x, y), dot ? QColor(Qt::white) : QColor(Qt::black));
            }
    }

    void longNameClipped()
    {
        QImage img = canvas();
        UserItemLook look = item(0, false, false, QString(80, 'W') + " second line");
        look.rect.setWidth(120);
        paint(img, look);
        QVERIFY(onlyItemRows(img));
        int teal = 0, rightmost = 0;
        for (int y = kTop; y < kTop + 16; ++y) {
            for (int x = 0; x < img.width(); ++x) {
                if (x >= 120)
                    QCOMPARE(at(img, x, y), kMarker);
                else if (at(img, x, y) == kTeal) {
                    QVERIFY(x >= 40);
                    ++teal;
                    rightmost = qMax(rightmost, x);
                }
            }
        }
        QVERIFY(teal > 20);
        QVERIFY(rightmost >= 115); // cut at the edge, not elided or wrapped short of it
    }

    void nameReadableOnTheBand()
    {
        for (bool selected : {false, true}) {
            QImage img = canvas();
            paint(img, item(0, selected, false, "MMMM"));
            const QColor ink = selected ? QColor(Qt::black) : kTeal;
            int inked = 0;
            for (int y = kTop; y < kTop + 16; ++y)
                for (int x = 40; x < 100; ++x)
                    inked += at(img, x, y) == ink;
            QVERIFY2(inked > 20, selected ? "selected" : "unselected");
        }
    }

    void topLine()
    {
        QImage img = canvas();
        UserItemLook look = item(0);
        look.topLine = true;
        paint(img, look);
        for (int x : {0, 27, 40, 184})
            QCOMPARE(at(img, x, kTop), QColor(Qt::red));
        QCOMPARE(at(img, 100, kTop + 1), QColor(Qt::black));
    }

    void pictureSizes()
    {
        QSet<QByteArray> distinct;
        for (int k = 0; k < ProductPictureCount; ++k) {
            const QSize size(28, (k == 8 || k == 9 || k == 11) ? 13 : 14);
            QCOMPARE(ProductPictureSize(k), size);
            const QPixmap one = ProductPicture(k);
            QCOMPARE(one.deviceIndependentSize().toSize(), size);
            const QPixmap two = ProductPicture(k, 2);
            QCOMPARE(two.size(), size * 2);
            QCOMPARE(two.devicePixelRatio(), 2.0);
            const QImage img = one.toImage();
            for (int y = 0; y < img.height(); ++y)
                for (int x = 0; x < img.width(); ++x)
                    QCOMPARE(qAlpha(img.pixel(x, y)), 255);
            distinct.insert(
                QByteArray(reinterpret_cast<const char*>(img.constBits()), img.sizeInBytes()));
        }
        QCOMPARE(distinct.size(), ProductPictureCount);
        QVERIFY(ProductPicture(-1).isNull());
        QVERIFY(ProductPicture(ProductPictureCount).isNull());
    }

    // The lists paint through the delegate: bands, pictures and the outline
    // that follows the list's focus.
    void listPaintsItsItems()
    {
        QListWidget list;
        list.resize(185, 257);
        ConfigureUserList(list);
        for (const char* line : {"1001 USER Guard 0010 [CHAT]", "1001 USER Scout 0012 [STAR]",
                                 "1001 USER Odd 0010 [W2BN]"})
            AddUser(list, line, protocol::GetUserFlags(line));
        list.setCurrentRow(1);
        list.show();
        QVERIFY(QTest::qWaitForWindowActive(&list));

        QImage img = list.viewport()->grab().toImage();
        const int right = list.viewport()->width() - 1;
        QCOMPARE(at(img, right, 8), QColor(Qt::black));
        QCOMPARE(at(img, right - 1, 16 + 8), kCyan);
        QCOMPARE(img.copy(0, 2, 28, 14), expectedBlock(0, 1).convertToFormat(img.format()));
        QCOMPARE(img.copy(0, 18, 28, 14), expectedBlock(5, 1).convertToFormat(img.format()));
        QCOMPARE(at(img, 0, 34), QColor(Qt::white));
        QCOMPARE(at(img, 1, 34), QColor(Qt::black));

        list.setFocus();
        QTRY_VERIFY(list.hasFocus());
        img = list.viewport()->grab().toImage();
        QCOMPARE(at(img, 150, 16), kInvertedCyan);
        QCOMPARE(at(img, 151, 16), kCyan);
    }
};

QTEST_MAIN(TestDrawing)
#include "test_drawing.moc"
