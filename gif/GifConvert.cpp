#include "gif/GifConvert.h"

#include <algorithm>

#include "gif/GifCompose.h"
#include "gif/GifRebuild.h"
#include "gif/GifWalk.h"
#include "gif/GifDecode.h"
#include "imaging/Limits.h"

namespace framelot {

ConvertResult ConvertGifData(std::span<const std::uint8_t> bytes, const FrameSink& sink)
{
    if (!HasGifSignature(bytes)) return NotAnimation("not a GIF file");
    const std::uint32_t blocks = GifBlocksOffset(bytes);
    const auto frames = IndexGifFrames(bytes, blocks, MaxFrames + 1);
    if (frames.size() < 2) return NotAnimation(frames.empty() ? "GIF without images" : "a single image, not an animation");
    // The canvas ends at the farthest frame edge; check it before anything is made.
    std::int64_t right = 0, bottom = 0;
    for (const auto& f : frames) {
        right = std::max<std::int64_t>(right, std::int64_t{f.Bounds.Left} + f.Bounds.Width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t{f.Bounds.Top} + f.Bounds.Height);
    }
    if (std::string over = AnimationOverLimits(frames.size(), right, bottom); !over.empty()) {
        return OverLimit(std::move(over));
    }

    GifComposer composer = StartGifComposer(bytes, blocks, frames.front());
    std::vector<std::uint8_t> rebuilt;
    Bitmap frame;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        rebuilt.clear();
        AppendGifFrame(bytes, blocks, frames[i], rebuilt);
        const bool decoded = DecodeGifInto(rebuilt, frame);
        ComposeGifFrame(composer, decoded ? &frame : nullptr, frames[i], i);
        sink(i, composer.Canvas);
        DisposeGifFrame(composer, frames[i], i);
    }
    return Converted();
}

}  // namespace framelot
