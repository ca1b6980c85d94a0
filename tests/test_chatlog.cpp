#include <QClipboard>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QtTest>

#include "chat/chatlog.h"

namespace {

// The colour a character was given; invalid when it has none of its own.
QColor colourOf(const QTextCharFormat& f)
{
    return f.hasProperty(QTextFormat::ForegroundBrush) ? f.foreground().color() : QColor();
}

// Entry n (one line of text): the colour of its first character and of its line break.
QColor firstCharColour(const QPlainTextEdit& log, int n)
{
    const QTextBlock block = log.document()->findBlockByNumber(n);
    if (block.begin() == block.end()) // an empty text: the break is the first character
        return colourOf(block.next().charFormat());
    return colourOf(block.begin().fragment().charFormat());
}
QColor lineBreakColour(const QPlainTextEdit& log, int n)
{
    // A block's own character format is that of the break ending the block before it.
    return colourOf(log.document()->findBlockByNumber(n + 1).charFormat());
}

int endOf(const QPlainTextEdit& log)
{
    return log.document()->characterCount() - 1;
}

struct Log {
    QPlainTextEdit view;
    Log()
    {
        view.resize(480, 385);
        ConfigureChatLog(view);
    }
};

} // namespace

class TestChatLog : public QObject {
    Q_OBJECT
private slots:
    void colourNames_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QColor>("colour");
        QTest::newRow("Red") << "Red" << QColor(255, 0, 0);
        QTest::newRow("Green") << "Green" << QColor(0, 255, 0);
        QTest::newRow("White") << "White" << QColor(255, 255, 255);
        QTest::newRow("Yellow") << "Yellow" << QColor(255, 255, 0);
        QTest::newRow("Blue") << "Blue" << QColor(0, 0, 255);
        QTest::newRow("Gray") << "Gray" << QColor(128, 128, 128);
        QTest::newRow("small letters") << "red" << QColor();
        QTest::newRow("capitals") << "GRAY" << QColor();
        QTest::newRow("other spelling") << "Grey" << QColor();
        QTest::newRow("trailing blank") << "Blue " << QColor();
        QTest::newRow("empty") << "" << QColor();
    }
    void colourNames()
    {
        QFETCH(QString, name);
        QFETCH(QColor, colour);
        QCOMPARE(ColourOf(name).value_or(QColor()), colour);
    }

    // Every entry reads back whole, as plain characters, in its one colour.
    void entryReadsBack_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("colour");
        QTest::newRow("plain") << "hello there"
                               << "Yellow";
        QTest::newRow("empty") << ""
                               << "Yellow";
        QTest::newRow("bold markup") << "<b>hi</b>"
                                     << "Red";
        QTest::newRow("entity") << "&amp; &lt;"
                                << "White";
        QTest::newRow("image markup") << "<img src=x>"
                                      << "Blue";
        QTest::newRow("angle brackets") << "a < b and c > d"
                                        << "Green";
        QTest::newRow("quotes") << "say \"hi\" and \"bye\""
                                << "Gray";
        QTest::newRow("high Latin-1") << QString::fromLatin1("caf\xe9 \xbf?") << "White";
    }
    void entryReadsBack()
    {
        QFETCH(QString, text);
        QFETCH(QString, colour);
        Log log;
        AddChat(log.view, text, colour);
        QCOMPARE(log.view.toPlainText(), text + "\n");
        QCOMPARE(log.view.document()->blockCount(), 2);
        QCOMPARE(firstCharColour(log.view, 0), *ColourOf(colour));
        QCOMPARE(lineBreakColour(log.view, 0), *ColourOf(colour));
    }

    void entriesKeepTheirOwnColours()
    {
        Log log;
        const QStringList names{"Red", "Green", "White", "Yellow", "Blue", "Gray"};
        for (const QString& name : names)
            AddChat(log.view, name + " entry", name);
        AddChat(log.view, "two\r\nlines", "Blue");
        QCOMPARE(log.view.toPlainText(),
                 "Red entry\nGreen entry\nWhite entry\nYellow entry\nBlue entry\nGray entry\n"
                 "two\nlines\n");
        for (int n = 0; n < names.size(); ++n) {
            QCOMPARE(firstCharColour(log.view, n), *ColourOf(names[n]));
            QCOMPARE(lineBreakColour(log.view, n), *ColourOf(names[n]));
        }
        for (int n : {6, 7}) {
            QCOMPARE(firstCharColour(log.view, n), QColor(0, 0, 255));
            QCOMPARE(lineBreakColour(log.view, n), QColor(0, 0, 255));
        }
    }

    // Wherever the operator left the caret or a selection, the entry goes to the
    // end, nothing is replaced, and the caret then stands behind the entry.
    void caretCases_data()
    {
        QTest::addColumn<int>("entries");
        QTest::addColumn<int>("anchor");
        QTest::addColumn<int>("position");
        QTest::addColumn<bool>("atStart");
        QTest::newRow("empty log") << 0 << 0 << 0 << true;
        QTest::newRow("caret at the end") << 3 << -1 << -1 << false;
        QTest::newRow("caret in the middle") << 3 << 5 << 5 << false;
        QTest::newRow("selection in the middle") << 3 << 4 << 9 << false;
        QTest::newRow("selection made backwards") << 3 << 9 << 4 << false;
        QTest::newRow("caret at 0") << 3 << 0 << 0 << true;
        QTest::newRow("selection from 0") << 3 << 0 << 7 << true;
        QTest::newRow("selection back to 0") << 3 << 7 << 0 << true;
        QTest::newRow("whole log selected") << 3 << 0 << -1 << true;
    }
    void caretCases()
    {
        QFETCH(int, entries);
        QFETCH(int, anchor);
        QFETCH(int, position);
        QFETCH(bool, atStart);
        Log log;
        for (int i = 0; i < entries; ++i)
            AddChat(log.view, QString("entry %1").arg(i), "White");
        const QString before = log.view.toPlainText();

        QTextCursor c = log.view.textCursor();
        c.setPosition(anchor < 0 ? endOf(log.view) : anchor);
        c.setPosition(position < 0 ? endOf(log.view) : position, QTextCursor::KeepAnchor);
        log.view.setTextCursor(c);
        QCOMPARE(CaretAtStart(log.view), atStart);

        AddChat(log.view, "new", "Red");
        QCOMPARE(log.view.toPlainText(), before + "new\n");
        QCOMPARE(firstCharColour(log.view, entries), QColor(255, 0, 0));
        QVERIFY(!log.view.textCursor().hasSelection());
        QCOMPARE(log.view.textCursor().position(), endOf(log.view));
        QVERIFY(!CaretAtStart(log.view));
    }

    // Text inserted at the caret after an entry has no colour of its own, and
    // a colour name outside the six still shows its entry, uncoloured.
    void ordinaryColour()
    {
        Log log;
        AddChat(log.view, "first", "Yellow");
        QVERIFY(!colourOf(log.view.textCursor().charFormat()).isValid());
        QTextCursor typed = log.view.textCursor();
        typed.insertText("x");
        QVERIFY(!colourOf(typed.charFormat()).isValid());

        AddChat(log.view, "second", "Purple");
        AppendEntry(log.view, "third", QColor());
        QCOMPARE(log.view.toPlainText(), "first\nxsecond\nthird\n");
        QVERIFY(!firstCharColour(log.view, 1).isValid());
        QVERIFY(!lineBreakColour(log.view, 1).isValid());
        QVERIFY(!firstCharColour(log.view, 2).isValid());
        QCOMPARE(firstCharColour(log.view, 0), QColor(255, 255, 0));
    }

    void operatorCanCopyButNotType()
    {
        Log log;
        log.view.show();
        QVERIFY(QTest::qWaitForWindowActive(&log.view));
        log.view.setFocus();
        AddChat(log.view, "visible text", "White");
        QTest::keyClicks(&log.view, "typed");
        QTest::keyClick(&log.view, Qt::Key_Backspace);
        QTest::keyClick(&log.view, Qt::Key_Return);
        QCOMPARE(log.view.toPlainText(), "visible text\n");

        QTest::keySequence(&log.view, QKeySequence::SelectAll);
        QTest::keySequence(&log.view, QKeySequence::Copy);
        QCOMPARE(QGuiApplication::clipboard()->text(), "visible text\n");
    }

    void followsOnlyWhileAtTheBottom()
    {
        Log log;
        log.view.show();
        QVERIFY(QTest::qWaitForWindowExposed(&log.view));
        QScrollBar* bar = log.view.verticalScrollBar();
        for (int i = 0; i < 200; ++i)
            AddChat(log.view, QString("line %1").arg(i), "White");
        QVERIFY(bar->maximum() > 50);
        QCOMPARE(bar->value(), bar->maximum());

        bar->setValue(20);
        for (int i = 0; i < 30; ++i)
            AddChat(log.view, "while reading", "Red");
        QCOMPARE(bar->value(), 20);
        QCOMPARE(log.view.textCursor().position(), endOf(log.view));

        bar->setValue(bar->maximum());
        AddChat(log.view, "back at the bottom", "Red");
        QCOMPARE(bar->value(), bar->maximum());
    }

    // Logging in empties the logs; the view keeps its set-up afterwards.
    void clearedLogStaysConfigured()
    {
        Log log;
        AddChat(log.view, "old", "Red");
        log.view.clear();
        QVERIFY(CaretAtStart(log.view));
        AddChat(log.view, "new", "Green");
        QCOMPARE(log.view.toPlainText(), "new\n");
        QCOMPARE(lineBreakColour(log.view, 0), QColor(0, 255, 0));
        QVERIFY(!log.view.document()->isUndoRedoEnabled());
    }
};

QTEST_MAIN(TestChatLog)
#include "test_chatlog.moc"
