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
//             of overlong lines; bit 4 then takes all lines out after them
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bots/protocol.h"

using namespace protocol;

namespace {

[[noreturn]] void fail(int line, const char* what)
{
    std::fprintf(stderr, "fuzz_lines: check failed at line %d: %s\n", line, what);
    std::abort();
}
#define CHECK(cond) ((cond) ? void() : fail(__LINE__, #cond))

constexpr std::size_t kLengths[16] = {1, 2, 3, 4, 5, 6, 7, 8, 11, 16, 17, 64, 255, 256, 4097, 0};
// Room for two overlong lines, to keep one run short.
constexpr std::size_t kStreamLimit = 2 * (kMaxLineLength + 4);

// A cut piece must be a view into the line, never past its end.
bool inside(std::string_view part, std::string_view line)
{
    return part.data() >= line.data() && part.data() + part.size() <= line.data() + line.size();
}

// Takes up to `most` lines; true when none is left, and then only the bounded
// unfinished text is held.
bool drain(LineBuffer& buffer, std::vector<std::string>& lines, std::size_t most = SIZE_MAX)
{
    std::string_view line;
    for (std::size_t n = 0; n < most; ++n) {
        const bool had = buffer.hasLine();
        if (!buffer.takeLine(line)) {
            CHECK(!buffer.hasLine() && buffer.size() <= kMaxLineLength + 1);
            return true;
        }
        CHECK(had);
        lines.emplace_back(line);
    }
    return false;
}

// The name field (the third, after two single blanks), by the plainest means.
std::optional<std::string_view> nameField(std::string_view line)
{
    const std::size_t a = line.find(' '), b = a == line.npos ? a : line.find(' ', a + 1);
    if (b == line.npos)
        return std::nullopt;
    return line.substr(b + 1, line.find(' ', b + 1) - b - 1);
}

void checkLine(std::string_view line)
{
    const auto name = nameField(line);
    if (const auto user = cutUser(line)) {
        CHECK(user->name == *name && inside(user->flags, line));
        CHECK(user->flags.find(' ') == std::string_view::npos);
        CHECK(user->icon >= -1 && user->icon <= 6);
    }
    if (const auto left = cutLeave(line))
        CHECK(left == name);
    const auto text = quotedText(line);
    if (text) {
        const char* end = text->data() + text->size();
        CHECK(inside(*text, line) && text->data()[-1] == '"');
        CHECK(end < line.data() + line.size() && *end == '"');
    }
    if (const auto talk = cutTalk(line))
        CHECK(talk->name == std::string(*name) + ' ' && inside(talk->text, line));
    if (const auto whisper = cutWhisper(line))
        CHECK(whisper->name == *name && inside(whisper->text, line));
    const Said emote = cutEmote(line);
    CHECK(emote.text.empty() || inside(emote.text, line));
    CHECK(emote.name.empty() || emote.name == ' ' + std::string(*name) + ' ');
    if (const auto channel = cutChannel(line))
        CHECK(inside(*channel, line));
    if (const auto botName = cutBotName(line))
        CHECK(inside(*botName, line));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::size_t controlCount = size ? (data[0] & 7) + 1 : 0;
    if (size < 2 + controlCount)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1 + controlCount,
                                 size - 1 - controlCount);

    LineBuffer buffer;
    std::vector<std::string> lines;
    std::string stream;
    std::size_t sinceDrain = 0;
    for (std::size_t at = 0, i = 0; at < input.size(); ++i) {
        const std::uint8_t c = data[1 + i % controlCount];
        const std::string_view piece =
            input.substr(at, kLengths[c & 15] ? kLengths[c & 15] : input.size());
        at += piece.size();
        std::size_t copies = 1;
        if (c & 0x20) {
            copies = (kMaxLineLength - 1 + (c >> 6) + piece.size() - 1) / piece.size();
            if (stream.size() + copies * piece.size() > kStreamLimit)
                copies = 1;
        }
        std::string joined;
        for (std::size_t k = 0; k < copies; ++k)
            joined.append(piece);
        stream += joined;
        buffer.append(joined);
        sinceDrain += joined.size();
        // Lines not yet taken stay; the unfinished text is bounded.
        CHECK(buffer.size() <= kMaxLineLength + 1 + sinceDrain);
        if ((c & 0x10) && drain(buffer, lines, (c >> 6) && !(c & 0x20) ? c >> 6 : SIZE_MAX))
            sinceDrain = 0;
    }
    drain(buffer, lines);

    // What the buffer must give: each line up to its LF, less a CR right before
    // it, unless it is too long.
    std::vector<std::string> expected;
    for (std::size_t begin = 0, lf; (lf = stream.find('\n', begin)) != stream.npos;
         begin = lf + 1) {
        std::string_view line = std::string_view(stream).substr(begin, lf - begin);
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        if (line.size() <= kMaxLineLength)
            expected.emplace_back(line);
    }
    CHECK(lines == expected);
    // Repeated chunks repeat lines: each one is cut once.
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (i == 0 || lines[i] != lines[i - 1])
            checkLine(lines[i]);
    return 0;
}
