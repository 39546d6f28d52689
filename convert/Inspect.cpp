#include "convert/Inspect.h"

#include "apng/ApngInfo.h"
#include "avif/AvifInfo.h"
#include "convert/Dispatch.h"
#include "convert/SourceFile.h"
#include "gif/GifInfo.h"
#include "jxl/JxlInfo.h"
#include "webp/WebpInfo.h"

namespace framelot {

ConvertResult InspectFile(const std::string& path, AnimationInfo& info)
{
    using InspectFunction = ConvertResult (*)(std::span<const std::uint8_t>, AnimationInfo&);
    InspectFunction inspect = nullptr;
    switch (KindOfPath(path)) {
    case SourceKind::Gif: inspect = InspectGifData; break;
    case SourceKind::Apng: inspect = InspectApngData; break;
    case SourceKind::Webp: inspect = InspectWebpData; break;
    case SourceKind::Avif: inspect = InspectAvifData; break;
    case SourceKind::Jxl: inspect = InspectJxlData; break;
    case SourceKind::None: return NotAnimation(NotAnAnimationName);
    }
    const SourceFile file = ReadSourceFile(path);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};
    return inspect(file.Bytes, info);
}

}  // namespace framelot
