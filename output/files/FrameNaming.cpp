#include "output/files/FrameNaming.h"

#include <array>
#include <cinttypes>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "output/files/PathText.h"

namespace framelot {
namespace {

// Names Windows opens as devices, whatever extension follows (DeviceNames).
constexpr std::array<std::string_view, 22> DeviceNames = {
    "CON",  "PRN",  "AUX",  "NUL",  "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7",
    "COM8", "COM9", "LPT1", "LPT2", "LPT3", "LPT4", "LPT5", "LPT6", "LPT7", "LPT8", "LPT9",
};

constexpr std::string_view EmptyStemName = "_";  // EmptyStem
constexpr char Replacement = '_';                // StreamColon, DeviceNames

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view upper)
{
    if (a.size() != upper.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        const char c = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        if (c != upper[i]) return false;
    }
    return true;
}

void ApplyWindowsRules(std::string& stem)
{
    while (!stem.empty() && (stem.back() == '.' || stem.back() == ' ')) stem.pop_back();  // TrailingDotsAndSpaces
    for (char& c : stem) {
        if (c == ':') c = Replacement;  // StreamColon
    }
    std::size_t first = stem.find('.');
    if (first == std::string::npos) first = stem.size();
    std::size_t end = first;
    while (end > 0 && stem[end - 1] == ' ') --end;
    const std::string_view part = std::string_view(stem).substr(0, end);
    for (const std::string_view device : DeviceNames) {
        if (EqualsIgnoringAsciiCase(part, device)) {
            stem.insert(end, 1, Replacement);
            break;
        }
    }
}

// The path every output name of the source starts with.
std::string PlacedStem(std::string_view source, bool makeFolder)
{
    std::string base = OutputBasePath(source);
    if (makeFolder) base = base + "/" + FileNameOf(base);
    return base;
}

}  // namespace

std::size_t FindExtension(std::string_view path)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '.') {
            found = i;
        } else if (IsPathSeparator(path[i]) || path[i] == ' ') {
            found = std::string_view::npos;
        }
    }
    return found;
}

std::string StripExtension(std::string_view path)
{
    return std::string(path.substr(0, FindExtension(path)));
}

std::string OutputStem(std::string_view fileName, NamingRules rules)
{
    std::string stem = StripExtension(fileName);
    if (rules == NamingRules::Windows) ApplyWindowsRules(stem);
    if (stem.empty() || stem == "." || stem == "..") stem = EmptyStemName;
    return stem;
}

std::string OutputBasePath(std::string_view source, NamingRules rules)
{
    const std::size_t slash = LastSeparator(source);
    const std::size_t nameStart = slash == std::string_view::npos ? 0 : slash + 1;
    return std::string(source.substr(0, nameStart)) + OutputStem(source.substr(nameStart), rules);
}

std::string OutputFolderPath(std::string_view source)
{
    return OutputBasePath(source);
}

std::string FrameFilePath(std::string_view source, bool makeFolder, std::uint64_t index)
{
    char number[32];
    std::snprintf(number, sizeof number, "_%04" PRIu64 ".png", index);
    return PlacedStem(source, makeFolder) + number;
}

bool OutputExists(std::string_view source, bool makeFolder, std::uint64_t firstFrame)
{
    std::error_code error;
    if (makeFolder) return std::filesystem::is_directory(PathFromUtf8(OutputFolderPath(source)), error);
    // Anything at all counts, a dangling link too.
    return std::filesystem::exists(
        std::filesystem::symlink_status(PathFromUtf8(FrameFilePath(source, false, firstFrame)), error));
}

std::string PlacedSource(std::string_view source, std::string_view outputFolder)
{
    if (outputFolder.empty()) return std::string(source);
    std::string placed(outputFolder);
    if (!IsPathSeparator(placed.back())) placed += '/';
    return placed + FileNameOf(source);
}

std::string SheetFilePath(std::string_view source, bool makeFolder, std::string_view extension)
{
    return PlacedStem(source, makeFolder) + "_sheet" + std::string(extension);
}

std::string SharedOutputKey(std::string_view source, std::string_view outputFolder)
{
    namespace fs = std::filesystem;
    const std::string base = OutputBasePath(PlacedSource(source, outputFolder));
    const std::size_t slash = LastSeparator(base);
    const std::string folder = slash == std::string::npos ? std::string(".") : base.substr(0, slash + 1);
    std::error_code error;
    fs::path path = fs::absolute(PathFromUtf8(folder), error);
    if (error) path = PathFromUtf8(folder);
    // Through links where the folder exists; as written where it does not yet.
    fs::path resolved = fs::weakly_canonical(path, error);
    if (error) resolved = path;
    std::string key = Utf8FromPath(resolved.lexically_normal());
    while (key.size() > 1 && IsPathSeparator(key.back())) key.pop_back();
    return FileSystemCaseKey(key + "/" + base.substr(slash == std::string::npos ? 0 : slash + 1));
}

}  // namespace framelot
