#include "windows/DropFiles.h"

#include "output/files/WindowsText.h"

namespace framelot {
namespace {

constexpr UINT CountQuery = 0xFFFFFFFF;  // DragQueryFileW's index that asks for the count

}  // namespace

std::vector<std::string> DroppedFiles(HDROP drop)
{
    std::vector<std::string> files;
    const UINT count = ::DragQueryFileW(drop, CountQuery, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = ::DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::wstring path(length + 1, L'\0');
        const UINT copied = ::DragQueryFileW(drop, i, path.data(), length + 1);
        path.resize(copied);
        files.push_back(Utf8FromWide(path));
    }
    return files;
}

}  // namespace framelot
