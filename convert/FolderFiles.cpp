#include "convert/FolderFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "convert/SourceFormats.h"
#include "output/PathText.h"

namespace framelot {
namespace {

namespace fs = std::filesystem;

// False when the folder cannot be listed.
bool AddFolder(const std::string& folder, bool recursive, std::vector<std::string>& out)
{
    std::error_code error;
    fs::directory_iterator it(PathFromUtf8(folder), error);
    if (error) return false;
    struct Entry {
        std::string Name;
        bool Folder;
    };
    std::vector<Entry> entries;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) return false;
        std::error_code statError;
        const bool isFolder = fs::is_directory(it->symlink_status(statError));
        const bool isFile = !isFolder && fs::is_regular_file(it->status(statError));
        const std::string name = Utf8FromPath(it->path().filename());
        if ((isFolder && recursive) || (isFile && FormatOfPath(name) != nullptr)) entries.push_back({name, isFolder});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.Name < b.Name; });
    const std::string prefix = IsPathSeparator(folder.back()) ? folder : folder + "/";
    for (const Entry& e : entries) {
        if (!e.Folder) {
            out.push_back(prefix + e.Name);
        } else if (!AddFolder(prefix + e.Name, true, out)) {
            out.push_back(prefix + e.Name);
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths, bool recursive)
{
    std::vector<std::string> out;
    for (const std::string& path : paths) {
        std::error_code error;
        if (path.empty() || !fs::is_directory(PathFromUtf8(path), error) || !AddFolder(path, recursive, out)) {
            out.push_back(path);
        }
    }
    return out;
}

}  // namespace framelot
