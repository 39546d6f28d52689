#include "imaging/Output.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "imaging/Limits.h"

namespace framelot {

std::size_t FindExtension(std::string_view path)
{
    std::size_t found = std::string_view::npos;
    for (std::size_t i = 0; i < path.size(); ++i) {
        if (path[i] == '.') {
            found = i;
        } else if (path[i] == '/' || path[i] == ' ') {
            found = std::string_view::npos;
        }
    }
    return found;
}

std::string StripExtension(std::string_view path)
{
    return std::string(path.substr(0, FindExtension(path)));
}

std::string OutputFolderPath(std::string_view source)
{
    return StripExtension(source);
}

std::string FrameFilePath(std::string_view source, bool makeFolder, std::uint64_t index)
{
    std::string stem = StripExtension(source);
    if (makeFolder) {
        const auto slash = stem.rfind('/');
        const std::string name = slash == std::string::npos ? stem : stem.substr(slash + 1);
        stem = stem + "/" + name;
    }
    char number[32];
    std::snprintf(number, sizeof number, "_%04" PRIu64 ".png", index);
    return stem + number;
}

bool OutputExists(std::string_view source, bool makeFolder)
{
    struct stat st;
    if (makeFolder) {
        const std::string folder = OutputFolderPath(source);
        return ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    const std::string first = FrameFilePath(source, false, 0);
    return ::lstat(first.c_str(), &st) == 0;
}

SourceFile ReadSourceFile(const std::string& path)
{
    SourceFile result;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        result.Error = std::string("cannot open: ") + std::strerror(errno);
        return result;
    }
    struct stat st;
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        result.Error = "not a regular file";
        return result;
    }
    if (static_cast<std::uint64_t>(st.st_size) > MaxSourceBytes) {
        ::close(fd);
        result.Error = "file is larger than the 1 GiB limit";
        return result;
    }
    result.Bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < result.Bytes.size()) {
        const ssize_t n = ::read(fd, result.Bytes.data() + done, result.Bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.Error = std::string("cannot read: ") + std::strerror(errno);
            ::close(fd);
            result.Bytes.clear();
            return result;
        }
        if (n == 0) break;  // the file shrank while it was read: take what is there
        done += static_cast<std::size_t>(n);
    }
    ::close(fd);
    result.Bytes.resize(done);
    result.Ok = true;
    return result;
}

}  // namespace framelot
