#include "convert/FolderFiles.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "convert/SourceFormats.h"
#include "output/files/PathText.h"

namespace framelot {
namespace {

namespace fs = std::filesystem;

// Folders gone into (or never to be), by the path they resolve to.
using Visited = std::set<fs::path>;

fs::path Resolved(const std::string& folder)
{
    std::error_code error;
    const fs::path native = PathFromUtf8(folder);
    const fs::path resolved = fs::weakly_canonical(fs::absolute(native, error), error);
    return error ? native : resolved.lexically_normal();
}

// False when the folder cannot be listed.
bool AddFolder(const std::string& folder, bool recursive, std::vector<std::string>& out, Visited& visited)
{
    std::error_code error;
    const fs::path native = PathFromUtf8(folder);
    if (!visited.insert(Resolved(folder)).second) return true;  // been here (or kept out): nothing new inside
    fs::directory_iterator it(native, error);
    if (error) return false;
    struct Entry {
        std::string Name;
        bool Folder;
    };
    std::vector<Entry> entries;
    for (; it != fs::directory_iterator(); it.increment(error)) {
        if (error) return false;
        std::error_code statError;
        const std::string name = Utf8FromPath(it->path().filename());
        // By its exact name: on Windows "nul.webp" or "clip .gif" are files
        // here, not the device or another name.
        const fs::path exact = ExactPathFromUtf8((IsPathSeparator(folder.back()) ? folder : folder + "/") + name);
        const bool isFolder = fs::is_directory(fs::symlink_status(exact, statError));
        const bool isFile = !isFolder && fs::is_regular_file(fs::status(exact, statError));
        if ((isFolder && recursive) || (isFile && FormatOfPath(name) != nullptr)) entries.push_back({name, isFolder});
    }
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) { return a.Name < b.Name; });
    const std::string prefix = IsPathSeparator(folder.back()) ? folder : folder + "/";
    for (const Entry& e : entries) {
        if (!e.Folder) {
            out.push_back(prefix + e.Name);
        } else if (!AddFolder(prefix + e.Name, true, out, visited)) {
            out.push_back(prefix + e.Name);
        }
    }
    return true;
}

}  // namespace

std::vector<std::string> ExpandFolders(const std::vector<std::string>& paths, bool recursive,
                                       std::vector<std::string>* emptyFolders, const std::string& keepOut)
{
    std::vector<std::string> out;
    for (const std::string& path : paths) {
        std::error_code error;
        const std::size_t before = out.size();
        Visited visited;
        if (!keepOut.empty() && (!fs::is_directory(PathFromUtf8(path), error) || Resolved(path) != Resolved(keepOut))) {
            visited.insert(Resolved(keepOut));
        }
        if (path.empty() || !fs::is_directory(PathFromUtf8(path), error) || !AddFolder(path, recursive, out, visited)) {
            out.push_back(path);
        } else if (out.size() == before && emptyFolders != nullptr) {
            emptyFolders->push_back(path);
        }
    }
    return out;
}

std::string EmptyFolderText(const std::string& folder)
{
    return "no animations in " + folder;
}

}  // namespace framelot
