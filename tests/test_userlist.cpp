// A bot's user list as the operator sees it: server lines in, names and
// pictures painted.
#include <QPainter>
#include <QtTest>

#include "app/tabstrip.h"
#include "bots/parser.h"
#include "support/testapp.h"
#include "userlist/drawing.h"
#include "userlist/pictures.h"

namespace {

const QColor kTeal(0, 192, 192), kCyan(0, 255, 255), kInvertedCyan(255, 0, 0);

// A pixel that tells each picture a list can show from the others, in the
// picture's block; -1 is the dotted box of an unknown product.
struct Pin {
    QPoint at;
    QColor colour;
};
const QMap<int, Pin> kPins = {
    {-1, {{0, 0}, Qt::white}},
    {0, {{1, 0}, QColor(120, 220, 150)}},
    {1, {{1, 0}, QColor(160, 160, 240)}},
    {2, {{14, 1}, QColor(214, 168, 60)}},
    {3, {{1, 0}, QColor(110, 140, 230)}},
    {4, {{1, 0}, QColor(140, 190, 255)}},
    {5, {{5, 12}, QColor(120, 74, 34)}},
    {6, {{1, 0}, QColor(170, 170, 190)}},
};

// How many pixels of `area` are `is`.
int count(const QImage& img, const QRect& area, auto is)
{
    int n = 0;
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            n += is(img.pixelColor(x, y));
    return n;
}

} // namespace

class TestUserList : public QObject {
    Q_OBJECT
    TempSettings settings;
    std::unique_ptr<frmMain> w;
    QListWidget* list = nullptr;

    void feed(const QList<QByteArray>& lines)
    {
        for (const QByteArray& line : lines)
            ParseLine(*w, 0, line.toStdString());
    }
    QImage grab() const
    {
        list->doItemsLayout(); // else laid out later, from the event loop
        return list->viewport()->grab().toImage();
    }

private slots:
    void initTestCase()
    {
        w = std::make_unique<frmMain>(settings.path());
        w->show();
        w->SSTab1->setCurrentIndex(1);
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        list = w->UserList[0];
    }
    void init() { list->clear(); }

    // The gavel for an operator whatever the product, else the product's own
    // picture from the tag that ends the line, else none.
    void pictureOfAUser_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("picture");
        QTest::addColumn<QString>("name");
        const auto row = [](const char* tag, const char* line, int picture,
                            const QString& name = "Scout") {
            QTest::newRow(tag) << QByteArray(line) << picture << name;
        };
        row("chat", "1001 USER Scout 0010 [CHAT]", 0);
        row("sshr", "1002 JOIN Scout 0000 [SSHR]", 1);
        row("drtl", "1001 USER Scout 0010 [DRTL]", 2);
        row("sexp", "1002 JOIN Scout 0010 [SEXP]", 3);
        row("star", "1001 USER Scout 0000 [STAR]", 4);
        row("dshr", "1002 JOIN Scout 0010 [DSHR]", 6);
        row("operator", "1002 JOIN Scout 0002 [STAR]", 5);
        row("operator, other bits", "1001 USER Scout 0012 [OTHR]", 5);
        row("operator, no tag", "1001 USER Scout 0006", 5);
        row("unknown product", "1001 USER Scout 0010 [OTHR]", -1);
        row("tag not last", "1001 USER Scout 0010 [CHAT] ", -1);
        row("tag in small letters", "1001 USER Scout 0010 [chat]", -1);
        row("flags not hexadecimal", "1001 USER Scout 00x2 [STAR]", 4);
        row("operator bit in the name", "1001 USER x0002 0010 [CHAT]", 0, "x0002");
        row("Latin-1 name", "1001 USER caf\xe9 0010 [CHAT]", 0, QString::fromLatin1("caf\xe9"));
    }
    void pictureOfAUser()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, picture);
        QFETCH(QString, name);
        feed({line});
        QCOMPARE(ListNames(*list), QStringList{name});
        const Pin pin = kPins[picture];
        QCOMPARE(grab().pixelColor(pin.at + QPoint(0, 2)), pin.colour);
    }

    // A leave line removes every item of its name, and only those; a line
    // cut short changes nothing.
    void leaving()
    {
        feed({"1001 USER Scout", "1001 USER a 0010 [CHAT]", "1001 USER b 0000 [CHAT]",
              "1002 JOIN a 0012 [STAR]", "1002 JOIN ab 0010 [DRTL]", "1002 JOIN a0010 0010 [DSHR]",
              "1003 LEAVE a 0010", "1003 LEAVE", "1003 LEAVE zed 0010"});
        QCOMPARE(ListNames(*list), (QStringList{"b", "ab", "a0010"}));
        const QImage img = grab();
        QCOMPARE(img.pixelColor(kPins[2].at + QPoint(0, 16 + 2)), kPins[2].colour);
        feed({"1003 LEAVE ab"});
        QCOMPARE(ListNames(*list), (QStringList{"b", "a0010"}));
    }

    // Teal names on black, the selected one black on a cyan band that spans
    // the list; names start right of the pictures and are cut at the edge.
    void bandsNamesAndFocus()
    {
        feed({"1001 USER MMMM 0010 [CHAT]", "1001 USER MMMM 0010 [CHAT]",
              "1001 USER " + QByteArray(60, 'W') + " 0010 [CHAT]"});
        list->setCurrentRow(1);
        w->setFocus();
        QImage img = grab();
        const int right = img.width() - 1;
        const QRect names(40, 0, right - 39, 16);
        const auto ink = [](QColor c) { return c != Qt::black; };
        QCOMPARE(img.pixelColor(right, 8), QColor(Qt::black));
        QCOMPARE(img.pixelColor(right, 16 + 8), kCyan);
        QCOMPARE(count(img, QRect(28, 0, 12, 16), ink), 0);
        QVERIFY(count(img, names, [](QColor c) { return c == kTeal; }) > 0);
        QCOMPARE(count(img, names, [](QColor c) { return c.red() || c.green() != c.blue(); }), 0);
        QVERIFY(count(img, names.translated(0, 16), [](QColor c) { return c.value() < 64; }) > 5);
        // Cut at the edge: a letter's top shows there, not the dots of an ellipsis.
        QVERIFY(count(img, QRect(right - 5, 32, 6, 8), ink) > 0);
        QCOMPARE(img.pixelColor(150, 16), kCyan);

        list->setFocus();
        QTRY_VERIFY(list->hasFocus());
        img = grab();
        QCOMPARE(img.pixelColor(150, 16), kInvertedCyan);
        QCOMPARE(img.pixelColor(151, 16), kCyan);
    }

    // On a scaled screen a picture is drawn at the screen's resolution.
    void sharpOnScaledScreens()
    {
        QImage img(QSize(100, 16) * 2, QImage::Format_ARGB32_Premultiplied);
        img.setDevicePixelRatio(2);
        UserItemLook look;
        look.rect = QRect(0, 0, 100, 16);
        look.index = 0;
        look.icon = 5;
        QPainter p(&img);
        DrawItem(p, look);
        p.end();
        QImage block = img.copy(QRect(0, 4, 56, 28));
        QCOMPARE(block, ProductPicture(5, 2).toImage().convertToFormat(block.format()));
    }
};

QTEST_MAIN(TestUserList)
#include "test_userlist.moc"
