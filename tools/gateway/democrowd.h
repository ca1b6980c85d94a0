// The demo channel's cast: made-up users and what they say. Names never hold
// a run of two zeros, so no name can be mistaken for a flags field.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <random>

namespace demo {

struct User {
    QByteArray name;
    QByteArray flags;   // "0000", "0010", "0002" or "0012"
    QByteArray product; // a tag such as "[STAR]"
    bool isOperator() const { return flags == "0002" || flags == "0012"; }
};

inline QByteArray quoted(const QByteArray& text)
{
    return '"' + text + '"';
}

// A user line of the server: event and keyword, name, flags, product.
inline QByteArray userLine(const QByteArray& event, const User& u)
{
    return event + ' ' + u.name + ' ' + u.flags + ' ' + u.product;
}

class Crowd {
public:
    explicit Crowd(quint32 seed) : m_random(seed) {}

    int below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
    bool chance(int percent) { return below(100) < percent; }
    // A gap around `meanMs`: between 40 and 160 percent of it.
    int gap(int meanMs) { return meanMs * (40 + below(121)) / 100; }

    // A new user whose name is not among `taken`; an operator when asked.
    User newUser(const QByteArrayList& taken, bool asOperator = false);

    QByteArray talk() { return pick(kTalk); }
    QByteArray emote() { return pick(kEmote); }
    QByteArray whisper() { return pick(kWhisper); }
    QByteArray whisperReply() { return pick(kWhisperReply); }
    QByteArray error() { return pick(kError); }
    QByteArray reason() { return pick(kReason); }

    // Every product tag, the unknown one included, and every flags value,
    // operators first.
    static const QByteArrayList kTags, kFlagValues;
    static const QByteArrayList kTalk, kEmote, kWhisper, kWhisperReply, kError, kReason;

private:
    QByteArray pick(const QByteArrayList& from) { return from.at(below(int(from.size()))); }
    std::mt19937 m_random;
};

} // namespace demo
