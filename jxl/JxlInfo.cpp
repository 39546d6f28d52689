#include "jxl/JxlInfo.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <string>

#include "imaging/Limits.h"

namespace framelot {

ConvertResult ReadJxlInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info)
{
    const JxlSignature signature = JxlSignatureCheck(bytes.data(), bytes.size());
    if (signature != JXL_SIG_CODESTREAM && signature != JXL_SIG_CONTAINER) return NotAnimation("not a JPEG XL file");
    JxlDecoderPtr decoder = JxlDecoderMake(nullptr);
    JxlDecoder* dec = decoder.get();
    if (!decoder || JxlDecoderSubscribeEvents(dec, JXL_DEC_BASIC_INFO | JXL_DEC_FRAME) != JXL_DEC_SUCCESS ||
        JxlDecoderSetInput(dec, bytes.data(), bytes.size()) != JXL_DEC_SUCCESS) {
        return Damaged("cannot start the JPEG XL decoder");
    }
    JxlDecoderCloseInput(dec);
    JxlBasicInfo basic{};
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
        case JXL_DEC_BASIC_INFO: {
            if (JxlDecoderGetBasicInfo(dec, &basic) != JXL_DEC_SUCCESS) return Damaged("unreadable JPEG XL header");
            if (!basic.have_animation) return NotAnimation("a still JPEG XL image, not an animation");
            const bool transposed = basic.orientation >= JXL_ORIENT_TRANSPOSE;
            info.Format = "JPEG XL";
            info.DeclaredWidth = basic.xsize;
            info.DeclaredHeight = basic.ysize;
            info.CanvasWidth = transposed ? basic.ysize : basic.xsize;
            info.CanvasHeight = transposed ? basic.xsize : basic.ysize;
            info.Loops = basic.animation.num_loops;
            break;
        }
        case JXL_DEC_FRAME: {
            if (info.Frames.size() >= MaxFrames) return OverLimit(AnimationOverLimits(MaxFrames + 1, 0, 0));
            JxlFrameHeader header{};
            JxlDecoderGetFrameHeader(dec, &header);
            const double tick = basic.animation.tps_numerator == 0
                                    ? 0
                                    : 1000.0 * basic.animation.tps_denominator / basic.animation.tps_numerator;
            info.Frames.push_back(
                {Rect{0, 0, static_cast<std::int32_t>(info.CanvasWidth), static_cast<std::int32_t>(info.CanvasHeight)},
                 header.duration * tick,
                 std::to_string(header.duration) + " ticks of " + std::to_string(basic.animation.tps_denominator) +
                     "/" + std::to_string(basic.animation.tps_numerator) + " s",
                 DisposeMethod::None, BlendMethod::Source});
            break;
        }
        case JXL_DEC_SUCCESS:
            if (info.Frames.size() < 2) return NotAnimation("a JPEG XL animation of one frame");
            return Converted();
        default: return NotAnimation("not a JPEG XL file, or a damaged one");
        }
    }
}

}  // namespace framelot
