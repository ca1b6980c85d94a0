// The bots' passwords in the desktop's keyring (the freedesktop Secret Service,
// through QtKeychain) while Bot Setup's [Options] Keyring is on: one secret per
// bot under the service "tenfold", keyed by the bot's section ("Bot 3"). The
// settings file then holds empty passwords; a password put back into the file
// by hand is the one used for that bot.
//
// Every keyring request is answered later through the event loop (an unlock
// prompt can take minutes), so nothing here blocks the window.
#pragma once

#include <QList>
#include <QString>
#include <functional>
#include <optional>
#include <utility>

class frmMain;
class SettingsFile;

namespace keyring {
// How long a login, or start-up, waits for a password.
constexpr int kAnswerLimitMs = 10'000;
// Moving the passwords, or storing an edit, may wait on an unlock prompt.
constexpr int kPromptLimitMs = 120'000;
} // namespace keyring

// [Options] Keyring in the file: "1" is on; anything else is off.
bool KeyringOn(const SettingsFile& file);

// The password a login sends, read at that moment: from the settings file, or
// from the keyring when the option is on and the file holds none for the bot.
// `send` gets it once, at once or later; or gets nothing when the keyring gave
// no password within kAnswerLimitMs, which the bot's log then says in red.
void ReadLoginPassword(frmMain& w, int Index, std::function<void(std::optional<QString>)> send);

// Start-up with the option on: fills each bot's Password field from the
// keyring, unless the file holds the bot's password.
void FillPasswordsFromKeyring(frmMain& w, const SettingsFile& file);
// A save with the option on: stores in the keyring each Password field that
// changed since the keyring last told or took it (an empty field deletes).
void StorePasswordsInKeyring(frmMain& w, const SettingsFile& file);
// Waits in the event loop, at most kAnswerLimitMs, for stores still on their way.
void FinishKeyringStores();

// Bot Setup's switch. On: stores every password in the keyring, then empties
// them in the file with Keyring=1 in one save. Off: reads them all back, writes
// them into the file with Keyring=0 in one save, then deletes the keyring's.
// That save also stores the other [Options] `switches`. On failure the file is
// as it was and a message box says why; false then.
bool SetKeyring(frmMain& w, bool on, const QList<std::pair<QString, bool>>& switches);
