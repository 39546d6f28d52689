#include "gif/GifConvert.h"

#include <algorithm>

#include "gif/GifCompose.h"
#include "gif/GifDecode.h"
#include "gif/GifRebuild.h"
#include "gif/GifWalk.h"
#include "imaging/Damage.h"
#include "imaging/DecodeAhead.h"
#include "imaging/Limits.h"

namespace framelot {

namespace {

// Composes the frames of a file of at least `fewestFrames` images.
ConvertResult ComposeGif(std::span<const std::uint8_t> bytes, const FrameSink& sink, const FrameCountSink& announce,
                         std::size_t fewestFrames)
{
    GifAnimation animation;
    if (ConvertResult checked = IndexGifAnimation(bytes, animation, fewestFrames);
        checked.Status != ConvertStatus::Converted) {
        return checked;
    }
    const std::uint32_t blocks = animation.BlocksOffset;
    const auto& frames = animation.Frames;

    if (announce) announce(frames.size());
    GifComposer composer = StartGifComposer(bytes, blocks, frames.front());
    // With a core to spare, the LZW data is decoded a few frames ahead.
    struct Slot {
        std::vector<std::uint8_t> Rebuilt;
        GifIndexedImage Image;
        bool Decoded = false;
    };
    DecodeAhead<Slot> ahead(
        0, frames.size(),
        [&](std::size_t i, Slot& slot) {
            slot.Rebuilt.clear();
            AppendGifFrame(bytes, blocks, frames[i], slot.Rebuilt);
            slot.Decoded = DecodeGifIndices(slot.Rebuilt, slot.Image);
        },
        DecodeAheadThreads(frames.size(), 0));
    UndecodedFrames undecoded;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        Slot& slot = ahead.Take(i);
        const GifIndexedImage* frame = slot.Decoded ? &slot.Image : nullptr;
        const bool empty = frames[i].Bounds.Width == 0 || frames[i].Bounds.Height == 0;  // nothing to decode
        if (frame == nullptr && !empty) undecoded.Add(i);
        ComposeGifFrame(composer, frame, frames[i], i);
        if (!sink(i, composer.Canvas)) break;
        DisposeGifFrame(composer, frames[i], i);
    }
    ConvertResult result = Converted();
    result.Damage = JoinDamage(animation.Damage, undecoded.Text("it shows the canvas as the frames before it left it",
                                                                     "they show the canvas as the frames before them left it"));
    return result;
}

}  // namespace

ConvertResult ConvertGifData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    return ComposeGif(bytes, sink, announce, 2);
}

ConvertResult ConvertGifStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    return ComposeGif(bytes, sink, announce, 1);
}

}  // namespace framelot
