// The APNG compositing rules, as the converter applies them:
//
//  A1 Frames are numbered by fcTL order; the default image is frame 0 only
//     when its fcTL stands before the first IDAT.
//  A2 The canvas is frame 0's size (the first fcTL's width and height) for the
//     whole animation; later frames are clipped to it.
//  A3 Blend source replaces the frame's rectangle, alpha included; blend over
//     draws source-over on the premultiplied canvas.
//  A4 Each output shows the canvas after its frame is drawn, before its own
//     dispose operation, converted back to straight alpha.
//  A5 Dispose background clears the rectangle to transparent black; dispose
//     previous puts back what lay there before the frame; on frame 0 dispose
//     previous acts as background.
//  A6 A frame that cannot be decoded (or has no fcTL, when acTL announces more
//     frames than there are) draws nothing but still applies its dispose
//     operation, and its output is still written. When frame 0 cannot be
//     decoded there is no canvas and the file fails.
#include "apng/ApngConvert.h"

#include <algorithm>

#include "apng/ApngRebuild.h"
#include "apng/ApngWalk.h"
#include "imaging/Alpha.h"
#include "imaging/Decode.h"
#include "imaging/FileConversion.h"
#include "imaging/Limits.h"
#include "imaging/Raster.h"

namespace framelot {

ConvertResult ConvertApngData(std::span<const std::uint8_t> bytes, const FrameSink& sink)
{
    const ApngIndex index = IndexApng(bytes, MaxFrames + 1);
    if (!index.IsPng) return NotAnimation("not a PNG file");
    if (index.Count < 2 || index.Frames.empty()) return NotAnimation("not an animated PNG");
    // The canvas is frame 0's size; frames past the last fcTL are still written.
    const std::uint64_t frames = std::max<std::uint64_t>(static_cast<std::uint64_t>(index.Count), index.Frames.size());
    if (std::string over = AnimationOverLimits(frames, index.Frames[0].Width, index.Frames[0].Height); !over.empty()) {
        return Refused(std::move(over));
    }
    if (!FitsLimits(index.ImageWidth, index.ImageHeight)) return Refused("image size is over the program's limit");
    for (const auto& frame : index.Frames) {
        if (!FitsLimits(frame.Width, frame.Height)) return Refused("frame size is over the program's limit");
    }

    std::vector<std::uint8_t> rebuilt;
    Bitmap frame;
    BuildFramePngFromRecord(bytes, index, index.Frames[0], index.Frames[0].Code, rebuilt);
    if (!DecodePngInto(rebuilt, frame)) return Refused("the first frame cannot be decoded");

    Bitmap canvas = MakeBitmap(frame.Width, frame.Height);  // A2
    Bitmap output, saved;
    Rect savedRect;
    bool haveFrame = true;  // frame 0 is already decoded
    Rect bounds;
    int code = 0;
    for (std::int32_t i = 0; i < index.Count; ++i) {
        const bool hasFctl = static_cast<std::size_t>(i) < index.Frames.size();
        if (hasFctl) {  // A6: without an fcTL the previous rectangle and code stay
            bounds = index.Frames[static_cast<std::size_t>(i)].Bounds;
            code = index.Frames[static_cast<std::size_t>(i)].Code;
        }
        if (i > 0) {
            haveFrame = false;
            if (hasFctl) {
                BuildFramePngFromRecord(bytes, index, index.Frames[static_cast<std::size_t>(i)], code, rebuilt);
                haveFrame = DecodePngInto(rebuilt, frame);
            }
        }
        const ApngOperations ops = ReadApngFrameCode(code);
        if (ops.Dispose == ApngDispose::Previous) SaveRegion(canvas, bounds, saved, savedRect);

        if (haveFrame) {  // A3
            PremultiplyAlpha(frame);
            if (ops.BlendOver) {
                BlendBlock(canvas, bounds.Left, bounds.Top, frame, frame.Width, frame.Height);
            } else {
                CopyBlock(canvas, bounds.Left, bounds.Top, frame, frame.Width, frame.Height);
            }
        }

        output = canvas;  // A4
        UnpremultiplyAlpha(output);
        sink(static_cast<std::uint64_t>(i), output);

        if (ops.Dispose == ApngDispose::Background) FillRect(canvas, bounds, 0);  // A5
        if (ops.Dispose == ApngDispose::Previous) RestoreRegion(canvas, saved, savedRect);
    }
    ConvertResult result;
    result.Status = ConvertStatus::Converted;
    return result;
}

ConvertResult ConvertApng(const std::string& source, bool makeFolder, unsigned encodeThreads)
{
    return ConvertFileWith(source, makeFolder, ConvertApngData, encodeThreads);
}

}  // namespace framelot
