#include "jxl/JxlIndex.h"

#include <jxl/decode.h>
#include <jxl/decode_cxx.h>

#include <string>

#include "imaging/Limits.h"

namespace framelot {

std::string JxlFrameDamage(std::uint64_t index)
{
    return "frame " + std::to_string(index) + " cannot be decoded";
}

std::string JxlMissingFrames(std::uint64_t index)
{
    return JxlFrameDamage(index) + " (the file ends or is damaged there): it and any frames after it are missing";
}

double JxlDurationMs(const JxlAnimation& animation, std::uint32_t ticks)
{
    if (animation.TicksPerSecondNumerator == 0) return 0;
    return 1000.0 * ticks * animation.TicksPerSecondDenominator / animation.TicksPerSecondNumerator;
}

ConvertResult IndexJxl(std::span<const std::uint8_t> bytes, JxlAnimation& animation, bool stills)
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
    bool haveBasicInfo = false;
    for (;;) {
        switch (JxlDecoderProcessInput(dec)) {
        case JXL_DEC_BASIC_INFO: {
            JxlBasicInfo basic{};
            if (JxlDecoderGetBasicInfo(dec, &basic) != JXL_DEC_SUCCESS) return Damaged("unreadable JPEG XL header");
            if (!basic.have_animation && !stills) return NotAnimation("a still JPEG XL image, not an animation");
            if (!FitsLimits(basic.xsize, basic.ysize)) return OverLimit(AnimationOverLimits(1, basic.xsize, basic.ysize));
            const bool transposed = basic.orientation >= JXL_ORIENT_TRANSPOSE;
            animation.DeclaredWidth = basic.xsize;
            animation.DeclaredHeight = basic.ysize;
            animation.Width = transposed ? basic.ysize : basic.xsize;
            animation.Height = transposed ? basic.xsize : basic.ysize;
            animation.Loops = basic.animation.num_loops;
            animation.TicksPerSecondNumerator = basic.animation.tps_numerator;
            animation.TicksPerSecondDenominator = basic.animation.tps_denominator;
            haveBasicInfo = true;
            break;
        }
        case JXL_DEC_FRAME: {
            const std::uint64_t frames = animation.Durations.size() + 1;
            if (std::string over = AnimationOverLimits(frames, animation.Width, animation.Height); !over.empty()) {
                return OverLimit(std::move(over));
            }
            JxlFrameHeader header{};
            if (JxlDecoderGetFrameHeader(dec, &header) != JXL_DEC_SUCCESS) {
                animation.Damaged = true;
                break;
            }
            animation.Durations.push_back(header.duration);
            break;
        }
        case JXL_DEC_SUCCESS:
            if (animation.Durations.size() < (stills ? 1u : 2u)) return NotAnimation("a JPEG XL animation of one frame");
            return Converted();
        default: animation.Damaged = true; break;
        }
        if (animation.Damaged) {
            // Damaged or cut short: a file not yet known to be an animation is
            // not one; in an animation the frames before the damage stay.
            if (!haveBasicInfo) return Damaged("the file ends or is damaged before its image header");
            if (animation.Durations.empty()) return Damaged(JxlFrameDamage(0));
            return Converted();
        }
    }
}

}  // namespace framelot
