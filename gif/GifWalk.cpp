#include "gif/GifWalk.h"

#include "imaging/ByteReader.h"

namespace framelot {
namespace {

constexpr std::uint8_t ImageIntroducer = 0x2C;
constexpr std::uint8_t ExtensionIntroducer = 0x21;
constexpr std::uint8_t ControlLabel = 0xF9;
constexpr std::uint8_t PlainTextLabel = 0x01;
constexpr std::uint8_t ApplicationLabel = 0xFF;
constexpr std::size_t HeaderSize = 13;
constexpr std::size_t ControlSize = 8;

// Skips a sub-block chain; false when it runs past the end.
bool SkipChain(ByteReader& r)
{
    for (;;) {
        const std::uint8_t length = ReadU8(r);
        if (r.Failed) return false;
        if (length == 0) return true;
        if (!Skip(r, length)) return false;
    }
}

std::size_t ColourTableBytes(std::uint8_t flags)
{
    return (flags & 0x80) ? 3u * (2u << (flags & 0x07)) : 0;
}

}  // namespace

GifBlock StepGifBlock(GifBytes gif, std::size_t offset)
{
    GifBlock block;
    block.Begin = offset;
    ByteReader r{gif, offset};
    const std::uint8_t introducer = ReadU8(r);
    if (r.Failed) return block;

    if (introducer == ImageIntroducer) {
        Skip(r, 8);
        const std::uint8_t flags = ReadU8(r);
        Skip(r, ColourTableBytes(flags));
        Skip(r, 1);  // LZW minimum code size
        if (r.Failed || !SkipChain(r)) return block;
        block.Kind = GifBlockKind::Image;
        block.Next = r.Offset;
        return block;
    }
    if (introducer != ExtensionIntroducer) return block;

    const std::uint8_t label = ReadU8(r);
    if (r.Failed) return block;
    if (label == ControlLabel) {
        if (!Skip(r, ControlSize - 2)) return block;
        block.Kind = GifBlockKind::Control;
        block.Next = r.Offset;
        return block;
    }
    // Plain text and application extensions carry a fixed header before their
    // chain; every other extension (comment or unknown) is a chain at offset 2.
    const std::size_t headerBytes = label == PlainTextLabel ? 13 : label == ApplicationLabel ? 12 : 0;
    if (!Skip(r, headerBytes) || !SkipChain(r)) return block;
    block.Kind = GifBlockKind::OtherExtension;
    block.Next = r.Offset;
    return block;
}

bool HasGifSignature(GifBytes gif)
{
    return gif.size() >= HeaderSize && gif[0] == 'G' && gif[1] == 'I' && gif[2] == 'F';
}

std::uint32_t GifBlocksOffset(GifBytes gif)
{
    if (gif.size() < HeaderSize) return static_cast<std::uint32_t>(HeaderSize);
    return static_cast<std::uint32_t>(HeaderSize + ColourTableBytes(gif[10]));
}

Rect GifImageBounds(GifBytes gif, std::size_t offset)
{
    ByteReader r{gif, offset + 1};
    Rect bounds;
    bounds.Left = ReadU16Le(r);
    bounds.Top = ReadU16Le(r);
    bounds.Width = ReadU16Le(r);
    bounds.Height = ReadU16Le(r);
    return bounds;
}

int GifControlDisposal(GifBytes gif, std::size_t offset)
{
    ByteReader r{gif, offset + 3};
    return (ReadU8(r) >> 2) & 3;
}

std::vector<GifFrameRecord> IndexGifFrames(GifBytes gif, std::uint32_t blocksOffset, std::size_t maxFrames)
{
    std::vector<GifFrameRecord> frames;
    int disposal = 0;
    std::size_t controlsBegin = blocksOffset;
    for (std::size_t p = blocksOffset; frames.size() < maxFrames;) {
        const GifBlock block = StepGifBlock(gif, p);
        if (block.Kind == GifBlockKind::End) break;
        if (block.Kind == GifBlockKind::Control) disposal = GifControlDisposal(gif, p);
        if (block.Kind == GifBlockKind::Image) {
            frames.push_back({controlsBegin, p, block.Next, disposal, GifImageBounds(gif, p)});
            controlsBegin = block.Next;
        }
        p = block.Next;
    }
    return frames;
}

int CountGifFrames(GifBytes gif, std::uint32_t blocksOffset)
{
    int count = 0;
    for (std::size_t p = blocksOffset;;) {
        const GifBlock block = StepGifBlock(gif, p);
        if (block.Kind == GifBlockKind::End) return count;
        if (block.Kind == GifBlockKind::Image) ++count;
        p = block.Next;
    }
}

GifFrameInfo FindGifFrame(GifBytes gif, std::uint32_t blocksOffset, int index)
{
    GifFrameInfo info;
    if (index < 0) return info;
    const auto frames = IndexGifFrames(gif, blocksOffset, static_cast<std::size_t>(index) + 1);
    if (frames.size() == static_cast<std::size_t>(index) + 1) {
        info.Found = true;
        info.Disposal = frames.back().Disposal;
        info.Bounds = frames.back().Bounds;
    }
    return info;
}

Colour GifBackgroundColour(GifBytes gif, std::uint32_t blocksOffset)
{
    if (gif.size() < HeaderSize) return 0;
    const std::size_t index = gif[11];
    std::size_t table = 0, tableBytes = 0;
    if (gif[10] & 0x80) {
        table = HeaderSize;
        tableBytes = ColourTableBytes(gif[10]);
    }
    for (std::size_t p = blocksOffset;;) {
        const GifBlock block = StepGifBlock(gif, p);
        if (block.Kind == GifBlockKind::End) break;
        if (block.Kind == GifBlockKind::Image) {
            const std::uint8_t flags = gif[p + 9];
            if (flags & 0x80) {
                table = p + 10;
                tableBytes = ColourTableBytes(flags);
            }
            break;
        }
        p = block.Next;
    }
    const std::size_t entry = table + 3 * index;
    if (tableBytes == 0 || 3 * index + 3 > tableBytes || entry + 3 > gif.size()) return 0;
    return Colour{gif[entry]} | (Colour{gif[entry + 1]} << 8) | (Colour{gif[entry + 2]} << 16);
}

}  // namespace framelot
