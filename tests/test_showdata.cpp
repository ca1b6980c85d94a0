#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTextBlock>
#include <QtTest>

#include "app/frmmain.h"
#include "bots/protocol.h"
#include "chat/chatlog.h"
#include "chat/showdata.h"
#include "userlist/userlist.h"

namespace {

constexpr int kBot = 3;
const QColor kGray(128, 128, 128), kWhite(255, 255, 255), kYellow(255, 255, 0), kBlue(0, 0, 255);

// The last entry of a log: its text and the colour of its first character
// (of its line break when the text is empty).
QString lastEntry(const QPlainTextEdit& log)
{
    const QTextBlock block = log.document()->lastBlock().previous();
    return block.isValid() ? block.text() : QString();
}
QColor lastColour(const QPlainTextEdit& log)
{
    const QTextBlock block = log.document()->lastBlock().previous();
    const QTextCharFormat f = block.begin() != block.end() ? block.begin().fragment().charFormat()
                                                           : block.next().charFormat();
    return f.foreground().color();
}

struct Window {
    QTemporaryDir dir;
    frmMain w{dir.filePath("setup.cfg")};
    QPlainTextEdit& log() { return *w.txtChatBox[kBot]; }
};

} // namespace

class TestShowData : public QObject {
    Q_OBJECT
private slots:
    void whisperFrom_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("entry");
        QTest::newRow("plain") << QByteArray("1004 WHISPER bob 0010 \"hi there\"") << true
                               << "<From:bob> hi there";
        QTest::newRow("quotes inside") << QByteArray("1004 WHISPER bob 0010 \"say \"hi\" now\"")
                                       << true << "<From:bob> say \"hi\" now";
        QTest::newRow("empty text")
            << QByteArray("1004 WHISPER bob 0010 \"\"") << true << "<From:bob> ";
        QTest::newRow("name holding its flags")
            << QByteArray("1004 WHISPER bob0010 0010 \"x\"") << true << "<From:bob0010> x";
        QTest::newRow("one-character name")
            << QByteArray("1004 WHISPER q 0000 \"x\"") << true << "<From:q> x";
        QTest::newRow("unknown flags")
            << QByteArray("1004 WHISPER bob 0020 \"x\"") << true << "<From:bob> x";
        QTest::newRow("markup") << QByteArray("1004 WHISPER bob 0010 \"<b>hi</b> &amp;\"") << true
                                << "<From:bob> <b>hi</b> &amp;";
        QTest::newRow("Latin-1") << QByteArray("1004 WHISPER bob 0010 \"caf\xe9\"") << true
                                 << QString::fromLatin1("<From:bob> caf\xe9");
        QTest::newRow("no quotes") << QByteArray("1004 WHISPER bob 0010 hi") << false << "";
        QTest::newRow("one quote") << QByteArray("1004 WHISPER bob 0010 \"hi") << false << "";
        QTest::newRow("no flags field") << QByteArray("1004 WHISPER bob") << false << "";
    }
    void whisperFrom()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, shown);
        QFETCH(QString, entry);
        Window win;
        QCOMPARE(ShowWhisperFrom(win.w, kBot, line.toStdString()), shown);
        if (!shown) {
            QVERIFY(win.log().document()->isEmpty());
            return;
        }
        QCOMPARE(win.log().toPlainText(), entry + "\n");
        QCOMPARE(lastColour(win.log()), kGray);
    }

    void emote_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("entry");
        QTest::newRow("plain") << QByteArray("1023 EMOTE bob 0010 \"waves\"") << "< bob waves>";
        QTest::newRow("empty text") << QByteArray("1023 EMOTE bob 0010 \"\"") << "< bob >";
        QTest::newRow("quotes inside")
            << QByteArray("1023 EMOTE bob 0010 \"says \"yo\"\"") << "< bob says \"yo\">";
        QTest::newRow("unknown flags")
            << QByteArray("1023 EMOTE bob 0020 \"waves\"") << "< bob waves>";
        QTest::newRow("markup") << QByteArray("1023 EMOTE bob 0010 \"<i>x</i>\"")
                                << "< bob <i>x</i>>";
        QTest::newRow("no quotes") << QByteArray("1023 EMOTE bob 0010 waves") << "< bob >";
        QTest::newRow("no fields") << QByteArray("1023 EMOTE") << "<>";
    }
    void emote()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, entry);
        Window win;
        ParseEmote(win.w, kBot, line.toStdString());
        QCOMPARE(win.log().toPlainText(), entry + "\n");
        QCOMPARE(lastColour(win.log()), kYellow);
    }

    // The talk form follows the caret test; every entry still goes to the end.
    void talkForms()
    {
        Window win;
        const auto talk = protocol::cutTalk("1005 TALK bob 0010 \"hi\"");
        QVERIFY(talk);
        const QString name = FromServer(talk->name);
        ShowTalk(win.w, kBot, name, FromServer(talk->text));
        QCOMPARE(lastEntry(win.log()), "< bob  > hi");
        ShowTalk(win.w, kBot, name, "again");
        QCOMPARE(lastEntry(win.log()), "<bob > again");
        ShowTalk(win.w, kBot, "Guest", "own line");
        QCOMPARE(lastEntry(win.log()), "<Guest> own line");
        QCOMPARE(lastColour(win.log()), kWhite);

        QTextCursor c = win.log().textCursor();
        c.setPosition(0);
        c.setPosition(4, QTextCursor::KeepAnchor);
        win.log().setTextCursor(c);
        ShowTalk(win.w, kBot, "Guest", "from the top");
        QCOMPARE(win.log().toPlainText(), "< bob  > hi\n<bob > again\n<Guest> own line\n"
                                          "< Guest > from the top\n");
    }

    void whisperTo()
    {
        Window win;
        ShowWhisperTo(win.w, kBot, "bob", "psst \"quoted\"");
        QCOMPARE(win.log().toPlainText(), "<To:bob> psst \"quoted\"\n");
        QCOMPARE(lastColour(win.log()), kGray);
    }

    void channelJoined_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("channel");
        QTest::newRow("plain") << QByteArray("1007 CHANNEL \"Lobby\"") << "Lobby";
        QTest::newRow("blanks") << QByteArray("1007 CHANNEL \" Op Den  \"") << " Op Den  ";
        QTest::newRow("quote inside")
            << QByteArray("1007 CHANNEL \"The \"Pit\"\"") << "The \"Pit\"";
        QTest::newRow("markup") << QByteArray("1007 CHANNEL \"<b>Bold</b>\"") << "<b>Bold</b>";
    }
    // Channel box, log entry, emptied list, label: each effect sees the ones
    // before it done and the ones after it not yet.
    void channelJoined()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, channel);
        Window win;
        QListWidget& users = *win.w.UserList[kBot];
        AddUser(users, *protocol::cutUser("1001 USER Guard 0010 [CHAT]"));
        win.w.lblCurrentChannel[kBot]->setText("Old");

        QStringList seen;
        auto snapshot = [&](const QString& when) {
            seen << QString("%1: box=%2 log=%3 users=%4 label=%5")
                        .arg(when, win.w.txtChannel[kBot]->text(),
                             QString::number(win.log().document()->blockCount() - 1),
                             QString::number(users.count()), win.w.lblCurrentChannel[kBot]->text());
        };
        QObject watching; // gone before the window's teardown signals
        connect(win.log().document(), &QTextDocument::contentsChanged, &watching,
                [&] { snapshot("entry"); });
        connect(users.model(), &QAbstractItemModel::modelReset, &watching,
                [&] { snapshot("clear"); });

        QVERIFY(ShowChannelJoined(win.w, kBot, line.toStdString()));
        snapshot("end");
        QCOMPARE(seen, QStringList({
                           QString("entry: box=%1 log=1 users=1 label=Old").arg(channel),
                           QString("clear: box=%1 log=1 users=0 label=Old").arg(channel),
                           QString("end: box=%1 log=1 users=0 label=%1").arg(channel),
                       }));
        QCOMPARE(win.log().toPlainText(), "You have joined channel: " + channel + "\n");
        QCOMPARE(lastColour(win.log()), kBlue);
        QCOMPARE(win.w.lblCurrentChannel[kBot]->textFormat(), Qt::PlainText);
    }

    void malformedChannelChangesNothing_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("no quotes") << QByteArray("1007 CHANNEL Lobby");
        QTest::newRow("one quote") << QByteArray("1007 CHANNEL \"Lobby");
    }
    void malformedChannelChangesNothing()
    {
        QFETCH(QByteArray, line);
        Window win;
        AddUser(*win.w.UserList[kBot], *protocol::cutUser("1001 USER Guard 0010 [CHAT]"));
        QVERIFY(!ShowChannelJoined(win.w, kBot, line.toStdString()));
        QCOMPARE(win.w.txtChannel[kBot]->text(), "");
        QCOMPARE(win.w.lblCurrentChannel[kBot]->text(), "");
        QCOMPARE(win.w.UserList[kBot]->count(), 1);
        QVERIFY(win.log().document()->isEmpty());
    }
};

QTEST_MAIN(TestShowData)
#include "test_showdata.moc"
