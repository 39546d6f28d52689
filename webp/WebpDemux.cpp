#include "webp/WebpDemux.h"

#include <webp/demux.h>

#include <algorithm>
#include <memory>

#include "imaging/Limits.h"

namespace framelot {
namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct IteratorReleaser {
    void operator()(WebPIterator* it) const { WebPDemuxReleaseIterator(it); }
};

// The ANIM background colour as a colour value (red in the low byte); the
// container stores blue, green, red, alpha, which the demuxer reads as one
// little-endian number.
Colour AnimationBackground(const WebPDemuxer* demux)
{
    const std::uint32_t bg = WebPDemuxGetI(demux, WEBP_FF_BACKGROUND_COLOR);
    const Colour blue = bg & 0xFF, green = (bg >> 8) & 0xFF, red = (bg >> 16) & 0xFF;
    return red | (green << 8) | (blue << 16);
}

WebpFrameHeader HeaderOf(const WebPIterator& it)
{
    WebpFrameHeader h;
    h.Data = std::span(it.fragment.bytes, it.fragment.size);
    h.Bounds = Rect{it.x_offset, it.y_offset, it.width, it.height};
    h.DisposeBackground = it.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND;
    h.NoBlend = it.blend_method == WEBP_MUX_NO_BLEND;
    h.HasAlpha = it.has_alpha == 1;
    h.Duration = it.duration;
    return h;
}

}  // namespace

ConvertResult ReadWebpAnimation(std::span<const std::uint8_t> bytes, WebpAnimation& animation)
{
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    if (!demux) return NotAnimation("not a WebP file, or an incomplete one");
    const std::uint32_t count = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
    if (count < 2) return NotAnimation("a still WebP image, not an animation");
    if (count > MaxFrames) return OverLimit(AnimationOverLimits(count, 0, 0));

    WebPIterator it{};
    if (!WebPDemuxGetFrame(demux.get(), 1, &it)) return NotAnimation("a WebP file without frames");
    {
        std::unique_ptr<WebPIterator, IteratorReleaser> release(&it);
        animation.Frames.reserve(count);
        do {
            animation.Frames.push_back(HeaderOf(it));
        } while (WebPDemuxNextFrame(&it));
    }
    // Every frame's extent is checked before anything is made.
    for (const auto& h : animation.Frames) {
        animation.Right = std::max<std::int64_t>(animation.Right, std::int64_t{h.Bounds.Left} + h.Bounds.Width);
        animation.Bottom = std::max<std::int64_t>(animation.Bottom, std::int64_t{h.Bounds.Top} + h.Bounds.Height);
    }
    if (std::string over = AnimationOverLimits(animation.Frames.size(), animation.Right, animation.Bottom);
        !over.empty()) {
        return OverLimit(std::move(over));
    }
    animation.Background = AnimationBackground(demux.get());
    animation.Loops = WebPDemuxGetI(demux.get(), WEBP_FF_LOOP_COUNT);
    animation.DeclaredWidth = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_WIDTH);
    animation.DeclaredHeight = WebPDemuxGetI(demux.get(), WEBP_FF_CANVAS_HEIGHT);
    return Converted();
}

}  // namespace framelot
