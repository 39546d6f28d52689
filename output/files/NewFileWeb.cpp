// New files on the in-memory file system of the page's module. It cannot
// link, and nothing else runs while a file is written: the module's one
// thread converts, and the page reads a file's outputs only after its
// conversion has returned. So a file created exclusively, written whole, and
// removed again if the writing fails, appears whole or not at all.
#include "output/files/NewFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>

namespace framelot {
namespace {

constexpr mode_t NewFileMode = 0644;

std::string ErrorText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// A failure with its reason, marked when the file system is full.
SaveOutcome Failure(const char* what, int error)
{
    return {SaveStatus::Failed, ErrorText(what, error), error == ENOSPC};
}

}  // namespace

bool PathTaken(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

SaveOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, NewFileMode);
    if (fd < 0) {
        if (errno == EEXIST) return {SaveStatus::AlreadyExists, {}};
        return Failure("cannot create file", errno);
    }
    std::size_t done = 0;
    int error = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0) {
            error = n < 0 ? errno : ENOSPC;
            break;
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0 && error == 0) error = errno;
    if (error != 0) {
        ::unlink(path.c_str());
        return Failure("cannot write file", error);
    }
    return {SaveStatus::Written, {}};
}

}  // namespace framelot
