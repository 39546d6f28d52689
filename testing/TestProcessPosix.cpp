// Temporary folders, child processes and system texts on POSIX systems.
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <cstring>

#include "testing/TestSupport.h"

namespace framelot::test {

TempDir::TempDir()
{
    std::string pattern = (fs::temp_directory_path() / "framelot-test-XXXXXX").string();
    Path = ::mkdtemp(pattern.data());
}

std::string InChild(const std::function<std::string()>& work, bool dropPrivileges)
{
    constexpr uid_t Nobody = 65534;
    int fds[2];
    if (::pipe(fds) != 0) return "pipe failed";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(fds[0]);
        if (dropPrivileges && ::geteuid() == 0) {
            if (::setgid(Nobody) != 0 || ::setuid(Nobody) != 0) ::_exit(3);
        }
        const std::string out = work();
        if (::write(fds[1], out.data(), out.size()) < 0) ::_exit(4);
        ::_exit(0);
    }
    ::close(fds[1]);
    std::string out;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) out.append(buffer, static_cast<std::size_t>(n));
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    return out;
}

std::string MissingFileText()
{
    return std::strerror(ENOENT);
}

std::string MissingFolderText()
{
    return std::strerror(ENOENT);
}

std::string Quoted(const std::string& argument)
{
    std::string quoted = "'";
    for (char c : argument) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return quoted + "'";
}

ProgramRun RunProgram(const std::string& commandLine)
{
    ProgramRun run;
    FILE* pipe = ::popen((commandLine + " 2>&1").c_str(), "r");
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
    const int status = pipe ? ::pclose(pipe) : -1;
    run.Status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

SmallFileSystem::SmallFileSystem(const std::string& folder, const char* size) : Folder(folder)
{
    std::filesystem::create_directories(folder);
    Mounted = std::system(("mount -t tmpfs -o size=" + std::string(size) + " framelot-test " + Quoted(folder) +
                           " 2>/dev/null").c_str()) == 0;
}

SmallFileSystem::~SmallFileSystem()
{
    if (Mounted) std::system(("umount " + Quoted(Folder)).c_str());
}

bool SmallFileSystem::Resize(const char* size)
{
    return Mounted && std::system(("mount -o remount,size=" + std::string(size) + " " + Quoted(Folder)).c_str()) == 0;
}

}  // namespace framelot::test
