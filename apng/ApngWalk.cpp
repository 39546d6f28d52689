#include "apng/ApngWalk.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "imaging/ByteReader.h"
#include "imaging/Limits.h"

namespace framelot {
namespace {

constexpr std::size_t HeaderEnd = 33;  // signature and IHDR
constexpr std::uint32_t FctlLength = 26;

bool TypeIs(std::span<const std::uint8_t> type, const char* name)
{
    return std::memcmp(type.data(), name, 4) == 0;
}

}  // namespace

int ApngFrameCode(std::uint8_t disposeOp, std::uint8_t blendOp, std::size_t frameIndex, bool beforeFirstIdat)
{
    int dispose = disposeOp;
    if (frameIndex == 0 && dispose == 2) dispose = 1;  // nothing precedes frame 0
    const int magnitude = dispose + 1 + (blendOp == 1 ? 8 : 0);
    return beforeFirstIdat ? -magnitude : magnitude;
}

ApngOperations ReadApngFrameCode(int code)
{
    const int m = std::abs(code);
    ApngOperations ops;
    ops.BlendOver = m >= 8;
    const int e = m > 8 ? m - 8 : m;
    ops.Dispose = e == 2 ? ApngDispose::Background : e == 3 ? ApngDispose::Previous : ApngDispose::None;
    return ops;
}

ApngIndex IndexApng(PngBytes png, std::size_t maxFrames)
{
    ApngIndex index;
    if (png.size() < HeaderEnd || png[1] != 'P' || png[2] != 'N' || png[3] != 'G') return index;
    index.IsPng = true;
    {
        ByteReader header{png, 16};
        index.ImageWidth = ReadU32Be(header);
        index.ImageHeight = ReadU32Be(header);
    }

    bool sawIdat = false;
    ByteReader r{png, 8};
    while (Remaining(r) >= 12) {
        const std::uint32_t length = ReadU32Be(r);
        const auto type = TakeBytes(r, 4);
        if (length > MaxChunkBytes || std::uint64_t{length} + 4 > Remaining(r)) break;
        const std::size_t data = r.Offset;

        if (TypeIs(type, "IEND")) break;
        if (TypeIs(type, "acTL") && length >= 8) {
            ByteReader f{png, data};
            index.Count = static_cast<std::int32_t>(ReadU32Be(f));
        } else if (TypeIs(type, "fcTL")) {
            if (length < FctlLength) break;
            if (index.Frames.size() >= maxFrames) break;
            ByteReader f{png, data + 4};
            ApngFrameRecord frame;
            frame.FctlOffset = data;
            frame.Width = ReadU32Be(f);
            frame.Height = ReadU32Be(f);
            const std::uint32_t x = ReadU32Be(f);
            const std::uint32_t y = ReadU32Be(f);
            Skip(f, 4);  // delay
            const std::uint8_t dispose = ReadU8(f);
            const std::uint8_t blend = ReadU8(f);
            frame.Bounds = Rect{static_cast<std::int32_t>(x), static_cast<std::int32_t>(y),
                                static_cast<std::int32_t>(frame.Width), static_cast<std::int32_t>(frame.Height)};
            frame.Code = ApngFrameCode(dispose, blend, index.Frames.size(), !sawIdat);
            index.Frames.push_back(std::move(frame));
        } else if (TypeIs(type, "IDAT")) {
            sawIdat = true;
            if (!index.Frames.empty()) index.Frames.back().Data.push_back({data, length, false});
        } else if (TypeIs(type, "fdAT")) {
            if (!index.Frames.empty() && length >= 4) index.Frames.back().Data.push_back({data, length, true});
        } else if (TypeIs(type, "PLTE") || TypeIs(type, "tRNS")) {
            // A PNG holds at most one of each, and the decoder refuses a second
            // PLTE; carrying only the first keeps a file stuffed with copies
            // from costing (copies x frames) work.
            const bool seen = std::any_of(index.Carried.begin(), index.Carried.end(), [&](const ChunkRef& c) {
                return std::memcmp(png.data() + c.Offset - 4, type.data(), 4) == 0;
            });
            if (!seen) index.Carried.push_back({data, length, false});
        }
        Skip(r, std::uint64_t{length} + 4);
    }
    return index;
}

std::int32_t GetApngFrameInfo(PngBytes png, int k, Rect& bounds, int& code)
{
    const ApngIndex index = IndexApng(png, MaxFrames + 1);
    if (!index.IsPng) return 0;
    if (k >= 0 && index.Frames.size() > static_cast<std::size_t>(k)) {
        bounds = index.Frames[static_cast<std::size_t>(k)].Bounds;
        code = index.Frames[static_cast<std::size_t>(k)].Code;
    }
    return index.Count;
}

}  // namespace framelot
