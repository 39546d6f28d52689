#include "apng/ApngConvert.h"

#include <algorithm>

#include "apng/ApngCompose.h"
#include "apng/ApngRebuild.h"
#include "apng/ApngWalk.h"
#include "apng/PngDecode.h"
#include "imaging/Damage.h"
#include "imaging/DecodeAhead.h"
#include "imaging/Limits.h"

namespace framelot {
namespace {

ConvertResult ConvertApng(std::span<const std::uint8_t> bytes, const FrameSink& sink, const FrameCountSink& announce,
                          bool declaredCanvas)
{
    const ApngIndex index = IndexApng(bytes, MaxFrames + 1);
    if (ConvertResult checked = CheckApngAnimation(index); checked.Status != ConvertStatus::Converted) return checked;

    std::vector<std::uint8_t> rebuilt;
    Bitmap frame;
    BuildFramePng(bytes, index, index.Frames[0], rebuilt);
    if (!DecodePngInto(rebuilt, frame)) return Damaged("the first frame cannot be decoded");

    if (announce) announce(static_cast<std::uint64_t>(index.Count));
    // The index has checked IHDR's size against the limits.
    ApngComposer composer = declaredCanvas ? StartApngComposer(static_cast<int>(index.ImageWidth),
                                                               static_cast<int>(index.ImageHeight))
                                           : StartApngComposer(frame.Width, frame.Height);
    const ApngFrameRecord* record = &index.Frames[0];
    UndecodedFrames undecoded;
    // With a core to spare, frames after the first are decoded a few ahead.
    struct Slot {
        std::vector<std::uint8_t> Rebuilt;
        Bitmap Frame;
        bool Decoded = false;
    };
    const std::uint64_t frameBytes = std::max<std::uint64_t>(static_cast<std::uint64_t>(frame.Width) * static_cast<std::uint64_t>(frame.Height),
                                                             std::uint64_t{index.ImageWidth} * index.ImageHeight) * 4;
    DecodeAhead<Slot> ahead(
        1, index.Frames.size(),
        [&](std::size_t k, Slot& slot) {
            BuildFramePng(bytes, index, index.Frames[k], slot.Rebuilt);
            slot.Decoded = !ApngFrameHasNoData(index, k) && DecodePngInto(slot.Rebuilt, slot.Frame);
        },
        DecodeAheadThreads(index.Frames.size(), frameBytes));
    for (std::int32_t i = 0; i < index.Count; ++i) {
        const auto k = static_cast<std::size_t>(i);
        Bitmap* decoded = k == 0 ? &frame : nullptr;  // frame 0 is decoded already
        if (k > 0 && k < index.Frames.size()) {
            record = &index.Frames[k];
            Slot& slot = ahead.Take(k);
            decoded = slot.Decoded ? &slot.Frame : nullptr;
            if (decoded == nullptr) undecoded.Add(k);
        }
        // Without an fcTL the previous frame's rectangle and operations stay (A6).
        ComposeApngFrame(composer, decoded, *record, k);
        if (!sink(k, composer.Output)) break;
        DisposeApngFrame(composer, *record, k);
    }
    ConvertResult result = Converted();
    result.Damage = JoinDamage(ApngDamage(index), undecoded.Text("it shows the canvas as the frames before it left it",
                                                                 "they show the canvas as the frames before them left it"));
    return result;
}

}  // namespace

ConvertResult ConvertApngData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    return ConvertApng(bytes, sink, announce, false);
}

ConvertResult ConvertApngDataOnDeclaredCanvas(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                                              const FrameCountSink& announce)
{
    return ConvertApng(bytes, sink, announce, true);
}

ConvertResult ConvertPngStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    Bitmap frame;
    if (!DecodePngInto(bytes, frame)) return Damaged("the PNG image cannot be decoded, or is over the program's limit");
    if (announce) announce(1);
    sink(0, frame);
    return Converted();
}

}  // namespace framelot
