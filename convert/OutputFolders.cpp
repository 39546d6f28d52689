#include "convert/OutputFolders.h"

#include <system_error>

#include "output/files/PathText.h"

namespace framelot {
namespace {

// Makes `folder` (with `parents`, every missing folder above it too) unless it
// is there. Empty, or why it cannot be made, in words naming it as `what`.
std::string CreateFolder(const std::string& folder, bool parents, const std::string& what)
{
    const std::filesystem::path path = PathFromUtf8(folder);
    std::error_code error, statError;
    if (parents) {
        std::filesystem::create_directories(path, error);
    } else {
        std::filesystem::create_directory(path, error);
    }
    if (error == std::errc::file_exists || error == std::errc::not_a_directory ||
        (!error && !std::filesystem::is_directory(path, statError))) {
        return "cannot create " + what + ": a file of that name is in the way";
    }
    if (error) return "cannot create " + what + ": " + error.message();
    return {};
}

// The folders of `path` that are not there yet, outermost first.
std::vector<std::filesystem::path> Missing(std::filesystem::path path)
{
    std::vector<std::filesystem::path> missing;
    std::error_code error;
    for (; !path.empty() && !std::filesystem::exists(path, error); path = path.parent_path()) {
        missing.insert(missing.begin(), path);
        if (path == path.parent_path()) break;
    }
    return missing;
}

}  // namespace

bool OutputFolders::Ready(const OutputPlan& plan)
{
    if (Tried) return Error.empty();
    Tried = true;
    for (std::size_t i = 0; i < plan.Folders.size() && Error.empty(); ++i) {
        const std::string& folder = plan.Folders[i];
        const bool parents = i == 0 && plan.FolderParents;
        const std::vector<std::filesystem::path> missing = Missing(PathFromUtf8(folder));
        Error = CreateFolder(folder, parents, parents ? "output folder " + folder : "folder");
        std::error_code error;
        for (const std::filesystem::path& made : missing) {
            if (std::filesystem::is_directory(made, error)) Made.push_back(made);  // a failure may leave some
        }
    }
    return Error.empty();
}

void OutputFolders::TakeBack() const
{
    std::error_code ignored;
    for (auto at = Made.rbegin(); at != Made.rend(); ++at) {
        if (std::filesystem::is_empty(*at, ignored)) std::filesystem::remove(*at, ignored);
    }
}

void RemoveFiles(const std::vector<std::string>& paths)
{
    std::error_code ignored;
    for (const std::string& path : paths) std::filesystem::remove(PathFromUtf8(path), ignored);
}

}  // namespace framelot
