// Temporary folders, child processes and system texts on Windows.
#include <windows.h>

#include <cstdio>
#include <random>

#include "output/files/PathText.h"
#include "output/files/WindowsText.h"
#include "testing/TestSupport.h"

namespace framelot::test {

TempDir::TempDir()
{
    std::random_device random;
    for (;;) {
        const fs::path candidate = fs::temp_directory_path() / ("framelot-test-" + std::to_string(random()));
        if (::CreateDirectoryW(candidate.c_str(), nullptr)) {
            Path = candidate;
            return;
        }
        if (::GetLastError() != ERROR_ALREADY_EXISTS) return;
    }
}

std::string MissingFileText()
{
    return WindowsErrorText(ERROR_FILE_NOT_FOUND);
}

std::string MissingFolderText()
{
    return WindowsErrorText(ERROR_PATH_NOT_FOUND);
}

std::string Quoted(const std::string& argument)
{
    return "\"" + argument + "\"";
}

ProgramRun RunProgram(const std::string& commandLine)
{
    // cmd /c takes the outer quotes off a line that starts with one.
    ProgramRun run;
    FILE* pipe = ::_wpopen(WideFromUtf8("\"" + commandLine + " 2>&1\"").c_str(), L"rt");
    char buffer[512];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe)) run.Output += buffer;
    run.Status = pipe ? ::_pclose(pipe) : -1;
    return run;
}

// Windows has no tmpfs to mount: Mounted stays false.
SmallFileSystem::SmallFileSystem(const std::string& folder, const char*) : Folder(folder) {}
SmallFileSystem::~SmallFileSystem() = default;
bool SmallFileSystem::Resize(const char*) { return false; }

}  // namespace framelot::test
