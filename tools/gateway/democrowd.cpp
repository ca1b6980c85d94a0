#include "tools/gateway/democrowd.h"

namespace demo {

namespace {

const QByteArrayList kFirst = {
    "Ash",    "Bramble", "Cinder",  "Dusk",  "Ember", "Fable",   "Gale",  "Hollow",
    "Ivy",    "Jinx",    "Kestrel", "Lark",  "Moth",  "Nettle",  "Onyx",  "Pike",
    "Quill",  "Rook",    "Sable",   "Thorn", "Umber", "Vesper",  "Wren",  "Yarrow",
    "Zephyr", "Basalt",  "Comet",   "Drift", "Flint", "Grackle", "Heron", "Marrow",
};
const QByteArrayList kSuffix = {"", "", "", "_", "x", "7", "42", "99", "13", "Fox", "Jr", "[GM]"};

// "[DEMO]" stands for a product the console does not know: it lists nobody
// with it unless the user is an operator.
const QByteArrayList kProducts = {"[STAR]", "[STAR]", "[STAR]", "[SEXP]", "[SEXP]",
                                  "[SEXP]", "[SEXP]", "[CHAT]", "[CHAT]", "[DRTL]",
                                  "[DRTL]", "[DSHR]", "[SSHR]", "[DEMO]"};

} // namespace

const QByteArrayList Crowd::kTags = {"[STAR]", "[SEXP]", "[CHAT]", "[DRTL]",
                                     "[DSHR]", "[SSHR]", "[DEMO]"};
const QByteArrayList Crowd::kFlagValues = {"0002", "0012", "0000", "0010"};

const QByteArrayList Crowd::kTalk = {
    "anyone up for a game?",
    "gg all",
    "brb, coffee",
    "lol",
    "who is hosting tonight?",
    "the new map is huge",
    "does anyone have the patch notes?",
    "hi everyone",
    "back",
    "that was close",
    "I keep losing to rushes, any tips?",
    "scout early, wall in, don't panic",
    "who wants a 2v2?",
    "my connection is terrible today",
    "nice one",
    "has anyone seen Wren?",
    "ten bots in one channel? busy in here",
    "afk 5 min",
    "the ladder reset yesterday",
    "I like the quiet channels better",
    "ok, one more game then sleep",
    "anyone know a good clan to join?",
    "wb",
    "ty",
    "this channel is always lively",
};

const QByteArrayList Crowd::kEmote = {
    "waves",
    "yawns",
    "is looking for a team",
    "dances",
    "hands out cookies",
    "stretches",
    "is away from the keyboard",
    "cheers",
    "shrugs",
    "laughs",
};

const QByteArrayList Crowd::kWhisper = {
    "hey, are you a bot?",
    "nice console you have there",
    "want to play later?",
    "can you keep my seat in the channel?",
    "hello from the other side of the channel",
    "psst",
};

const QByteArrayList Crowd::kWhisperReply = {
    "I'm only a demo user, but thanks!",
    "got it",
    "sure, later",
    "who is this?",
};

const QByteArrayList Crowd::kError = {
    "That user is not logged on.",
    "Your message was not sent: too many lines in a short time.",
    "That channel is full.",
};

const QByteArrayList Crowd::kReason = {
    "spamming", "flooding the channel", "testing the kick button", "no reason given", "too quiet",
};

User Crowd::newUser(const QByteArrayList& taken, bool asOperator)
{
    User user;
    do {
        user.name = pick(kFirst) + pick(kSuffix);
        // Names collide once the channel is crowded: a digit makes them unique.
        if (taken.contains(user.name))
            user.name += QByteArray::number(1 + below(9));
    } while (taken.contains(user.name));
    user.product = pick(kProducts);
    if (asOperator)
        user.flags = chance(50) ? "0002" : "0012";
    else
        user.flags = chance(50) ? "0000" : "0010";
    return user;
}

} // namespace demo
