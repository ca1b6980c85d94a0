#include "mixedstream.h"

#include <array>
#include <random>
#include <string_view>

namespace {

constexpr std::array<std::string_view, 24> kNames = {
    "Guard",  "Scout",    "Ranger",     "Mage_of_Ash", "Tinker", "[xX]Hawk", "Ostler", "Quill",
    "Vesper", "NightOwl", "Bramble",    "Cinder",      "Dusk#2", "Ember",    "Fable",  "Gale",
    "Harbor", "Ivory",    "Juniper_77", "KnightFall",  "Lumen",  "Moss",     "Nimbus", "Orchid"};
constexpr std::array<std::string_view, 6> kFlags = {"0010", "0000", "0012", "0002", "0001", "0018"};
constexpr std::array<std::string_view, 7> kTags = {"[CHAT]", "[STAR]", "[SEXP]", "[DRTL]",
                                                   "[SSHR]", "[DSHR]", "[W2BN]"};
constexpr std::array<std::string_view, 32> kWords = {
    "hi",  "anyone", "up",    "for", "a",      "game",  "tonight", "lol",
    "gg",  "the",    "map",   "is",  "broken", "again", "who",     "wants",
    "to",  "trade",  "ok",    "brb", "thanks", "nice",  "one",     "\"quoted\"",
    "see", "you",    "later", "2v2", "ladder", "rank",  "patch",   "server"};
constexpr std::array<std::string_view, 5> kChannels = {"Op Den", "Public Chat 1", "Clan Hawk",
                                                       "Trade", "Op Den2"};
constexpr std::array<std::string_view, 5> kInfo = {
    "Welcome to the gateway!", "Guard was kicked out of the channel by Scout.",
    "Ranger has been banned by Scout (spam).", "You are in channel \"Op Den\".",
    "There are 42 users in this channel."};

enum class Kind {
    User,
    Join,
    Leave,
    Whisper,
    Talk,
    Channel,
    Info,
    Error,
    Emote,
    KeepAlive,
    Name,
    Ignored
};

// Lines per thousand of each kind: talk dominates a busy channel, then joins,
// leaves and the user lists sent on each channel change.
struct Share {
    Kind kind;
    int perThousand;
};
constexpr std::array<Share, 12> kShares = {{{Kind::User, 140},
                                            {Kind::Join, 120},
                                            {Kind::Leave, 120},
                                            {Kind::Whisper, 40},
                                            {Kind::Talk, 350},
                                            {Kind::Channel, 10},
                                            {Kind::Info, 80},
                                            {Kind::Error, 20},
                                            {Kind::Emote, 50},
                                            {Kind::KeepAlive, 10},
                                            {Kind::Name, 5},
                                            {Kind::Ignored, 55}}};
static_assert([] {
    int sum = 0;
    for (const Share& share : kShares)
        sum += share.perThousand;
    return sum;
}() == 1000);

} // namespace

std::string MixedStream(std::size_t lines, std::uint32_t seed)
{
    std::mt19937 rng(seed);
    auto pick = [&rng](const auto& table) -> std::string_view {
        return table[std::uniform_int_distribution<std::size_t>(0, table.size() - 1)(rng)];
    };
    auto sentence = [&] {
        std::string text;
        const int words = std::uniform_int_distribution<int>(2, 12)(rng);
        for (int i = 0; i < words; ++i) {
            if (i)
                text += ' ';
            text += pick(kWords);
        }
        return text;
    };
    auto user = [&](std::string_view code) {
        return std::string(code) + ' ' + std::string(pick(kNames)) + ' ' +
               std::string(pick(kFlags));
    };

    std::string out;
    out.reserve(lines * 48);
    for (std::size_t n = 0; n < lines; ++n) {
        int roll = std::uniform_int_distribution<int>(0, 999)(rng);
        Kind kind = Kind::Ignored;
        for (const Share& share : kShares) {
            if (roll < share.perThousand) {
                kind = share.kind;
                break;
            }
            roll -= share.perThousand;
        }
        switch (kind) {
        case Kind::User:
            out += user("1001 USER") + ' ' + std::string(pick(kTags));
            break;
        case Kind::Join:
            out += user("1002 JOIN") + ' ' + std::string(pick(kTags));
            break;
        case Kind::Leave:
            out += user("1003 LEAVE");
            break;
        case Kind::Whisper:
            out += user("1004 WHISPER") + " \"" + sentence() + '"';
            break;
        case Kind::Talk:
            out += user("1005 TALK") + " \"" + sentence() + '"';
            break;
        case Kind::Channel:
            out += "1007 CHANNEL \"" + std::string(pick(kChannels)) + '"';
            break;
        case Kind::Info:
            out += "1018 INFO \"" + std::string(pick(kInfo)) + '"';
            break;
        case Kind::Error:
            out += "1019 ERROR \"That user is not logged on.\"";
            break;
        case Kind::Emote:
            out += user("1023 EMOTE") + " \"" + sentence() + '"';
            break;
        case Kind::KeepAlive:
            out += "2000 NULL";
            break;
        case Kind::Name:
            out += "2010 NAME bot#" + std::to_string(n % 97);
            break;
        case Kind::Ignored:
            // Codes the console ignores: flag updates, whispers sent, broadcasts.
            if (n % 3 == 0)
                out += user("1009 USER");
            else if (n % 3 == 1)
                out += user("1010 WHISPER") + " \"" + sentence() + '"';
            else
                out += "1006 BROADCAST \"Server restarts in 10 minutes.\"";
            break;
        }
        out += "\r\n";
    }
    return out;
}
