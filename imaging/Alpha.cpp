#include "imaging/Alpha.h"

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

void UnpremultiplyAlpha(Bitmap& b)
{
    std::uint8_t* p = b.Pixels.data();
    const std::size_t n = b.Pixels.size() / 4;
    for (std::size_t i = 0; i < n; ++i, p += 4) {
        const unsigned a = p[3];
        if (a == 255 || a == 0) continue;
        for (int c = 0; c < 3; ++c) {
            const unsigned v = p[c] * 255u / a;
            p[c] = static_cast<std::uint8_t>(v > 255 ? 255 : v);
        }
    }
}

}  // namespace framelot
