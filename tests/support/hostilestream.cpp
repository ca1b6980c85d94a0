#include "support/hostilestream.h"

#include <QMultiMap>
#include <QRandomGenerator>
#include <QRegularExpression>

#include "bots/protocol.h"

namespace {

const QByteArray kAntiIdleLine = "/me Anti-Idle [Tenfold v1.00 (away)]\r\n";

// Writes one bot's stream line by line, noting what each line must do.
class StreamWriter {
public:
    StreamWriter(int bot, QRandomGenerator& rng) : m_bot(bot), m_rng(rng)
    {
        for (int k = 0; k < 24; ++k)
            m_names << QByteArray("u") + QByteArray::number(k);
        // Names holding a flags text, a NUL, a byte above 0x7F.
        m_names += {"a0010b", "x0000y", "0012", "op0002", QByteArray("n\0l", 3), "caf\xe9"};
    }

    HostileStream write(int wellFormed)
    {
        // Logged in: the bot answers nothing at its login prompt.
        line("2010 NAME " + account());
        enum { kHostileKinds = 8 };
        // Each hostile kind at least once, at a random place.
        QMultiMap<int, int> forced;
        for (int kind = 0; kind < kHostileKinds; ++kind)
            forced.insert(int(m_rng.bounded(wellFormed)), kind);
        for (int i = 0; i < wellFormed; ++i) {
            for (int kind : forced.values(i))
                hostile(kind);
            if (m_rng.bounded(100) == 0)
                hostile(3 + int(m_rng.bounded(kHostileKinds - 3))); // not the long ones
            wellFormedLine();
        }
        return m_stream;
    }

private:
    QByteArray good()
    {
        m_stream.shown << m_next;
        return mark('G');
    }
    QByteArray bad() { return mark('B'); }
    QByteArray mark(char kind)
    {
        return kind + QByteArray::number(m_bot) + '-' + QByteArray::number(m_next++) + ';';
    }
    QByteArray pick(const QList<QByteArray>& from)
    {
        return from.at(int(m_rng.bounded(qsizetype(from.size()))));
    }
    QByteArray user() { return pick(m_names); }
    QByteArray flags() { return pick({"0000", "0010", "0002", "0012"}); }
    QByteArray words()
    {
        static const QList<QByteArray> pool{"hello", "gg", "anyone", "up",  "for", "a",
                                            "game",  "?",  "lol",    "brb", "nice"};
        QByteArray text = pick(pool);
        for (int k = int(m_rng.bounded(4)); k > 0; --k)
            text += ' ' + pick(pool);
        return text;
    }
    void line(const QByteArray& text) { m_stream.bytes += text + "\r\n"; }
    QByteArray account() const { return "bot" + QByteArray::number(m_bot + 1); }
    // The name the server's notices use: the account's until the server names
    // the bot. A given name carries its mark, which shows again with the notice.
    QByteArray named()
    {
        if (m_stream.name.isEmpty())
            return account();
        m_stream.shown << m_nameMark;
        return m_stream.name.toLatin1();
    }

    void wellFormedLine()
    {
        ++m_stream.wellFormed;
        const int roll = int(m_rng.bounded(1000));
        const auto said = [this] { return words() + ' ' + good(); };
        const auto quoted = [&] { return '"' + said() + '"'; };
        if (roll < 300) {
            line("1005 TALK " + user() + ' ' + flags() + ' ' + quoted());
        } else if (roll < 440) {
            line("1018 INFO " + quoted());
        } else if (roll < 490) {
            line("1019 ERROR " + quoted());
        } else if (roll < 570) {
            line("1004 WHISPER " + user() + ' ' + flags() + ' ' + quoted());
        } else if (roll < 640) {
            line("1023 EMOTE " + user() + ' ' + flags() + ' ' + quoted());
        } else if (roll < 840) {
            const QByteArray name = user();
            if (roll < 700) {
                line("1001 USER " + name + ' ' + flags() + " [CHAT]");
                m_stream.users << QString::fromLatin1(name);
            } else if (roll < 770) {
                line("1002 JOIN " + name + ' ' + flags() + " [STAR]");
                m_stream.users << QString::fromLatin1(name);
            } else {
                line("1003 LEAVE " + name + ' ' + flags());
                m_stream.users.removeAll(QString::fromLatin1(name));
            }
        } else if (roll < 960) {
            line("2000 NULL"); // shows an empty entry
            m_stream.replies += kAntiIdleLine;
        } else if (roll < 970) {
            const QByteArray name = account() + '#' + good();
            m_nameMark = m_stream.shown.last();
            line("2010 NAME " + name);
            m_stream.name = QString::fromLatin1(name);
        } else if (roll < 978) {
            const QByteArray channel = "Chan " + good();
            line("1007 CHANNEL \"" + channel + '"');
            m_stream.users.clear();
            m_stream.channel = QString::fromLatin1(channel);
        } else if (roll < 986) {
            const QByteArray name = named();
            line("1018 INFO \"" + name + " has been kicked by Boss (" + said() + ")\"");
            m_stream.replies += "/join Op Den\r\n";
        } else if (roll < 990) {
            const QByteArray name = named();
            line("1018 INFO \"" + name + " has been banned by Boss (" + said() + ")\"");
            m_stream.replies += "/join Op Den2\r\n";
        } else {
            // Another user's kick, whose name begins with this bot's.
            const QByteArray name = named();
            line("1018 INFO \"" + name + "0 has been kicked by Boss (" + said() + ")\"");
        }
    }

    void hostile(int kind)
    {
        ++m_stream.hostile;
        switch (kind) {
        case 0: // far too long: dropped whole, its mark at the start included
            line("1018 INFO \"" + bad() + QByteArray(100000, 'x') + '"');
            break;
        case 1: // the longest line handled, its mark at the very end
            line(padded("1018 INFO \"", good() + '"', protocol::kMaxLineLength));
            break;
        case 2: // one byte too long
            line(padded("1018 INFO \"" + bad(), "\"", protocol::kMaxLineLength + 1));
            break;
        case 3: // NUL and every byte above 0x7F are text like any other
            line(QByteArray("1018 INFO \"nul\0in\0text \x80\xe9\xff ", 27) + good() + '"');
            break;
        case 4: // unbalanced quotes: skipped
            line(pick({"1018 INFO \"", "1019 ERROR \"", "1005 TALK u1 0010 \"",
                       "1004 WHISPER u1 0010 \"", "1007 CHANNEL \""}) +
                 "open " + bad());
            break;
        case 5: // codes outside the table; prompts that ran into a line are read past
            if (m_rng.bounded(5) == 0)
                line("Username: Password: 1018 INFO \"" + good() + '"');
            else
                line(pick({"1009 USER u1 0000 ", "1010 WHISPER u1 0010 \"", "9999 ", "1006 "}) +
                     bad() + '"');
            break;
        case 6: // line ends alone
            m_stream.bytes += pick({"\r\n", "\n", "\r\r\n"});
            break;
        case 7: // lines too short to cut
            line(pick({"1005 TALK bob", "2010 NAME", "1003 LEAVE", "1001 USER lonely", "1002 JOIN",
                       "10", "1005", "1004 WHISPER"}));
            break;
        }
    }

    static QByteArray padded(const QByteArray& head, const QByteArray& tail, qsizetype length)
    {
        return head + QByteArray(length - head.size() - tail.size(), 'y') + tail;
    }

    int m_bot;
    QRandomGenerator& m_rng;
    QList<QByteArray> m_names;
    HostileStream m_stream;
    int m_next = 1;
    int m_nameMark = 0;
};

} // namespace

HostileStream WriteHostileStream(int bot, int wellFormed, QRandomGenerator& rng)
{
    return StreamWriter(bot, rng).write(wellFormed);
}

Marks MarksIn(const QString& log, int bot)
{
    static const QRegularExpression mark("([GB])(\\d+)-(\\d+);");
    Marks marks;
    for (auto it = mark.globalMatch(log); it.hasNext();) {
        const auto m = it.next();
        if (m.captured(1) == "G" && m.captured(2).toInt() == bot)
            marks.good << m.captured(3).toInt();
        else
            ++marks.wrong;
    }
    return marks;
}
