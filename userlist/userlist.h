// The model of a bot's user list: which users, with which picture.
#pragma once

#include <QString>
#include <Qt>

#include "bots/protocol.h"

class QListWidget;

namespace userlist {
constexpr int IconRole = Qt::UserRole;        // int: picture number, negative for none
constexpr int TopLineRole = Qt::UserRole + 1; // bool: draw a line along the item's top
constexpr int ItemHeight = 16;
} // namespace userlist

// Sets up a list: owner drawing, colours, font, single selection.
void ConfigureUserList(QListWidget& list);

// Appends a user of a user line (1001, 1002) with its picture.
void AddUser(QListWidget& list, const protocol::User& user);
// For a leave line (1003): removes every item of that name.
void RemoveUser(QListWidget& list, const QString& name);
void ClearUsers(QListWidget& list);
// The name of the selected user, or the empty text when none is selected.
QString SelectedUser(const QListWidget& list);
