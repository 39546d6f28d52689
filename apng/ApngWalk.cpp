#include "apng/ApngWalk.h"

#include <algorithm>
#include <cstring>

#include "imaging/ByteReader.h"
#include "imaging/Limits.h"

namespace framelot {
namespace {

// fcTL data: sequence number, width, height, x and y offsets (4 bytes each),
// delay numerator and denominator (2 each), dispose_op, blend_op.
constexpr std::uint32_t FctlLength = 26;
constexpr std::size_t FctlSizeOffset = 4;
constexpr std::uint8_t DisposeOpBackground = 1;
constexpr std::uint8_t DisposeOpPrevious = 2;
constexpr std::uint8_t BlendOpOver = 1;

// acTL data: num_frames, num_plays.
constexpr std::uint32_t ActlLength = 8;

DisposeMethod ReadDisposeOp(std::uint8_t op)
{
    switch (op) {
    case DisposeOpBackground: return DisposeMethod::Background;
    case DisposeOpPrevious: return DisposeMethod::Previous;
    default: return DisposeMethod::None;
    }
}

bool TypeIs(std::span<const std::uint8_t> type, const char* name)
{
    return std::memcmp(type.data(), name, ChunkTypeBytes) == 0;
}

}  // namespace

bool ApngFrameHasNoData(const ApngIndex& index, std::size_t frame)
{
    if (frame >= index.Frames.size()) return false;
    const ApngFrameRecord& record = index.Frames[frame];
    return record.DataInIdat ? false : record.Data.empty();
}

std::string ApngDamage(const ApngIndex& index)
{
    std::string damage;
    if (!index.ReachedIend) {
        damage = "the file ends at offset " + std::to_string(index.StoppedAt) +
                 " before its IEND chunk (a chunk there is cut short or lies past the end)";
    }
    const auto announced = static_cast<std::size_t>(std::max<std::int32_t>(index.Count, 0));
    if (announced > index.Frames.size() && !index.Frames.empty()) {
        const std::size_t first = index.Frames.size();
        const std::string which = first + 1 == announced ? "frame " + std::to_string(first)
                                                         : "frames " + std::to_string(first) + " to " + std::to_string(announced - 1);
        const std::string missing = which + " of the " + std::to_string(announced) +
                                    " announced have no frame control chunk: they repeat the frame before them";
        damage = damage.empty() ? missing : damage + "; " + missing;
    }
    return damage;
}

ConvertResult CheckApngAnimation(const ApngIndex& index)
{
    if (index.CutHeader) {
        return Damaged("the file ends inside its header (" + std::to_string(index.StoppedAt) + " of " +
                       std::to_string(PngHeaderEnd) + " bytes)");
    }
    if (!index.IsPng) return NotAnimation("not a PNG file");
    if ((index.Count < 2 || index.Frames.empty()) && index.Count >= 2 && !index.ReachedIend) {
        return Damaged(ApngDamage(index));
    }
    if (index.Count < 2 || index.Frames.empty()) return NotAnimation("not an animated PNG");
    // The canvas is frame 0's size; frames past the last fcTL are still written.
    const std::uint64_t frames = std::max<std::uint64_t>(static_cast<std::uint64_t>(index.Count), index.Frames.size());
    if (std::string over = AnimationOverLimits(frames, index.Frames[0].Width, index.Frames[0].Height); !over.empty()) {
        return OverLimit(std::move(over));
    }
    if (!FitsLimits(index.ImageWidth, index.ImageHeight)) return OverLimit("image size is over the program's limit");
    for (const auto& frame : index.Frames) {
        if (!FitsLimits(frame.Width, frame.Height)) return OverLimit("frame size is over the program's limit");
    }
    return Converted();
}

ApngIndex IndexApng(PngBytes png, std::size_t maxFrames)
{
    ApngIndex index;
    static constexpr std::uint8_t Signature[PngSignatureBytes] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (png.size() < PngHeaderEnd) {
        index.CutHeader = png.size() >= PngSignatureBytes && std::equal(Signature, Signature + PngSignatureBytes, png.begin());
        index.StoppedAt = png.size();
        return index;
    }
    if (png[1] != 'P' || png[2] != 'N' || png[3] != 'G') return index;
    index.IsPng = true;
    {
        ByteReader header{png, IhdrDataOffset};
        index.ImageWidth = ReadU32Be(header);
        index.ImageHeight = ReadU32Be(header);
    }

    bool sawIdat = false;
    ByteReader r{png, PngSignatureBytes};
    for (;;) {
        index.StoppedAt = r.Offset;
        if (Remaining(r) < ChunkOverhead) break;
        const std::uint32_t length = ReadU32Be(r);
        const auto type = TakeBytes(r, ChunkTypeBytes);
        if (length > MaxChunkBytes || std::uint64_t{length} + CrcBytes > Remaining(r)) break;
        const std::size_t data = r.Offset;

        if (TypeIs(type, "IEND")) {
            index.ReachedIend = true;
            break;
        }
        if (TypeIs(type, "acTL") && length >= ActlLength) {
            ByteReader f{png, data};
            index.Count = static_cast<std::int32_t>(ReadU32Be(f));
            index.Plays = ReadU32Be(f);
        } else if (TypeIs(type, "fcTL")) {
            if (length < FctlLength) break;
            if (index.Frames.size() >= maxFrames) {
                index.ReachedIend = true;  // stopped by the limit, which the check reports
                break;
            }
            ByteReader f{png, data + FctlSizeOffset};
            ApngFrameRecord frame;
            frame.FctlOffset = data;
            frame.Width = ReadU32Be(f);
            frame.Height = ReadU32Be(f);
            const std::uint32_t x = ReadU32Be(f);
            const std::uint32_t y = ReadU32Be(f);
            frame.DelayNumerator = ReadU16Be(f);
            frame.DelayDenominator = ReadU16Be(f);
            frame.Dispose = ReadDisposeOp(ReadU8(f));
            frame.Blend = ReadU8(f) == BlendOpOver ? BlendMethod::Over : BlendMethod::Source;
            frame.DataInIdat = !sawIdat;
            frame.Bounds = Rect{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                static_cast<std::int32_t>(frame.Width), static_cast<std::int32_t>(frame.Height)};
            index.Frames.push_back(std::move(frame));
        } else if (TypeIs(type, "IDAT")) {
            sawIdat = true;
            if (!index.Frames.empty()) index.Frames.back().Data.push_back({data, length, false});
        } else if (TypeIs(type, "fdAT")) {
            if (!index.Frames.empty() && length >= SequenceBytes) index.Frames.back().Data.push_back({data, length, true});
        } else if (TypeIs(type, "PLTE") || TypeIs(type, "tRNS")) {
            // A PNG holds at most one of each, and the decoder refuses a second
            // PLTE; carrying only the first keeps a file stuffed with copies
            // from costing (copies x frames) work.
            const bool seen = std::any_of(index.Carried.begin(), index.Carried.end(), [&](const ChunkRef& c) {
                return std::memcmp(png.data() + c.Offset - ChunkTypeBytes, type.data(), ChunkTypeBytes) == 0;
            });
            if (!seen) index.Carried.push_back({data, length, false});
        }
        Skip(r, std::uint64_t{length} + CrcBytes);
    }
    return index;
}

}  // namespace framelot
