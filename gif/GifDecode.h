// Decoding one stand-alone GIF image (the rebuild of one frame) held in memory.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

// One GIF image as its colour indices, row by row in display order, and the
// canvas pixel each index draws: red, green, blue and 255 from the image's
// colour table (or the global one), opaque black for an index beyond the
// table or with no table, and all zero for the transparent index.
struct GifIndexedImage {
    int Width = 0, Height = 0;
    std::vector<std::uint8_t> Indices;
    std::array<std::array<std::uint8_t, 4>, 256> Colours{};
    int Transparent = -1;  // the control extension's transparent index; -1: none
    bool DecodedByGiflib = false;  // our LZW decoder refused the data (or was not asked)
};

// Who decodes the LZW data: our decoder (GifLzw.h), which hands whatever it
// refuses to giflib, or giflib alone.
enum class GifLzwDecoder { Ours, Giflib };

// Decodes the first image of the GIF in `bytes` into `out` (storage reused
// from call to call): giflib reads the blocks, the LZW data is decoded as
// `decoder` says; either way the indices are the ones giflib gives. False when
// there is no image, the data is damaged, or the image claims a size beyond
// the pixel limit. Costs one decoding of the image (two when ours refuses
// the data); allocates its indices and a copy of its data.
bool DecodeGifIndices(std::span<const std::uint8_t> bytes, GifIndexedImage& out,
                      GifLzwDecoder decoder = GifLzwDecoder::Ours);

// Decodes the first image of the GIF in `bytes` into `out` (storage reused from
// call to call), at the image's own size, as straight red, green, blue, alpha.
// Pixels of the control extension's transparent index come out all-zero; every
// other pixel has alpha 255, and an index beyond the colour table (or with no
// table) is opaque black. False when there is no image, the data is damaged, or
// the image claims a size beyond the pixel limit.
bool DecodeGifInto(std::span<const std::uint8_t> bytes, Bitmap& out);

}  // namespace framelot
