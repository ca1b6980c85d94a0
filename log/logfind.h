// Find in a chat log: matches of a text in the log's characters as the view
// shows them (stamps included, a break after every entry), read in place from
// the store's chunks. Offsets are the view's character offsets; matches may
// overlap, and each is known by where it starts.
#pragma once

#include <QBasicTimer>
#include <QStringView>
#include <QWidget>
#include <array>
#include <optional>
#include <string>

#include "log/logstore.h"

class LogView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QToolButton;

class LogFinder {
public:
    explicit LogFinder(const LogStore& store) : m_store(store) {}

    // ISO-8859-1 letters match either case unless `matchCase`; a character
    // the log cannot hold matches nothing, and so does a text over kLongest;
    // CR LF and CR stand for a break.
    static constexpr qsizetype kLongest = 4096;
    void setText(QStringView text, bool matchCase);
    bool empty() const { return m_needle.empty(); }
    quint64 length() const { return m_needle.size(); }

    // The first match starting in [from, to).
    std::optional<quint64> next(quint64 from, quint64 to) const;
    // The last match starting in [from, before).
    std::optional<quint64> previous(quint64 before, quint64 from = 0) const;
    // How many matches start in [from, to).
    quint64 count(quint64 from, quint64 to) const;
    // Calls hit(start) for each match starting in [from, to), in order, until it returns false.
    template <class Hit> void forEach(quint64 from, quint64 to, Hit hit) const
    {
        scan(from, to, [&](quint64 at) { return hit(at); });
    }

    // Latin-1 case folding: each byte to its small letter.
    static const std::array<unsigned char, 256>& foldTable();

private:
    // The callback is a plain function reference to keep the scanners out of the header.
    struct HitRef {
        void* self;
        bool (*call)(void*, quint64);
        bool operator()(quint64 at) const { return call(self, at); }
    };
    template <class F> static HitRef ref(F& f)
    {
        return {&f, [](void* s, quint64 at) { return (*static_cast<F*>(s))(at); }};
    }
    template <class F> void scan(quint64 from, quint64 to, F f) const
    {
        scanChars(from, to, ref(f));
    }
    void scanChars(quint64 from, quint64 to, HitRef hit) const;
    // Matches of `piece` that lie within one entry's bytes, starting in bytes [from, to).
    bool scanBytes(const std::string& piece, quint64 from, quint64 to, HitRef hit) const;
    bool scanBreaks(quint64 from, quint64 to, HitRef hit) const;
    bool matchesAt(quint64 at) const; // character by character, for needles with breaks
    char charAt(quint64 c) const;

    const LogStore& m_store;
    std::string m_needle;   // as bytes, folded unless case matters
    std::string m_anchor;   // its longest piece without a break, searched in place
    quint64 m_anchorAt = 0; // where the anchor starts in the needle
    bool m_fold = true;
    bool m_impossible = false; // the needle holds a character no entry can
};

// The find bar under a bot's log: hidden until Ctrl+F in the log or in the
// bot's input line. Typing selects the newest match at or above the bottom of
// the view; Enter and Previous go to the older match, Shift+Enter and Next to
// the newer one, wrapping at both ends. Matches are counted in slices between
// events, so a keystroke waits for one search at most; the count goes on over
// new entries while the bar is open, and new entries move neither the view nor
// the match. Escape closes it and puts the focus back in the input line.
class FindBar : public QWidget {
    Q_OBJECT
public:
    FindBar(LogView& log, QWidget& input);

    void open();
    void dismiss();
    // Where the current match starts, if there is one.
    std::optional<quint64> current() const { return m_current; }
    // Whether the count is still going.
    bool counting() const { return m_counter.isActive(); }

    QLineEdit* field;
    QCheckBox* matchCase;
    QToolButton *previousButton, *nextButton, *closeButton;
    QLabel* countLabel;

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;
    void timerEvent(QTimerEvent* e) override;

private:
    void search();
    void step(bool older);
    void select(quint64 at);
    void restartCount();
    void countSlice();
    void showCount();
    quint64 bottomOffset() const;

    LogView& m_log;
    QWidget& m_input;
    LogFinder m_finder;
    QRect m_logRect; // the log's place with the bar closed
    std::optional<quint64> m_current;
    quint64 m_total = 0;     // matches counted so far
    quint64 m_countedTo = 0; // every match starting before this is counted
    quint64 m_index = 0;     // the current match's number from the oldest; 0 while unknown
    bool m_wrapped = false;  // the last step went round an end
    QBasicTimer m_counter;
};
