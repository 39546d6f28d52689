// libjxl composes the frames itself (coalescing, its default) and applies the
// file's orientation, so each full-image event is a finished canvas. Output is
// asked for as 8-bit RGBA with straight alpha, in sRGB where the image is
// stored in the decoder's own (XYB) space; otherwise 8-bit output could come
// out in linear light. The frame count is not known ahead: every frame is
// checked against the limits as it comes, and frame 0 is held back until a
// second frame shows the file to be an animation.
#include "jxl/JxlConvert.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <cstring>
#include <string>

#include "imaging/ChannelOrder.h"
#include "imaging/Limits.h"

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

}  // namespace

ConvertResult ConvertJxlData(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                             const FrameCountSink& announce)
{
    const JxlSignature signature = JxlSignatureCheck(bytes.data(), bytes.size());
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER) return NotAnimation("not a JPEG XL file");
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    if (!decoder) return Damaged("cannot start the JPEG XL decoder");
    JxlDecoder* dec = decoder.get();
    if (JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_COLOR_ENCODING | JXL_DEC_FRAME |
                                           JXL_DEC_FULL_IMAGE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetUnpremultiplyAlpha(dec, JXL_TRUE) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, bytes.data(), bytes.size()) != JXL_DEC_SUCCESS) {
        return Damaged("cannot start the JPEG XL decoder");
    }
    JxlDecoderCloseInput(dec);

    const JxlPixelFormat format{4, JXL_TYPE_UINT8, JXL_NATIVE_ENDIAN, 0};
    JxlBasicInfo info{};
    Bitmap held, frame;  // frame 0, held until frame 1 comes; the frame being decoded
    std::uint64_t frames = 0;
    // Frame 0, once a second frame (or damage after it) shows an animation.
    const auto handOnHeld = [&] {
        if (announce) announce(0);  // the count is not known ahead
        sink(0, held);
    };
    for (;;) {
        const JxlDecoderStatus status = JxlDecoderProcessInput(dec);
        switch (status) {
        case JXL_DEC_BASIC_INFO:
            if (JxlDecoderGetBasicInfo(dec, &info) != JXL_DEC_SUCCESS) return Damaged("unreadable JPEG XL header");
            if (!info.have_animation) return NotAnimation("a still JPEG XL image, not an animation");
            if (!FitsLimits(info.xsize, info.ysize)) return OverLimit(AnimationOverLimits(1, info.xsize, info.ysize));
            break;
        case JXL_DEC_COLOR_ENCODING:
            if (!info.uses_original_profile) {
                const JxlColorEncoding srgb = Srgb(info.num_color_channels == 1);
                JxlDecoderSetPreferredColorProfile(dec, &srgb);
            }
            break;
        case JXL_DEC_FRAME:
            // Every frame counts against the limits before it is decoded.
            if (std::string over = AnimationOverLimits(frames + 1, info.xsize, info.ysize); !over.empty()) {
                return OverLimit(std::move(over));
            }
            break;
        case JXL_DEC_NEED_IMAGE_OUT_BUFFER: {
            std::size_t size = 0;
            if (JxlDecoderImageOutBufferSize(dec, &format, &size) != JXL_DEC_SUCCESS ||
                size != static_cast<std::size_t>(info.xsize) * info.ysize * 4) {
                return Damaged("frame " + std::to_string(frames) + " cannot be decoded");
            }
            // Orientations 5 to 8 exchange width and height.
            const bool transposed = info.orientation >= JXL_ORIENT_TRANSPOSE;
            frame.Width = static_cast<int>(transposed ? info.ysize : info.xsize);
            frame.Height = static_cast<int>(transposed ? info.xsize : info.ysize);
            frame.Pixels.resize(size);
            if (JxlDecoderSetImageOutBuffer(dec, &format, frame.Pixels.data(), size) != JXL_DEC_SUCCESS) {
                return Damaged("frame " + std::to_string(frames) + " cannot be decoded");
            }
            break;
        }
        case JXL_DEC_FULL_IMAGE:
            SwapRedAndBlue(frame.Pixels.data(), frame.Pixels.size(), frame.Pixels.data());
            if (frames == 0) {
                std::swap(held, frame);
            } else {
                if (frames == 1) handOnHeld();
                sink(frames, frame);
            }
            ++frames;
            break;
        case JXL_DEC_SUCCESS:
            if (frames < 2) return NotAnimation("a JPEG XL animation of one frame");
            return Converted();
        case JXL_DEC_NEED_MORE_INPUT:
        case JXL_DEC_ERROR:
        default:
            // Damaged or cut short: a file not yet known to be an animation is
            // not one; in an animation the frames before the damage stay.
            if (!info.have_animation) return NotAnimation("not a JPEG XL file, or a damaged one");
            if (frames == 1) handOnHeld();
            return Damaged("frame " + std::to_string(frames) + " cannot be decoded");
        }
    }
}

}  // namespace framelot
