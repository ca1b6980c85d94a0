// The operator's commands: the exact line sent, the echo in the log, and what
// becomes of the input box.
#include <QtTest>

#include "support/testapp.h"

namespace {

void selectUser(QListWidget& list, const QString& name)
{
    const auto items = list.findItems(name, Qt::MatchExactly);
    QVERIFY(!items.isEmpty());
    list.setCurrentItem(items.first());
}

} // namespace

class TestCommands : public QObject {
    Q_OBJECT
private:
    std::unique_ptr<GatewayConsole> c;
    int n = -1;

    QByteArray sent()
    {
        QByteArray bytes = c->gateway.received(n);
        c->gateway.clearReceived(n);
        return bytes;
    }

private slots:
    void init()
    {
        c = std::make_unique<GatewayConsole>(TEST_LOOPBACK);
        c->setUp({3});
        QVERIFY(c->connectBots({3}));
        n = c->connectionOf(3);
        QVERIFY(c->feed(3, "2010 NAME bot4\r\n1001 USER Guard 0010 [CHAT]\r\n"
                           "1001 USER Scout 0000 [STAR]\r\n"));
        c->w->txtChatBox[3]->clear();
    }
    void cleanup() { c.reset(); }

    void sendTalksAndEchoes()
    {
        frmMain& w = *c->w;
        w.txttalk[3]->setText("hi <b>there</b>");
        w.Command1[3]->click();
        QVERIFY(c->gateway.waitForText(n, "\r\n"));
        QCOMPARE(sent(), QByteArray("hi <b>there</b>\r\n"));
        QCOMPARE(w.txttalk[3]->text(), QString());

        // Enter sends too; an empty box sends the bare line end.
        QTest::keyClick(w.txttalk[3], Qt::Key_Return);
        QVERIFY(c->gateway.waitForText(n, "\r\n"));
        QCOMPARE(sent(), QByteArray("\r\n"));

        // Line breaks become blanks; what Latin-1 cannot hold goes out as "?".
        w.txttalk[3]->setText(QString::fromUtf8("a\r\nb\nc \u20ac \u00e9"));
        w.Command1[3]->click();
        QVERIFY(c->gateway.waitForText(n, "\r\n"));
        QCOMPARE(sent(), QByteArray("a b c ? \xe9\r\n"));

        QCOMPARE(ColouredLines(*w.txtChatBox[3]),
                 (QStringList{"White: < bot4 > hi <b>there</b>", "White: <bot4> ",
                              QString::fromUtf8("White: <bot4> a b c ? \u00e9")}));
    }

    void nothingGoesWithoutALoginOrATarget()
    {
        frmMain& w = *c->w;
        // No user selected: whisper, ban and kick send nothing and keep the box.
        w.txttalk[3]->setText("hello");
        w.Command2[3]->click();
        w.Command3[3]->click();
        w.Command4[3]->click();
        QCOMPARE(w.txttalk[3]->text(), QString("hello"));
        // A line sent afterwards is the first the gateway sees.
        w.Command1[3]->click();
        QVERIFY(c->gateway.waitForText(n, "\r\n"));
        QCOMPARE(sent(), QByteArray("hello\r\n"));
        w.txtChatBox[3]->clear();
        w.txttalk[3]->setText("hello");

        // Connected again, not logged in: the server would read any line as
        // an account name. Nothing goes, the text stays, the log says why.
        selectUser(*w.UserList[3], "Guard");
        w.Winsock[3]->Close();
        QVERIFY(c->connectBots({3}));
        const QList<QPushButton*> buttons{w.Command1[3], w.Command2[3], w.Command3[3],
                                          w.Command4[3], w.Command5};
        w.txtTalkAll->setText("all");
        for (QPushButton* b : buttons)
            b->click();
        QTest::keyClick(w.txttalk[3], Qt::Key_Return);
        QCOMPARE(w.txttalk[3]->text(), QString("hello"));
        QCOMPARE(w.txtTalkAll->text(), QString("all"));
        QCOMPARE(ColouredLines(*w.txtChatBox[3]),
                 QStringList(6, "Gray: Not logged in: nothing was sent."));

        // Not connected: nothing at all, the text stays.
        w.txtChatBox[3]->clear();
        const int again = c->connectionOf(3);
        w.Winsock[3]->Close();
        for (QPushButton* b : buttons)
            b->click();
        QTest::keyClick(w.txttalk[3], Qt::Key_Return);
        QCOMPARE(w.txttalk[3]->text(), QString("hello"));
        QCOMPARE(LogLines(*w.txtChatBox[3]), QStringList());
        QVERIFY(c->gateway.waitForClosed(again));
        QCOMPARE(c->gateway.received(n), QByteArray());
        QCOMPARE(c->gateway.received(again), QByteArray());
    }

    void whisperBanKick()
    {
        frmMain& w = *c->w;
        selectUser(*w.UserList[3], "Guard");
        w.txttalk[3]->setText("hi");
        w.Command2[3]->click();
        QVERIFY(c->gateway.waitForText(n, "\r\n"));
        QCOMPARE(sent(), QByteArray("/w Guard hi\r\n"));
        QCOMPARE(ColouredLines(*w.txtChatBox[3]), QStringList{"Gray: <To:Guard> hi"});
        QCOMPARE(w.txttalk[3]->text(), QString());

        // Ban with an empty box leaves a blank before the line end.
        w.Command3[3]->click();
        QVERIFY(c->gateway.waitForText(n, "\r\n"));
        QCOMPARE(sent(), QByteArray("/ban Guard \r\n"));

        // Kick keeps the box and the selection: pressing it again repeats it.
        selectUser(*w.UserList[3], "Scout");
        w.txttalk[3]->setText("spam");
        w.Command4[3]->click();
        w.Command4[3]->click();
        QVERIFY(c->gateway.waitForReceived(n, 2 * qsizetype(strlen("/kick Scout spam\r\n"))));
        QCOMPARE(sent(), QByteArray("/kick Scout spam\r\n/kick Scout spam\r\n"));
        QCOMPARE(w.txttalk[3]->text(), QString("spam"));
        QCOMPARE(SelectedUserRow(w), 1);
        QCOMPARE(LogLines(*w.txtChatBox[3]), QStringList{"<To:Guard> hi"});
    }

    void sendToAllGoesThroughEachLoggedInBot()
    {
        c.reset();
        c = std::make_unique<GatewayConsole>(TEST_LOOPBACK);
        c->setUp({2, 5, 7});
        QVERIFY(c->connectBots({2, 5, 7}));
        frmMain& w = *c->w;
        QVERIFY(c->feed(2, "2010 NAME bot3\r\n"));
        QVERIFY(c->feed(5, "2010 NAME bot6\r\n"));
        for (int bot : {2, 5})
            w.txtChatBox[bot]->clear();
        w.txtTalkAll->setText("first");
        // Runs in the event-loop pass after bot 2's line: bot 5 sends what the
        // box holds at its turn.
        QTimer::singleShot(0, &w, [&] { w.txtTalkAll->setText("second"); });
        QTest::keyClick(w.txtTalkAll, Qt::Key_Enter); // Enter works as the button
        QCOMPARE(w.txtTalkAll->text(), QString());
        QVERIFY(c->gateway.waitForText(c->connectionOf(2), "\r\n"));
        QVERIFY(c->gateway.waitForText(c->connectionOf(5), "\r\n"));
        QCOMPARE(c->gateway.received(c->connectionOf(2)), QByteArray("first\r\n"));
        QCOMPARE(c->gateway.received(c->connectionOf(5)), QByteArray("second\r\n"));
        // The first entry of an empty log takes the other form.
        QCOMPARE(LogLines(*w.txtChatBox[2]), QStringList{"< bot3 > first"});
        QCOMPARE(LogLines(*w.txtChatBox[5]), QStringList{"< bot6 > second"});
        // Bot 8 is at its login prompt: nothing through it.
        QCOMPARE(ColouredLines(*w.txtChatBox[7]),
                 QStringList{"Gray: Not logged in: nothing was sent."});
        QCOMPARE(LogLines(*w.txtChatBox[0]), QStringList());

        // With nobody connected the line goes nowhere and stays.
        w.btnDisconnectAll->click();
        w.txtTalkAll->setText("nobody");
        w.Command5->click();
        QCOMPARE(w.txtTalkAll->text(), QString("nobody"));
        QCOMPARE(LogLines(*w.txtChatBox[2]), QStringList{"< bot3 > first"});
        QCOMPARE(c->gateway.received(c->connectionOf(7)), QByteArray());
    }

private:
    static int SelectedUserRow(frmMain& w) { return w.UserList[3]->currentRow(); }
};

QTEST_MAIN(TestCommands)
#include "test_commands.moc"
