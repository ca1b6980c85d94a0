#include <QListWidget>
#include <QtTest>

#include "bots/protocol.h"
#include "userlist/userlist.h"

namespace {

bool add(QListWidget& list, const QByteArray& line)
{
    const std::string_view l(line.constData(), size_t(line.size()));
    return AddUser(list, l, protocol::GetUserFlags(l));
}
bool remove(QListWidget& list, const QByteArray& line)
{
    const std::string_view l(line.constData(), size_t(line.size()));
    return RemoveUser(list, l, protocol::GetUserFlags(l));
}

QStringList items(const QListWidget& list)
{
    QStringList out;
    for (int i = 0; i < list.count(); ++i)
        out << QString("%1/%2").arg(list.item(i)->text()).arg(ItemIcon(list, i));
    return out;
}

} // namespace

class TestUserList : public QObject {
    Q_OBJECT
private slots:
    void addUser_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<bool>("listed");
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("icon");
        const std::pair<const char*, int> tags[] = {{"[CHAT]", 0}, {"[SSHR]", 1}, {"[DRTL]", 2},
                                                    {"[SEXP]", 3}, {"[STAR]", 4}, {"[DSHR]", 6}};
        for (auto [tag, icon] : tags)
            for (const char* flags : {"0000", "0010"})
                QTest::newRow(QByteArray(tag) + " " + flags)
                    << QByteArray("1001 USER Scout ") + flags + " " + tag << true << "Scout"
                    << icon;
        for (const char* flags : {"0002", "0012"})
            for (const char* tag : {"[CHAT]", "[STAR]", "[SEXP]", "[W2BN]", ""})
                QTest::newRow(QByteArray("gavel ") + flags + " " + tag)
                    << QByteArray("1002 JOIN Scout ") + flags + " " + tag << true << "Scout" << 5;
        QTest::newRow("operator bit among others")
            << QByteArray("1001 USER Scout 0006 [CHAT]") << true << "Scout" << 5;
        QTest::newRow("other product")
            << QByteArray("1001 USER Scout 0010 [W2BN]") << true << "Scout" << -1;
        QTest::newRow("blank after the tag")
            << QByteArray("1001 USER Scout 0010 [CHAT] ") << true << "Scout" << -1;
        QTest::newRow("tag in small letters")
            << QByteArray("1001 USER Scout 0010 [chat]") << true << "Scout" << -1;
        QTest::newRow("unknown flags, known tag")
            << QByteArray("1001 USER Scout 0020 [CHAT]") << true << "Scout" << 0;
        QTest::newRow("flags not hexadecimal")
            << QByteArray("1001 USER Scout 00x2 [STAR]") << true << "Scout" << 4;
        QTest::newRow("name holding 0000")
            << QByteArray("1001 USER ab0000 0010 [CHAT]") << true << "ab0000" << 0;
        QTest::newRow("name holding 0002")
            << QByteArray("1001 USER x0002 0010 [STAR]") << true << "x0002" << 4;
        QTest::newRow("name holding a tag")
            << QByteArray("1001 USER [CHAT] 0010 [W2BN]") << true << "[CHAT]" << -1;
        QTest::newRow("one-character name")
            << QByteArray("1001 USER a 0010 [CHAT]") << true << "a" << 0;
        QTest::newRow("empty name") << QByteArray("1001 USER  0010 [CHAT]") << true << "" << 0;
        QTest::newRow("markup name")
            << QByteArray("1001 USER <b>x</b> 0010 [CHAT]") << true << "<b>x</b>" << 0;
        QTest::newRow("no flags field") << QByteArray("1001 USER Scout") << false << "" << 0;
        QTest::newRow("no name field") << QByteArray("1001 USER") << false << "" << 0;
    }
    void addUser()
    {
        QFETCH(QByteArray, line);
        QFETCH(bool, listed);
        QFETCH(QString, name);
        QFETCH(int, icon);
        QListWidget list;
        QCOMPARE(add(list, line), listed);
        QCOMPARE(list.count(), listed ? 1 : 0);
        if (!listed)
            return;
        QCOMPARE(list.item(0)->text(), name);
        QCOMPARE(ItemIcon(list, 0), icon);
        QVERIFY(!ItemTopLine(list, 0));
    }

    // A leave line removes every item of its name, and only those; the items
    // left keep their names, pictures and order.
    void removeUser_data()
    {
        QTest::addColumn<QByteArray>("leave");
        QTest::addColumn<bool>("done");
        QTest::addColumn<QStringList>("removed");
        QTest::newRow("three of a name")
            << QByteArray("1003 LEAVE a 0010") << true << QStringList{"a/0", "a/5", "a/-1"};
        QTest::newRow("name holding 0000")
            << QByteArray("1003 LEAVE ab0000 0010") << true << QStringList{"ab0000/2"};
        QTest::newRow("empty name") << QByteArray("1003 LEAVE  0010") << true << QStringList{"/6"};
        QTest::newRow("not listed") << QByteArray("1003 LEAVE zed 0010") << true << QStringList{};
        QTest::newRow("unknown flags")
            << QByteArray("1003 LEAVE b 0020") << true << QStringList{"b/0"};
        QTest::newRow("no flags field") << QByteArray("1003 LEAVE b") << true << QStringList{"b/0"};
        QTest::newRow("no name field") << QByteArray("1003 LEAVE") << false << QStringList{};
    }
    void removeUser()
    {
        QFETCH(QByteArray, leave);
        QFETCH(bool, done);
        QFETCH(QStringList, removed);
        QListWidget list;
        for (const char* line :
             {"1001 USER a 0010 [CHAT]", "1001 USER b 0000 [CHAT]", "1001 USER a 0012 [STAR]",
              "1001 USER ab 0002 [CHAT]", "1002 JOIN a 0010 [XXXX]", "1002 JOIN ab0000 0010 [DRTL]",
              "1002 JOIN  0010 [DSHR]"})
            QVERIFY(add(list, line));
        QStringList left = items(list);
        for (const QString& item : removed)
            left.removeAll(item);
        QCOMPARE(remove(list, leave), done);
        QCOMPARE(items(list), left);

        ClearUsers(list);
        QVERIFY(remove(list, leave) == done && list.count() == 0);
    }

    void selectedUser()
    {
        QListWidget list;
        ConfigureUserList(list);
        QCOMPARE(SelectedUser(list), "");
        add(list, "1001 USER Guard 0010 [CHAT]");
        add(list, "1001 USER Scout 0010 [CHAT]");
        QCOMPARE(SelectedUser(list), "");
        list.setCurrentRow(1);
        QCOMPARE(SelectedUser(list), "Scout");
        list.clearSelection();
        QCOMPARE(SelectedUser(list), "");
        QCOMPARE(ItemIcon(list, 2), -1);
        list.setCurrentRow(0);
        ClearUsers(list);
        QCOMPARE(list.count(), 0);
        QCOMPARE(SelectedUser(list), "");
    }

    // Items are 16 pixels high and as wide as the list, however long their names.
    void itemGeometry()
    {
        QListWidget list;
        list.resize(185, 257);
        ConfigureUserList(list);
        for (int i = 0; i < 3; ++i)
            add(list, "1001 USER " + QByteArray(200, 'W') + " 0010 [CHAT]");
        list.show();
        QVERIFY(QTest::qWaitForWindowExposed(&list));
        QCOMPARE(list.visualItemRect(list.item(1)).height(), userlist::ItemHeight);
        QCOMPARE(list.visualItemRect(list.item(1)).top(), userlist::ItemHeight);
        QCOMPARE(list.visualItemRect(list.item(1)).width(), list.viewport()->width());
    }
};

QTEST_MAIN(TestUserList)
#include "test_userlist.moc"
