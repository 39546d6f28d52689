#include "convert/SourceFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "imaging/Limits.h"

namespace framelot {
namespace {

// Closes the descriptor on every way out.
struct OpenFile {
    int Fd = -1;
    ~OpenFile()
    {
        if (Fd >= 0) ::close(Fd);
    }
};

}  // namespace

SourceFile ReadSourceFile(const std::string& path)
{
    SourceFile result;
    // Without waiting: a named pipe (or a device) would block the open until
    // a writer came. Its type is looked at next, before anything is read.
    OpenFile file{::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY)};
    if (file.Fd < 0) {
        result.Error = std::string("cannot open: ") + std::strerror(errno);
        return result;
    }
    struct stat st;
    if (::fstat(file.Fd, &st) != 0) {
        result.Error = std::string("cannot read: ") + std::strerror(errno);
        return result;
    }
    if (!S_ISREG(st.st_mode)) {
        result.Error = "not a regular file";
        return result;
    }
    if (static_cast<std::uint64_t>(st.st_size) > MaxSourceBytes) {
        result.Error = "file is larger than the " + DescribeByteCount(MaxSourceBytes) + " limit";
        return result;
    }
    result.Bytes.resize(static_cast<std::size_t>(st.st_size));
    std::size_t done = 0;
    while (done < result.Bytes.size()) {
        const ssize_t n = ::read(file.Fd, result.Bytes.data() + done, result.Bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            result.Error = std::string("cannot read: ") + std::strerror(errno);
            result.Bytes.clear();
            return result;
        }
        if (n == 0) break;  // the file shrank while it was read: take what is there
        done += static_cast<std::size_t>(n);
    }
    result.Bytes.resize(done);
    result.Ok = true;
    return result;
}

}  // namespace framelot
