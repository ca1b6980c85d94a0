#include "bots/protocol.h"

#include <cstring>

namespace protocol {

// ---- LineBuffer -------------------------------------------------------------

void LineBuffer::clear()
{
    m_data.clear();
    m_start = 0;
    m_nextLf = std::string::npos;
    m_scanned = 0;
    m_discarding = false;
}

void LineBuffer::append(std::string_view bytes)
{
    if (m_discarding) {
        // The rest of an overlong line: drop it up to and including its LF.
        const void* lf = std::memchr(bytes.data(), '\n', bytes.size());
        if (!lf)
            return;
        bytes.remove_prefix(static_cast<const char*>(lf) - bytes.data() + 1);
        m_discarding = false;
        ++m_dropped;
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

bool LineBuffer::takeLine(std::string& line)
{
    while (m_nextLf != std::string::npos) {
        std::size_t end = m_nextLf;
        std::size_t begin = m_start;
        m_start = m_nextLf + 1;
        findNextLf();
        if (end > begin && m_data[end - 1] == '\r')
            --end;
        if (end - begin > kMaxLineLength) {
            ++m_dropped;
            continue;
        }
        line.assign(m_data, begin, end - begin);
        return true;
    }
    return false;
}

// ---- Line fields --------------------------------------------------------------

Event eventOf(std::string_view line)
{
    if (line.size() < 4)
        return Event::Other;
    const std::string_view code = line.substr(0, 4);
    struct Code {
        std::string_view text;
        Event event;
    };
    static constexpr Code codes[] = {
        {"1001", Event::UserIn},      {"1002", Event::UserJoin}, {"1003", Event::UserLeave},
        {"1004", Event::WhisperFrom}, {"1005", Event::Talk},     {"1007", Event::Channel},
        {"1018", Event::Info},        {"1019", Event::Error},    {"1023", Event::Emote},
        {"2000", Event::KeepAlive},   {"2010", Event::Name},
    };
    for (const Code& c : codes)
        if (code == c.text)
            return c.event;
    return Event::Other;
}

std::optional<std::string_view> field(std::string_view line, int n)
{
    std::size_t begin = 0;
    for (int i = 0; i < n; ++i) {
        std::size_t blank = line.find(' ', begin);
        if (blank == std::string_view::npos)
            return std::nullopt;
        begin = blank + 1;
    }
    std::size_t end = line.find(' ', begin);
    return line.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin);
}

std::string_view GetUserFlags(std::string_view line)
{
    return field(line, 3).value_or(std::string_view{});
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

// What follows the name field: the flags field and the rest.
std::optional<std::string_view> afterName(std::string_view line)
{
    auto flags = field(line, 3);
    if (!flags)
        return std::nullopt;
    return line.substr(flags->data() - line.data());
}

} // namespace

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

std::optional<User> cutUser(std::string_view line)
{
    auto name = field(line, 2);
    auto flags = field(line, 3);
    if (!name || !flags)
        return std::nullopt;
    return User{*name, *flags, iconFor(line, *flags)};
}

std::optional<std::string_view> cutLeave(std::string_view line)
{
    return field(line, 2);
}

std::optional<Said> cutTalk(std::string_view line)
{
    auto name = field(line, 2);
    auto rest = afterName(line);
    if (!name || !rest)
        return std::nullopt;
    auto text = quotedText(*rest);
    if (!text)
        return std::nullopt;
    return Said{std::string(*name) + ' ', *text};
}

std::optional<Said> cutWhisper(std::string_view line)
{
    auto name = field(line, 2);
    auto rest = afterName(line);
    if (!name || !rest)
        return std::nullopt;
    auto text = quotedText(*rest);
    if (!text)
        return std::nullopt;
    return Said{std::string(*name), *text};
}

Said cutEmote(std::string_view line)
{
    Said said;
    auto name = field(line, 2);
    auto rest = afterName(line);
    if (name && rest)
        said.name = ' ' + std::string(*name) + ' ';
    if (rest)
        said.text = quotedText(*rest).value_or(std::string_view{});
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
    if (info.find("kicked") != std::string_view::npos)
        return KickBan::Kicked;
    if (info.find("banned") != std::string_view::npos)
        return KickBan::Banned;
    return KickBan::None;
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
