#include "windows/Settings.h"

#include <windows.h>
#include <shlobj.h>

namespace framelot {
namespace {

constexpr wchar_t Section[] = L"SystemSetting";
constexpr wchar_t Key[] = L"folder";
constexpr wchar_t On[] = L"ON";
constexpr wchar_t Off[] = L"OFF";
constexpr DWORD ValueChars = 16;  // a longer value is cut and so never reads as "ON"
constexpr wchar_t FallbackFolder[] = L"Framelot";
constexpr wchar_t FallbackName[] = L"framelot.ini";

std::wstring FolderOf(const std::wstring& path)
{
    const std::size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

// Whether a file can be made in the folder: one is made and removed again.
bool FolderWritable(const std::wstring& folder)
{
    wchar_t probe[MAX_PATH];
    if (::GetTempFileNameW(folder.c_str(), L"fl", 0, probe) == 0) return false;
    ::DeleteFileW(probe);
    return true;
}

bool EqualsIgnoringAsciiCase(const wchar_t* text, const wchar_t* upper)
{
    for (; *text != L'\0' && *upper != L'\0'; ++text, ++upper) {
        const wchar_t c = *text >= L'a' && *text <= L'z' ? static_cast<wchar_t>(*text - L'a' + L'A') : *text;
        if (c != *upper) return false;
    }
    return *text == *upper;
}

// The folder's full path, or the path itself when it cannot be resolved.
std::wstring FullPath(const std::wstring& path)
{
    const DWORD size = ::GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0) return path;
    std::wstring full(size, L'\0');
    const DWORD length = ::GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size) return path;
    full.resize(length);
    return full;
}

// Whether path is root or inside it, ignoring letter case as the file system does.
bool IsInside(const std::wstring& path, const std::wstring& root)
{
    if (root.empty() || path.size() < root.size()) return false;
    if (::CompareStringOrdinal(path.c_str(), static_cast<int>(root.size()), root.c_str(),
                               static_cast<int>(root.size()), TRUE) != CSTR_EQUAL) {
        return false;
    }
    return path.size() == root.size() || path[root.size()] == L'\\' || path[root.size()] == L'/';
}

}  // namespace

bool InSystemLocation(const std::wstring& folder)
{
    const std::wstring path = FullPath(folder);
    for (const KNOWNFOLDERID& id : {FOLDERID_ProgramFiles, FOLDERID_ProgramFilesX86, FOLDERID_Windows}) {
        wchar_t* root = nullptr;
        const bool inside = SUCCEEDED(::SHGetKnownFolderPath(id, 0, nullptr, &root)) && IsInside(path, root);
        ::CoTaskMemFree(root);
        if (inside) return true;
    }
    return false;
}

std::wstring ProgramPath()
{
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = ::GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            path.resize(length);
            return path;
        }
        path.resize(path.size() * 2);  // cut short: a larger buffer
    }
}

std::wstring SettingsPathFor(const std::wstring& programPath)
{
    const std::size_t slash = programPath.find_last_of(L"\\/");
    const std::size_t nameStart = slash == std::wstring::npos ? 0 : slash + 1;
    const std::size_t dot = programPath.rfind(L'.');
    const bool hasExtension = dot != std::wstring::npos && dot >= nameStart &&
                              programPath.find(L' ', dot) == std::wstring::npos;
    return (hasExtension ? programPath.substr(0, dot) : programPath) + L".ini";
}

std::wstring ChooseSettingsPath(const std::wstring& programPath)
{
    const std::wstring beside = SettingsPathFor(programPath);
    const std::wstring folder = FolderOf(beside);
    if (::GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES ||
        (!InSystemLocation(folder) && FolderWritable(folder))) {
        return beside;
    }
    wchar_t* appData = nullptr;
    std::wstring path;
    if (SUCCEEDED(::SHGetKnownFolderPath(FOLDERID_RoamingAppData, 0, nullptr, &appData))) {
        path = std::wstring(appData) + L"\\" + FallbackFolder + L"\\" + FallbackName;
    }
    ::CoTaskMemFree(appData);
    return path.empty() ? beside : path;
}

bool ReadMakeFolder(const std::wstring& settingsPath)
{
    wchar_t value[ValueChars] = {};
    ::GetPrivateProfileStringW(Section, Key, On, value, ValueChars, settingsPath.c_str());
    return EqualsIgnoringAsciiCase(value, On);
}

bool WriteMakeFolder(const std::wstring& settingsPath, bool makeFolder)
{
    ::CreateDirectoryW(FolderOf(settingsPath).c_str(), nullptr);  // the %APPDATA% folder may be new
    return ::WritePrivateProfileStringW(Section, Key, makeFolder ? On : Off, settingsPath.c_str()) != 0;
}

}  // namespace framelot
