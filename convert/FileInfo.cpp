#include "convert/FileInfo.h"

#include "apng/ApngInfo.h"
#include "avif/AvifInfo.h"
#include "convert/Dispatch.h"
#include "convert/SourceFile.h"
#include "gif/GifInfo.h"
#include "jxl/JxlInfo.h"
#include "webp/WebpInfo.h"

namespace framelot {

ConvertResult ReadFileInfo(const std::string& path, AnimationInfo& info)
{
    using InfoFunction = ConvertResult (*)(std::span<const std::uint8_t>, AnimationInfo&);
    InfoFunction readInfo = nullptr;
    switch (KindOfPath(path)) {
    case SourceKind::Gif: readInfo = ReadGifInfo; break;
    case SourceKind::Apng: readInfo = ReadApngInfo; break;
    case SourceKind::Webp: readInfo = ReadWebpInfo; break;
    case SourceKind::Avif: readInfo = ReadAvifInfo; break;
    case SourceKind::Jxl: readInfo = ReadJxlInfo; break;
    case SourceKind::None: return NotAnimation(NotAnAnimationName);
    }
    const SourceFile file = ReadSourceFile(path);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};
    return readInfo(file.Bytes, info);
}

}  // namespace framelot
