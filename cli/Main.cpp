// framelot-cli: the command-line front end. Each file goes through the same
// dispatch as a file dropped on the window.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "imaging/Dispatch.h"

namespace {

constexpr const char* Usage =
    "Usage: framelot-cli [--folder | --no-folder] [--] FILE...\n"
    "\n"
    "Splits animated GIF, PNG/APNG and WebP files into numbered PNG frames\n"
    "(name_0000.png, name_0001.png, ...), each frame composed over what the\n"
    "earlier frames left.\n"
    "\n"
    "  --folder      put the frames in a folder named after the file (default)\n"
    "  --no-folder   put the frames beside the file\n"
    "  --help        show this text\n"
    "  --            everything after this is a file name\n"
    "\n"
    "A file whose output is already there is skipped; no existing file is ever\n"
    "overwritten. Exit status: 0 when no file failed, 1 when a file could not be\n"
    "read or written, 2 for a usage error.\n";

std::string Describe(const std::string& path, const framelot::ConvertResult& r)
{
    using framelot::ConvertStatus;
    switch (r.Status) {
    case ConvertStatus::Converted: {
        std::string line = path + ": " + std::to_string(r.FramesWritten) + (r.FramesWritten == 1 ? " frame" : " frames") +
                           " written to " + r.Destination;
        if (r.FramesExisting > 0) line += " (" + std::to_string(r.FramesExisting) + " already there, kept)";
        return line;
    }
    case ConvertStatus::Skipped: return path + ": skipped, output already exists: " + r.Destination;
    case ConvertStatus::NotAnimation: return path + ": not converted, " + r.Reason;
    case ConvertStatus::Unreadable: return path + ": cannot read the file: " + r.Reason;
    case ConvertStatus::Failed: {
        std::string line = path + ": failed: " + r.Reason;
        if (r.FramesWritten > 0) line += " (" + std::to_string(r.FramesWritten) + " frames written)";
        return line;
    }
    }
    return path;
}

}  // namespace

int main(int argc, char** argv)
{
    // A full disk or a file size limit must come back as a write error with a
    // reason, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);

    bool makeFolder = true;
    std::vector<std::string> files;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!optionsDone && std::strcmp(a, "--") == 0) {
            optionsDone = true;
        } else if (!optionsDone && std::strcmp(a, "--folder") == 0) {
            makeFolder = true;
        } else if (!optionsDone && std::strcmp(a, "--no-folder") == 0) {
            makeFolder = false;
        } else if (!optionsDone && (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0)) {
            std::fputs(Usage, stdout);
            return 0;
        } else if (!optionsDone && a[0] == '-' && a[1] != '\0') {
            std::fprintf(stderr, "framelot-cli: unknown option %s\n\n%s", a, Usage);
            return 2;
        } else {
            files.emplace_back(a);
        }
    }
    if (files.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }

    int converted = 0;
    bool anyFailed = false;
    for (const std::string& file : files) {
        const framelot::ConvertResult r = framelot::ConvertDroppedFile(file, makeFolder);
        if (r.Status == framelot::ConvertStatus::Converted) ++converted;
        if (r.Status == framelot::ConvertStatus::Failed || r.Status == framelot::ConvertStatus::Unreadable) {
            anyFailed = true;
        }
        std::printf("%s\n", Describe(file, r).c_str());
        std::fflush(stdout);
    }
    std::printf("%s\n", framelot::ResultText(converted).c_str());
    return anyFailed ? 1 : 0;
}
