// The chat gateway's line format: cutting a byte stream into lines and lines
// into fields. Plain C++ over bytes (one byte per character, ISO-8859-1), no Qt,
// so that fuzzers and benchmarks can drive it without a window.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace protocol {

// Longest line (without its line end) that is handled; a longer one is dropped.
constexpr std::size_t kMaxLineLength = 32766;

// Collects the arrivals of one connection and hands out complete lines, in
// order, however TCP split them. The unfinished text it keeps never grows past
// kMaxLineLength + 1 bytes (a line and its CR): a longer line is dropped whole.
class LineBuffer {
public:
    void append(std::string_view bytes);

    // The next complete line, without its line end, as a view into the buffer
    // that stays valid until the next append(). A CR is removed only where it
    // stands right before the LF.
    bool takeLine(std::string_view& line);
    // Forgets the unfinished text after the last line end, as when the
    // connection that was sending it has ended; complete lines stay.
    void dropUnfinished();

    bool hasLine() const { return m_nextLf != std::string::npos; }
    // Bytes held: complete lines not yet taken plus the unfinished text.
    std::size_t size() const { return m_data.size() - m_start; }

private:
    void findNextLf();
    void boundTail();

    std::string m_data;
    std::size_t m_start = 0;                  // first byte not yet taken
    std::size_t m_nextLf = std::string::npos; // the LF ending the next line
    std::size_t m_scanned = 0;                // bytes from m_start known to hold no LF
    bool m_discarding = false;                // inside an overlong line
};

// The event codes the console reacts to; everything else is Other.
enum class Event {
    UserIn,
    UserJoin,
    UserLeave,
    WhisperFrom,
    Talk,
    Channel,
    Info,
    Error,
    Emote,
    KeepAlive,
    Name,
    LoginFailed,
    Other
};

// The event of a line: its first four characters compared exactly. The
// server's refusal of a login is a plain line without a code.
Event eventOf(std::string_view line);

// The line without the login prompts ("Username: ", "Password: ") that begin
// it: a server that does not echo leaves them without line ends, in front of
// the next line.
std::string_view afterPrompts(std::string_view line);

// Everything between the first and the last double quote of `text`; nullopt
// unless there are two of them.
std::optional<std::string_view> quotedText(std::string_view text);

struct User {
    std::string_view name;
    std::string_view flags;
    int icon = -1;
};
// A user line (1001 USER, 1002 JOIN): name, flags and picture; nullopt when the
// line has no flags field. The picture is the gavel (5) when the flags'
// operator bit is set, else chosen by the product tag that ends the line, else
// -1 (no picture).
std::optional<User> cutUser(std::string_view line);
// A leave line (1003 LEAVE): the name; nullopt when there is none.
std::optional<std::string_view> cutLeave(std::string_view line);

// Pieces of the line itself, so nothing is copied.
struct Said {
    std::string_view name;
    std::string_view text;
};
// Talk (1005): the name keeps the blank that follows it in the line.
std::optional<Said> cutTalk(std::string_view line);
// Whisper received (1004): the bare name.
std::optional<Said> cutWhisper(std::string_view line);
// Emote (1023): never fails; the name carries a blank on each side, and a piece
// that is missing is empty.
Said cutEmote(std::string_view line);
// Channel (1007): the channel's name.
std::optional<std::string_view> cutChannel(std::string_view line);
// Name (2010): the line less its first ten characters.
std::optional<std::string_view> cutBotName(std::string_view line);

enum class KickBan { None, Kicked, Banned };
// Whether an information text tells that the bot with this account name was
// kicked or banned: the text must begin with the name followed by a blank (or
// be the name alone); an empty name matches nothing. Of "kicked" and "banned",
// the one that comes first after the name decides.
KickBan kickBanOf(std::string_view info, std::string_view accountName);

// One line to send: the text with every line break turned into a blank, then CR LF.
std::string outgoingLine(std::string_view text);

} // namespace protocol
