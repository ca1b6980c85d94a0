// PLACEHOLDER: replaced by the settings file implementation.
#include "settings/opensave.h"
#include <QDir>
#include <QStandardPaths>
struct SettingsFile::Private {};
QString DefaultSettingsPath() { return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + "/tenfold/setup.cfg"; }
SettingsFile::SettingsFile(const QString&) : d(new Private) {}
SettingsFile::~SettingsFile() = default;
QString SettingsFile::value(const QString&, const QString&) const { return {}; }
void SettingsFile::setValue(const QString&, const QString&, const QString&) {}
bool SettingsFile::save(QString*) { return false; }
QString ReadSetting(const QString&, const QString&, const QString&, const QString& def) { return def; }
bool WriteSetting(const QString&, const QString&, const QString&, const QString&) { return false; }
