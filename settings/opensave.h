// The settings file: an INI file of sections and keys, read and written whole.
// It is 8-bit text, one byte per character (ISO-8859-1), as the wire is.
#pragma once

#include <QList>
#include <QString>
#include <memory>
#include <utility>

// $XDG_CONFIG_HOME/tenfold/setup.cfg (by default ~/.config/tenfold/setup.cfg).
QString DefaultSettingsPath();

// The section of bot index 0..9: "Bot 1" .. "Bot 10".
QString BotSection(int Index);

// Makes `dir` and any missing parents, each with mode 0700. On failure `why`
// names the folder and the reason.
bool MakePrivateFolder(const QString& dir, QString* why);

// Only this much of a file is read: a settings file is a few kilobytes, and a
// huge one (a mistake, or a damaged disk) must not stall every read.
constexpr qint64 SettingsReadLimit = 1 << 20;

// One parse of the file, kept to read many values and to write them back in
// one save. Comments, unknown sections and unknown keys survive a save.
class SettingsFile {
public:
    explicit SettingsFile(const QString& path);
    ~SettingsFile();
    SettingsFile(const SettingsFile&) = delete;
    SettingsFile& operator=(const SettingsFile&) = delete;

    const QString& path() const;
    // Why the existing file could not be read, or empty. A missing file is not
    // an error. A file that could not be read is never overwritten by save().
    const QString& loadError() const;
    // Set when only the first SettingsReadLimit bytes were read; a save keeps
    // only what was read.
    const QString& loadWarning() const;

    // The stored value; the empty text when the section or key is absent.
    QString value(const QString& section, const QString& key) const;
    // Line breaks in `value` become blanks: the file holds one value per line.
    void setValue(const QString& section, const QString& key, const QString& value);

    // Writes the whole file to a temporary beside it and renames it over the
    // old one. On failure the old file stays as it was and `error` says why.
    bool save(QString* error = nullptr);
    // save(), and on failure one line on stderr naming the file and why.
    bool saveOrWarn();

private:
    struct Private;
    std::unique_ptr<Private> d;
};

// The stored value, or `def` when the section or key is absent or empty.
QString ReadSetting(const SettingsFile& file, const QString& section, const QString& key,
                    const QString& def);
// The same, reading the file at `file` afresh.
QString ReadSetting(const QString& section, const QString& key, const QString& file,
                    const QString& def);

// A switch in the [Options] section: "1" is on, "0" off; anything else, or no
// value, is `def`.
bool ReadOption(const QString& file, const QString& key, bool def);
// A whole number in [Options]; anything else, or a value outside [min, max],
// is `def`.
int ReadOptionNumber(const QString& file, const QString& key, int def, int min, int max);
// Stores switches in [Options] ("1" or "0") in one save, keeping the rest of
// the file; false (and one line on stderr) on failure.
bool WriteOptions(const QString& file, const QList<std::pair<QString, bool>>& options);
