#include "convert/SourceFormats.h"

#include "apng/ApngConvert.h"
#include "apng/ApngInfo.h"
#include "avif/AvifConvert.h"
#include "avif/AvifInfo.h"
#include "gif/GifConvert.h"
#include "gif/GifInfo.h"
#include "jxl/JxlConvert.h"
#include "jxl/JxlInfo.h"
#include "output/files/FrameNaming.h"
#include "webp/WebpConvert.h"
#include "webp/WebpInfo.h"

namespace framelot {
namespace {

// The extensions of each format, with the dot, lower case. The build reads
// these lines (cmake/Formats.cmake) for every list it writes of them: keep
// each on one line.
constexpr std::string_view GifExtensions[] = {".gif"};
constexpr std::string_view ApngExtensions[] = {".png", ".apng"};
constexpr std::string_view WebpExtensions[] = {".webp"};
constexpr std::string_view AvifExtensions[] = {".avif", ".avifs"};
constexpr std::string_view JxlExtensions[] = {".jxl"};

constexpr SourceFormat Formats[] = {
    {SourceKind::Gif, GifExtensions, ConvertGifData, ReadGifInfo, nullptr, ConvertGifStill},
    {SourceKind::Apng, ApngExtensions, ConvertApngData, ReadApngInfo, ConvertApngDataOnDeclaredCanvas, ConvertPngStill},
    {SourceKind::Webp, WebpExtensions, ConvertWebpData, ReadWebpInfo, nullptr, ConvertWebpStill},
    {SourceKind::Avif, AvifExtensions, ConvertAvifData, ReadAvifInfo, nullptr, ConvertAvifStill},
    {SourceKind::Jxl, JxlExtensions, ConvertJxlData, ReadJxlInfo, nullptr, ConvertJxlStill},
};

// `lower` is lower case already.
bool EqualsIgnoringAsciiCase(std::string_view text, std::string_view lower)
{
    if (text.size() != lower.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != lower[i]) return false;
    }
    return true;
}

}  // namespace

std::span<const SourceFormat> SourceFormats()
{
    return Formats;
}

const SourceFormat* FormatOfPath(std::string_view path)
{
    const std::size_t dot = FindExtension(path);
    if (dot == std::string_view::npos) return nullptr;
    const std::string_view extension = path.substr(dot);
    for (const SourceFormat& format : Formats) {
        for (const std::string_view known : format.Extensions) {
            if (EqualsIgnoringAsciiCase(extension, known)) return &format;
        }
    }
    return nullptr;
}

namespace {

std::string JoinedExtensions(std::string_view prefix, std::string_view separator)
{
    std::string text;
    for (const SourceFormat& format : Formats) {
        for (const std::string_view extension : format.Extensions) {
            if (!text.empty()) text += separator;
            text += prefix;
            text += extension;
        }
    }
    return text;
}

}  // namespace

std::string ExtensionPatterns(std::string_view separator)
{
    return JoinedExtensions("*", separator);
}

std::string ExtensionList(std::string_view separator)
{
    return JoinedExtensions("", separator);
}

}  // namespace framelot
