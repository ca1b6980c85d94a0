// The model of a bot's user list: which users, with which picture.
#pragma once

#include <QString>
#include <Qt>
#include <string_view>

#include "bots/protocol.h"

class QListWidget;

namespace userlist {
constexpr int IconRole = Qt::UserRole;        // int: picture number, negative for none
constexpr int TopLineRole = Qt::UserRole + 1; // bool: draw a line along the item's top
constexpr int ItemHeight = 16;
} // namespace userlist

// Sets up a list: owner drawing, colours, font, single selection.
void ConfigureUserList(QListWidget& list);

// For a user line (1001, 1002): appends the user with its picture, chosen from
// `flags` (what GetUserFlags gave for the line) and the line's product tag;
// a user of an unknown product is listed without a picture (-1). False when
// the line has no name or flags field; nothing is added then.
bool AddUser(QListWidget& list, std::string_view line, std::string_view flags);
// The same for a line already cut.
void AddUser(QListWidget& list, const protocol::User& user);
// For a leave line (1003): removes every item of that name. False when the
// line has no name field.
bool RemoveUser(QListWidget& list, std::string_view line, std::string_view flags);
// The same for a name already cut.
void RemoveUser(QListWidget& list, const QString& name);
void ClearUsers(QListWidget& list);
// The name of the selected user, or the empty text when none is selected.
QString SelectedUser(const QListWidget& list);

// The picture number of an item (-1 for none or for an index out of range)
// and whether a line is drawn along its top.
int ItemIcon(const QListWidget& list, int index);
bool ItemTopLine(const QListWidget& list, int index);
