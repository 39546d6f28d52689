#include "webp/WebpDemux.h"

#include <cstring>

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

// The RIFF header's size field: the bytes after the first eight.
std::uint64_t ReadRiffSize(std::span<const std::uint8_t> bytes)
{
    constexpr std::size_t RiffSizeOffset = 4, RiffHeadBytes = 8;
    const std::uint8_t* p = bytes.data() + RiffSizeOffset;
    return RiffHeadBytes + (std::uint64_t{p[0]} | (std::uint64_t{p[1]} << 8) | (std::uint64_t{p[2]} << 16) |
                            (std::uint64_t{p[3]} << 24));
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
    bool cut = false;
    if (!demux) {
        // A file whose headers parse but whose data stops early is a WebP cut
        // short: its complete frames are still there to convert.
        WebPDemuxState state = WEBP_DEMUX_PARSE_ERROR;
        demux.reset(WebPDemuxPartial(&data, &state));
        if (!demux || state == WEBP_DEMUX_PARSE_ERROR || state == WEBP_DEMUX_PARSING_HEADER) {
            // RIFF, a size and WEBP: a WebP file, whose headers are cut or broken.
            const bool signature = bytes.size() >= 12 && std::memcmp(bytes.data(), "RIFF", 4) == 0 &&
                                   std::memcmp(bytes.data() + 8, "WEBP", 4) == 0;
            if (signature && state == WEBP_DEMUX_PARSING_HEADER) {
                return Damaged("the file ends inside its headers (after " + std::to_string(bytes.size()) + " bytes)");
            }
            if (signature) return Damaged("the WebP file's headers cannot be read");
            return NotAnimation("not a WebP file");
        }
        cut = true;
    }
    const std::uint32_t count = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
    if (count > MaxFrames) return OverLimit(AnimationOverLimits(count, 0, 0));
    const bool animated = (WebPDemuxGetI(demux.get(), WEBP_FF_FORMAT_FLAGS) & ANIMATION_FLAG) != 0;

    WebPIterator it{};
    if (WebPDemuxGetFrame(demux.get(), 1, &it)) {
        std::unique_ptr<WebPIterator, IteratorReleaser> release(&it);
        animation.Frames.reserve(count);
        do {
            if (!it.complete) break;
            animation.Frames.push_back(HeaderOf(it));
        } while (WebPDemuxNextFrame(&it));
    }
    if (cut) {
        animation.Damage = "the file ends early (its header gives " +
                           std::to_string(std::uint64_t{bytes.size() >= 8 ? ReadRiffSize(bytes) : 0}) +
                           " bytes, it has " + std::to_string(bytes.size()) + "), after " +
                           std::to_string(animation.Frames.size()) +
                           (animation.Frames.size() == 1 ? " whole frame" : " whole frames") +
                           ": any later frames are missing";
        if (animated && animation.Frames.size() < 2) return Damaged(animation.Damage);
    }
    if (animation.Frames.empty()) return NotAnimation("a WebP file without frames");
    if (animation.Frames.size() < 2) return NotAnimation("a still WebP image, not an animation");
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
