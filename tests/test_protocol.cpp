// Cutting a stream into lines, the kick test and the lines sent, without a
// window or a socket; what each line shows is the parser's test.
#include <QtTest>

#include "bots/protocol.h"

using namespace protocol;

namespace {

QString text(std::string_view bytes)
{
    return QString::fromLatin1(bytes.data(), qsizetype(bytes.size()));
}

// The lines of a stream arriving in pieces of `piece` bytes (0: at once), and
// the most the buffer held after an arrival whose lines were all taken.
QStringList linesOf(std::string_view stream, std::size_t piece, std::size_t* most)
{
    LineBuffer buffer;
    QStringList lines;
    std::string_view line;
    for (std::size_t at = 0; at < stream.size(); at += piece ? piece : stream.size()) {
        buffer.append(stream.substr(at, piece ? piece : stream.size()));
        while (buffer.takeLine(line))
            lines << text(line);
        *most = std::max(*most, buffer.size());
    }
    return lines;
}

} // namespace

class TestProtocol : public QObject {
    Q_OBJECT
private slots:
    // Only LF ends a line, and only a CR right before it goes; the longest line
    // handled arrives whole, a longer one is dropped alone; while one arrives
    // the buffer holds no more than a line. However the bytes arrive.
    void lines_data()
    {
        QTest::addColumn<QByteArray>("stream");
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<int>("piece");
        const QByteArray ends = "1005 TALK bob 0010 \"hi\"\r\n\r\n2000 NULL\nbanner\r\r\n"
                                "\xe9\xff\x80 \"bytes\"\r\nunfinished";
        const QStringList endsCut{"1005 TALK bob 0010 \"hi\"", "", "2000 NULL", "banner\r",
                                  QString::fromLatin1("\xe9\xff\x80 \"bytes\"")};
        const QByteArray longest(kMaxLineLength, 'x');
        const QByteArray overlong = "a\r\n" + longest + "\r\n" +
                                    QByteArray(kMaxLineLength + 1, 'y') + "\r\n" +
                                    QByteArray(200000, 'z') + "\r\nb\r\n";
        const QStringList overlongCut{"a", longest, "b"};
        for (int piece : {0, 1, 2, 4097}) {
            QTest::addRow("line ends in %d-byte pieces", piece) << ends << endsCut << piece;
            QTest::addRow("overlong in %d-byte pieces", piece) << overlong << overlongCut << piece;
        }
    }
    void lines()
    {
        QFETCH(QByteArray, stream);
        QFETCH(QStringList, lines);
        QFETCH(int, piece);
        std::size_t most = 0;
        QCOMPARE(linesOf(stream.toStdString(), piece, &most), lines);
        if (piece)
            QVERIFY2(most <= kMaxLineLength + 1 + piece, qPrintable(QString::number(most)));
    }

    // An ended connection's half line, even an overlong one, does not run
    // into the next connection's first line; complete lines stay.
    void anEndedConnectionLeavesNoHalfLine()
    {
        LineBuffer buffer;
        QStringList lines;
        const auto take = [&] {
            for (std::string_view line; buffer.takeLine(line);)
                lines << text(line);
        };
        buffer.append("one\r\nhal");
        buffer.dropUnfinished();
        take();
        buffer.append("f");
        buffer.dropUnfinished();
        buffer.append("two\r\n" + std::string(kMaxLineLength + 10, 'x'));
        buffer.dropUnfinished();
        buffer.append("three\r\n");
        take();
        QCOMPARE(lines, (QStringList{"one", "two", "three"}));
    }

    // Whether the bot itself was kicked or banned, from an information text.
    void kickAndBan_data()
    {
        QTest::addColumn<QByteArray>("info");
        QTest::addColumn<int>("result");
        const auto row = [](const char* name, const char* info, KickBan result) {
            QTest::newRow(name) << QByteArray(info) << int(result);
        };
        row("kicked", "bot1 has been kicked by Boss (spam).", KickBan::Kicked);
        row("banned", "bot1 has been banned by Boss.", KickBan::Banned);
        // Reasons are free text: the first word after the name decides.
        row("kicked in a ban's reason", "bot1 has been banned by Op (kicked twice today).",
            KickBan::Banned);
        row("banned in a kick's reason", "bot1 has been kicked by boss (banned next time).",
            KickBan::Kicked);
        row("someone else", "Scout has been kicked.", KickBan::None);
        row("longer name", "bot10 has been kicked.", KickBan::None);
        row("name alone", "bot1", KickBan::None);
        row("capital K", "bot1 was Kicked", KickBan::None);
        row("case of name", "Bot1 was kicked", KickBan::None);
        row("blank first", " kicked", KickBan::None);
    }
    void kickAndBan()
    {
        QFETCH(QByteArray, info);
        QFETCH(int, result);
        QCOMPARE(int(kickBanOf(info.toStdString(), "bot1")), result);
        QCOMPARE(int(kickBanOf(info.toStdString(), "")), int(KickBan::None));
    }

    void outgoingLines()
    {
        QCOMPARE(outgoingLine("hi"), std::string("hi\r\n"));
        QCOMPARE(outgoingLine(""), std::string("\r\n"));
        QCOMPARE(outgoingLine("a\r\nb\nc\rd\xe9"), std::string("a b c d\xe9\r\n"));
    }
};

QTEST_APPLESS_MAIN(TestProtocol)
#include "test_protocol.moc"
