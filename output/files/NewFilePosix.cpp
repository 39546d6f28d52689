#include "output/files/NewFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

namespace framelot {
namespace {

std::string ParentFolder(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

std::string ErrorText(const char* what, int error)
{
    return std::string(what) + ": " + std::strerror(error);
}

// A failure with its reason, marked when the file system is full.
SaveOutcome Failure(const char* what, int error)
{
    return {SaveStatus::Failed, ErrorText(what, error), error == ENOSPC || error == EDQUOT};
}

bool WriteAll(int fd, std::span<const std::uint8_t> bytes, int& error)
{
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            error = errno;
            return false;
        }
        if (n == 0) {
            error = ENOSPC;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

SaveOutcome LinkOutcome(int error)
{
    if (error == 0) return {SaveStatus::Written, {}};
    if (error == EEXIST) return {SaveStatus::AlreadyExists, {}};
    return Failure("cannot create file", error);
}

// What a new file's mode is: read-write for everyone, less the process's
// umask, read once from /proc (setting the umask to read it would race with
// other threads creating files); 022 where /proc cannot say.
constexpr mode_t ReadWriteForEveryone = 0666;

mode_t NewFileMode()
{
    static const mode_t mode = [] {
        constexpr mode_t CommonMask = 022;
        mode_t mask = CommonMask;
        if (std::FILE* status = std::fopen("/proc/self/status", "r")) {
            char line[128];
            unsigned value = 0;
            while (std::fgets(line, sizeof line, status) != nullptr) {
                if (std::sscanf(line, "Umask: %o", &value) == 1) {
                    mask = static_cast<mode_t>(value);
                    break;
                }
            }
            std::fclose(status);
        }
        return ReadWriteForEveryone & ~mask;
    }();
    return mode;
}

// Fallback for file systems without unnamed temporary files. A crash between
// mkstemp and unlink leaves a ".framelot-XXXXXX" file behind.
SaveOutcome WriteThroughNamedTemporary(const std::string& path, std::span<const std::uint8_t> bytes)
{
    const std::string folder = ParentFolder(path);
    std::string pattern = folder + "/.framelot-XXXXXX";
    int fd = ::mkstemp(pattern.data());
    if (fd < 0) return Failure("cannot create file", errno);
    int error = 0;
    const bool written = WriteAll(fd, bytes, error);
    if (::close(fd) != 0 && written) error = errno;
    SaveOutcome outcome;
    if (!written || error != 0) {
        outcome = Failure("cannot write file", error);
    } else if (::fchmodat(AT_FDCWD, pattern.c_str(), NewFileMode(), 0) != 0) {
        outcome = Failure("cannot set the file's mode", errno);
    } else {
        outcome = LinkOutcome(::link(pattern.c_str(), path.c_str()) == 0 ? 0 : errno);
    }
    ::unlink(pattern.c_str());
    return outcome;
}

}  // namespace

bool PathTaken(const std::string& path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

SaveOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes)
{
    if (PathTaken(path)) return {SaveStatus::AlreadyExists, {}};

    const std::string folder = ParentFolder(path);
    // The umask applies to the mode given here, as to any new file.
    int fd = ::open(folder.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, ReadWriteForEveryone);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return WriteThroughNamedTemporary(path, bytes);
        return Failure("cannot create file", errno);
    }
    int error = 0;
    if (!WriteAll(fd, bytes, error)) {
        ::close(fd);  // the unnamed file vanishes with its descriptor
        return Failure("cannot write file", error);
    }
    // Link the finished file under its name; linkat never replaces a name.
    const std::string self = "/proc/self/fd/" + std::to_string(fd);
    int result = ::linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW);
    if (result != 0 && errno == ENOENT && ::access("/proc/self/fd", F_OK) != 0) {
        result = ::linkat(fd, "", AT_FDCWD, path.c_str(), AT_EMPTY_PATH);
    }
    const int linkError = result == 0 ? 0 : errno;
    ::close(fd);
    return LinkOutcome(linkError);
}

}  // namespace framelot
