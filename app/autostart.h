// Bot Setup's "Start Tenfold when I log in to the desktop": an entry in the
// desktop's autostart folder. The file itself is the setting.
#pragma once

#include <QByteArray>
#include <QString>

// $XDG_CONFIG_HOME/autostart/tenfold.desktop
QString AutostartPath();
bool AutostartOn();
// The installed desktop entry with its Exec line starting `program`, quoted
// as desktop entries quote; the installed program is started from PATH.
QByteArray AutostartEntry(const QString& program);
// Writes (atomically, 0644) or removes the entry; false with the reason in `why`.
bool SetAutostart(bool on, QString* why);
