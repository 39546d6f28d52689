// Fuzz target: arbitrary bytes as a bitmap (the first two bytes give its width
// and height, the rest its pixels, repeated as needed) through the PNG writer
// and back through libpng, which must give the same bytes.
#include <png.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/encoders/PngEncode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    framelot::Bitmap bitmap;
    bitmap.Width = 1 + data[0] % 64 * (data[0] >= 192 ? 16 : 1);  // up to 1009 wide
    bitmap.Height = 1 + data[1] % 64;
    bitmap.Pixels.resize(static_cast<std::size_t>(bitmap.Width) * bitmap.Height * 4);
    for (std::size_t i = 0; i < bitmap.Pixels.size(); ++i) bitmap.Pixels[i] = data[2 + i % (size - 2)];

    static framelot::PngEncoder encoder;  // kept between inputs, as a writer thread keeps its own
    std::vector<std::uint8_t> png;
    if (!framelot::EncodePng(encoder, bitmap, png)) __builtin_trap();
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, png.data(), png.size())) __builtin_trap();
    image.format = PNG_FORMAT_RGBA;
    std::vector<std::uint8_t> back(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, back.data(), 0, nullptr)) __builtin_trap();
    if (image.width != static_cast<png_uint_32>(bitmap.Width) || back != bitmap.Pixels) __builtin_trap();
    return 0;
}
