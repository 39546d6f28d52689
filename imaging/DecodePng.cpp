#include <png.h>

#include "imaging/Decode.h"
#include "imaging/Limits.h"

namespace framelot {

bool DecodePngInto(std::span<const std::uint8_t> bytes, Bitmap& out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;

    // The header's size is checked before anything is allocated for it.
    if (!FitsLimits(image.width, image.height) || image.width == 0 || image.height == 0) {
        png_image_free(&image);
        return false;
    }
    image.format = PNG_FORMAT_BGRA;
    // 16-bit samples without colour-space information are sRGB values, like
    // 8-bit ones; they are scaled, not taken as linear light.
    image.flags |= PNG_IMAGE_FLAG_16BIT_sRGB;

    out.Width = static_cast<int>(image.width);
    out.Height = static_cast<int>(image.height);
    out.Pixels.resize(PNG_IMAGE_SIZE(image));
    const bool ok = png_image_finish_read(&image, nullptr, out.Pixels.data(), 0, nullptr) != 0;
    png_image_free(&image);
    return ok;
}

std::optional<Bitmap> DecodeToDib(std::span<const std::uint8_t> bytes)
{
    Bitmap b;
    static constexpr std::uint8_t PngSignature[8] = {137, 80, 78, 71, 13, 10, 26, 10};
    if (bytes.size() >= 8 && std::equal(bytes.begin(), bytes.begin() + 8, PngSignature)) {
        if (DecodePngInto(bytes, b)) return b;
        return std::nullopt;
    }
    if (bytes.size() >= 3 && bytes[0] == 'G' && bytes[1] == 'I' && bytes[2] == 'F') {
        if (DecodeGifInto(bytes, b)) return b;
    }
    return std::nullopt;
}

}  // namespace framelot
