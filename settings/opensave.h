// The settings file: an INI file of sections and keys, read and written whole.
#pragma once

#include <QString>
#include <memory>

// $XDG_CONFIG_HOME/tenfold/setup.cfg (by default ~/.config/tenfold/setup.cfg).
QString DefaultSettingsPath();

// One parse of the file, kept to read many values and to write them back in
// one save. Comments, unknown sections and unknown keys survive a save.
class SettingsFile {
public:
    explicit SettingsFile(const QString& path);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    // The stored value; the empty text when the section or key is absent.
    QString value(const QString& section, const QString& key) const;
    void setValue(const QString& section, const QString& key, const QString& value);

    // Writes the whole file to a temporary beside it and renames it over the
    // old one. On failure the old file stays as it was and `error` says why.
    bool save(QString* error = nullptr);

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The stored value, or `def` when the file, section or key is absent or empty.
QString ReadSetting(const QString& section, const QString& key, const QString& file,
                    const QString& def);
// Stores one value at once; false when the file could not be written.
bool WriteSetting(const QString& section, const QString& key, const QString& value,
                  const QString& file);
