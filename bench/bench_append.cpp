// append: the cost of one chat-log entry on an empty log and on a log of a
// million entries, through the real AddChat on a shown log view.

#include <QApplication>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

#include "chat/chatlog.h"
#include "figures.h"
#include "log/logfiles.h"
#include "log/logview.h"

namespace {

constexpr int kBatch = 1000;
constexpr int kRepeats = 5;

const char* const kColours[] = {"White", "Yellow", "Gray", "Blue", "Red", "Green"};

// Entries as the log shows them: talk, whispers, emotes, notices.
QStringList sampleEntries()
{
    const QStringList names = {"Guard", "Scout", "Mage_of_Ash", "[xX]Hawk", "Juniper_77"};
    const QStringList texts = {"hi",  "anyone up for a game tonight",
                               "gg",  "the map is broken again, who wants to trade?",
                               "brb", "see you later on the 2v2 ladder, nice one"};
    QStringList entries;
    for (int i = 0; i < 997; ++i) {
        const QString& name = names[i % names.size()];
        const QString& text = texts[(i / 5) % texts.size()];
        switch (i % 4) {
        case 0:
            entries << "<" + name + " > " + text;
            break;
        case 1:
            entries << "<From:" + name + "> " + text;
            break;
        case 2:
            entries << "< " + name + " " + text + ">";
            break;
        default:
            entries << name + " has joined channel #" + QString::number(i);
            break;
        }
    }
    return entries;
}

std::unique_ptr<LogView> shownLog()
{
    auto log = std::make_unique<LogView>();
    ConfigureChatLog(*log);
    log->resize(481, 385); // the window's chat log
    log->show();
    QApplication::processEvents();
    return log;
}

void append(LogView& log, const QStringList& entries, int count, int& next)
{
    for (int i = 0; i < count; ++i, ++next)
        AddChat(log, entries[next % entries.size()], kColours[next % 6]);
}

// Seconds per entry of one batch, the view's repaint at its end included.
double timeBatch(LogView& log, const QStringList& entries, int& next)
{
    const double start = MonotonicSeconds();
    append(log, entries, kBatch, next);
    QApplication::processEvents();
    return (MonotonicSeconds() - start) / kBatch;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// A shown log filled with `count` entries, and what each cost in memory.
struct Filled {
    std::unique_ptr<LogView> log = shownLog();
    double heapPerEntry = 0, rssPerEntry = 0, seconds = 0;
};

Filled fill(int count, bool times, const QStringList& entries, int& next)
{
    Filled f;
    f.log->setTimestamps(times);
    const std::size_t heapBefore = HeapInUse();
    const std::size_t rssBefore = ResidentBytes();
    const double start = MonotonicSeconds();
    for (int done = 0; done < count; done += 10'000) {
        append(*f.log, entries, std::min(10'000, count - done), next);
        QApplication::processEvents();
    }
    f.seconds = MonotonicSeconds() - start;
    f.heapPerEntry = double(HeapInUse() - heapBefore) / count;
    f.rssPerEntry = (double(ResidentBytes()) - double(rssBefore)) / count;
    return f;
}

// Chat text at its worst for a log file: breaks, C0 and C1 controls and DEL,
// each of which the file holds as a visible mark several bytes long.
QStringList hostileEntries()
{
    QStringList entries;
    for (int i = 0; i < 97; ++i) {
        QString text;
        for (int k = 0; k < 200; ++k)
            text += QChar(k % 3 == 0 ? 0x80 + (i + k) % 32 : k % 3 == 1 ? 1 + (i + k) % 31 : 0x7f);
        entries << text;
    }
    return entries;
}

// Seconds per entry with both Chat Setup options on: times on a fresh log,
// and each entry also written to a bot's file in a scratch folder, flushed at
// each batch's end as the window's one-second timer would.
double timeLogged(const QStringList& entries, int& next)
{
    QTemporaryDir dir;
    LogFiles files(dir.filePath("tenfold/logs"), 1);
    auto log = shownLog();
    log->setTimestamps(true);
    log->setEntryTap(
        [&files](const EntryTime& t, std::string_view text) { files.write(0, t, text); });
    std::vector<double> batches;
    for (int r = 0; r < kRepeats; ++r) {
        const double start = MonotonicSeconds();
        append(*log, entries, kBatch, next);
        files.flush();
        QApplication::processEvents();
        batches.push_back((MonotonicSeconds() - start) / kBatch);
    }
    if (files.failed(0))
        std::fputs("append: the scratch log file could not be written\n", stderr);
    return median(batches);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // A smaller log can be asked for, for a quick look or a profile.
    const int filledEntries = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1'000'000;
    const QString filled = QLocale(QLocale::English).toString(filledEntries);
    const QStringList entries = sampleEntries();
    int next = 0;

    PrintTitle("append: one chat-log entry (AddChat on a shown log)");

    const Filled plain = fill(filledEntries, false, entries, next);
    const Filled stamped = fill(filledEntries, true, entries, next);

    // Batches on a fresh log and on the full ones take turns, so that a change
    // in the machine's load touches all alike.
    std::vector<double> empty, full, fullStamped;
    for (int r = 0; r < kRepeats; ++r) {
        auto fresh = shownLog();
        empty.push_back(timeBatch(*fresh, entries, next));
        full.push_back(timeBatch(*plain.log, entries, next));
        fullStamped.push_back(timeBatch(*stamped.log, entries, next));
    }

    const double emptyUs = median(empty) * 1e6;
    const double fullUs = median(full) * 1e6;
    const double stampedUs = median(fullStamped) * 1e6;
    const std::string to = "1,000 to a log of " + filled.toStdString();
    PrintFigure("baseline: per entry, 1,000 to an empty log", emptyUs, "us", "median of 5 batches");
    PrintGoal("per entry, " + to, fullUs, "us", "<= 5", fullUs <= 5);
    PrintGoal("ratio full / empty", fullUs / emptyUs, "", "<= 1.5", fullUs / emptyUs <= 1.5);
    PrintGoal("with times: per entry, " + to, stampedUs, "us", "<= 5", stampedUs <= 5);
    PrintGoal("memory per entry (RSS growth / entries)", plain.rssPerEntry, "bytes", "<= 150",
              plain.rssPerEntry <= 150);
    PrintFigure("memory per entry (heap growth / entries)", plain.heapPerEntry, "bytes");
    PrintGoal("with times: memory per entry (RSS growth / entries)", stamped.rssPerEntry, "bytes",
              "<= 150", stamped.rssPerEntry <= 150);
    PrintFigure("with times: memory per entry (heap growth / entries)", stamped.heapPerEntry,
                "bytes");
    auto perEntry = [&](const Filled& f) {
        return QString("%1 us per entry")
            .arg(f.seconds / filledEntries * 1e6, 0, 'f', 2)
            .toStdString();
    };
    const double loggedUs = timeLogged(entries, next) * 1e6;
    PrintGoal("with times and log files: per entry, 1,000 to an empty log", loggedUs, "us", "<= 5",
              loggedUs <= 5);
    const QStringList hostile = hostileEntries();
    PrintFigure("the same, 200 controls and breaks per entry", timeLogged(hostile, next) * 1e6,
                "us");
    const std::string filling = "filling the log to " + filled.toStdString() + " entries";
    PrintFigure(filling, plain.seconds, "s", perEntry(plain));
    PrintFigure("with times: " + filling, stamped.seconds, "s", perEntry(stamped));
    PrintLoad();
    return 0;
}
