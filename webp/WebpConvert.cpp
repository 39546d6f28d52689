#include "webp/WebpConvert.h"

#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/mux.h>

#include <algorithm>
#include <memory>
#include <vector>

#include "imaging/FileConversion.h"
#include "imaging/Limits.h"
#include "webp/WebpCompose.h"

namespace framelot {
namespace {

struct DemuxDeleter {
    void operator()(WebPDemuxer* d) const { WebPDemuxDelete(d); }
};
struct MuxDeleter {
    void operator()(WebPMux* m) const { WebPMuxDelete(m); }
};
struct IteratorReleaser {
    void operator()(WebPIterator* it) const { WebPDemuxReleaseIterator(it); }
};

// The ANIM background colour as a colour value (red in the low byte); the
// container stores blue, green, red, alpha. Transparent black when it cannot
// be read.
Colour AnimationBackground(const WebPData& data)
{
    std::unique_ptr<WebPMux, MuxDeleter> mux(WebPMuxCreate(&data, 0));
    WebPMuxAnimParams params{};
    if (!mux || WebPMuxGetAnimationParams(mux.get(), &params) != WEBP_MUX_OK) return 0;
    const std::uint32_t bg = params.bgcolor;
    const Colour blue = bg & 0xFF, green = (bg >> 8) & 0xFF, red = (bg >> 16) & 0xFF;
    return red | (green << 8) | (blue << 16);
}

WebpFrameHeader HeaderOf(const WebPIterator& it)
{
    WebpFrameHeader h;
    h.Bounds = Rect{it.x_offset, it.y_offset, it.width, it.height};
    h.DisposeBackground = it.dispose_method == WEBP_MUX_DISPOSE_BACKGROUND;
    h.NoBlend = it.blend_method == WEBP_MUX_NO_BLEND;
    h.HasAlpha = it.has_alpha == 1;
    return h;
}

// Decodes one frame's data into `frame` (straight BGRA), reusing its storage.
bool DecodeWebpFrame(const WebPIterator& it, Bitmap& frame)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(it.fragment.bytes, it.fragment.size, &width, &height)) return false;
    if (width <= 0 || height <= 0 || !FitsLimits(width, height)) return false;
    frame.Width = width;
    frame.Height = height;
    frame.Pixels.resize(static_cast<std::size_t>(width) * height * 4);
    return WebPDecodeBGRAInto(it.fragment.bytes, it.fragment.size, frame.Pixels.data(), frame.Pixels.size(),
                              width * 4) != nullptr;
}

// True when at least one frame decodes, so that a file none of whose frames can
// be drawn is refused before anything is written. Usually the first one does.
bool AnyFrameDecodes(WebPDemuxer* demux, Bitmap& scratch)
{
    WebPIterator it{};
    if (!WebPDemuxGetFrame(demux, 1, &it)) return false;
    std::unique_ptr<WebPIterator, IteratorReleaser> release(&it);
    do {
        if (DecodeWebpFrame(it, scratch)) return true;
    } while (WebPDemuxNextFrame(&it));
    return false;
}

}  // namespace

ConvertResult ConvertWebpData(std::span<const std::uint8_t> bytes, const FrameSink& sink)
{
    const WebPData data{bytes.data(), bytes.size()};
    std::unique_ptr<WebPDemuxer, DemuxDeleter> demux(WebPDemux(&data));
    if (!demux) return NotAnimation("not a WebP file, or an incomplete one");
    const std::uint32_t count = WebPDemuxGetI(demux.get(), WEBP_FF_FRAME_COUNT);
    if (count < 2) return NotAnimation("a still WebP image, not an animation");
    if (count > MaxFrames) return Refused(AnimationOverLimits(count, 0, 0));

    // Every frame's extent is checked before anything is made.
    std::vector<WebpFrameHeader> headers;
    headers.reserve(count);
    {
        WebPIterator it{};
        if (!WebPDemuxGetFrame(demux.get(), 1, &it)) return NotAnimation("a WebP file without frames");
        std::unique_ptr<WebPIterator, IteratorReleaser> release(&it);
        do {
            headers.push_back(HeaderOf(it));
        } while (WebPDemuxNextFrame(&it));
    }
    std::int64_t right = 0, bottom = 0;
    for (const auto& h : headers) {
        right = std::max<std::int64_t>(right, std::int64_t{h.Bounds.Left} + h.Bounds.Width);
        bottom = std::max<std::int64_t>(bottom, std::int64_t{h.Bounds.Top} + h.Bounds.Height);
    }
    if (std::string over = AnimationOverLimits(headers.size(), right, bottom); !over.empty()) {
        return Refused(std::move(over));
    }

    WebpComposer composer;
    composer.FillColour = AnimationBackground(data);
    const Rect& probe = headers[headers.size() > 1 ? 1 : 0].Bounds;  // W1
    composer.Canvas = MakeBitmap(probe.Left + probe.Width, probe.Top + probe.Height);

    Bitmap frame, output;
    if (!AnyFrameDecodes(demux.get(), frame)) return Refused("no frame of the file can be decoded");
    WebPIterator it{};
    if (!WebPDemuxGetFrame(demux.get(), 1, &it)) return NotAnimation("a WebP file without frames");
    std::unique_ptr<WebPIterator, IteratorReleaser> release(&it);
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const WebpFrameHeader& header = headers[i];
        const bool decoded = DecodeWebpFrame(it, frame);
        GrowWebpCanvas(composer, header.Bounds);
        ComposeWebpFrame(composer, decoded ? &frame : nullptr, header, i);
        FinishWebpOutput(composer, output);
        sink(i, output);
        if (!WebPDemuxNextFrame(&it)) break;
    }
    ConvertResult result;
    result.Status = ConvertStatus::Converted;
    return result;
}

ConvertResult ConvertWebp(const std::string& source, bool makeFolder, unsigned encodeThreads)
{
    return ConvertFileWith(source, makeFolder, ConvertWebpData, encodeThreads);
}

}  // namespace framelot
