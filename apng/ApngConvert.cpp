#include "apng/ApngConvert.h"

#include <algorithm>

#include "apng/ApngCompose.h"
#include "apng/ApngRebuild.h"
#include "apng/ApngWalk.h"
#include "apng/PngDecode.h"
#include "imaging/Limits.h"

namespace framelot {

ConvertResult ConvertApngData(std::span<const std::uint8_t> bytes, const FrameSink& sink)
{
    const ApngIndex index = IndexApng(bytes, MaxFrames + 1);
    if (!index.IsPng) return NotAnimation("not a PNG file");
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

    std::vector<std::uint8_t> rebuilt;
    Bitmap frame;
    BuildFramePng(bytes, index, index.Frames[0], rebuilt);
    if (!DecodePngInto(rebuilt, frame)) return Damaged("the first frame cannot be decoded");

    ApngComposer composer = StartApngComposer(frame.Width, frame.Height);
    const ApngFrameRecord* record = &index.Frames[0];
    for (std::int32_t i = 0; i < index.Count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        bool decoded = k == 0;  // frame 0 is decoded already
        if (k > 0 && k < index.Frames.size()) {
            record = &index.Frames[k];
            BuildFramePng(bytes, index, *record, rebuilt);
            decoded = DecodePngInto(rebuilt, frame);
        }
        // Without an fcTL the previous frame's rectangle and operations stay (A6).
        ComposeApngFrame(composer, decoded ? &frame : nullptr, *record, k);
        sink(k, composer.Output);
        DisposeApngFrame(composer, *record, k);
    }
    return Converted();
}

}  // namespace framelot
