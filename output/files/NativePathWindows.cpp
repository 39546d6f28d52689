#include <windows.h>

#include <algorithm>
#include <climits>

#include "output/files/PathText.h"
#include "output/files/WindowsText.h"

namespace framelot {
namespace {

// Longest full path the classic calls take (for a folder, room is left for a
// file name of 8.3 characters).
constexpr std::size_t MaxClassicPath = MAX_PATH - 12;
constexpr std::wstring_view ExtendedPrefix = L"\\\\?\\";
constexpr std::wstring_view ExtendedUncPrefix = L"\\\\?\\UNC\\";
constexpr std::wstring_view UncPrefix = L"\\\\";

}  // namespace

std::wstring WideFromUtf8(std::string_view utf8)
{
    if (utf8.empty()) return {};
    const int size = static_cast<int>(std::min<std::size_t>(utf8.size(), INT_MAX));
    const int length = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), size, wide.data(), length);
    return wide;
}

std::string Utf8FromWide(std::wstring_view wide)
{
    if (wide.empty()) return {};
    const int size = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX));
    const int length = ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(length), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, wide.data(), size, utf8.data(), length, nullptr, nullptr);
    return utf8;
}

std::string WindowsErrorText(unsigned long code)
{
    wchar_t* buffer = nullptr;
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code, 0,
        reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::wstring text = length > 0 && buffer != nullptr ? std::wstring(buffer, length) : std::wstring();
    if (buffer != nullptr) ::LocalFree(buffer);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) text.pop_back();
    if (text.empty()) return "error " + std::to_string(code);
    return Utf8FromWide(text);
}

std::filesystem::path PathFromUtf8(std::string_view utf8)
{
    std::wstring wide = WideFromUtf8(utf8);
    if (wide.empty() || wide.starts_with(ExtendedPrefix)) return std::filesystem::path(wide);
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0 || needed < MaxClassicPath) return std::filesystem::path(wide);
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return std::filesystem::path(wide);
    full.resize(length);
    if (full.starts_with(UncPrefix)) return std::filesystem::path(std::wstring(ExtendedUncPrefix) + full.substr(2));
    return std::filesystem::path(std::wstring(ExtendedPrefix) + full);
}

std::filesystem::path ExactPathFromUtf8(std::string_view utf8)
{
    if (utf8.empty() || utf8.starts_with("\\\\?\\")) return PathFromUtf8(utf8);
    // The folder part goes through the full-path lookup (which settles "."
    // and ".." and a drive's current folder); the name is kept as it is.
    const std::size_t slash = LastSeparator(utf8);
    std::string_view folder = ".", name = utf8;
    if (slash != std::string_view::npos) {
        folder = utf8.substr(0, utf8[slash] == ':' || slash == 0 ? slash + 1 : slash);
        name = utf8.substr(slash + 1);
    }
    const std::wstring wide = WideFromUtf8(folder);
    const DWORD needed = ::GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) return PathFromUtf8(utf8);
    std::wstring full(needed, L'\0');
    const DWORD length = ::GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return PathFromUtf8(utf8);
    full.resize(length);
    if (full.back() != L'\\') full += L'\\';
    full += WideFromUtf8(name);
    if (full.starts_with(UncPrefix)) return std::filesystem::path(std::wstring(ExtendedUncPrefix) + full.substr(2));
    return std::filesystem::path(std::wstring(ExtendedPrefix) + full);
}

std::string FileSystemCaseKey(std::string_view utf8)
{
    std::wstring wide = WideFromUtf8(utf8);
    std::replace(wide.begin(), wide.end(), L'/', L'\\');
    if (wide.starts_with(ExtendedUncPrefix)) {
        wide = std::wstring(UncPrefix) + wide.substr(ExtendedUncPrefix.size());
    } else if (wide.starts_with(ExtendedPrefix)) {
        wide.erase(0, ExtendedPrefix.size());
    }
    if (!wide.empty()) {
        const int size = static_cast<int>(std::min<std::size_t>(wide.size(), INT_MAX));
        std::wstring upper(wide.size(), L'\0');
        if (::LCMapStringEx(LOCALE_NAME_INVARIANT, LCMAP_UPPERCASE, wide.data(), size, upper.data(), size, nullptr,
                            nullptr, 0) == size) {
            wide = std::move(upper);
        }
    }
    return Utf8FromWide(wide);
}

std::string Utf8FromPath(const std::filesystem::path& path)
{
    return Utf8FromWide(path.native());
}

}  // namespace framelot
