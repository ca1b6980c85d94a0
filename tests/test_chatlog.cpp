#include <QAccessibleTextInterface>
#include <QClipboard>
#include <QMenu>
#include <QScrollBar>
#include <QtTest>

#include "chat/chatlog.h"
#include "log/logaccessible.h"
#include "support/testapp.h"

namespace {

const QColor ordinary(200, 200, 200);

struct Log {
    LogView view;
    explicit Log(int entries = 0)
    {
        view.resize(481, 385);
        ConfigureChatLog(view);
        for (int i = 0; i < entries; ++i)
            AddChat(view, QString("entry %1").arg(i), "White");
        view.show();
        if (!QTest::qWaitForWindowExposed(&view))
            qFatal("the log was not shown");
    }
    // Key sequences ("Ctrl+Home Shift+Right"), "Click:N" at offset N, "bar" (a page
    // up on the scroll bar), "clear".
    void act(const QString& actions)
    {
        for (const QString& a : actions.split(' ', Qt::SkipEmptyParts)) {
            const QKeyCombination k = QKeySequence::fromString(a)[0];
            if (a.startsWith("Click:"))
                QTest::mouseClick(view.viewport(), Qt::LeftButton, {}, at(a.mid(6).toULong()));
            else if (a == "bar")
                view.verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
            else if (a == "clear")
                view.clear();
            else
                QTest::keyClick(&view, k.key(), k.keyboardModifiers());
        }
    }
    QPoint at(quint64 offset) const { return view.characterRect(offset).center(); }
    QAccessibleInterface* accessible() { return QAccessible::queryAccessibleInterface(&view); }
    bool atEnd() const
    {
        return view.verticalScrollBar()->value() == view.verticalScrollBar()->maximum();
    }
    // The colours painted in the rows of two offsets, and where their ink ends.
    std::pair<QSet<QRgb>, qreal> ink(quint64 from, quint64 to)
    {
        const QImage image = view.viewport()->grab().toImage();
        const qreal scale = image.devicePixelRatio();
        const QRect rows = view.characterRect(from).united(view.characterRect(to));
        std::pair<QSet<QRgb>, qreal> seen{{}, -1};
        for (int y = int(rows.top() * scale); y < int(rows.bottom() * scale); ++y)
            for (int x = 0; x < image.width(); ++x) {
                seen.first << image.pixel(x, y);
                if (qGray(image.pixel(x, y)) > 0)
                    seen.second = std::max(seen.second, x / scale);
            }
        return seen;
    }
};

} // namespace

class TestChatLog : public QObject {
    Q_OBJECT
private slots:
    // Each entry reads back literally below the one before and is painted in its
    // colour: one of the six names matched exactly, else the ordinary colour.
    // Assistive technology meets read-only multi-line text and reads an entry as
    // one run, its break included, in the form Qt's text views give (which
    // leave the ordinary colour out).
    void entriesShowAsTheyCame_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colour");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QColor>("painted");
        auto row = [](const char* name, const QString& text, const QString& colour,
                      const QString& shown, const QColor& painted) {
            QTest::newRow(name) << text << colour << shown << painted;
        };
        const QColor red(255, 0, 0), blue(0, 0, 255);
        row("Red", "hello", "Red", "hello", red);
        row("Green", "hello", "Green", "hello", QColor(0, 255, 0));
        row("White", "hello", "White", "hello", QColor(255, 255, 255));
        row("Yellow", "hello", "Yellow", "hello", QColor(255, 255, 0));
        row("Blue", "hello", "Blue", "hello", blue);
        row("Gray", "hello", "Gray", "hello", QColor(128, 128, 128));
        row("small letters", "hello", "red", "hello", ordinary);
        row("other spelling", "hello", "Grey", "hello", ordinary);
        row("empty text", "", "Red", "", red);
        row("markup", "<b>hi</b> &amp; <img src=x>", "Red", "<b>hi</b> &amp; <img src=x>", red);
        row("Latin-1", "caf\u00e9 \u00bf", "Red", "caf\u00e9 \u00bf", red);
        row("beyond Latin-1, as sent", "\u20ac\u65e5 hello", "Red", "?? hello", red);
        row("CR LF inside", "two\r\nlines", "Blue", "two\nlines", blue);
    }
    void entriesShowAsTheyCame()
    {
        QFETCH(QString, text);
        QFETCH(QString, colour);
        QFETCH(QString, shown);
        QFETCH(QColor, painted);
        Log log;
        const QColor first(0, 128, 255);
        AppendEntry(log.view, "first", first);
        AddChat(log.view, text, colour);
        QCOMPARE(log.view.toPlainText(), "first\n" + shown + "\n");

        // Full hinting puts whole pixels of the pen's colour in the stems.
        QFont font = log.view.font();
        font.setHintingPreference(QFont::PreferFullHinting);
        log.view.setFont(font);
        const QSet<QRgb> above = log.ink(0, 4).first;
        QVERIFY(above.contains(first.rgb()) && !above.contains(painted.rgb()));
        const quint64 count = log.view.characterCount();
        QVERIFY(log.ink(6, count - 1).first.contains(painted.rgb()) || text.isEmpty());

        const QAccessible::State state = log.accessible()->state();
        QVERIFY(log.accessible()->role() == QAccessible::EditableText && state.readOnly &&
                state.multiLine && !state.editable);
        int start = 0, end = 0;
        const QString attributes = log.accessible()->textInterface()->attributes(6, &start, &end);
        QCOMPARE(std::pair(start, end), std::pair(6, int(count)));
        const QString form("font-family:\"%1\";font-size:%2pt;font-weight:normal;font-style:normal;"
                           "text-position:baseline;%3text-align:left;");
        const QString rgb = QString::asprintf("color:rgb(%d,%d,%d);", painted.red(),
                                              painted.green(), painted.blue());
        QCOMPARE(attributes, form.arg(font.family(), QString::number(font.pointSize()),
                                      painted == ordinary ? QString() : rgb));
    }

    // Whatever the operator did, the entry goes to the end and the caret then
    // stands behind it; only a caret (or selection start) at 0 counts as the start.
    void caretRule_data()
    {
        QTest::addColumn<QString>("actions");
        QTest::addColumn<bool>("atStart");
        QTest::newRow("after an entry") << "" << false;
        QTest::newRow("clicked in the middle") << "Click:12" << false;
        QTest::newRow("clicked before the first character") << "Click:0" << true;
        QTest::newRow("Ctrl+Home") << "Ctrl+Home" << true;
        QTest::newRow("selected from the start") << "Ctrl+Home Shift+Down" << true;
        QTest::newRow("selected in the middle") << "Click:12 Shift+Left" << false;
        QTest::newRow("everything selected") << "Ctrl+A" << true;
        QTest::newRow("emptied") << "Click:12 clear" << true;
    }
    void caretRule()
    {
        QFETCH(QString, actions);
        QFETCH(bool, atStart);
        Log log(3);
        log.act(actions);
        const QStringList before = LogLines(log.view);
        QCOMPARE(CaretAtStart(log.view), atStart);

        AddChat(log.view, "new", "Red");
        QCOMPARE(LogLines(log.view), before + QStringList{"new"});
        QVERIFY(!log.view.hasSelection());
        QCOMPARE(log.accessible()->textInterface()->cursorPosition(),
                 int(log.view.characterCount()));
    }

    // A log filled before it is first shown (a tab not yet opened) shows its end.
    // The view follows new entries until the operator scrolls up, however he
    // does it, and again once he is back at the end or the log was emptied.
    void followsUnlessScrolledUp_data()
    {
        QTest::addColumn<QString>("moves"); // up, then down
        QTest::newRow("keys") << "PgUp|Ctrl+End";
        QTest::newRow("to the top and back") << "Ctrl+Home|PgDown Ctrl+End";
        QTest::newRow("scroll bar, emptied") << "bar|clear";
    }
    void followsUnlessScrolledUp()
    {
        QFETCH(QString, moves);
        Log log(200);
        QVERIFY(log.atEnd() && log.view.verticalScrollBar()->maximum() > 100);
        log.act(moves.section('|', 0, 0));
        const int reading = log.view.verticalScrollBar()->value();
        for (int i = 0; i < 30; ++i)
            AddChat(log.view, "while reading", "Red");
        QVERIFY(!log.atEnd());
        QCOMPARE(log.view.verticalScrollBar()->value(), reading);

        log.act(moves.section('|', 1));
        for (int i = 0; i < 200; ++i)
            AddChat(log.view, "back at the end", "Red");
        QVERIFY(log.atEnd());
    }

    // A screen reader hears an emptied log as removals from the start that add
    // up to the whole text, in pieces that do not grow with the log.
    void emptyingALargeLogIsAnnouncedInPieces()
    {
        Log log(200'000);
        const quint64 count = log.view.characterCount();
        static QList<std::pair<int, qsizetype>> removed;
        removed.clear();
        CatchLogEventsForTests([](QAccessibleEvent* e) {
            if (e->type() == QAccessible::TextRemoved)
                removed.append({static_cast<QAccessibleTextRemoveEvent*>(e)->changePosition(),
                                static_cast<QAccessibleTextRemoveEvent*>(e)->textRemoved().size()});
        });
        log.view.clear();
        CatchLogEventsForTests(nullptr);
        quint64 total = 0;
        for (const auto& [position, length] : removed) {
            QCOMPARE(position, 0);
            QVERIFY(length <= 1 << 16);
            total += quint64(length);
        }
        QCOMPARE(total, count);
    }

    // Exactly the selected characters, each entry's break as a line break.
    void copiesTheSelection()
    {
        Log log;
        for (const char* entry : {"alpha one", "beta two", "gamma three"})
            AddChat(log.view, entry, "White");
        QTest::mousePress(log.view.viewport(), Qt::LeftButton, {}, log.at(2));
        QTest::mouseMove(log.view.viewport(), log.at(22));
        QTest::mouseRelease(log.view.viewport(), Qt::LeftButton, {}, log.at(22));
        log.act("Ctrl+C");
        QCOMPARE(QGuiApplication::clipboard()->text(), "pha one\nbeta two\ngam");

        log.act("Ctrl+Home Right Right Shift+Down Shift+End");
        QTimer::singleShot(0, [] {
            if (auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget()))
                menu->actions().first()->trigger(), menu->close();
        });
        QContextMenuEvent e(QContextMenuEvent::Mouse, {5, 5}, log.view.mapToGlobal(QPoint()));
        QApplication::sendEvent(log.view.viewport(), &e);
        QCOMPARE(QGuiApplication::clipboard()->text(), "pha one\nbeta two");

        log.act("Ctrl+A Ctrl+C");
        QCOMPARE(QGuiApplication::clipboard()->text(), "alpha one\nbeta two\ngamma three\n");
    }

    // A double-click selects the word under the pointer, or only the blanks
    // when the pointer is on them, on either half of a character.
    void doubleClickSelectsWhatIsUnderThePointer()
    {
        Log log;
        QFont large = log.view.font();
        large.setPointSize(48); // halves wide enough to tell apart
        log.view.setFont(large);
        AddChat(log.view, "ab  cd", "White");
        const auto select = [&](quint64 offset, bool rightHalf) {
            const QRect r = log.view.characterRect(offset);
            const int quarter = r.width() / 4;
            const QPoint p(rightHalf ? r.right() - quarter : r.left() + quarter, r.center().y());
            QTest::mouseDClick(log.view.viewport(), Qt::LeftButton, {}, p);
            return log.view.selectedText();
        };
        for (bool rightHalf : {false, true}) {
            QCOMPARE(select(1, rightHalf), QString("ab"));
            QCOMPARE(select(2, rightHalf), QString("  "));
            QCOMPARE(select(4, rightHalf), QString("cd"));
        }
    }

    // With times on, a new entry starts with its local time: a gray run of its
    // own, on the entry's first row only, then the entry in its colour. Copies
    // and assistive technology take the time as text; other entries keep their form.
    void timestamps()
    {
        Log log;
        AddChat(log.view, "before", "Red");
        SetEntryClockForTesting(QDateTime(QDate(2026, 12, 7), QTime(9, 5, 7)).toSecsSinceEpoch());
        log.view.setTimestamps(true);
        const QString text = QString("stamped ").repeated(20);
        AddChat(log.view, text, "Red");
        log.view.setTimestamps(false);
        AddChat(log.view, "after", "Red");
        SetEntryClockForTesting(-1);
        QCOMPARE(LogLines(log.view), QStringList({"before", "[09:05:07] " + text, "after"}));

        QFont font = log.view.font();
        font.setHintingPreference(QFont::PreferFullHinting);
        log.view.setFont(font);
        const QRgb gray = qRgb(128, 128, 128), red = qRgb(255, 0, 0);
        const int start = 7, end = start + 11 + int(text.size());
        const QSet<QRgb> firstRow = log.ink(start, start).first;
        QVERIFY(firstRow.contains(gray) && firstRow.contains(red));
        QVERIFY(!log.ink(end - 1, end - 1).first.contains(gray));

        QAccessibleTextInterface* t = log.accessible()->textInterface();
        int from = 0, to = 0;
        QVERIFY(t->attributes(start + 10, &from, &to).contains("color:rgb(128,128,128);"));
        QCOMPARE(std::pair(from, to), std::pair(start, start + 11));
        QVERIFY(t->attributes(start + 11, &from, &to).contains("color:rgb(255,0,0);"));
        QCOMPARE(std::pair(from, to), std::pair(start + 11, end + 1));

        log.act(QString("Click:%1 ").arg(start) + QString("Shift+Right ").repeated(15) + "Ctrl+C");
        QCOMPARE(QGuiApplication::clipboard()->text(), "[09:05:07] stam");
    }

    // Rows break after blanks; a word longer than a row breaks anywhere. Every
    // character stands inside the view, and the ink ends where the text is
    // measured to end (at QT_SCALE_FACTOR=2 too: CTest runs this twice).
    void wrapping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::newRow("words") << QString("AWAY To Tyvek WAVE tonight? ").repeated(12);
        QTest::newRow("one long word") << QString("W").repeated(200);
    }
    void wrapping()
    {
        QFETCH(QString, text);
        Log log;
        AddChat(log.view, text, "White");
        QAccessibleTextInterface* t = log.accessible()->textInterface();
        QStringList rows;
        for (int start = 0, end = 0; start < t->characterCount(); start = end) {
            rows << t->textAtOffset(start, QAccessible::LineBoundary, &start, &end);
            const int inked = int(QString(rows.last()).remove('\n').trimmed().size()) - 1;
            const QRect last = log.view.characterRect(quint64(start + inked));
            QVERIFY(last.right() < log.view.viewport()->width());
            QVERIFY(std::abs(log.ink(start, start).second - last.right()) <= 2);
        }
        QVERIFY(rows.size() > 2);
        QCOMPARE(rows.join(QString()), text + "\n");
        for (const QString& row : rows.mid(0, rows.size() - 1))
            QCOMPARE(row.endsWith(' '), text.contains(' '));
    }
};

QTEST_MAIN(TestChatLog)
#include "test_chatlog.moc"
