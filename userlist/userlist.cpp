#include "userlist/userlist.h"

#include <QListWidget>

#include "bots/protocol.h"
#include "chat/showdata.h"
#include "userlist/drawing.h"

namespace {

// A user as the list holds it: picture and name as plain fields, so that
// adding a user and finding one by name build no variants.
class UserItem : public QListWidgetItem {
public:
    static constexpr int Type = QListWidgetItem::UserType + 1;
    UserItem(const QString& name, int icon)
        : QListWidgetItem(name, nullptr, Type), m_name(name), m_icon(icon)
    {
    }
    QVariant data(int role) const override
    {
        if (role == userlist::IconRole)
            return m_icon;
        if (role == userlist::TopLineRole)
            return false;
        return QListWidgetItem::data(role);
    }
    const QString& name() const { return m_name; }

private:
    QString m_name;
    int m_icon;
};

} // namespace

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
    list.addItem(new UserItem(FromServer(user.name), user.icon));
}

void RemoveUser(QListWidget& list, const QString& name)
{
    for (int i = 0; i < list.count();) {
        const QListWidgetItem* item = list.item(i);
        const bool same = item->type() == UserItem::Type
                              ? static_cast<const UserItem*>(item)->name() == name
                              : item->text() == name;
        if (same)
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
