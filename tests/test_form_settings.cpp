// The window's fields and the settings file: read at start-up, written on
// every change of tab and at shutdown.
#include <QAccessible>
#include <QCheckBox>
#include <QDialog>
#include <QMenu>
#include <QtTest>
#include <optional>
#include <sys/stat.h>

#include "app/setupdialogs.h"
#include "app/tabstrip.h"
#include "chat/showdata.h"
#include "settings/opensave.h"
#include "support/testapp.h"

namespace {

void fill(frmMain& w)
{
    for (int i = 0; i < BotCount; ++i) {
        w.txtUsername[i]->setText(QString("user%1").arg(i + 1));
        w.txtPassword[i]->setText(QString("pass%1").arg(i + 1));
        w.txtServer[i]->setText(QString("host%1").arg(i + 1));
    }
    w.txtHomeChannel->setText("Op Room");
    w.txtAntiIdle->setText("still here");
}

// The file a save writes from scratch, for fields as fill() sets them.
QByteArray savedFile()
{
    QByteArray text;
    for (int i = 1; i <= BotCount; ++i)
        text += QString("[Bot %1]\nUsername=user%1\nPassword=pass%1\nServer=host%1\n\n")
                    .arg(i)
                    .toLatin1();
    return text + "[All Bots]\nHome Channel=Op Room\nAnti Idle=still here\n";
}

void clickTab(frmMain& w, int k)
{
    QTest::mouseClick(w.SSTab1->tabButton(k), Qt::LeftButton);
    QCOMPARE(w.SSTab1->currentIndex(), k);
}

void expectWarning(const QString& pattern)
{
    QTest::ignoreMessage(QtWarningMsg, QRegularExpression(pattern));
}

} // namespace

class TestFormSettings : public QObject {
    Q_OBJECT
private slots:
    // Every value is written at each change of tab and at shutdown, and read
    // at start-up (an empty user name as "Guest", the 2nd home channel never);
    // the bot tabs are captioned with the user names.
    void tabClicksAndCloseWriteEveryValue()
    {
        TempSettings s;
        {
            frmMain w(s.path());
            w.Load();
            w.show();
            QVERIFY(QTest::qWaitForWindowExposed(&w));
            QCOMPARE(w.SSTab1->tabCaption(10), QString("10: Guest"));
            QVERIFY(!QFile::exists(s.path()));
            fill(w);
            clickTab(w, 11);
            QCOMPARE(ReadFile(s.path()), savedFile());
            QCOMPARE(w.SSTab1->tabCaption(10), QString("10: user10"));
            w.txtHomeChannel2->setText("never stored");
            w.txtUsername[2]->clear();
            QVERIFY(w.close());
        }
        WriteFile(s.path(), ReadFile(s.path()) + "2nd Home Channel=x\n");
        frmMain again(s.path());
        again.Load();
        again.show();
        QVERIFY(QTest::qWaitForWindowExposed(&again));
        QCOMPARE(again.SSTab1->tabCaption(3), QString("3: Guest"));
        QVERIFY(again.txtHomeChannel2->text().isEmpty());
        // A password read back shows as one mask character a letter, on screen
        // and to a screen reader.
        const QString shown = again.txtPassword[3]->displayText();
        QVERIFY(shown.size() == 5 && shown.count(shown[0]) == 5 && !shown.contains('p'));
        QCOMPARE(
            QAccessible::queryAccessibleInterface(again.txtPassword[3])->text(QAccessible::Value),
            QString(5, '*'));
        clickTab(again, 1);
        QCOMPARE(ReadFile(s.path()),
                 savedFile().replace("=user3", "=Guest") + "2nd Home Channel=x\n");
    }

    void failedSaveKeepsOldFileAndFields_data()
    {
        QTest::addColumn<bool>("unreadable"); // else the disk fills up
        QTest::newRow("write fails midway") << false;
        QTest::newRow("file cannot be read") << true;
    }
    void failedSaveKeepsOldFileAndFields()
    {
        QFETCH(bool, unreadable);
        TempSettings s;
        const QByteArray old = "[Bot 1]\nUsername=old\n";
        if (unreadable) // a pipe: neither read nor replaced
            QCOMPARE(::mkfifo(QFile::encodeName(s.path()).constData(), 0600), 0);
        else
            s.write(old);
        const QString named = QRegularExpression::escape(s.path());
        if (unreadable)
            expectWarning("^tenfold: settings not read from " + named + ": .+");
        frmMain w(s.path());
        w.Load();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        fill(w);
        expectWarning("^tenfold: settings not saved to " + named + ": .+");
        {
            std::optional<FileSizeLimit> limit;
            if (!unreadable)
                limit.emplace(64);
            clickTab(w, 2);
        }
        QCOMPARE(
            QDir(s.dir.path())
                .entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot),
            QStringList{"setup.cfg"});
        QVERIFY(unreadable ? !QFileInfo(s.path()).isFile() : ReadFile(s.path()) == old);
        if (unreadable)
            expectWarning("^tenfold: settings not saved to " + named + ": .+");
        QVERIFY(w.close());
        if (!unreadable) // the disk takes it again
            QCOMPARE(ReadFile(s.path()), savedFile());
    }

    // The file other versions and the operator's backups rely on.
    void theUsersOwnFile()
    {
        QTemporaryDir home;
        qputenv("XDG_CONFIG_HOME", home.path().toLocal8Bit());
        QVERIFY(QDir(home.path()).mkdir("tenfold"));
        WriteFile(home.filePath("tenfold/setup.cfg"), "[Bot 2]\nUsername=alice\n");
        frmMain w(DefaultSettingsPath());
        w.Load();
        QCOMPARE(w.txtUsername[1]->text(), QString("alice"));
    }

    // Only the first megabyte is read, and the next save keeps only that.
    void hugeFileIsReadInPart()
    {
        TempSettings s;
        {
            QFile f(s.path());
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[Bot 1]\r\nUsername=alice\r\n");
            QVERIFY(f.resize(50 << 20)); // a sparse hole of NUL bytes
            QVERIFY(f.seek(f.size()));
            f.write("\r\n[Bot 2]\r\nUsername=bob\r\n");
        }
        expectWarning("^tenfold: " + QRegularExpression::escape(s.path()) +
                      ": only the first 1.0 MB of its 50.0 MB are read");
        frmMain w(s.path());
        w.Load();
        QCOMPARE(w.txtUsername[0]->text(), QString("alice"));
        QCOMPARE(w.txtUsername[1]->text(), QString("Guest"));
        QVERIFY(w.close());
        QVERIFY(ReadFile(s.path()).startsWith("[Bot 1]\nUsername=alice\nPassword=\n"));
        QVERIFY(QFileInfo(s.path()).size() < 1024);
    }

    // The Options menu's dialogs, by keyboard alone: the first box has the
    // focus and Space checks it; Escape writes nothing, Return writes every
    // switch to [Options] and keeps the rest of the file. Each control's
    // accessible name is its caption.
    void setupDialogsWriteTheirOptions_data()
    {
        QTest::addColumn<int>("entry");
        QTest::addColumn<QString>("written");
        QTest::newRow("Bot Setup") << 0 << "Reconnect=1\nRelogin=1\nPace Lines=0\n";
        QTest::newRow("Chat Setup") << 1 << "Timestamps=1\nLog Files=0\n";
    }
    void setupDialogsWriteTheirOptions()
    {
        QFETCH(int, entry);
        QFETCH(QString, written);
        TempSettings s;
        s.write("; mine\n[Bot 1]\nServer=here\n[Elsewhere]\nKey=kept\n");
        frmMain w(s.path());
        w.Load();
        QAction* action = w.mnuOptions->actions().at(entry);
        QVERIFY(action->isVisible());
        const auto answer = [&](Qt::Key key) {
            QTimer::singleShot(0, &w, [&, key] {
                auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
                QVERIFY(dialog);
                const auto closed = qScopeGuard([dialog] { // when a check failed
                    if (dialog->isVisible())
                        dialog->reject();
                });
                QCOMPARE(dialog->windowTitle(), action->text().remove('&'));
                QVERIFY(QTest::qWaitForWindowActive(dialog));
                for (auto* control : dialog->findChildren<QAbstractButton*>())
                    QCOMPARE(QAccessible::queryAccessibleInterface(control)->text(QAccessible::Name),
                             control->text().remove('&'));
                const auto boxes = dialog->findChildren<QCheckBox*>();
                QVERIFY(boxes.size() >= 2); // the first two are these
                QVERIFY(!boxes[0]->isChecked() && boxes[1]->isChecked() == (entry == 0));
                // Logging in again is for bots that reconnect.
                QCOMPARE(boxes[1]->isEnabled(), entry == 1);
                QCOMPARE(dialog->focusWidget(), boxes[0]);
                QTest::keyClick(boxes[0], Qt::Key_Space);
                QVERIFY(boxes[0]->isChecked() && boxes[1]->isEnabled());
                QTest::keyClick(dialog, key);
            });
            action->trigger();
        };
        const QByteArray before = ReadFile(s.path());
        answer(Qt::Key_Escape);
        QCOMPARE(ReadFile(s.path()), before);
        answer(Qt::Key_Return);
        const QByteArray after = ReadFile(s.path());
        QVERIFY2(after.contains("[Options]\n" + written.toLatin1()), after);
        for (const char* kept : {"; mine", "Server=here", "[Elsewhere]", "Key=kept"})
            QVERIFY2(after.contains(kept), kept);
    }

    // Chat Setup's switches reach the logs: times on the entries, and each
    // bot's entries in its file; a file that cannot be written says so in red
    // in that bot's log.
    void chatOptionsReachTheLogs()
    {
        QTemporaryDir data;
        qputenv("XDG_DATA_HOME", data.filePath("data").toLocal8Bit());
        TempSettings s;
        s.write("[Options]\nTimestamps=1\nLog Files=1\n");
        auto w = std::make_unique<frmMain>(s.path());
        w->Load();
        AddChat(*w, 2, "hello", "White");
        QVERIFY(QRegularExpression("^\\[\\d\\d:\\d\\d:\\d\\d\\] hello$")
                    .match(w->txtChatBox[2]->entryText(0))
                    .hasMatch());
        // Turned off, every file is closed at once.
        QVERIFY(WriteOptions(s.path(), {{"Log Files", false}}));
        ApplyChatOptions(*w);
        const QString logs = data.filePath("data/tenfold/logs/");
        for (const QFileInfo& fd : QDir("/proc/self/fd").entryInfoList(QDir::Files | QDir::System))
            QVERIFY2(!fd.symLinkTarget().startsWith(logs), qPrintable(fd.symLinkTarget()));
        const QString day = QDate::currentDate().toString("yyyy-MM-dd");
        const QByteArray line = ReadFile(logs + day + "-bot3.log");
        QVERIFY2(line.contains(" hello\n--- Logging stopped "), line);
        QVERIFY(WriteOptions(s.path(), {{"Log Files", true}}));

        // No folder can be made where a file stands.
        WriteFile(data.filePath("file"), "");
        qputenv("XDG_DATA_HOME", data.filePath("file").toLocal8Bit());
        w = std::make_unique<frmMain>(s.path());
        w->Load();
        AddChat(*w, 4, "lost", "White");
        QTRY_VERIFY(ColouredLines(*w->txtChatBox[4]).last().contains(
            QRegularExpression("^Red: \\[.{8}\\] Log file .*-bot5.log not written: ")));
        qunsetenv("XDG_DATA_HOME");
    }
};

QTEST_MAIN(TestFormSettings)
#include "test_form_settings.moc"
