#include "imaging/Alpha.h"

#include <algorithm>
#include <array>

namespace framelot {

void PremultiplyAlpha(Bitmap& b)
{
    std::uint8_t* p = b.Pixels.data();
    const std::size_t n = b.Pixels.size() / 4;
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const unsigned a = p[3];
        if (a == 255) continue;
        p[0] = static_cast<std::uint8_t>(p[0] * a / 255);
        p[1] = static_cast<std::uint8_t>(p[1] * a / 255);
        p[2] = static_cast<std::uint8_t>(p[2] * a / 255);
    }
}

namespace {

// min(255, floor(v * 255 / a)) for every alpha a and colour byte v, looked up
// instead of divided: a whole canvas goes through this once a frame.
struct UnpremultiplyTable {
    std::array<std::array<std::uint8_t, 256>, 256> Value{};
    UnpremultiplyTable()
    {
        for (unsigned a = 1; a < 256; ++a) {
            for (unsigned v = 0; v < 256; ++v) Value[a][v] = static_cast<std::uint8_t>(std::min(255u, v * 255u / a));
        }
    }
};

}  // namespace

void UnpremultiplyAlpha(Bitmap& b)
{
    static const UnpremultiplyTable table;
    std::uint8_t* p = b.Pixels.data();
    const std::size_t n = b.Pixels.size() / 4;
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const unsigned a = p[3];
        if (a == 255 || a == 0) continue;
        const auto& row = table.Value[a];
        p[0] = row[p[0]];
        p[1] = row[p[1]];
        p[2] = row[p[2]];
    }
}

}  // namespace framelot
