// How the chat log's one-byte text is measured and cut into rows: a width per
// byte value, so that no entry is shaped to be measured, and the wrap rule
// (at blanks and hyphens, anywhere inside a word too long for a row).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace logwrap {

// Byte values drawn as a hollow box, as the font shows a character it lacks.
constexpr bool isControl(unsigned char c)
{
    return c < 0x20 || (c >= 0x7f && c < 0xa0);
}

struct Widths {
    std::array<float, 256> advance{}; // 0 for the line break and the soft hyphen
    float tabStop = 80;               // tabs stop at multiples of this from the row's start

    float of(unsigned char c, float x) const
    {
        if (c == '\t') {
            const float next = (float(int(x / tabStop)) + 1) * tabStop;
            return next - x;
        }
        return advance[c];
    }
    // Width of the text of one row (no line break inside), from the row's start.
    float width(std::string_view row) const
    {
        float x = 0;
        for (unsigned char c : row)
            x += of(c, x);
        return x;
    }
    // The offset in `row` nearest to `x`, from the row's start.
    std::size_t offsetAt(std::string_view row, float x) const;
};

// The widest line of a text whose lines are separated by '\n', unwrapped.
float naturalWidth(std::string_view text, const Widths& widths);

// Cuts a text into rows no wider than `avail` and calls row(begin, end,
// endsLine) for each, in order, until it returns false. begin..end are offsets
// into `text`; a row that ends a line stops before its '\n' (or the text's
// end). Blanks at a row's end may stand past `avail`, as they show nothing;
// a row holds at least one character.
template <class Row>
void forEachRow(std::string_view text, const Widths& widths, float avail, Row row)
{
    std::size_t lineStart = 0;
    for (;;) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string_view::npos)
            lineEnd = text.size();
        std::size_t begin = lineStart;
        for (;;) {
            float x = 0;
            std::size_t breakAt = begin; // where the row may end: after blanks or a hyphen
            std::size_t i = begin;
            for (; i < lineEnd; ++i) {
                const unsigned char c = static_cast<unsigned char>(text[i]);
                const float w = widths.of(c, x);
                if (x + w > avail && i > begin && c != ' ')
                    break;
                x += w;
                if (c == ' ' || c == '\t') {
                    breakAt = i + 1;
                } else if (c == '-' && i > begin && text[i - 1] != ' ' && i + 1 < lineEnd &&
                           text[i + 1] != ' ' && (text[i + 1] < '0' || text[i + 1] > '9')) {
                    breakAt = i + 1;
                }
            }
            if (i == lineEnd) {
                if (!row(begin, lineEnd, true))
                    return;
                break;
            }
            const std::size_t end = breakAt > begin ? breakAt : i;
            if (!row(begin, end, false))
                return;
            begin = end;
        }
        if (lineEnd == text.size())
            return;
        lineStart = lineEnd + 1;
    }
}

// How many rows forEachRow gives.
std::uint32_t rowCount(std::string_view text, const Widths& widths, float avail);

} // namespace logwrap
