// Chat Setup's "Mark Tabs" and "Notify": what happens in a bot's log while the
// operator looks elsewhere marks its tab, and what needs him raises a desktop
// notification. Both off by default.
#pragma once

#include <QObject>
#include <QString>

class frmMain;
class Notifier;

// What needs the operator.
enum class Alert { Whisper, Kicked, Banned, Error, Lost, LoginRefused };

class Attention : public QObject {
    Q_OBJECT
public:
    explicit Attention(frmMain& w);

    void setOptions(bool markTabs, bool notify);
    // An entry was added to the bot's log.
    void entryAdded(int Index);
    // `who` is the other user (whisperer, operator), `text` the entry's text.
    void alert(int Index, Alert what, const QString& who, const QString& text);

    Notifier* notifier() const { return m_notifier; }
    // While above 0, entries mark nothing (see Unmarked).
    int quiet = 0;

private:
    void showBot(int Index);

    frmMain& m_w;
    Notifier* m_notifier = nullptr; // made when first turned on
    bool m_markTabs = false;
    bool m_notify = false;
};

// The entries added while it lives mark no tab: the operator's own lines and
// the bot's anti-idle answer are no news.
struct Unmarked {
    explicit Unmarked(frmMain& w, bool on = true);
    ~Unmarked();
    Unmarked(const Unmarked&) = delete;
    Unmarked& operator=(const Unmarked&) = delete;
    Attention* attention;
};

// Something that needs the operator happened to a bot.
void NeedsOperator(frmMain& w, int Index, Alert what, const QString& who, const QString& text);
