#include "webp/WebpConvert.h"

#include <webp/decode.h>
#include <webp/demux.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/Limits.h"
#include "webp/WebpCompose.h"

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
// little-endian number. Transparent black for a file without ANIM.
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
    return h;
}

// Every frame's header, in one pass over the file.
std::vector<WebpFrameHeader> ReadHeaders(WebPDemuxer* demux, std::uint32_t count)
{
    std::vector<WebpFrameHeader> headers;
    WebPIterator it{};
    if (!WebPDemuxGetFrame(demux, 1, &it)) return headers;
    std::unique_ptr<WebPIterator, IteratorReleaser> release(&it);
    headers.reserve(count);
    do {
        headers.push_back(HeaderOf(it));
    } while (WebPDemuxNextFrame(&it));
    return headers;
}

// Decodes one frame's bitstream into `frame` (straight BGRA), reusing its storage.
bool DecodeWebpFrame(std::span<const std::uint8_t> data, Bitmap& frame)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(data.data(), data.size(), &width, &height)) return false;
    if (width <= 0 || height <= 0 || !FitsLimits(width, height)) return false;
    frame.Width = width;
    frame.Height = height;
    frame.Pixels.resize(static_cast<std::size_t>(width) * height * 4);
    return WebPDecodeBGRAInto(data.data(), data.size(), frame.Pixels.data(), frame.Pixels.size(), width * 4) !=
           nullptr;
}

}  // namespace

ConvertResult ConvertWebpData(std::span<const std::uint8_t> bytes, const FrameSink& sink)
{
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    if (!demux) return NotAnimation("not a WebP file, or an incomplete one");
    const std::uint32_t count = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
    if (count < 2) return NotAnimation("a still WebP image, not an animation");
    if (count > MaxFrames) return OverLimit(AnimationOverLimits(count, 0, 0));

    // Every frame's extent is checked before anything is made.
    const std::vector<WebpFrameHeader> headers = ReadHeaders(demux.get(), count);
    if (headers.empty()) return NotAnimation("a WebP file without frames");
    std::int64_t right = 0, bottom = 0;
    for (const auto& h : headers) {
        right = std::max<std::int64_t>(right, std::int64_t{h.Bounds.Left} + h.Bounds.Width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t{h.Bounds.Top} + h.Bounds.Height);
    }
    if (std::string over = AnimationOverLimits(headers.size(), right, bottom); !over.empty()) {
        return OverLimit(std::move(over));
    }

    // A file none of whose frames can be drawn is refused before anything is
    // written: find the first frame that decodes. Frames before it are known
    // not to, and it is not decoded a second time.
    Bitmap frame;
    std::size_t firstDecoded = 0;
    while (firstDecoded < headers.size() && !DecodeWebpFrame(headers[firstDecoded].Data, frame)) ++firstDecoded;
    if (firstDecoded == headers.size()) return Damaged("no frame of the file can be decoded");

    WebpComposer composer;
    composer.FillColour = AnimationBackground(demux.get());
    const Rect& probe = headers[headers.size() > 1 ? 1 : 0].Bounds;  // W1
    composer.Canvas = MakeBitmap(probe.Left + probe.Width, probe.Top + probe.Height);
    Bitmap output;
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const WebpFrameHeader& header = headers[i];
        const bool decoded = i == firstDecoded || (i > firstDecoded && DecodeWebpFrame(header.Data, frame));
        GrowWebpCanvas(composer, header.Bounds);
        ComposeWebpFrame(composer, decoded ? &frame : nullptr, header, i);
        FinishWebpOutput(composer, output);
        sink(i, output);
    }
    return Converted();
}

}  // namespace framelot
