// PLACEHOLDER: replaced by the user list model implementation.
#include "userlist/userlist.h"
#include <QListWidget>
void ConfigureUserList(QListWidget&) {}
bool AddUser(QListWidget&, std::string_view, std::string_view) { return true; }
bool RemoveUser(QListWidget&, std::string_view, std::string_view) { return true; }
void ClearUsers(QListWidget& l) { l.clear(); }
QString SelectedUser(const QListWidget&) { return {}; }
int ItemIcon(const QListWidget&, int) { return -1; }
bool ItemTopLine(const QListWidget&, int) { return false; }
