#include "avif/AvifSequence.h"

#include <string>

#include "imaging/Limits.h"

namespace framelot {
namespace {

constexpr int DecodeThreads = 2;

AvifDecoderPtr OpenDecoder(std::span<const std::uint8_t> bytes, avifDecoderSource source, avifResult& parsed)
{
    AvifDecoderPtr decoder(avifDecoderCreate());
    if (!decoder) {
        parsed = AVIF_RESULT_OUT_OF_MEMORY;
        return decoder;
    }
    decoder->maxThreads = DecodeThreads;
    decoder->imageSizeLimit = static_cast<std::uint32_t>(MaxCanvasPixels);
    decoder->imageCountLimit = static_cast<std::uint32_t>(MaxFrames);
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    // Files that bend the container's rules are common and viewers show them.
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    avifDecoderSetSource(decoder.get(), source);
    parsed = avifDecoderSetIOMemory(decoder.get(), bytes.data(), bytes.size());
    if (parsed == AVIF_RESULT_OK) parsed = avifDecoderParse(decoder.get());
    return decoder;
}

}  // namespace

ConvertResult OpenAvifSequence(std::span<const std::uint8_t> bytes, AvifDecoderPtr& decoder)
{
    avifResult parsed = AVIF_RESULT_OK;
    decoder = OpenDecoder(bytes, AVIF_DECODER_SOURCE_TRACKS, parsed);
    if (parsed != AVIF_RESULT_OK) {
        // A still image has no track; tell it from a damaged file.
        avifResult still = AVIF_RESULT_OK;
        OpenDecoder(bytes, AVIF_DECODER_SOURCE_PRIMARY_ITEM, still);
        if (still == AVIF_RESULT_OK) return NotAnimation("a still AVIF image, not an animation");
        return NotAnimation(std::string("not an AVIF file, or a damaged one (") + avifResultToString(parsed) + ")");
    }
    if (decoder->imageCount < 2) return NotAnimation("a still AVIF image, not an animation");
    if (std::string over = AnimationOverLimits(static_cast<std::uint64_t>(decoder->imageCount), decoder->image->width,
                                               decoder->image->height);
        !over.empty()) {
        return OverLimit(std::move(over));
    }
    return Converted();
}

}  // namespace framelot
