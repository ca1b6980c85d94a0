// Find in a bot's log: the matches are those of the text the log shows, read
// from the store's chunks; the bar steps through them, counts them, marks
// them in the painted rows and gives the focus back when it closes.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QScrollBar>
#include <QToolButton>
#include <QtTest>

#include "app/tabstrip.h"
#include "chat/chatlog.h"
#include "log/logfind.h"
#include "support/testapp.h"

namespace {

// Where `needle` starts in `text`, overlaps included: the reference.
QList<quint64> reference(const QString& text, const QString& needle, Qt::CaseSensitivity cs)
{
    QList<quint64> at;
    for (qsizetype i = text.indexOf(needle, 0, cs); i >= 0; i = text.indexOf(needle, i + 1, cs))
        at << quint64(i);
    return at;
}

QString upperLatin1(const QString& s)
{
    QString out;
    for (QChar c : s)
        out += c.toUpper().unicode() < 0x100 && c.toUpper().unicode() != 0x178 ? c.toUpper() : c;
    return out;
}

// How many pixels of `colour` a rectangle of the log's viewport shows.
int pixelsOf(LogView& log, const QRect& rect, const QColor& colour)
{
    const QImage image = log.viewport()->grab().toImage();
    const qreal scale = image.devicePixelRatio();
    int n = 0;
    for (int y = int(rect.top() * scale); y <= int(rect.bottom() * scale); ++y)
        for (int x = int(rect.left() * scale); x <= int(rect.right() * scale); ++x)
            n += image.rect().contains(x, y) && image.pixel(x, y) == colour.rgb();
    return n;
}

} // namespace

class TestLogFind : public QObject {
    Q_OBJECT
private slots:
    // Every match of the shown text is found, and nothing else: across the
    // store's chunk seams, inside stamps, across line breaks inside an entry
    // and between entries, with Latin-1 letters in either case unless case
    // matters; Next and Previous land on the neighbouring match.
    void findsWhatTheLogShows()
    {
        LogView log;
        log.setTimestamps(true);
        const QStringList words = {"alpha",   "Éclair", "été", "ÉTÉ", "straße",  "MÜNCHEN",
                                   "münchen", "ÿes",    "×",   "÷",   "bravo-7", "Ñandú"};
        for (int i = 0; i < 600; ++i) {
            SetEntryClockForTesting(1'700'000'000 + 61 * i);
            QString entry;
            for (int k = 0; entry.size() < 150 + (i * 37) % 500; ++k)
                entry += words[(i * 7 + k * 3) % words.size()] + (k % 11 == 10 ? "\r\n" : " ");
            AddChat(log, entry, "White");
        }
        SetEntryClockForTesting(-1);
        const QString shown = log.toPlainText();
        const LogStore& store = log.store();
        QVERIFY(store.byteCount() > 3 * LogStore::kChunkBytes);

        QStringList needles = {"été", "ÉTÉ", "münchen", "ÑANDÚ",        "ÿ",  "×",
                               "÷",   "e ",  "straSSe", "e\r\nm",       "\n", "\n[",
                               "] ",  " [",  "zzz",     shown.mid(1, 5)};
        for (quint64 seam = LogStore::kChunkBytes; seam < store.byteCount();
             seam += LogStore::kChunkBytes) {
            const quint64 c = seam + quint64(store.entryAtByte(seam));
            needles << shown.mid(qsizetype(c) - 3, 7)
                    << upperLatin1(shown.mid(qsizetype(c) - 1, 2));
        }
        LogFinder finder(store);
        for (const QString& needle : needles)
            for (const auto cs : {Qt::CaseInsensitive, Qt::CaseSensitive}) {
                finder.setText(needle, cs == Qt::CaseSensitive);
                QString plain = needle;
                plain.replace("\r\n", "\n");
                const QList<quint64> want = reference(shown, plain, cs);
                QList<quint64> got;
                finder.forEach(0, log.characterCount(), [&](quint64 at) {
                    got << at;
                    return true;
                });
                QCOMPARE(got, want);
                QCOMPARE(finder.count(0, log.characterCount()), quint64(want.size()));
                for (int k = 0; k < want.size(); k += 1 + want.size() / 7) {
                    QCOMPARE(finder.next(want[k] + 1, log.characterCount()),
                             k + 1 < want.size() ? std::optional(want[k + 1]) : std::nullopt);
                    QCOMPARE(finder.previous(want[k]),
                             k > 0 ? std::optional(want[k - 1]) : std::nullopt);
                }
            }
    }

    // The bar as the operator meets it on a bot's tab.
    void barStepsCountsMarksAndCloses()
    {
        TempSettings settings;
        frmMain w(settings.path());
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTest::mouseClick(w.SSTab1->tabButton(1), Qt::LeftButton);
        LogView& log = *w.txtChatBox[0];
        auto* bar = w.SSTab1->page(1)->findChild<FindBar*>();
        QVERIFY(bar && !bar->isVisible());
        for (int i = 0; i < 300; ++i)
            AddChat(log, i % 100 == 0 ? QString("Needle %1").arg(i) : QString("line %1").arg(i),
                    "White");
        AddChat(log, "the last needle", "White");
        QApplication::processEvents();

        // Ctrl+F in the input line opens the bar; typing finds the newest match.
        w.txttalk[0]->setFocus();
        QTest::keyClick(w.txttalk[0], Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QCOMPARE(QApplication::focusWidget(), bar->field);
        QTest::keyClicks(bar->field, "needle");
        QTRY_COMPARE(bar->countLabel->text(), QString("4 of 4"));
        QCOMPARE(log.selectedText(), QString("needle"));

        // Enter goes to older matches and wraps to the newest; Shift+Enter back.
        const QStringList older = {"3 of 4", "2 of 4", "1 of 4", "4 of 4 (wrapped)"};
        for (const QString& label : older) {
            QTest::keyClick(bar->field, Qt::Key_Return);
            QCOMPARE(bar->countLabel->text(), label);
        }
        QTest::keyClick(bar->field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(bar->countLabel->text(), QString("1 of 4 (wrapped)"));
        QCOMPARE(*bar->current(), quint64(0));
        bar->nextButton->click();
        QCOMPARE(bar->countLabel->text(), QString("2 of 4"));
        QCOMPARE(log.text(*bar->current(), *bar->current() + 10), QString("Needle 100"));
        log.copy();
        QCOMPARE(QApplication::clipboard()->text(), QString("Needle"));

        // New entries move neither the view nor the match; the count follows them.
        const int top = log.verticalScrollBar()->value();
        const quint64 at = *bar->current();
        for (int i = 0; i < 3; ++i)
            AddChat(log, "one more needle", "Green");
        QTRY_COMPARE(bar->countLabel->text(), QString("2 of 7"));
        QCOMPARE(log.verticalScrollBar()->value(), top);
        QCOMPARE(log.selectionStart(), at);
        QCOMPARE(log.selectedText(), QString("Needle"));
        bar->previousButton->click();
        QCOMPARE(bar->countLabel->text(), QString("1 of 7"));

        // Match case: the small ones only, none in view: the newest below it.
        bar->matchCase->setChecked(true);
        QTRY_COMPARE(bar->countLabel->text(), QString("4 of 4"));
        QCOMPARE(log.selectedText(), QString("needle"));
        bar->matchCase->setChecked(false);
        QTRY_COMPARE(bar->countLabel->text(), QString("7 of 7"));

        // Every match in view is marked; the current one is the selection.
        QTest::keyClick(bar->field, Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(bar->countLabel->text(), QString("1 of 7 (wrapped)"));
        auto box = [&](quint64 from, quint64 n) {
            return log.characterRect(from).united(log.characterRect(from + n - 1));
        };
        const QColor selected = log.palette().color(QPalette::Highlight);
        QVERIFY(pixelsOf(log, box(0, 6), selected) > 20);
        QCOMPARE(pixelsOf(log, box(0, 6), LogView::kMarkColour), 0);
        const quint64 other = log.toPlainText().indexOf("Needle 100");
        const quint64 plain = log.toPlainText().indexOf("line 1");
        log.verticalScrollBar()->setValue(int(other / 8) - 3); // about one row per entry
        log.ensureVisible(other);
        QVERIFY(pixelsOf(log, box(other, 6), LogView::kMarkColour) > 20);
        QCOMPARE(pixelsOf(log, box(other + 6, 4), LogView::kMarkColour), 0);
        log.ensureVisible(plain);
        QCOMPARE(pixelsOf(log, box(plain, 6), LogView::kMarkColour), 0);

        // Escape closes the bar and hands the focus to the input line; the marks go.
        log.ensureVisible(other);
        QTest::keyClick(bar->field, Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QTRY_COMPARE(QApplication::focusWidget(), w.txttalk[0]);
        QCOMPARE(pixelsOf(log, box(other, 6), LogView::kMarkColour), 0);
        // Ctrl+F in the log opens it again with its text; the other bots' bars stay shut.
        log.setFocus();
        QTest::keyClick(&log, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(bar->isVisible());
        QCOMPARE(bar->field->selectedText(), QString("needle"));
        QVERIFY(!w.SSTab1->page(2)->findChild<FindBar*>()->isVisible());
    }
};

QTEST_MAIN(TestLogFind)
#include "test_logfind.moc"
