// libjxl composes the frames itself (coalescing, its default) and applies the
// file's orientation, so each full-image event is a finished canvas. Output is
// asked for as 8-bit RGBA with straight alpha, in sRGB where the image is
// stored in the decoder's own (XYB) space; otherwise 8-bit output could come
// out in linear light. Pixels are decoded on a pool of one thread a core. The
// index walks the frame headers first, so the frame count is known and every
// limit checked before a pixel is decoded.
#include "jxl/JxlConvert.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>
#include <jxl/thread_parallel_runner.h>
#include <jxl/thread_parallel_runner_cxx.h>

#include <string>

#include "imaging/Cores.h"
#include "jxl/JxlIndex.h"

namespace framelot {
namespace {

JxlColorEncoding Srgb(bool grey)
{
    JxlColorEncoding c{};
    c.color_space = grey ? JXL_COLOR_SPACE_GRAY : JXL_COLOR_SPACE_RGB;
    c.white_point = JXL_WHITE_POINT_D65;
    c.primaries = JXL_PRIMARIES_SRGB;
    c.transfer_function = JXL_TRANSFER_FUNCTION_SRGB;
    c.rendering_intent = JXL_RENDERING_INTENT_PERCEPTUAL;
    return c;
}

// Decoding stopped at frame `frames`: with frames written before it, the
// file converts in part and says so; otherwise it is damaged.
ConvertResult StoppedAt(std::uint64_t frames)
{
    if (frames == 0) return Damaged(JxlFrameDamage(0));
    ConvertResult result = Converted();
    result.Damage = JxlMissingFrames(frames);
    return result;
}

// Decodes the frames of an animation, or with `stills` of a still image too.
ConvertResult DecodeJxl(std::span<const std::uint8_t> bytes, const FrameSink& sink, const FrameCountSink& announce,
                        bool stills)
{
    JxlAnimation animation;
    if (ConvertResult indexed = IndexJxl(bytes, animation, stills); indexed.Status != ConvertStatus::Converted) {
        return indexed;
    }
    const std::uint64_t count = animation.Durations.size();
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!decoder) return Damaged("cannot start the JPEG XL decoder");
    JxlDecoder* dec = decoder.get();
    // Each frame's groups are decoded on a thread a core; with one core (or
    // where no thread can be started, as in a page's module) on this one.
    const unsigned cores = CoreCount();
    const JxlThreadParallelRunnerPtr runner = cores > 1 ? JxlThreadParallelRunnerMake(nullptr, cores) : nullptr;
    if ((cores > 1 && (!runner || JxlDecoderSetParallelRunner(dec, JxlThreadParallelRunner, runner.get()) != JXL_DEC_SUCCESS)) ||
        JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME |
                                           JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, bytes.data(), bytes.size()) != JXL_DEC_SUCCESS) {
        return Damaged("cannot start the JPEG XL decoder");
    }
    JxlDecoderCloseInput(dec);
    if (announce) announce(count);

    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    const std::size_t frameBytes = std::size_t{animation.Width} * animation.Height * 4;
    JxlBasicInfo info{};
    Bitmap frame;
    std::uint64_t frames = 0;
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) return Damaged("unreadable JPEG XL header");
            break;
        case JXL_DEC_COLOR_ENCODING:
            if (!info.uses_original_profile) {
                const JxlColorEncoding srgb = Srgb(info.num_color_channels == 1);
                if (JxlDecoderSetPreferredColorProfile(dec, &srgb) != JXL_DEC_SUCCESS) {
                    return Damaged("its colours cannot be converted to sRGB");
                }
            }
            break;
        case JXL_DEC_FRAME:
            // The index counted and checked every frame the decoder can reach.
            if (frames >= count) return Damaged(JxlFrameDamage(frames));
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            std::size_t size = 0;
            if (JxlDecoderImageOutBufferSize(dec, &format, &size) != JXL_DEC_SUCCESS || size != frameBytes) {
                return Damaged(JxlFrameDamage(frames));
            }
            frame.Width = static_cast<int>(animation.Width);
            frame.Height = static_cast<int>(animation.Height);
            frame.Pixels.resize(size);
            if (JxlDecoderSetImageOutBuffer(dec, &format, frame.Pixels.data(), size) != JXL_DEC_SUCCESS) {
                return Damaged(JxlFrameDamage(frames));
            }
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            if (!sink(frames, frame)) return Converted();
            ++frames;
            break;
        case JXL_DEC_SUCCESS:
            if (frames < count) return StoppedAt(frames);
            return Converted();
        default:
            // Damaged or cut short: the frames before the damage stay.
            return StoppedAt(frames);
        }
    }
}

}  // namespace

ConvertResult ConvertJxlData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                             const FrameCountSink& announce)
{
    return DecodeJxl(bytes, sink, announce, false);
}

ConvertResult ConvertJxlStill(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                              const FrameCountSink& announce)
{
    return DecodeJxl(bytes, sink, announce, true);
}

}  // namespace framelot
