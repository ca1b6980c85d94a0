// The passwords in a real desktop keyring: run by keyring.sh once against a
// gnome-keyring-daemon, once with no keyring service on the bus, and once
// with one that never answers (TENFOLD_TEST_KEYRING names which).
#include <QCheckBox>
#include <QDialog>
#include <QMessageBox>
#include <QtTest>

#include "bots/connection.h"
#include "settings/formsettings.h"
#include "settings/opensave.h"
#include "support/testapp.h"

namespace {

#define NEED(mode)                                                                                 \
    if (qgetenv("TENFOLD_TEST_KEYRING") != mode)                                                   \
    QSKIP("for another of keyring.sh's buses")

// Sets the keyring box in Bot Setup and presses OK; the text of the message
// box that follows, if one does.
QString botSetup(frmMain& w, bool on)
{
    QString shown;
    QTimer answer;
    QObject::connect(&answer, &QTimer::timeout, [&] {
        QWidget* modal = QApplication::activeModalWidget();
        if (auto* box = qobject_cast<QMessageBox*>(modal)) {
            shown = box->text();
            box->accept();
        } else if (auto* dialog = qobject_cast<QDialog*>(modal)) {
            dialog->findChildren<QCheckBox*>().last()->setChecked(on);
            dialog->accept();
        }
    });
    answer.start(10);
    w.mnuBot->trigger();
    return shown;
}

// What the keyring holds for bot index i, read back by secret-tool.
QString lookup(int i)
{
    QProcess p;
    p.start("secret-tool", {"lookup", "server", "tenfold", "user", QString("Bot %1").arg(i + 1)});
    return p.waitForFinished(20000) ? QString::fromUtf8(p.readAllStandardOutput()) : "(hung)";
}

QByteArray loginBytes(const char* account, const char* password)
{
    return QByteArray("\x03\x04\r\n\r\n") + account + "\r\n" + password + "\r\n";
}

} // namespace

class TestKeyring : public QObject {
    Q_OBJECT
private slots:
    void passwordsMoveIntoTheKeyringAndBack()
    {
        NEED("real");
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({2});
        QCOMPARE(botSetup(*c.w, true), QString());
        const QByteArray on = ReadFile(c.settings.path());
        QVERIFY2(on.contains("Keyring=1\n") && on.count("Password=\n") == BotCount, on);
        for (int i = 0; i < BotCount; ++i)
            QCOMPARE(lookup(i), QString("pw%1").arg(i + 1));
        frmMain next(c.settings.path());
        next.Load();
        QTRY_COMPARE(next.txtPassword[9]->text(), QString("pw10"));

        // An edit goes to the keyring at the change of tab, and the login takes it.
        c.w->txtPassword[2]->setText("new3");
        SSTab1_Click(*c.w, 0);
        QTRY_COMPARE(lookup(2), QString("new3"));
        QVERIFY(!ReadFile(c.settings.path()).contains("new3"));
        QVERIFY(c.connectBots({2}));
        LoginOne(*c.w, 2);
        QVERIFY(c.gateway.waitForReceived(c.connectionOf(2), loginBytes("bot3", "new3").size()));
        QCOMPARE(c.gateway.received(c.connectionOf(2)), loginBytes("bot3", "new3"));

        QCOMPARE(botSetup(*c.w, false), QString());
        const QByteArray off = ReadFile(c.settings.path());
        QVERIFY2(off.contains("Keyring=0") && off.contains("Password=new3\n"), off);
        for (int i = 0; i < BotCount; ++i) {
            QVERIFY2(i == 2 || off.contains(QString("Password=pw%1\n").arg(i + 1).toLatin1()), off);
            QCOMPARE(lookup(i), QString());
        }
    }

    void aMissingKeyringChangesNothing()
    {
        NEED("missing");
        TempSettings s;
        s.write("[Bot 1]\r\nPassword=pw1\r\n[Bot 2]\r\nPassword=\r\n");
        frmMain w(s.path());
        w.Load();
        const QString shown = botSetup(w, true);
        QVERIFY2(shown.startsWith("The passwords stay in the settings file: bot 1: ") &&
                     shown.contains("org.freedesktop.secrets"),
                 qPrintable(shown));
        QCOMPARE(ReadFile(s.path()),
                 QByteArray("[Bot 1]\r\nPassword=pw1\r\n[Bot 2]\r\nPassword=\r\n"));
    }

    // A login waits at most 10 s for the keyring, and then sends nothing; a
    // password put into the file by hand needs no keyring.
    void aSilentKeyringSendsNothing()
    {
        NEED("silent");
        GatewayConsole c(TEST_LOOPBACK);
        c.setUp({2, 3});
        QVERIFY(StoreSetting(c.settings.path(), "Bot 3", "Password", ""));
        QVERIFY(StoreSetting(c.settings.path(), "Options", "Keyring", "1"));
        QVERIFY(c.connectBots({2, 3}));
        c.w->btnLogin[3]->click();
        QVERIFY(c.gateway.waitForReceived(c.connectionOf(3), loginBytes("bot4", "pw4").size()));
        QCOMPARE(ColouredLines(*c.w->txtChatBox[3]),
                 QStringList{"Gray: This login sends the password in the settings file, not "
                             "the keyring's."});

        QElapsedTimer waited;
        waited.start();
        c.w->btnLogin[2]->click();
        QTRY_COMPARE_WITH_TIMEOUT(ColouredLines(*c.w->txtChatBox[2]),
                                  QStringList{"Red: The keyring did not give bot 3's password: no "
                                              "answer within 10 seconds."},
                                  20000);
        QVERIFY(waited.elapsed() >= 10000);
        QCOMPARE(c.gateway.received(c.connectionOf(2)), QByteArray());
        QVERIFY(c.w->bot[2].session.login == LoginState::NotLoggedIn);
    }
};

QTEST_MAIN(TestKeyring)
#include "test_keyring.moc"
