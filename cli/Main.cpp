// framelot-cli: the command-line front end. Each file goes through the same
// dispatch as a file dropped on the window.
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "convert/Dispatch.h"

namespace {

using framelot::ConvertResult;
using framelot::ConvertStatus;

constexpr const char* Usage =
    "Usage: framelot-cli [--folder | --no-folder] [--jobs N] [--] FILE...\n"
    "\n"
    "Splits animated GIF, PNG/APNG and WebP files into numbered PNG frames\n"
    "(name_0000.png, name_0001.png, ...), each frame composed over what the\n"
    "earlier frames left.\n"
    "\n"
    "  --folder      put the frames in a folder named after the file (default)\n"
    "  --no-folder   put the frames beside the file\n"
    "  --jobs N      convert up to N files side by side (default: the number of\n"
    "                cores); results are still printed in the order given\n"
    "  --help        show this text\n"
    "  --            everything after this is a file name\n"
    "\n"
    "A file whose output is already there is skipped; no existing file is ever\n"
    "overwritten. Exit status: 0 when no file failed, 1 when a file could not be\n"
    "read or written, 2 for a usage error.\n";

constexpr long MaxJobs = 256;

enum ExitStatus { ExitOk = 0, ExitFileFailed = 1, ExitUsage = 2 };

struct Options {
    bool MakeFolder = true;
    unsigned Jobs = std::max(1u, std::thread::hardware_concurrency());
    std::vector<std::string> Files;
};

// The options, or the exit status when the program is to stop at once (help
// printed, or a usage error reported).
std::optional<Options> ParseArguments(int argc, char** argv, int& exitStatus)
{
    Options options;
    bool optionsDone = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const bool option = !optionsDone && a[0] == '-' && a[1] != '\0';
        if (!option) {
            options.Files.emplace_back(a);
        } else if (std::strcmp(a, "--") == 0) {
            optionsDone = true;
        } else if (std::strcmp(a, "--folder") == 0) {
            options.MakeFolder = true;
        } else if (std::strcmp(a, "--no-folder") == 0) {
            options.MakeFolder = false;
        } else if (std::strcmp(a, "--jobs") == 0) {
            char* end = nullptr;
            const long n = i + 1 < argc ? std::strtol(argv[i + 1], &end, 10) : 0;
            if (n < 1 || n > MaxJobs || end == nullptr || *end != '\0') {
                std::fprintf(stderr, "framelot-cli: --jobs takes a number from 1 to %ld\n\n%s", MaxJobs, Usage);
                exitStatus = ExitUsage;
                return std::nullopt;
            }
            options.Jobs = static_cast<unsigned>(n);
            ++i;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(Usage, stdout);
            exitStatus = ExitOk;
            return std::nullopt;
        } else {
            std::fprintf(stderr, "framelot-cli: unknown option %s\n\n%s", a, Usage);
            exitStatus = ExitUsage;
            return std::nullopt;
        }
    }
    if (options.Files.empty()) {
        std::fputs(Usage, stderr);
        exitStatus = ExitUsage;
        return std::nullopt;
    }
    return options;
}

std::string Describe(const std::string& path, const ConvertResult& r)
{
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

// Groups of file positions. Files whose frames would share names stay in one
// group, converted in the given order, so the later one is skipped exactly as
// it is when files are converted one by one.
std::vector<std::vector<std::size_t>> GroupBySharedOutput(const std::vector<std::string>& files)
{
    std::vector<std::vector<std::size_t>> groups;
    std::map<std::string, std::size_t> groupOf;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto [it, added] = groupOf.try_emplace(framelot::OutputGroupKey(files[i]), groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(i);
    }
    return groups;
}

// Converts every file, up to `jobs` groups side by side, and prints each result
// as soon as it and every one before it are done, in the order given.
std::vector<ConvertResult> ConvertAll(const Options& options)
{
    const std::vector<std::string>& files = options.Files;
    const auto groups = GroupBySharedOutput(files);
    const unsigned jobs = std::min<unsigned>(options.Jobs, static_cast<unsigned>(groups.size()));
    const unsigned encodeThreads = std::max(1u, framelot::DefaultEncodeThreads() / jobs);

    std::vector<ConvertResult> results(files.size());
    std::vector<bool> done(files.size(), false);
    std::mutex mutex;
    std::condition_variable finished;
    std::atomic<std::size_t> nextGroup{0};
    auto work = [&] {
        for (std::size_t g; (g = nextGroup++) < groups.size();) {
            for (std::size_t i : groups[g]) {
                ConvertResult r = framelot::ConvertDroppedFile(files[i], options.MakeFolder, encodeThreads);
                std::lock_guard lock(mutex);
                results[i] = std::move(r);
                done[i] = true;
                finished.notify_all();
            }
        }
    };
    std::vector<std::thread> workers;
    for (unsigned j = 1; j < jobs; ++j) workers.emplace_back(work);
    std::thread printer([&] {
        for (std::size_t i = 0; i < files.size(); ++i) {
            std::unique_lock lock(mutex);
            finished.wait(lock, [&] { return done[i]; });
            std::printf("%s\n", Describe(files[i], results[i]).c_str());
            std::fflush(stdout);
        }
    });
    work();
    for (std::thread& w : workers) w.join();
    printer.join();
    return results;
}

}  // namespace

int main(int argc, char** argv)
{
    // A full disk or a file size limit must come back as a write error with a
    // reason, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);

    int exitStatus = ExitOk;
    const std::optional<Options> options = ParseArguments(argc, argv, exitStatus);
    if (!options) return exitStatus;

    int converted = 0;
    bool anyFailed = false;
    for (const ConvertResult& r : ConvertAll(*options)) {
        if (r.Status == ConvertStatus::Converted) ++converted;
        if (r.Status == ConvertStatus::Failed || r.Status == ConvertStatus::Unreadable) anyFailed = true;
    }
    std::printf("%s\n", framelot::ResultText(converted).c_str());
    return anyFailed ? ExitFileFailed : ExitOk;
}
