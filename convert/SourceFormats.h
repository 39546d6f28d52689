// The table of formats: one entry a format, naming its extensions, its
// converter and its describer. Both are built on the format's one index (the
// walk that reads the frame records, checks every limit of imaging/Limits.h and
// counts the frames), so converting a file and describing it for --info agree
// on whether it is an animation, on its frame count and on every reason.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "imaging/AnimationInfo.h"
#include "imaging/ConvertResult.h"

namespace framelot {

enum class SourceKind { Gif, Apng, Webp, Avif, Jxl, None };

// Fills `info` from the format's index without decoding any pixels. Converted
// when the converter would take the file; otherwise the status and reason the
// converter gives before its first frame.
using DescribeBytesFunction = ConvertResult (*)(std::span<const std::uint8_t> bytes, AnimationInfo& info);

struct SourceFormat {
    SourceKind Kind;
    std::span<const std::string_view> Extensions;  // with the dot, lower case
    ConvertBytesFunction Convert;
    DescribeBytesFunction Describe;
    // Composes on the declared canvas where the usual canvas may not hold it
    // (APNG's is the first frame's size); null where the usual canvas already
    // holds every pixel of the declared one, so cutting it to size is enough.
    ConvertBytesFunction ConvertOnDeclaredCanvas;
    // A still image of the format (one the converter refuses as not an
    // animation) as its one frame, for callers that take stills.
    ConvertBytesFunction ConvertStill;
};

// Every format: GIF (.gif), APNG (.png, .apng), WebP (.webp), AVIF (.avif,
// .avifs), JPEG XL (.jxl).
std::span<const SourceFormat> SourceFormats();

// The format whose extension the path's file name ends with, in any ASCII
// letter case; null for any other extension or none. Costs a few string
// comparisons.
const SourceFormat* FormatOfPath(std::string_view path);

// Every format's extensions as file name patterns ("*.gif"), in the table's
// order, joined by `separator`: the filter of the windows' file dialogs.
std::string ExtensionPatterns(std::string_view separator);

// Every format's extensions (".gif"), in the table's order, joined by
// `separator`: the list the command line's help gives.
std::string ExtensionList(std::string_view separator);

// Why a file of another extension is not converted, and why bytes of no
// format's signature are not read.
inline constexpr const char* NotAnAnimationName = "not a GIF, PNG, APNG, WebP, AVIF or JPEG XL file name";
inline constexpr const char* NotAnAnimationData = "not a GIF, PNG, APNG, WebP, AVIF or JPEG XL file";

}  // namespace framelot
