#include "userlist/userlist.h"

#include <QListWidget>

#include "bots/protocol.h"
#include "chat/showdata.h"
#include "userlist/drawing.h"

void ConfigureUserList(QListWidget& list)
{
    QPalette pal = list.palette();
    for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        pal.setColor(group, QPalette::Base, Qt::black);
        pal.setColor(group, QPalette::Window, Qt::black);
        pal.setColor(group, QPalette::Text, QColor(0, 192, 192));
        pal.setColor(group, QPalette::WindowText, QColor(0, 192, 192));
    }
    list.setPalette(pal);
    list.setAutoFillBackground(true);

    QFont font("MS Sans Serif");
    font.setPointSizeF(8.25);
    font.setWeight(QFont::Normal);
    font.setStyleHint(QFont::SansSerif);
    list.setFont(font);

    list.setSelectionMode(QAbstractItemView::SingleSelection);
    list.setEditTriggers(QAbstractItemView::NoEditTriggers);
    list.setUniformItemSizes(true);
    // Names are clipped at the right edge, never scrolled to.
    list.setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list.setItemDelegate(new UserListDelegate(&list));
}

void AddUser(QListWidget& list, const protocol::User& user)
{
    auto* item = new QListWidgetItem(FromServer(user.name));
    item->setData(userlist::IconRole, user.icon);
    item->setData(userlist::TopLineRole, false);
    list.addItem(item);
}

void RemoveUser(QListWidget& list, const QString& name)
{
    for (int i = 0; i < list.count();) {
        if (list.item(i)->text() == name)
            delete list.takeItem(i);
        else
            ++i;
    }
}

void ClearUsers(QListWidget& list)
{
    list.clear();
}

QString SelectedUser(const QListWidget& list)
{
    const QList<QListWidgetItem*> selected = list.selectedItems();
    return selected.isEmpty() ? QString() : selected.first()->text();
}
