#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <vector>

#include "gif/GifDecode.h"
#include "gif/GifLzw.h"
#include "imaging/Limits.h"

namespace framelot {
namespace {

struct MemorySource {
    std::span<const std::uint8_t> Bytes;
    std::size_t Offset = 0;
};

int ReadFromMemory(GifFileType* gif, GifByteType* buffer, int wanted)
{
    auto* source = static_cast<MemorySource*>(gif->UserData);
    const std::size_t left = source->Bytes.size() - source->Offset;
    const std::size_t n = std::min<std::size_t>(left, static_cast<std::size_t>(std::max(wanted, 0)));
    if (n > 0) std::memcpy(buffer, source->Bytes.data() + source->Offset, n);  // an empty span has no data pointer
    source->Offset += n;
    return static_cast<int>(n);
}

struct GifCloser {
    void operator()(GifFileType* gif) const
    {
        int error = 0;
        DGifCloseFile(gif, &error);
    }
};

// Reads the image's rows into `indices`, in display order, undoing interlace.
bool ReadIndices(GifFileType* gif, int width, int height, bool interlaced, std::vector<std::uint8_t>& indices)
{
    indices.resize(static_cast<std::size_t>(width) * height);
    if (!interlaced) {
        for (int y = 0; y < height; ++y) {
            if (DGifGetLine(gif, indices.data() + static_cast<std::size_t>(y) * width, width) != GIF_OK) return false;
        }
        return true;
    }
    static constexpr int Start[4] = {0, 4, 2, 1};
    static constexpr int Step[4] = {8, 8, 4, 2};
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = Start[pass]; y < height; y += Step[pass]) {
            if (DGifGetLine(gif, indices.data() + static_cast<std::size_t>(y) * width, width) != GIF_OK) return false;
        }
    }
    return true;
}

// Reads the image's data blocks and decodes them with our LZW decoder into
// `indices`, in display order. False when giflib cannot give the blocks or
// our decoder refuses the data (see GifLzw.h); giflib then decodes the image.
bool ReadIndicesOurselves(GifFileType* gif, int width, int height, bool interlaced, std::vector<std::uint8_t>& indices)
{
    int codeSize = 0;
    GifByteType* block = nullptr;
    std::vector<std::uint8_t> data;
    if (DGifGetCode(gif, &codeSize, &block) != GIF_OK) return false;
    while (block != nullptr) {
        data.insert(data.end(), block + 1, block + 1 + block[0]);
        if (DGifGetCodeNext(gif, &block) != GIF_OK) return false;
    }
    const std::size_t pixels = static_cast<std::size_t>(width) * height;
    if (!interlaced) {
        indices.resize(pixels);
        return DecodeGifLzw(data, codeSize, indices);
    }
    std::vector<std::uint8_t> passes(pixels);
    if (!DecodeGifLzw(data, codeSize, passes)) return false;
    indices.resize(pixels);
    static constexpr int Start[4] = {0, 4, 2, 1};
    static constexpr int Step[4] = {8, 8, 4, 2};
    const std::uint8_t* row = passes.data();
    for (int pass = 0; pass < 4; ++pass) {
        for (int y = Start[pass]; y < height; y += Step[pass], row += width) {
            std::memcpy(indices.data() + static_cast<std::size_t>(y) * width, row, static_cast<std::size_t>(width));
        }
    }
    return true;
}

bool DecodeWith(std::span<const std::uint8_t> bytes, GifIndexedImage& out, GifLzwDecoder decoder);

}  // namespace

bool DecodeGifIndices(std::span<const std::uint8_t> bytes, GifIndexedImage& out, GifLzwDecoder decoder)
{
    if (decoder == GifLzwDecoder::Ours && DecodeWith(bytes, out, GifLzwDecoder::Ours)) return true;
    return DecodeWith(bytes, out, GifLzwDecoder::Giflib);
}

namespace {

bool DecodeWith(std::span<const std::uint8_t> bytes, GifIndexedImage& out, GifLzwDecoder decoder)
{
    MemorySource source{bytes, 0};
    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(DGifOpen(&source, ReadFromMemory, &error));
    if (!gif) return false;

    int transparent = NO_TRANSPARENT_COLOR;
    for (;;) {
        GifRecordType record;
        if (DGifGetRecordType(gif.get(), &record) != GIF_OK) return false;
        if (record == TERMINATE_RECORD_TYPE) return false;  // no image at all
        if (record == EXTENSION_RECORD_TYPE) {
            int code = 0;
            GifByteType* ext = nullptr;
            if (DGifGetExtension(gif.get(), &code, &ext) != GIF_OK) return false;
            if (code == GRAPHICS_EXT_FUNC_CODE && ext != nullptr && ext[0] >= 4) {
                GraphicsControlBlock gcb;
                if (DGifExtensionToGCB(ext[0], ext + 1, &gcb) == GIF_OK) transparent = gcb.TransparentColor;
            }
            while (ext != nullptr) {
                if (DGifGetExtensionNext(gif.get(), &ext) != GIF_OK) return false;
            }
            continue;
        }
        if (record != IMAGE_DESC_RECORD_TYPE) return false;

        if (DGifGetImageDesc(gif.get()) != GIF_OK) return false;
        const GifImageDesc& desc = gif->Image;
        const int width = desc.Width;
        const int height = desc.Height;
        if (width <= 0 || height <= 0 || !FitsLimits(width, height)) return false;
        const bool read = decoder == GifLzwDecoder::Ours
                              ? ReadIndicesOurselves(gif.get(), width, height, desc.Interlace, out.Indices)
                              : ReadIndices(gif.get(), width, height, desc.Interlace, out.Indices);
        if (!read) return false;

        // Indices beyond the table (or with no table) are opaque black, and
        // the transparent index is all zero.
        const ColorMapObject* map = desc.ColorMap ? desc.ColorMap : gif->SColorMap;
        out.Colours.fill({0, 0, 0, 255});
        if (map != nullptr) {
            const int count = std::min(map->ColorCount, 256);
            for (int i = 0; i < count; ++i) {
                out.Colours[static_cast<std::size_t>(i)] = {map->Colors[i].Red, map->Colors[i].Green, map->Colors[i].Blue, 255};
            }
        }
        out.Transparent = transparent >= 0 && transparent < 256 ? transparent : -1;
        if (out.Transparent >= 0) out.Colours[static_cast<std::size_t>(out.Transparent)] = {0, 0, 0, 0};
        out.Width = width;
        out.Height = height;
        out.DecodedByGiflib = decoder == GifLzwDecoder::Giflib;
        return true;
    }
}

}  // namespace

bool DecodeGifInto(std::span<const std::uint8_t> bytes, Bitmap& out)
{
    GifIndexedImage image;
    if (!DecodeGifIndices(bytes, image)) return false;
    out.Width = image.Width;
    out.Height = image.Height;
    out.Pixels.resize(image.Indices.size() * 4);
    std::uint8_t* p = out.Pixels.data();
    for (std::uint8_t index : image.Indices) {
        std::memcpy(p, image.Colours[index].data(), 4);
        p += 4;
    }
    return true;
}

}  // namespace framelot
