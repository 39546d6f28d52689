#include "convert/Dispatch.h"

#include "output/files/FrameNaming.h"

namespace framelot {

SourceKind KindOfPath(std::string_view path)
{
    const SourceFormat* format = FormatOfPath(path);
    return format == nullptr ? SourceKind::None : format->Kind;
}

ConvertResult ConvertDroppedFile(const std::string& path, const OutputOptions& options, unsigned encodeThreads,
                                 const ProgressFunction& progress)
{
    const SourceFormat* format = FormatOfPath(path);
    if (format == nullptr) return NotAnimation(NotAnAnimationName);
    const bool declared = options.Canvas == CanvasChoice::Declared && format->ConvertOnDeclaredCanvas != nullptr;
    return ConvertFileWith(path, options, declared ? format->ConvertOnDeclaredCanvas : format->Convert,
                           format->Describe, encodeThreads, progress);
}

std::string ResultText(int convertedCount)
{
    return std::to_string(convertedCount) + " file complete!";
}

}  // namespace framelot
