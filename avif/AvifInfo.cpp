#include "avif/AvifInfo.h"

#include <string>

#include "avif/AvifSequence.h"

namespace framelot {

ConvertResult ReadAvifInfo(std::span<const std::uint8_t> bytes, AnimationInfo& info)
{
    AvifDecoderPtr decoder;
    if (ConvertResult opened = OpenAvifSequence(bytes, decoder); opened.Status != ConvertStatus::Converted) return opened;
    const avifImage* image = decoder->image;
    const bool turned = (image->transformFlags & AVIF_TRANSFORM_IROT) && (image->irot.angle & 1);
    info.Format = "AVIF";
    info.DeclaredWidth = image->width;
    info.DeclaredHeight = image->height;
    info.CanvasWidth = turned ? image->height : image->width;
    info.CanvasHeight = turned ? image->width : image->height;
#if AVIF_VERSION_MAJOR >= 1
    // libavif counts repetitions after the first play; the file's loop count
    // is the number of plays, 0 for forever, as for the other formats.
    if (decoder->repetitionCount == AVIF_REPETITION_COUNT_INFINITE) {
        info.Loops = 0;
    } else if (decoder->repetitionCount >= 0) {
        info.Loops = static_cast<std::uint32_t>(decoder->repetitionCount) + 1;
    }
#endif
    const Rect whole{0, 0, static_cast<std::int32_t>(info.CanvasWidth), static_cast<std::int32_t>(info.CanvasHeight)};
    for (int i = 0; i < decoder->imageCount; ++i) {
        avifImageTiming timing{};
        if (avifDecoderNthImageTiming(decoder.get(), static_cast<std::uint32_t>(i), &timing) != AVIF_RESULT_OK) {
            return Damaged("the timing of frame " + std::to_string(i) + " cannot be read");
        }
        info.Frames.push_back({whole, timing.duration * 1000,
                               std::to_string(timing.durationInTimescales) + "/" + std::to_string(timing.timescale) + " s",
                               DisposeMethod::None, BlendMethod::Source});
    }
    return Converted();
}

}  // namespace framelot
