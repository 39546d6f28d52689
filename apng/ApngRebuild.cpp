#include "apng/ApngRebuild.h"

#include <zlib.h>

#include <iterator>

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
    out.insert(out.end(), type, type + ChunkTypeBytes);
    AppendBytes(out, png, offset, length);
    AppendU32Be(out, PngCrc32(std::span(out).subspan(typeStart, ChunkTypeBytes + length)));
}

// Appends a chunk of the file as it stands: head, data and CRC.
void AppendWholeChunk(std::vector<std::uint8_t>& out, PngBytes png, const ChunkRef& chunk)
{
    AppendBytes(out, png, chunk.Offset - ChunkHeadBytes, std::size_t{chunk.Length} + ChunkOverhead);
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

void BuildFramePng(PngBytes png, const ApngIndex& index, const ApngFrameRecord& frame, std::vector<std::uint8_t>& out)
{
    out.clear();
    // The signature and IHDR's length and type; the frame's width and height
    // as stored in its fcTL; the file's bit depth, colour type, compression,
    // filter and interlace; a CRC over IHDR's type and the new data.
    AppendBytes(out, png, 0, IhdrDataOffset);
    AppendBytes(out, png, frame.FctlOffset + SequenceBytes, IhdrSizeBytes);
    AppendBytes(out, png, IhdrDataOffset + IhdrSizeBytes, IhdrFormatBytes);
    const std::size_t ihdrType = IhdrDataOffset - ChunkTypeBytes;
    AppendU32Be(out, PngCrc32(std::span(out).subspan(ihdrType, ChunkTypeBytes + IhdrSizeBytes + IhdrFormatBytes)));

    for (const ChunkRef& chunk : index.Carried) AppendWholeChunk(out, png, chunk);
    for (const ChunkRef& chunk : frame.Data) {
        if (chunk.IsFdat) {
            AppendChunk(out, "IDAT", png, chunk.Offset + SequenceBytes, chunk.Length - SequenceBytes);
        } else if (frame.DataInIdat) {
            AppendWholeChunk(out, png, chunk);
        }
    }
    static constexpr std::uint8_t End[ChunkOverhead] = {0, 0, 0, 0, 'I', 'E', 'N', 'D', 0xAE, 0x42, 0x60, 0x82};
    out.insert(out.end(), std::begin(End), std::end(End));
}

}  // namespace framelot
