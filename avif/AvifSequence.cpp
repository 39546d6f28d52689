#include "avif/AvifSequence.h"

#include <algorithm>
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

// True when the bytes start as an ISO media file ("ftyp" box first) with
// `brand` among its brands: "avif" (an AVIF file) or "avis" (an AVIF image
// sequence), so that a refusal means damage rather than another kind of file.
bool HasBrand(std::span<const std::uint8_t> bytes, const char* brand)
{
    constexpr std::size_t TypeOffset = 4, MajorBrandOffset = 8, MinorVersionOffset = 12, BrandBytes = 4;
    if (bytes.size() < MajorBrandOffset + BrandBytes || std::memcmp(bytes.data() + TypeOffset, "ftyp", 4) != 0) return false;
    const std::uint64_t boxSize = (std::uint64_t{bytes[0]} << 24) | (std::uint64_t{bytes[1]} << 16) |
                                  (std::uint64_t{bytes[2]} << 8) | std::uint64_t{bytes[3]};
    const std::size_t end = static_cast<std::size_t>(std::min<std::uint64_t>(boxSize, bytes.size()));
    for (std::size_t at = MajorBrandOffset; at + BrandBytes <= end; at += BrandBytes) {
        if (at == MinorVersionOffset) continue;  // not a brand
        if (std::memcmp(bytes.data() + at, brand, BrandBytes) == 0) return true;
    }
    return false;
}

}  // namespace

ConvertResult OpenAvifSequence(std::span<const std::uint8_t> bytes, AvifDecoderPtr& decoder)
{
    avifResult parsed = AVIF_RESULT_OK;
    decoder = OpenDecoder(bytes, AVIF_DECODER_SOURCE_TRACKS, parsed);
    if (parsed != AVIF_RESULT_OK) {
        if (!decoder) return Damaged("cannot start the AVIF decoder");
        if (std::string over = LimitInDiagnostic(decoder.get()); !over.empty()) return OverLimit(std::move(over));
        // A still image has no track; tell it from a damaged file. A file
        // that says it is a sequence and whose track cannot be read is
        // damaged, even when its first image still can be.
        const std::string why = avifResultToString(parsed);
        const std::string damaged = "the AVIF file is damaged and cannot be read (" + why + ")";
        if (HasBrand(bytes, "avis")) return Damaged(damaged);
        avifResult still = AVIF_RESULT_OK;
        OpenDecoder(bytes, AVIF_DECODER_SOURCE_PRIMARY_ITEM, still);
        if (still == AVIF_RESULT_OK) return NotAnimation("a still AVIF image, not an animation");
        if (HasBrand(bytes, "avif")) return Damaged(damaged);
        return NotAnimation("not an AVIF file (" + why + ")");
    }
    if (decoder->imageCount < 2) return NotAnimation("a still AVIF image, not an animation");
    if (std::string over = AnimationOverLimits(static_cast<std::uint64_t>(decoder->imageCount), decoder->image->width,
                                               decoder->image->height);
        !over.empty()) {
        return OverLimit(std::move(over));
    }
    return Converted();
}

ConvertResult OpenAvifStill(std::span<const std::uint8_t> bytes, AvifDecoderPtr& decoder)
{
    avifResult parsed = AVIF_RESULT_OK;
    decoder = OpenDecoder(bytes, AVIF_DECODER_SOURCE_PRIMARY_ITEM, parsed);
    if (parsed == AVIF_RESULT_OK) return Converted();
    if (!decoder) return Damaged("cannot start the AVIF decoder");
    if (std::string over = LimitInDiagnostic(decoder.get()); !over.empty()) return OverLimit(std::move(over));
    return Damaged("the AVIF image cannot be read (" + std::string(avifResultToString(parsed)) + ")");
}

}  // namespace framelot
