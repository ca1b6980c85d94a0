// Each bot's chat in files that outlive the window: <folder>/YYYY-MM-DD-botN.log,
// a file per bot and local day, one line per entry led by its time. Chat
// holds whispers, so folders are made 0700 and files 0600, as private as the
// settings file; a file is only ever appended to. Lines wait in a buffer per
// bot and go out at least once a second, when a day's file is closed and when
// the files close, so that the window never waits for the disk per entry.
//
// Chat text is other people's: nothing in it may start a line that reads as
// an entry, reach a terminal as a control, or steer where the bytes go. The
// folder and its parent are ours (never a link, owned by us, 0700); those
// above are the user's business and are followed as they are.
#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QString>
#include <QStringList>
#include <string>
#include <string_view>
#include <vector>

#include "log/logclock.h"

// $XDG_DATA_HOME/tenfold/logs (by default ~/.local/share/tenfold/logs).
QString DefaultLogFolder();

class LogFiles : public QObject {
    Q_OBJECT
public:
    // Files for bots 0 .. bots - 1 (named bot1 .. botN) in `folder`, which is
    // made when the first file is opened.
    LogFiles(const QString& folder, int bots, QObject* parent = nullptr);
    ~LogFiles() override;

    const QString& folder() const { return m_folder; }
    // The file a bot's entries of a local date (yyyymmdd) go to.
    QString path(int bot, int date) const;

    // Makes the folder and its parent, or finds them sound; false with the
    // reason in `why` otherwise.
    bool makeFolder(QString* why);

    // One entry of `bot` at `time`: `text` (ISO-8859-1, lines separated by
    // '\n') becomes one line "HH:MM:SS text\n" in UTF-8, in the file of the
    // entry's date; breaks and control characters are written as visible
    // marks. A bot whose writing failed writes nothing until reset().
    void write(int bot, const EntryTime& time, std::string_view text);
    bool failed(int bot) const { return m_bots[size_t(bot)].failed; }
    // Lets a bot write again after a failure.
    void reset(int bot) { m_bots[size_t(bot)].failed = false; }
    // Writes out every waiting line.
    void flush();
    // Flushes and closes every file, each with a line saying logging
    // stopped; the next entry opens its file again.
    void close();

signals:
    // A bot's folder or file could not be made, opened or written; `message`
    // names the file and why. Sent once: the bot is marked failed before it.
    void writeFailed(int bot, const QString& message);
    // Something was mended on the way (a folder narrowed, a removed file
    // started again). Sent from the event loop, never from inside a write.
    void noted(int bot, const QString& message);

protected:
    void timerEvent(QTimerEvent* e) override;

private:
    struct Bot {
        int fd = -1;
        int date = 0; // of the open file
        std::string pending;
        bool failed = false;
    };
    int openFolder(QString* why, QStringList* narrowed);
    bool open(int bot, int date, const EntryTime& now);
    void flush(int bot);
    void closeFile(int bot, const EntryTime& now);
    void fail(int bot, const QString& path, const QString& why);
    void note(int bot, const QString& message);

    QString m_folder;
    QString m_base;          // the user's: followed as it is
    QByteArray m_own[2];     // our folders under it: the parent, then the folder
    std::vector<Bot> m_bots; // never resized: a report may come back as a write
    QBasicTimer m_timer;     // runs while lines wait
};
