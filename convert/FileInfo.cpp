#include "convert/FileInfo.h"

#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"

namespace framelot {

ConvertResult ReadFileInfo(const std::string& path, AnimationInfo& info)
{
    const SourceFormat* format = FormatOfPath(path);
    if (format == nullptr) return NotAnimation(NotAnAnimationName);
    const SourceFile file = ReadSourceFile(path);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};
    return format->Describe(file.Bytes, info);
}

}  // namespace framelot
