#include <windows.h>

#include <algorithm>
#include <atomic>
#include <string>

#include "output/files/NewFile.h"
#include "output/files/PathText.h"
#include "output/files/WindowsText.h"

namespace framelot {
namespace {

// Largest piece handed to one WriteFile call.
constexpr DWORD MaxWriteChunk = 1u << 30;

std::string FailureText(const char* what, DWORD error)
{
    return std::string(what) + ": " + WindowsErrorText(error);
}

// A failure with its reason, marked when the disk (or the user's quota) is full.
SaveOutcome Failure(const char* what, DWORD error)
{
    return {SaveStatus::Failed, FailureText(what, error), error == ERROR_DISK_FULL || error == ERROR_HANDLE_DISK_FULL};
}

// A name in the folder of `path` that no other writer of this process or of
// another one picks: the process id and a counter.
std::string TemporaryNameBeside(const std::string& path)
{
    static std::atomic<unsigned long long> counter{0};
    const std::size_t slash = LastSeparator(path);
    const std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return folder + ".framelot-" + std::to_string(::GetCurrentProcessId()) + "-" + std::to_string(++counter) + ".tmp";
}

bool WriteAll(HANDLE file, std::span<const std::uint8_t> bytes, DWORD& error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, MaxWriteChunk));
        DWORD written = 0;
        if (!::WriteFile(file, bytes.data() + done, chunk, &written, nullptr)) {
            error = ::GetLastError();
            return false;
        }
        if (written == 0) {
            error = ERROR_DISK_FULL;
            return false;
        }
        done += written;
    }
    return true;
}

}  // namespace

bool PathTaken(const std::string& path)
{
    return ::GetFileAttributesW(PathFromUtf8(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

SaveOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const std::filesystem::path target = PathFromUtf8(path);
    if (::GetFileAttributesW(target.c_str()) != INVALID_FILE_ATTRIBUTES) return {SaveStatus::AlreadyExists, {}};

    const std::filesystem::path temporary = PathFromUtf8(TemporaryNameBeside(path));
    HANDLE file = ::CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_TEMPORARY, nullptr);
    if (file == INVALID_HANDLE_VALUE) return Failure("cannot create file", ::GetLastError());
    DWORD error = 0;
    const bool written = WriteAll(file, bytes, error);
    if (!::CloseHandle(file) && written) error = ::GetLastError();
    if (!written || error != 0) {
        ::DeleteFileW(temporary.c_str());
        return Failure("cannot write file", error);
    }
    // The finished file gets its name only if nothing has it: without
    // MOVEFILE_REPLACE_EXISTING the move fails when the name is taken.
    ::SetFileAttributesW(temporary.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (::MoveFileExW(temporary.c_str(), target.c_str(), 0)) return {SaveStatus::Written, {}};
    error = ::GetLastError();
    ::DeleteFileW(temporary.c_str());
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return {SaveStatus::AlreadyExists, {}};
    return Failure("cannot create file", error);
}

}  // namespace framelot
