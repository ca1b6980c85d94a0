// The server line path without a window: bytes in arbitrary arrival chunks
// through LineBuffer, then every line through the event and field cuts.
//
// Input: byte 0 holds in its low three bits how many control bytes follow (1..8);
// the rest is the stream. The control bytes, used in turn, cut the stream into
// chunks:
//   bits 0-3  chunk length (kLengths; 15 takes the rest of the stream)
//   bit 4     take complete lines out after this chunk: all of them, or as
//             many as bits 6-7 say (1 to 3), as a handler does that yields
//             to the event loop between lines and meanwhile gets more bytes
//   bit 5     repeat the chunk until the copies hold at least kMaxLineLength
//             - 1 + (bits 6-7) bytes, so that small inputs reach the handling
//             of overlong lines; bit 4 then appends the copies a few at a
//             time, taking all lines out after each, instead of all at once
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "bots/protocol.h"

using namespace protocol;

namespace {

#define CHECK(cond)                                                                                \
    do {                                                                                           \
        if (!(cond)) {                                                                             \
            std::fprintf(stderr, "fuzz_lines: check failed at line %d: %s\n", __LINE__, #cond);    \
            std::abort();                                                                          \
        }                                                                                          \
    } while (0)

constexpr std::size_t kLengths[16] = {1, 2, 3, 4, 5, 6, 7, 8, 11, 16, 17, 64, 255, 256, 4097, 0};
// A bound on the stream that repeats build, to keep one run short: room for
// two overlong lines.
constexpr std::size_t kStreamLimit = 2 * (kMaxLineLength + 4);

constexpr std::size_t kAll = SIZE_MAX;

struct Piece {
    std::string_view bytes;
    std::size_t copies = 1;
    bool oneAtATime = false; // copies appended separately
    std::size_t take = 0;    // lines taken out after the piece
};

bool inside(std::string_view part, std::string_view whole)
{
    return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

// What LineBuffer must produce, by the plainest means.
std::vector<std::string> referenceLines(std::string_view stream)
{
    std::vector<std::string> lines;
    std::size_t begin = 0;
    for (std::size_t lf; (lf = stream.find('\n', begin)) != std::string_view::npos;
         begin = lf + 1) {
        std::string_view line = stream.substr(begin, lf - begin);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.size() <= kMaxLineLength)
            lines.emplace_back(line);
    }
    return lines;
}

// Takes up to `most` lines; true when no complete line is left.
bool drainInto(LineBuffer& buffer, std::vector<std::string>& lines, std::size_t most = kAll)
{
    std::string line;
    for (std::size_t n = 0; n < most; ++n) {
        const bool had = buffer.hasLine();
        if (!buffer.takeLine(line)) {
            CHECK(!buffer.hasLine());
            // Only the unfinished text is left, and it is bounded.
            CHECK(buffer.size() <= kMaxLineLength + 1);
            return true;
        }
        CHECK(had);
        CHECK(line.find('\n') == std::string::npos);
        CHECK(line.size() <= kMaxLineLength);
        lines.push_back(line);
    }
    return false;
}

void checkOutgoing(std::string_view text)
{
    const std::string out = outgoingLine(text);
    CHECK(out.size() >= 2 && out.size() <= text.size() + 2);
    CHECK(out.ends_with("\r\n"));
    const std::string_view body(out.data(), out.size() - 2);
    CHECK(body.find_first_of("\r\n") == std::string_view::npos);
    if (text.find_first_of("\r\n") == std::string_view::npos)
        CHECK(body == text);
}

void checkKickBan(std::string_view info, std::string_view name)
{
    const KickBan k = kickBanOf(info, name);
    if (k == KickBan::None)
        return;
    CHECK(!name.empty() && info.starts_with(name));
    CHECK(info.size() == name.size() || info[name.size()] == ' ');
    CHECK(info.find(k == KickBan::Kicked ? "kicked" : "banned") != std::string_view::npos);
}

void checkLine(std::string_view line)
{
    const Event event = eventOf(line);
    CHECK(event == Event::Other || line.size() >= 4);

    for (int n = 0; n < 6; ++n) {
        if (auto f = field(line, n)) {
            CHECK(inside(*f, line));
            CHECK(f->find(' ') == std::string_view::npos);
        }
    }
    const std::string_view flags = GetUserFlags(line);
    CHECK(flags.empty() || inside(flags, line));
    const auto name = field(line, 2);

    const auto quoted = quotedText(line);
    if (quoted) {
        CHECK(inside(*quoted, line));
        CHECK(quoted->data() > line.data() && quoted->data()[-1] == '"');
        CHECK(quoted->data() + quoted->size() < line.data() + line.size());
        CHECK(quoted->data()[quoted->size()] == '"');
    }

    const int icon = iconFor(line, flags);
    CHECK(icon >= -1 && icon <= 6);

    const auto user = cutUser(line);
    CHECK(user.has_value() == field(line, 3).has_value());
    if (user) {
        CHECK(user->name == *name && inside(user->name, line));
        CHECK(user->flags == flags && inside(user->flags, line));
        CHECK(user->icon == icon);
    }
    if (auto left = cutLeave(line))
        CHECK(inside(*left, line));
    if (auto talk = cutTalk(line)) {
        CHECK(name && talk->name == std::string(*name) + ' ');
        CHECK(inside(talk->text, line));
    }
    if (auto whisper = cutWhisper(line)) {
        CHECK(name && whisper->name == *name);
        CHECK(inside(whisper->text, line));
    }
    const Said emote = cutEmote(line);
    CHECK(emote.text.empty() || inside(emote.text, line));
    CHECK(emote.name.empty() || (name && emote.name == ' ' + std::string(*name) + ' '));
    if (auto channel = cutChannel(line))
        CHECK(inside(*channel, line));
    if (auto botName = cutBotName(line))
        CHECK(inside(*botName, line));

    const std::string_view info = quoted.value_or(line);
    for (std::string_view account : {"", "bob", "Bot", " "})
        checkKickBan(info, account);
    if (name)
        checkKickBan(info, *name);
    checkKickBan(info, info.substr(0, info.find(' ')));

    checkOutgoing(line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t controlCount = (data[0] & 7) + 1;
    if (size < 1 + controlCount)
        return 0;
    const std::uint8_t* controls = data + 1;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1 + controlCount,
                                 size - 1 - controlCount);

    std::vector<Piece> pieces;
    std::string stream;
    stream.reserve(kStreamLimit + input.size());
    for (std::size_t at = 0, i = 0; at < input.size(); ++i) {
        const std::uint8_t c = controls[i % controlCount];
        const std::size_t length = kLengths[c & 15] ? kLengths[c & 15] : input.size();
        Piece piece;
        piece.bytes = input.substr(at, length);
        at += piece.bytes.size();
        if (c & 0x20) {
            const std::size_t target = kMaxLineLength - 1 + (c >> 6);
            piece.copies = (target + piece.bytes.size() - 1) / piece.bytes.size();
            piece.oneAtATime = c & 0x10;
            if (stream.size() + piece.copies * piece.bytes.size() > kStreamLimit)
                piece.copies = 1;
        }
        if ((c & 0x30) == 0x10)
            piece.take = (c >> 6) ? std::size_t(c >> 6) : kAll;
        for (std::size_t k = 0; k < piece.copies; ++k)
            stream.append(piece.bytes);
        pieces.push_back(piece);
    }

    LineBuffer chunked;
    std::vector<std::string> chunkedLines;
    std::size_t sinceDrain = 0;
    for (const Piece& piece : pieces) {
        checkOutgoing(piece.bytes);
        if (piece.oneAtATime) {
            // A few hundred bytes at once at first, then one copy at a time
            // where the line comes to its bound.
            for (std::size_t k = 0; k < piece.copies;) {
                const std::size_t left = (piece.copies - k) * piece.bytes.size();
                const std::size_t group =
                    left > 512 ? std::max<std::size_t>(1, 256 / piece.bytes.size()) : 1;
                std::string joined;
                for (std::size_t g = 0; g < group; ++g)
                    joined.append(piece.bytes);
                chunked.append(joined);
                drainInto(chunked, chunkedLines);
                k += group;
            }
            sinceDrain = 0;
            continue;
        }
        std::string joined;
        for (std::size_t k = 0; k < piece.copies; ++k)
            joined.append(piece.bytes);
        chunked.append(joined);
        sinceDrain += joined.size();
        // Lines not yet taken stay; the unfinished text is bounded.
        CHECK(chunked.size() <= kMaxLineLength + 1 + sinceDrain);
        if (piece.take && drainInto(chunked, chunkedLines, piece.take))
            sinceDrain = 0;
    }
    drainInto(chunked, chunkedLines);

    LineBuffer whole;
    std::vector<std::string> wholeLines;
    whole.append(stream);
    drainInto(whole, wholeLines);

    const std::vector<std::string> expected = referenceLines(stream);
    CHECK(wholeLines == expected);
    CHECK(chunkedLines == expected);
    CHECK(chunked.size() == whole.size());

    // Repeated chunks repeat lines: each one is cut once.
    for (std::size_t i = 0; i < expected.size(); ++i)
        if (i == 0 || expected[i] != expected[i - 1])
            checkLine(expected[i]);

    // A cleared buffer starts afresh, whatever it held.
    chunked.clear();
    CHECK(chunked.size() == 0 && !chunked.hasLine());
    chunked.append("after clear\r\n");
    std::string line;
    CHECK(chunked.takeLine(line) && line == "after clear");
    return 0;
}
