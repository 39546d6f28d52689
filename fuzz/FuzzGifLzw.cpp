// Fuzz target: arbitrary bytes as one GIF image's LZW data (the first two
// bytes give the code size and the image's width; it is 1 to 16 rows tall,
// interlaced or not), decoded by our decoder and by giflib alone: both must
// succeed or fail together and give the same indices.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "gif/GifDecode.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3) return 0;
    const int codeSize = data[0] < 240 ? 2 + data[0] % 7 : data[0] - 240;  // 2 to 8 mostly, 0 to 15 sometimes
    const int width = 1 + data[1] % 128, height = 1 + data[2] % 16;
    const bool interlaced = data[2] >= 128;
    std::vector<std::uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', static_cast<std::uint8_t>(width), 0,
                                     static_cast<std::uint8_t>(height), 0, 0x87, 0, 0};
    for (int i = 0; i < 256; ++i) gif.insert(gif.end(), {static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(255 - i), 7});
    gif.insert(gif.end(), {0x2C, 0, 0, 0, 0, static_cast<std::uint8_t>(width), 0, static_cast<std::uint8_t>(height), 0,
                           static_cast<std::uint8_t>(interlaced ? 0x40 : 0), static_cast<std::uint8_t>(codeSize)});
    for (std::size_t i = 3; i < size; i += 255) {
        const std::size_t n = std::min<std::size_t>(255, size - i);
        gif.push_back(static_cast<std::uint8_t>(n));
        gif.insert(gif.end(), data + i, data + i + n);
    }
    gif.push_back(0);
    gif.push_back(0x3B);
    framelot::GifIndexedImage ours, theirs;
    const bool a = framelot::DecodeGifIndices(gif, ours, framelot::GifLzwDecoder::Ours);
    const bool b = framelot::DecodeGifIndices(gif, theirs, framelot::GifLzwDecoder::Giflib);
    if (a != b || (a && ours.Indices != theirs.Indices)) __builtin_trap();
    return 0;
}
