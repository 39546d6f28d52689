#include "gif/GifWalk.h"

#include <algorithm>
#include <string_view>

#include "imaging/ByteReader.h"
#include "imaging/Limits.h"

namespace framelot {
namespace {

constexpr std::uint8_t ImageIntroducer = 0x2C;
constexpr std::uint8_t ExtensionIntroducer = 0x21;
constexpr std::uint8_t ControlLabel = 0xF9;
constexpr std::uint8_t PlainTextLabel = 0x01;
constexpr std::uint8_t ApplicationLabel = 0xFF;

// The header: signature and version (6 bytes), screen width and height,
// flags, background colour index, aspect ratio.
constexpr std::size_t HeaderSize = 13;
constexpr std::size_t ScreenFlagsOffset = 10;
constexpr std::size_t BackgroundIndexOffset = 11;

// An image descriptor: introducer, left, top, width, height (16 bits each,
// little-endian), flags; the local colour table follows.
constexpr std::size_t DescriptorBoundsOffset = 1;
constexpr std::size_t DescriptorFlagsOffset = 9;
constexpr std::size_t DescriptorSize = 10;

// A graphic control extension: introducer, label, block size, flags, delay,
// transparent index, terminator. Taken as exactly this long.
constexpr std::size_t ControlSize = 8;
constexpr std::size_t ControlFlagsOffset = 3;
constexpr std::size_t ControlDelayOffset = 4;
constexpr unsigned DisposalShift = 2;
constexpr unsigned DisposalMask = 3;

// Fixed headers in front of the sub-block chains of these extensions
// (block size byte included).
constexpr std::size_t PlainTextHeader = 13;
constexpr std::size_t ApplicationHeader = 12;

// Colour table flags: present, and its size as 2^(n+1) entries of 3 bytes.
constexpr std::uint8_t TablePresent = 0x80;
constexpr std::uint8_t TableSizeBits = 0x07;

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
    return (flags & TablePresent) ? 3u * (2u << (flags & TableSizeBits)) : 0;
}

}  // namespace

GifBlock StepGifBlock(GifBytes gif, std::size_t offset)
{
    GifBlock block;
    ByteReader r{gif, offset};
    const std::uint8_t introducer = ReadU8(r);
    if (r.Failed) return block;

    if (introducer == ImageIntroducer) {
        Skip(r, DescriptorFlagsOffset - 1);
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
    const std::size_t headerBytes =
        label == PlainTextLabel ? PlainTextHeader : label == ApplicationLabel ? ApplicationHeader : 0;
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
    return static_cast<std::uint32_t>(HeaderSize + ColourTableBytes(gif[ScreenFlagsOffset]));
}

Rect GifImageBounds(GifBytes gif, std::size_t offset)
{
    ByteReader r{gif, offset + DescriptorBoundsOffset};
    Rect bounds;
    bounds.Left = ReadU16Le(r);
    bounds.Top = ReadU16Le(r);
    bounds.Width = ReadU16Le(r);
    bounds.Height = ReadU16Le(r);
    return bounds;
}

DisposeMethod GifControlDisposal(GifBytes gif, std::size_t offset)
{
    ByteReader r{gif, offset + ControlFlagsOffset};
    return static_cast<DisposeMethod>((ReadU8(r) >> DisposalShift) & DisposalMask);
}

std::vector<GifFrameRecord> IndexGifFrames(GifBytes gif, std::uint32_t blocksOffset, std::size_t maxFrames,
                                           std::size_t* stoppedAt)
{
    std::vector<GifFrameRecord> frames;
    DisposeMethod disposal = DisposeMethod::None;
    std::uint16_t delay = 0;
    std::size_t controlsBegin = blocksOffset;
    for (std::size_t p = blocksOffset; frames.size() < maxFrames;) {
        const GifBlock block = StepGifBlock(gif, p);
        if (stoppedAt != nullptr) *stoppedAt = p;
        if (block.Kind == GifBlockKind::End) break;
        if (block.Kind == GifBlockKind::Control) {
            disposal = GifControlDisposal(gif, p);
            ByteReader r{gif, p + ControlDelayOffset};
            delay = ReadU16Le(r);
        }
        if (block.Kind == GifBlockKind::Image) {
            frames.push_back({controlsBegin, p, block.Next, disposal, GifImageBounds(gif, p), delay});
            controlsBegin = block.Next;
            delay = 0;
        }
        p = block.Next;
    }
    return frames;
}

std::optional<std::uint16_t> GifLoopCount(GifBytes gif, std::uint32_t blocksOffset)
{
    // Introducer, label, block size 11, the identifier, then a sub-block of
    // three bytes: 1 and the count, little-endian.
    constexpr std::size_t IdentifierOffset = 3, IdentifierBytes = 11, LoopSubBlockOffset = 14;
    constexpr std::uint8_t LoopSubBlockSize = 3, LoopSubBlockId = 1;
    for (std::size_t p = blocksOffset;;) {
        const GifBlock block = StepGifBlock(gif, p);
        if (block.Kind == GifBlockKind::End || block.Kind == GifBlockKind::Image) return std::nullopt;
        ByteReader r{gif, p + 1};
        if (block.Kind == GifBlockKind::OtherExtension && ReadU8(r) == ApplicationLabel) {
            const auto id = gif.subspan(p + IdentifierOffset, std::min(IdentifierBytes, block.Next - p - IdentifierOffset));
            const std::string_view name(reinterpret_cast<const char*>(id.data()), id.size());
            ByteReader loop{gif, p + LoopSubBlockOffset};
            if ((name == "NETSCAPE2.0" || name == "ANIMEXTS1.0") && ReadU8(loop) == LoopSubBlockSize &&
                ReadU8(loop) == LoopSubBlockId) {
                const std::uint16_t count = ReadU16Le(loop);
                if (!loop.Failed) return count;
            }
        }
        p = block.Next;
    }
}

namespace {

constexpr std::uint8_t Trailer = 0x3B;

// Why a walk that stopped at `at` after `frames` images did not reach the
// trailer; empty when it did.
std::string GifDamage(GifBytes gif, std::size_t at, std::size_t frames)
{
    const std::string after = frames == 0 ? "before its first frame" : "after frame " + std::to_string(frames - 1);
    if (at >= gif.size()) return "the file ends " + after + " without the GIF trailer: any later frames are missing";
    const std::uint8_t byte = gif[at];
    if (byte == Trailer) return {};
    if (byte == ImageIntroducer) {
        return "the file ends inside frame " + std::to_string(frames) + ": it and any later frames are missing";
    }
    if (byte == ExtensionIntroducer) return "the file ends inside an extension " + after + ": any later frames are missing";
    return "a byte that starts no GIF block (at offset " + std::to_string(at) + ", " + after +
           "): the rest of the file is passed over";
}

}  // namespace

ConvertResult IndexGifAnimation(GifBytes gif, GifAnimation& animation, std::size_t fewestFrames)
{
    if (gif.size() < HeaderSize && gif.size() >= 6 && gif[0] == 'G' && gif[1] == 'I' && gif[2] == 'F' && gif[3] == '8' &&
        (gif[4] == '7' || gif[4] == '9') && gif[5] == 'a') {
        return Damaged("the file ends inside its header (" + std::to_string(gif.size()) + " of " +
                       std::to_string(HeaderSize) + " bytes)");
    }
    if (!HasGifSignature(gif)) return NotAnimation("not a GIF file");
    animation.BlocksOffset = GifBlocksOffset(gif);
    std::size_t stoppedAt = gif.size();
    animation.Frames = IndexGifFrames(gif, animation.BlocksOffset, MaxFrames + 1, &stoppedAt);
    animation.Damage = GifDamage(gif, stoppedAt, animation.Frames.size());
    if (animation.Frames.size() < fewestFrames) {
        // A GIF that ends before its second frame is damaged, not a still.
        if (!animation.Damage.empty()) return Damaged(animation.Damage);
        return NotAnimation(animation.Frames.empty() ? "GIF without images" : "a single image, not an animation");
    }
    for (const auto& f : animation.Frames) {
        animation.Right = std::max<std::int64_t>(animation.Right, std::int64_t{f.Bounds.Left} + f.Bounds.Width);
        animation.Bottom = std::max<std::int64_t>(animation.Bottom, std::int64_t{f.Bounds.Top} + f.Bounds.Height);
    }
    if (std::string over = AnimationOverLimits(animation.Frames.size(), animation.Right, animation.Bottom);
        !over.empty()) {
        return OverLimit(std::move(over));
    }
    return Converted();
}

Colour GifBackgroundColour(GifBytes gif, std::uint32_t blocksOffset)
{
    if (gif.size() < HeaderSize) return 0;
    const std::size_t index = gif[BackgroundIndexOffset];
    std::size_t table = 0, tableBytes = 0;
    if (gif[ScreenFlagsOffset] & TablePresent) {
        table = HeaderSize;
        tableBytes = ColourTableBytes(gif[ScreenFlagsOffset]);
    }
    for (std::size_t p = blocksOffset;;) {
        const GifBlock block = StepGifBlock(gif, p);
        if (block.Kind == GifBlockKind::End) break;
        if (block.Kind == GifBlockKind::Image) {
            const std::uint8_t flags = gif[p + DescriptorFlagsOffset];
            if (flags & TablePresent) {
                table = p + DescriptorSize;
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
