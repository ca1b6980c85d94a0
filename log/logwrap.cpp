#include "log/logwrap.h"

#include <algorithm>

namespace logwrap {

std::size_t Widths::offsetAt(std::string_view row, float x) const
{
    float left = 0;
    for (std::size_t i = 0; i < row.size(); ++i) {
        const float w = of(static_cast<unsigned char>(row[i]), left);
        if (x < left + w / 2)
            return i;
        left += w;
    }
    return row.size();
}

float naturalWidth(std::string_view text, const Widths& widths)
{
    float widest = 0;
    float x = 0;
    for (unsigned char c : text) {
        if (c == '\n') {
            widest = std::max(widest, x);
            x = 0;
            continue;
        }
        x += widths.of(c, x);
    }
    return std::max(widest, x);
}

std::uint32_t rowCount(std::string_view text, const Widths& widths, float avail)
{
    std::uint32_t rows = 0;
    forEachRow(text, widths, avail, [&rows](std::size_t, std::size_t, bool) {
        ++rows;
        return true;
    });
    return rows;
}

} // namespace logwrap
