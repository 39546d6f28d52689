#include "convert/Dispatch.h"

#include "apng/ApngConvert.h"
#include "avif/AvifConvert.h"
#include "convert/FileConversion.h"
#include "gif/GifConvert.h"
#include "jxl/JxlConvert.h"
#include "output/FrameNaming.h"
#include "webp/WebpConvert.h"

namespace framelot {
namespace {

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = a[i], y = b[i];
        if (x >= 'A' && x <= 'Z') x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z') y = static_cast<char>(y - 'A' + 'a');
        if (x != y) return false;
    }
    return true;
}

}  // namespace

SourceKind KindOfPath(std::string_view path)
{
    const std::size_t dot = FindExtension(path);
    if (dot == std::string_view::npos) return SourceKind::None;
    const std::string_view extension = path.substr(dot);
    if (EqualsIgnoringAsciiCase(extension, ".gif")) return SourceKind::Gif;
    if (EqualsIgnoringAsciiCase(extension, ".png")) return SourceKind::Apng;
    if (EqualsIgnoringAsciiCase(extension, ".apng")) return SourceKind::Apng;
    if (EqualsIgnoringAsciiCase(extension, ".webp")) return SourceKind::Webp;
    if (EqualsIgnoringAsciiCase(extension, ".avif")) return SourceKind::Avif;
    if (EqualsIgnoringAsciiCase(extension, ".avifs")) return SourceKind::Avif;
    if (EqualsIgnoringAsciiCase(extension, ".jxl")) return SourceKind::Jxl;
    return SourceKind::None;
}

ConvertBytesFunction ConverterFor(SourceKind kind)
{
    switch (kind) {
    case SourceKind::Gif: return ConvertGifData;
    case SourceKind::Apng: return ConvertApngData;
    case SourceKind::Webp: return ConvertWebpData;
    case SourceKind::Avif: return ConvertAvifData;
    case SourceKind::Jxl: return ConvertJxlData;
    case SourceKind::None: break;
    }
    return nullptr;
}

ConvertResult ConvertDroppedFile(const std::string& path, bool makeFolder, unsigned encodeThreads,
                                 const ProgressFunction& progress)
{
    const ConvertBytesFunction convert = ConverterFor(KindOfPath(path));
    if (convert == nullptr) return NotAnimation(NotAnAnimationName);
    return ConvertFileWith(path, makeFolder, convert, encodeThreads, progress);
}

std::string OutputGroupKey(std::string_view path)
{
    return StripExtension(path);
}

std::string ResultText(int convertedCount)
{
    return std::to_string(convertedCount) + " file complete!";
}

}  // namespace framelot
