#include "gif/GifConvert.h"

#include <algorithm>

#include "gif/GifCompose.h"
#include "gif/GifRebuild.h"
#include "gif/GifWalk.h"
#include "gif/GifDecode.h"
#include "imaging/Limits.h"

namespace framelot {

ConvertResult ConvertGifData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    GifAnimation animation;
    if (ConvertResult checked = IndexGifAnimation(bytes, animation); checked.Status != ConvertStatus::Converted) {
        return checked;
    }
    const std::uint32_t blocks = animation.BlocksOffset;
    const auto& frames = animation.Frames;

    if (announce) announce(frames.size());
    GifComposer composer = StartGifComposer(bytes, blocks, frames.front());
    std::vector<std::uint8_t> rebuilt;
    Bitmap frame;
    for (std::size_t i = 0; i < frames.size(); ++i) {
        rebuilt.clear();
        AppendGifFrame(bytes, blocks, frames[i], rebuilt);
        const bool decoded = DecodeGifInto(rebuilt, frame);
        ComposeGifFrame(composer, decoded ? &frame : nullptr, frames[i], i);
        if (!sink(i, composer.Canvas)) return Converted();
        DisposeGifFrame(composer, frames[i], i);
    }
    return Converted();
}

}  // namespace framelot
