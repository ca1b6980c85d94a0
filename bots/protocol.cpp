#include "bots/protocol.h"

#include <cstdint>
#include <cstring>

namespace protocol {

// ---- LineBuffer -------------------------------------------------------------

void LineBuffer::append(std::string_view bytes)
{
    if (m_discarding) {
        // The rest of an overlong line: drop it up to and including its LF.
        const void* lf = std::memchr(bytes.data(), '\n', bytes.size());
        if (!lf)
            return;
        bytes.remove_prefix(static_cast<const char*>(lf) - bytes.data() + 1);
        m_discarding = false;
    }
    if (bytes.empty())
        return;
    if (m_start == m_data.size()) {
        m_data.clear();
        m_start = 0;
        m_scanned = 0;
    } else if (m_start > 4096 && m_start * 2 > m_data.size()) {
        m_data.erase(0, m_start);
        if (m_nextLf != std::string::npos)
            m_nextLf -= m_start;
        m_scanned -= std::min(m_scanned, m_start);
        m_start = 0;
    }
    m_data.append(bytes);
    if (m_nextLf == std::string::npos)
        findNextLf();
    boundTail();
}

void LineBuffer::findNextLf()
{
    std::size_t from = std::max(m_start, m_scanned);
    const void* lf = from < m_data.size()
                         ? std::memchr(m_data.data() + from, '\n', m_data.size() - from)
                         : nullptr;
    if (lf) {
        m_nextLf = static_cast<const char*>(lf) - m_data.data();
        m_scanned = m_nextLf;
    } else {
        m_nextLf = std::string::npos;
        m_scanned = m_data.size();
    }
}

void LineBuffer::boundTail()
{
    // Where the unfinished text starts: after the last LF in the buffer.
    std::size_t tail = m_start;
    if (m_nextLf != std::string::npos) {
        const char* base = m_data.data();
        const void* last = memrchr(base + m_nextLf, '\n', m_data.size() - m_nextLf);
        tail = static_cast<const char*>(last) - base + 1;
    }
    if (m_data.size() - tail > kMaxLineLength + 1) {
        m_data.resize(tail);
        m_scanned = std::min(m_scanned, m_data.size());
        m_discarding = true;
    }
}

bool LineBuffer::takeLine(std::string_view& line)
{
    while (m_nextLf != std::string::npos) {
        std::size_t end = m_nextLf;
        const std::size_t begin = m_start;
        m_start = m_nextLf + 1;
        findNextLf();
        if (end > begin && m_data[end - 1] == '\r')
            --end;
        if (end - begin > kMaxLineLength)
            continue;
        line = std::string_view(m_data.data() + begin, end - begin);
        return true;
    }
    return false;
}

void LineBuffer::dropUnfinished()
{
    m_discarding = false;
    if (m_nextLf == std::string::npos) {
        m_data.resize(m_start);
    } else {
        const char* base = m_data.data();
        const void* last = memrchr(base + m_nextLf, '\n', m_data.size() - m_nextLf);
        m_data.resize(std::size_t(static_cast<const char*>(last) - base) + 1);
    }
    m_scanned = std::min(m_scanned, m_data.size());
}

// ---- Line fields --------------------------------------------------------------

namespace {

// A four-character code as one number, so that a line's code is found with
// one comparison rather than a search of the table.
constexpr std::uint32_t codeOf(const char (&text)[5])
{
    return std::uint32_t(std::uint8_t(text[0])) | std::uint32_t(std::uint8_t(text[1])) << 8 |
           std::uint32_t(std::uint8_t(text[2])) << 16 | std::uint32_t(std::uint8_t(text[3])) << 24;
}

// Field n of a line split at single blanks (0 is the code, 1 the keyword, 2 a
// user's name, 3 the flags); nullopt when the line has fewer fields.
std::optional<std::string_view> field(std::string_view line, int n)
{
    std::size_t begin = 0;
    for (int i = 0; i < n; ++i) {
        const std::size_t blank = line.find(' ', begin);
        if (blank == std::string_view::npos)
            return std::nullopt;
        begin = blank + 1;
    }
    const std::size_t end = line.find(' ', begin);
    return line.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

} // namespace

Event eventOf(std::string_view line)
{
    if (line.size() < 4)
        return Event::Other;
    const auto byte = [&](int i) { return std::uint32_t(std::uint8_t(line[i])); };
    switch (byte(0) | byte(1) << 8 | byte(2) << 16 | byte(3) << 24) {
    case codeOf("1001"):
        return Event::UserIn;
    case codeOf("1002"):
        return Event::UserJoin;
    case codeOf("1003"):
        return Event::UserLeave;
    case codeOf("1004"):
        return Event::WhisperFrom;
    case codeOf("1005"):
        return Event::Talk;
    case codeOf("1007"):
        return Event::Channel;
    case codeOf("1018"):
        return Event::Info;
    case codeOf("1019"):
        return Event::Error;
    case codeOf("1023"):
        return Event::Emote;
    case codeOf("2000"):
        return Event::KeepAlive;
    case codeOf("2010"):
        return Event::Name;
    default:
        return line == "Login failed." ? Event::LoginFailed : Event::Other;
    }
}

std::string_view afterPrompts(std::string_view line)
{
    for (;;) {
        if (line.starts_with("Username: "))
            line.remove_prefix(10);
        else if (line.starts_with("Password: "))
            line.remove_prefix(10);
        else
            return line;
    }
}

std::optional<std::string_view> quotedText(std::string_view text)
{
    std::size_t first = text.find('"');
    std::size_t last = text.rfind('"');
    if (first == std::string_view::npos || last == first)
        return std::nullopt;
    return text.substr(first + 1, last - first - 1);
}

namespace {

// The flags field as four hexadecimal digits; anything else counts as no flags.
unsigned flagsValue(std::string_view flags)
{
    if (flags.size() != 4)
        return 0;
    unsigned value = 0;
    for (char c : flags) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return 0;
        value = value * 16 + digit;
    }
    return value;
}

constexpr unsigned kOperatorBit = 0x0002;

// The name field, and what follows it (the flags field and the rest); nullopt
// when the line has no flags field. One pass over the line.
struct NameAndRest {
    std::string_view name;
    std::string_view rest;
};
std::optional<NameAndRest> afterName(std::string_view line)
{
    const auto name = field(line, 2);
    if (!name)
        return std::nullopt;
    const std::size_t blank = std::size_t(name->data() - line.data()) + name->size();
    if (blank == line.size())
        return std::nullopt;
    return NameAndRest{*name, line.substr(blank + 1)};
}

int iconFor(std::string_view line, std::string_view flags)
{
    if (flagsValue(flags) & kOperatorBit)
        return 5;
    struct Tag {
        std::string_view text;
        int icon;
    };
    static constexpr Tag tags[] = {{"[DRTL]", 2}, {"[SSHR]", 1}, {"[SEXP]", 3},
                                   {"[STAR]", 4}, {"[CHAT]", 0}, {"[DSHR]", 6}};
    if (line.size() >= 6) {
        const std::string_view end = line.substr(line.size() - 6);
        for (const Tag& t : tags)
            if (end == t.text)
                return t.icon;
    }
    return -1;
}

} // namespace

std::optional<User> cutUser(std::string_view line)
{
    const auto cut = afterName(line);
    if (!cut)
        return std::nullopt;
    const std::string_view flags = cut->rest.substr(0, cut->rest.find(' '));
    return User{cut->name, flags, iconFor(line, flags)};
}

std::optional<std::string_view> cutLeave(std::string_view line)
{
    return field(line, 2);
}

std::optional<Said> cutTalk(std::string_view line)
{
    const auto cut = afterName(line);
    if (!cut)
        return std::nullopt;
    auto text = quotedText(cut->rest);
    if (!text)
        return std::nullopt;
    // The blank after the name is the one afterName found.
    return Said{std::string_view(cut->name.data(), cut->name.size() + 1), *text};
}

std::optional<Said> cutWhisper(std::string_view line)
{
    const auto cut = afterName(line);
    if (!cut)
        return std::nullopt;
    auto text = quotedText(cut->rest);
    if (!text)
        return std::nullopt;
    return Said{cut->name, *text};
}

Said cutEmote(std::string_view line)
{
    Said said;
    if (const auto cut = afterName(line)) {
        // The name is field 2: a blank stands before it and after it.
        said.name = std::string_view(cut->name.data() - 1, cut->name.size() + 2);
        said.text = quotedText(cut->rest).value_or(std::string_view{});
    }
    return said;
}

std::optional<std::string_view> cutChannel(std::string_view line)
{
    return quotedText(line);
}

std::optional<std::string_view> cutBotName(std::string_view line)
{
    if (line.size() < 10)
        return std::nullopt;
    return line.substr(10);
}

KickBan kickBanOf(std::string_view info, std::string_view accountName)
{
    if (accountName.empty() || !info.starts_with(accountName))
        return KickBan::None;
    if (info.size() > accountName.size() && info[accountName.size()] != ' ')
        return KickBan::None;
    // The reason is free text and may hold either word: the first one after
    // the name is what happened.
    const std::string_view rest = info.substr(accountName.size());
    const std::size_t kicked = rest.find("kicked");
    const std::size_t banned = rest.find("banned");
    if (kicked == banned) // both absent
        return KickBan::None;
    return kicked < banned ? KickBan::Kicked : KickBan::Banned;
}

std::string outgoingLine(std::string_view text)
{
    std::string line;
    line.reserve(text.size() + 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
            continue; // CR LF is one line break: one blank
        line += (c == '\r' || c == '\n') ? ' ' : c;
    }
    line += "\r\n";
    return line;
}

} // namespace protocol
