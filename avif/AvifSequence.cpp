#include "avif/AvifSequence.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "imaging/Cores.h"
#include "imaging/Limits.h"

namespace framelot {
namespace {

AvifDecoderPtr OpenDecoder(std::span<const std::uint8_t> bytes, avifDecoderSource source, avifResult& parsed)
{
    AvifDecoderPtr decoder(avifDecoderCreate());
    if (!decoder) {
        parsed = AVIF_RESULT_OUT_OF_MEMORY;
        return decoder;
    }
    // dav1d decodes with a thread a core (tiles and frames in flight).
    decoder->maxThreads = static_cast<int>(CoreCount());
    decoder->imageSizeLimit = static_cast<std::uint32_t>(MaxCanvasPixels);
    // A sequence of MaxFrames + 1 samples parses, so that our own check names
    // the limit; libavif refuses longer ones before it makes their tables.
    decoder->imageCountLimit = static_cast<std::uint32_t>(MaxFrames + 1);
    decoder->ignoreExif = AVIF_TRUE;
    decoder->ignoreXMP = AVIF_TRUE;
    // Files that bend the container's rules are common and viewers show them.
    decoder->strictFlags = AVIF_STRICT_DISABLED;
    parsed = avifDecoderSetSource(decoder.get(), source);
    if (parsed == AVIF_RESULT_OK) parsed = avifDecoderSetIOMemory(decoder.get(), bytes.data(), bytes.size());
    if (parsed == AVIF_RESULT_OK) parsed = avifDecoderParse(decoder.get());
    return decoder;
}

// Which of our limits made libavif refuse the file, from the words of its
// diagnostic (the same in every version we build with); empty for any other
// refusal.
std::string LimitInDiagnostic(const avifDecoder* decoder)
{
    const char* text = decoder->diag.error;
    if (std::strstr(text, "imageCountLimit") != nullptr) return AnimationOverLimits(MaxFrames + 1, 0, 0);
    const char* size = std::strstr(text, "dimensions are too large");
    if (size == nullptr) return {};
    size = std::strchr(size, '[');
    unsigned width = 0, height = 0;
    // "[W x H]" and "[WxH]" both read: a space in the pattern matches none.
    if (size != nullptr && std::sscanf(size + 1, "%u x %u", &width, &height) == 2) {
        return AnimationOverLimits(1, width, height);
    }
    return "canvas is over the program's limit";
}

}  // namespace

ConvertResult OpenAvifSequence(std::span<const std::uint8_t> bytes, AvifDecoderPtr& decoder)
{
    avifResult parsed = AVIF_RESULT_OK;
    decoder = OpenDecoder(bytes, AVIF_DECODER_SOURCE_TRACKS, parsed);
    if (parsed != AVIF_RESULT_OK) {
        if (!decoder) return Damaged("cannot start the AVIF decoder");
        if (std::string over = LimitInDiagnostic(decoder.get()); !over.empty()) return OverLimit(std::move(over));
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
