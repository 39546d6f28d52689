#include <windows.h>

#include <algorithm>

#include "convert/SourceFile.h"
#include "imaging/Limits.h"
#include "output/files/PathText.h"
#include "output/files/WindowsText.h"

namespace framelot {
namespace {

// Largest piece asked of one ReadFile call.
constexpr DWORD MaxReadChunk = 1u << 30;

// Closes the handle on every way out.
struct OpenFile {
    HANDLE Handle = INVALID_HANDLE_VALUE;
    ~OpenFile()
    {
        if (Handle != INVALID_HANDLE_VALUE) ::CloseHandle(Handle);
    }
};

}  // namespace

SourceFile ReadSourceFile(const std::string& path)
{
    SourceFile result;
    const std::filesystem::path native = ExactPathFromUtf8(path);
    const DWORD attributes = ::GetFileAttributesW(native.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        result.Error = "not a regular file";
        return result;
    }
    OpenFile file{::CreateFileW(native.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr)};
    if (file.Handle == INVALID_HANDLE_VALUE) {
        result.Error = "cannot open: " + WindowsErrorText(::GetLastError());
        return result;
    }
    LARGE_INTEGER size;
    if (::GetFileType(file.Handle) != FILE_TYPE_DISK || !::GetFileSizeEx(file.Handle, &size) || size.QuadPart < 0) {
        result.Error = "not a regular file";
        return result;
    }
    if (static_cast<std::uint64_t>(size.QuadPart) > MaxSourceBytes) {
        result.Error = "file is larger than the " + DescribeByteCount(MaxSourceBytes) + " limit";
        return result;
    }
    result.Bytes.resize(static_cast<std::size_t>(size.QuadPart));
    std::size_t done = 0;
    while (done < result.Bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(result.Bytes.size() - done, MaxReadChunk));
        DWORD read = 0;
        if (!::ReadFile(file.Handle, result.Bytes.data() + done, chunk, &read, nullptr)) {
            result.Error = "cannot read: " + WindowsErrorText(::GetLastError());
            result.Bytes.clear();
            return result;
        }
        if (read == 0) break;  // the file shrank while it was read: take what is there
        done += read;
    }
    result.Bytes.resize(done);
    result.Ok = true;
    return result;
}

}  // namespace framelot
