#include "apng/ApngRebuild.h"

#include <zlib.h>

#include "imaging/Limits.h"

namespace framelot {
namespace {

void AppendU32Be(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    out.push_back(static_cast<std::uint8_t>(v >> 24));
    out.push_back(static_cast<std::uint8_t>(v >> 16));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
    out.push_back(static_cast<std::uint8_t>(v));
}

void AppendBytes(std::vector<std::uint8_t>& out, PngBytes png, std::size_t offset, std::size_t length)
{
    out.insert(out.end(), png.begin() + static_cast<std::ptrdiff_t>(offset),
               png.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

// Appends a chunk of `type` whose data is copied from the file, with the CRC of
// its type and data.
void AppendChunk(std::vector<std::uint8_t>& out, const char* type, PngBytes png, std::size_t offset,
                 std::size_t length)
{
    AppendU32Be(out, static_cast<std::uint32_t>(length));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    AppendBytes(out, png, offset, length);
    AppendU32Be(out, PngCrc32(std::span(out).subspan(typeStart, 4 + length)));
}

}  // namespace

std::uint32_t PngCrc32(std::span<const std::uint8_t> bytes)
{
    uLong crc = crc32(0L, Z_NULL, 0);
    // zlib's crc32 takes a 32-bit length; feed long spans in pieces.
    while (!bytes.empty()) {
        const std::size_t n = std::min<std::size_t>(bytes.size(), 1u << 30);
        crc = crc32(crc, bytes.data(), static_cast<uInt>(n));
        bytes = bytes.subspan(n);
    }
    return static_cast<std::uint32_t>(crc);
}

void BuildFramePngFromRecord(PngBytes png, const ApngIndex& index, const ApngFrameRecord& frame, int code,
                             std::vector<std::uint8_t>& out)
{
    out.clear();
    // Signature, header length and type, the frame's width and height as stored
    // in its fcTL, then bit depth, colour type, compression, filter, interlace.
    AppendBytes(out, png, 0, 16);
    AppendBytes(out, png, frame.FctlOffset + 4, 8);
    AppendBytes(out, png, 24, 5);
    AppendU32Be(out, PngCrc32(std::span(out).subspan(12, 17)));

    for (const ChunkRef& chunk : index.Carried) AppendBytes(out, png, chunk.Offset - 8, std::size_t{chunk.Length} + 12);
    for (const ChunkRef& chunk : frame.Data) {
        if (chunk.IsFdat) {
            AppendChunk(out, "IDAT", png, chunk.Offset + 4, chunk.Length - 4);
        } else if (code < 0) {
            AppendBytes(out, png, chunk.Offset - 8, std::size_t{chunk.Length} + 12);
        }
    }
    static constexpr std::uint8_t End[12] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    out.insert(out.end(), End, End + 12);
}

std::size_t BuildFramePng(PngBytes png, int k, int code, std::vector<std::uint8_t>& out)
{
    out.clear();
    const ApngIndex index = IndexApng(png, MaxFrames + 1);
    if (k < 0 || static_cast<std::size_t>(k) >= index.Frames.size()) return 0;
    BuildFramePngFromRecord(png, index, index.Frames[static_cast<std::size_t>(k)], code, out);
    return out.size();
}

}  // namespace framelot
