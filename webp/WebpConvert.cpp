#include "webp/WebpConvert.h"

#include <webp/decode.h>

#include <vector>

#include "imaging/Damage.h"
#include "imaging/DecodeAhead.h"
#include "imaging/Limits.h"
#include "webp/WebpCompose.h"
#include "webp/WebpDemux.h"

namespace framelot {
namespace {

// Decodes one frame's bitstream into `frame` (straight RGBA), reusing its storage.
bool DecodeWebpFrame(std::span<const std::uint8_t> data, Bitmap& frame)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(data.data(), data.size(), &width, &height)) return false;
    if (width <= 0 || height <= 0 || !FitsLimits(width, height)) return false;
    frame.Width = width;
    frame.Height = height;
    frame.Pixels.resize(static_cast<std::size_t>(width) * height * 4);
    return WebPDecodeRGBAInto(data.data(), data.size(), frame.Pixels.data(), frame.Pixels.size(), width * 4) !=
           nullptr;
}

}  // namespace

ConvertResult ConvertWebpData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    WebpAnimation animation;
    if (ConvertResult checked = ReadWebpAnimation(bytes, animation); checked.Status != ConvertStatus::Converted) {
        return checked;
    }
    const std::vector<WebpFrameHeader>& headers = animation.Frames;

    // A file none of whose frames can be drawn is refused before anything is
    // written: find the first frame that decodes. Frames before it are known
    // not to, and it is not decoded a second time.
    Bitmap frame;
    std::size_t firstDecoded = 0;
    while (firstDecoded < headers.size() && !DecodeWebpFrame(headers[firstDecoded].Data, frame)) ++firstDecoded;
    if (firstDecoded == headers.size()) return Damaged("no frame of the file can be decoded");

    if (announce) announce(headers.size());
    WebpComposer composer;
    composer.FillColour = animation.Background;
    const Rect& probe = headers[headers.size() > 1 ? 1 : 0].Bounds;  // W1
    composer.Canvas = MakeBitmap(probe.Left + probe.Width, probe.Top + probe.Height);
    Bitmap output;
    UndecodedFrames undecoded;
    // With a core to spare, the frames after the first that decodes are
    // decoded a few ahead.
    struct Slot {
        Bitmap Frame;
        bool Decoded = false;
    };
    const std::uint64_t frameBytes = static_cast<std::uint64_t>(animation.Right) * static_cast<std::uint64_t>(animation.Bottom) * 4;
    DecodeAhead<Slot> ahead(
        firstDecoded + 1, headers.size(),
        [&](std::size_t i, Slot& slot) { slot.Decoded = DecodeWebpFrame(headers[i].Data, slot.Frame); },
        DecodeAheadThreads(headers.size(), frameBytes));
    for (std::size_t i = 0; i < headers.size(); ++i) {
        const WebpFrameHeader& header = headers[i];
        const Bitmap* decoded = i == firstDecoded ? &frame : nullptr;
        if (i > firstDecoded) {
            Slot& slot = ahead.Take(i);
            decoded = slot.Decoded ? &slot.Frame : nullptr;
        }
        if (decoded == nullptr) undecoded.Add(i);
        GrowWebpCanvas(composer, header.Bounds);
        ComposeWebpFrame(composer, decoded, header, i);
        FinishWebpOutput(composer, output);
        if (!sink(i, output)) break;
    }
    ConvertResult result = Converted();
    result.Damage = JoinDamage(animation.Damage, undecoded.Text("it shows the canvas as the frames before it left it",
                                                                "they show the canvas as the frames before them left it"));
    return result;
}

ConvertResult ConvertWebpStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                               const FrameCountSink& announce)
{
    int width = 0, height = 0;
    if (!WebPGetInfo(bytes.data(), bytes.size(), &width, &height)) return Damaged("the WebP image cannot be read");
    if (!FitsLimits(width, height)) return OverLimit(AnimationOverLimits(1, width, height));
    Bitmap frame;
    if (!DecodeWebpFrame(bytes, frame)) return Damaged("the WebP image cannot be decoded");
    if (announce) announce(1);
    sink(0, frame);
    return Converted();
}

}  // namespace framelot
