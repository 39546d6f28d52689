// framelot-cli: the command-line front end. Each file goes through the same
// dispatch as a file dropped on the window.
#include <algorithm>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "cli/Console.h"
#include "cli/Info.h"
#include "convert/BatchRunner.h"
#include "convert/Describe.h"
#include "convert/Dispatch.h"
#include "convert/FolderFiles.h"
#include "convert/FrameList.h"
#include "convert/FrameSampling.h"
#include "convert/OutputArguments.h"
#include "convert/OutputOptions.h"
#include "convert/OutputPlan.h"
#include "convert/SourceFormats.h"
#include "imaging/Cores.h"
#include "output/encoders/PngEncode.h"
#include "output/files/NameTemplate.h"
#include "output/files/PathText.h"

namespace {

using framelot::ConvertResult;
using framelot::ConvertStatus;

constexpr const char* Usage =
    "Usage: framelot-cli [--folder | --no-folder] [-o DIR] [--frames LIST]\n"
    "                    [--every N | --at TIMES | --count N] [--name TEMPLATE]\n"
    "                    [--start N] [--merge-held] [--timings ffconcat|json|csv]\n"
    "                    [--npy [-]] [--scale F | --fit WxH] [--filter FILTER]\n"
    "                    [--max-output SIZE] [--format png|webp|jpeg [--quality Q]]\n"
    "                    [--background COLOUR]\n"
    "                    [--canvas grown|declared] [--sheet [SHEET OPTIONS]]\n"
    "                    [--recursive] [--jobs N] [--quiet] [--] FILE|FOLDER...\n"
    "       framelot-cli --info [--json] [--] FILE...\n"
    "       framelot-cli --help | --version\n"
    "\n"
    "Splits animated GIF, PNG/APNG, WebP, AVIF and JPEG XL files into numbered\n"
    "PNG frames (name_0000.png, name_0001.png, ...), each frame composed over what\n"
    "the earlier frames left. Files are taken by extension, in any letter case:\n"
    "  @EXTENSIONS@\n"
    "\n"
    "  --folder      put the frames in a folder named after the file (default)\n"
    "  --no-folder   put the frames beside the file\n"
    "  -o, --output DIR\n"
    "                put the frames under DIR instead of beside the file (DIR is\n"
    "                made when missing): -o out a.gif writes out/a/a_0000.png\n"
    "  --frames LIST only these frames, each under its own number, composed as in a\n"
    "                full conversion: --frames 0,5,10-20 or --frames 10- (to the end)\n"
    "  --every N     the first chosen frame, then every Nth: --every 5\n"
    "  --at TIMES    the frames shown at these times, by the file's own delays:\n"
    "                --at 0,1.5s,2500ms (a number alone is seconds). A frame of no\n"
    "                delay is never shown; viewers show delays of 10 ms or less\n"
    "                for about 100 ms, which these times do not\n"
    "  --count N     N frames spread evenly over the animation's time\n"
    "                (--every, --at and --count pick among the --frames frames)\n"
    "  --name TEMPLATE\n"
    "                frame file names: {name} the file's name, {index} the\n"
    "                frame's number ({index:04}: four digits at least), {delay}\n"
    "                its time in ms, {total} the file's frame count; default\n"
    "                {name}_{index:04}: --name \"{name}-{index:03}-{delay}ms\"\n"
    "  --start N     the first frame's number in the names (default 0)\n"
    "  --merge-held  consecutive frames of equal pixels written once, shown for\n"
    "                the sum of their times (numbered in order; the atlas and\n"
    "                --timings give the sums; with --info, the merged frames)\n"
    "  --scale F     frames F times their size: whole factors by nearest\n"
    "                neighbour (pixel art stays sharp: --scale 4), others with\n"
    "                Lanczos on premultiplied colour (no dark edges: --scale 0.5)\n"
    "  --fit WxH     frames as large as fits in W x H, their shape kept\n"
    "  --filter FILTER\n"
    "                nearest, box or lanczos, instead of the choice above\n"
    "  --format webp frames as WebP files (name_0000.webp), lossless: every pixel\n"
    "                as it is; --quality Q (0 to 100) makes them lossy and small\n"
    "  --format jpeg frames as JPEG files (name_0000.jpg) at quality 90, or Q;\n"
    "                colour at full resolution from 90 up, halved below; JPEG\n"
    "                has no alpha, so each pixel is laid over --background\n"
    "                COLOUR (#RRGGBB, #RGB, white or black; white unless given):\n"
    "                --format jpeg --quality 80 --background '#202020'\n"
    "                (--format png, the default, writes PNG)\n"
    "  --max-output SIZE\n"
    "                a file's outputs take at most SIZE (500M, 2G), counted as\n"
    "                they are written: past it the file stops and takes back\n"
    "                what it wrote. Frames that clearly cannot fit in the free\n"
    "                space are refused before any is written (the estimate is the\n"
    "                first frame's file times the frames), and a disk that fills\n"
    "                anyway takes back what was written of that file\n"
    "  --npy         instead of frame files, name.npy: one NumPy array of N x H x\n"
    "                W x 4 bytes (RGBA, always four channels, every frame on the\n"
    "                canvas --canvas says), and name.json with the frames' times\n"
    "                and the loop count; --npy - writes one file's array to\n"
    "                standard output (and the lines to standard error)\n"
    "  --timings FORMAT\n"
    "                beside the frames, their times for the next tool: ffconcat\n"
    "                (name.ffconcat, for ffmpeg -f concat -i name.ffconcat),\n"
    "                json (name_timings.json) or csv (name_timings.csv)\n"
    "  --canvas declared\n"
    "                every frame at the size the file declares, anything outside\n"
    "                clipped; --canvas grown (default) lets the canvas grow to hold\n"
    "                frames that reach past it, as the format's own rules do\n"
    "  --sheet       instead of frame files, one sprite sheet name_sheet.png (the\n"
    "                frames in a grid, row by row) and its atlas name_sheet.json\n"
    "Sheet options (with --sheet):\n"
    "  --columns N   N frames a row (default: the smallest square grid)\n"
    "  --rows N      N rows, as many columns as that needs; --strip is --rows 1\n"
    "  --padding N   N transparent pixels between cells (0 to 1024, default 0)\n"
    "  --margin N    N transparent pixels around the sheet\n"
    "  --extrude N   each frame's edge pixels repeated N times outward, so that\n"
    "                filtering on the GPU does not bleed in the next cell\n"
    "  --pot         sheet sides a power of two (--max-size lowered to one)\n"
    "  --max-size WxH\n"
    "                sheets at most W x H: frames that do not fit spill onto\n"
    "                name_sheet-1.png, name_sheet-2.png, ... with one atlas naming\n"
    "                them all (--max-size 2048x2048); a frame larger is refused\n"
    "  --trim        each frame cut to its visible pixels and packed in rows,\n"
    "                tallest first; frames with equal pixels share one cell; the\n"
    "                atlas says where each sits in its frame (not with a grid)\n"
    "  --atlas FORMAT\n"
    "                array (default): JSON array, for Phaser's atlas loader;\n"
    "                hash: JSON keyed by frame name, for Phaser and PixiJS;\n"
    "                aseprite: the Aseprite editor's JSON, with a tag and\n"
    "                durations (Phaser's createFromAseprite); godot: a Godot 4\n"
    "                SpriteFrames resource name_sheet.tres; css: a stylesheet with\n"
    "                a class a frame and a @keyframes animation. A spilled sheet's\n"
    "                array or hash atlas is a multi-atlas (Phaser's multiatlas).\n"
    "                Example: --sheet --trim --padding 2 --extrude 1 --atlas hash\n"
    "Other options:\n"
    "  --recursive   a FOLDER's subfolders too (a folder stands for the animations\n"
    "                directly inside it, in name order)\n"
    "  --jobs N      convert up to N files side by side (default: the number of\n"
    "                cores); results are still printed in the order given\n"
    "  --quiet       print only the count of converted files, not a line a file\n"
    "  --info        write nothing; describe each file: format, canvas, loop\n"
    "                count, and each frame's rectangle, display time, dispose\n"
    "                and blend method (delays of 10 ms or less are marked:\n"
    "                viewers commonly show them as about 100 ms), and about what\n"
    "                the frames take as PNG files; with --merge-held, the\n"
    "                merged frames\n"
    "  --json        with --info: one JSON document, an array of files\n"
    "  --help        show this text\n"
    "  --version     show the version\n"
    "  --            everything after this is a file name\n"
    "\n"
    "A file whose output is already there is skipped; no existing file is ever\n"
    "overwritten, and a file that fails leaves nothing, so that a retry\n"
    "converts it. On a terminal, a file that takes a while shows its progress.\n"
    "Exit status: 0 when no file failed, 1 when a file could not be read or\n"
    "written, is damaged (its frames that could be decoded are written) or is\n"
    "over a limit, 2 for a usage error (a file with none of the frames --frames\n"
    "asks for counts as one, and so do folders with no animations in them).\n";

// The usage with the format table's extensions in it.
std::string UsageText()
{
    std::string text = Usage;
    constexpr std::string_view Marker = "@EXTENSIONS@";
    text.replace(text.find(Marker), Marker.size(), framelot::ExtensionList(", "));
    return text;
}

constexpr long MaxJobs = framelot::MaxBatchJobs;

enum ExitStatus { ExitOk = 0, ExitFileFailed = 1, ExitUsage = 2 };

struct Options {
    framelot::OutputOptions Output;
    bool Recursive = false;     // folders: their subfolders too
    bool Info = false;          // describe the files instead of converting them
    bool Json = false;          // with Info: one JSON document
    bool Quiet = false;         // no line a file, only the result text
    bool ShowProgress = false;  // standard error is a terminal
    bool ArrayToOutput = false; // --npy -: the array to standard output, the lines to standard error
    unsigned Jobs = framelot::CoreCount();
    std::vector<std::string> Files;
};

// Reports a usage error: its reason, and where the options are told (the
// whole usage would scroll the reason away).
std::nullopt_t UsageError(const std::string& reason, int& exitStatus)
{
    std::fprintf(stderr, "framelot-cli: %s\nframelot-cli: see framelot-cli --help\n", reason.c_str());
    exitStatus = ExitUsage;
    return std::nullopt;
}

bool TakesValue(const char* option)
{
    for (const char* name : {"--jobs"}) {
        if (std::strcmp(option, name) == 0) return true;
    }
    return false;
}

// A whole number from 1 to `max`, the text holding nothing else.
bool ReadCount(const std::string& text, long max, long& n)
{
    char* end = nullptr;
    n = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && text[0] != '-' && *end == '\0' && n >= 1 && n <= max;
}

// The value of an option that takes one; false with the reason when it is not
// one the option takes.
bool ReadValue(const std::string& option, const std::string& value, Options& options, std::string& error)
{
    long n = 0;
    if (option == "--jobs") {
        if (!ReadCount(value, MaxJobs, n)) error = "--jobs takes a number from 1 to " + std::to_string(MaxJobs);
        else options.Jobs = static_cast<unsigned>(n);
    }
    return error.empty();
}

// The options, or the exit status when the program is to stop at once (help
// printed, or a usage error reported).
std::optional<Options> ParseArguments(const std::vector<std::string>& arguments, int& exitStatus)
{
    Options options;
    bool optionsDone = false;
    std::string firstSheetOption;
    const std::size_t argc = arguments.size();
    for (std::size_t i = 0; i < argc; ++i) {
        const char* a = arguments[i].c_str();
        const bool option = !optionsDone && a[0] == '-' && a[1] != '\0';
        if (!option) {
            options.Files.emplace_back(a);
        } else if (std::strcmp(a, "--") == 0) {
            optionsDone = true;
        } else if (std::strcmp(a, "--recursive") == 0 || std::strcmp(a, "-r") == 0) {
            options.Recursive = true;
        } else if (std::strcmp(a, "--npy") == 0 && i + 1 < argc && arguments[i + 1] == "-") {
            options.Output.Array = true;
            options.ArrayToOutput = true;
            ++i;
        } else if (framelot::OutputOptionIsFlag(a)) {
            framelot::ReadOutputFlag(a, options.Output);
            if (firstSheetOption.empty() && framelot::IsSheetOption(a)) firstSheetOption = a;
        } else if (framelot::OutputOptionTakesValue(a)) {
            if (i + 1 >= argc) return UsageError(std::string(a) + " needs a value", exitStatus);
            std::string error;
            if (!framelot::ReadOutputValue(a, arguments[++i], options.Output, error)) return UsageError(error, exitStatus);
            if (firstSheetOption.empty() && framelot::IsSheetOption(a)) firstSheetOption = a;
        } else if (TakesValue(a)) {
            if (i + 1 >= argc) return UsageError(std::string(a) + " needs a value", exitStatus);
            const std::string value = arguments[++i];
            std::string error;
            if (!ReadValue(a, value, options, error)) return UsageError(error, exitStatus);
        } else if (std::strcmp(a, "--info") == 0) {
            options.Info = true;
        } else if (std::strcmp(a, "--json") == 0) {
            options.Json = true;
        } else if (std::strcmp(a, "--quiet") == 0 || std::strcmp(a, "-q") == 0) {
            options.Quiet = true;
        } else if (std::strcmp(a, "--version") == 0) {
            std::printf("framelot-cli %s\n", FRAMELOT_VERSION);
            exitStatus = ExitOk;
            return std::nullopt;
        } else if (std::strcmp(a, "--help") == 0 || std::strcmp(a, "-h") == 0) {
            std::fputs(UsageText().c_str(), stdout);
            exitStatus = ExitOk;
            return std::nullopt;
        } else {
            return UsageError(std::string("unknown option ") + a, exitStatus);
        }
    }
    if (options.Json && !options.Info) return UsageError("--json goes with --info", exitStatus);
    const framelot::FrameSampling& sampling = options.Output.Sampling;
    if (std::string conflict = framelot::OutputOptionsConflict(options.Output, firstSheetOption); !conflict.empty()) {
        return UsageError(conflict, exitStatus);
    }
    const framelot::OutputOptions defaults;
    if (options.Info && (!options.Output.OutputFolder.empty() || !options.Output.Frames.empty() ||
                         options.Output.Canvas != defaults.Canvas || options.Output.Sheet ||
                         framelot::SamplingAsked(sampling) || !framelot::IsDefaultNaming(options.Output.Names) ||
                         options.Output.Timings != framelot::TimingsFormat::None ||
                         options.Output.Array || framelot::ScalingAsked(options.Output.Scale) ||
                         options.Output.MaxOutputBytes > 0 || options.Output.Encoding.Format != framelot::FrameFormat::Png)) {
        return UsageError("--info writes nothing: -o, --frames, --every, --at, --count, --name, --start, "
                          "--timings, --npy, --scale, --fit, --max-output, --format, --canvas and --sheet go with converting", exitStatus);
    }
    if (options.Files.empty()) {
        std::fputs(UsageText().c_str(), stderr);
        exitStatus = ExitUsage;
        return std::nullopt;
    }
    return options;
}

// How a file that takes a while is shown on a terminal: a line of its own on
// standard error, redrawn as frames are written and erased before the next
// result line is printed.
class ProgressLine {
public:
    explicit ProgressLine(bool enabled) : enabled_(enabled) {}

    void Show(const std::string& name, std::uint64_t done, std::uint64_t total)
    {
        if (!enabled_) return;
        std::fprintf(stderr, "\r\033[K%s: %llu of %llu frames", name.c_str(), static_cast<unsigned long long>(done),
                     static_cast<unsigned long long>(total));
        std::fflush(stderr);
        shown_ = true;
    }

    void Erase()
    {
        if (!shown_) return;
        std::fputs("\r\033[K", stderr);
        std::fflush(stderr);
        shown_ = false;
    }

private:
    bool enabled_;
    bool shown_ = false;
};

// Converts every file as one drop on the batch runner, up to `jobs` side by
// side, printing each result in the order given as soon as it and every one
// before it are done. On a terminal, the first file not yet done shows its
// progress once it has taken half a second.
framelot::DropReport ConvertAll(const Options& options)
{
    using Clock = std::chrono::steady_clock;
    constexpr auto ProgressDelay = std::chrono::milliseconds(500);
    constexpr auto RedrawEvery = std::chrono::milliseconds(100);

    struct FileState {
        std::uint64_t Frames = 0, Total = 0;
        Clock::time_point Started;
    };
    const std::vector<std::string>& files = options.Files;
    std::vector<FileState> state(files.size());
    std::size_t printed = 0;  // files whose line is out
    bool finished = false;
    framelot::DropReport report;
    ProgressLine line(options.ShowProgress);
    std::mutex mutex;
    std::condition_variable changed;

    framelot::BatchEvents events;
    events.FileStarted = [&](std::size_t i, const std::string&) {
        std::lock_guard lock(mutex);
        state[i].Started = Clock::now();
    };
    events.Progress = [&](const framelot::DropProgress& p) {
        std::lock_guard lock(mutex);
        state[p.File].Frames = p.FileFrames;
        state[p.File].Total = p.FileFramesTotal;
    };
    events.FileDone = [&](const framelot::BatchFile& file) {
        std::lock_guard lock(mutex);
        line.Erase();
        if (!options.Quiet) {
            std::printf("%s\n", framelot::DescribeResult(file.Path, file.Result).c_str());
            std::fflush(stdout);
        }
        printed = file.Index + 1;
    };
    events.DropDone = [&](const framelot::DropReport& r) {
        std::lock_guard lock(mutex);
        report = r;
    };
    events.Idle = [&](bool) {
        std::lock_guard lock(mutex);
        finished = true;
        changed.notify_all();
    };
    framelot::BatchRunner runner({options.Jobs, [&] { return options.Output.MakeFolder; }, {}, options.Output},
                                 std::move(events));
    runner.Submit(files);

    std::unique_lock lock(mutex);
    while (!changed.wait_for(lock, RedrawEvery, [&] { return finished; })) {
        if (printed >= files.size()) continue;
        const FileState& s = state[printed];
        if (s.Started != Clock::time_point{} && Clock::now() - s.Started >= ProgressDelay && s.Total > 0) {
            line.Show(files[printed], s.Frames, s.Total);
        }
    }
    line.Erase();
    // For whoever tunes the writer (the benchmark sets it): how the frames were written.
    if (std::getenv("FRAMELOT_WRITER_COUNTS") != nullptr) {
        using framelot::PngFrameWork;
        std::fprintf(stderr, "framelot-cli: PNG frames encoded in full %llu, in bands %llu, recalled %llu\n",
                     static_cast<unsigned long long>(framelot::PngFramesWritten(PngFrameWork::Full)),
                     static_cast<unsigned long long>(framelot::PngFramesWritten(PngFrameWork::Band)),
                     static_cast<unsigned long long>(framelot::PngFramesWritten(PngFrameWork::Recalled)));
    }
    return report;
}

// --npy -: the file converts into a folder of its own under the system's
// temporary folder, its array is copied to standard output and the folder
// removed; the lines go to standard error.
int ArrayToStandardOutput(Options options)
{
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::temp_directory_path(error) /
                            ("framelot-npy-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    if (error || !fs::create_directory(folder, error)) {
        std::fprintf(stderr, "framelot-cli: cannot make a temporary folder: %s\n", error.message().c_str());
        return ExitFileFailed;
    }
    options.Output.OutputFolder = framelot::Utf8FromPath(folder);
    options.Output.MakeFolder = false;
    const bool quiet = options.Quiet;
    options.Quiet = true;  // the line is printed below, naming where the array went
    const framelot::DropReport report = ConvertAll(options);
    const framelot::BatchFile& file = report.Files.front();
    ConvertResult shown = file.Result;
    int converted = report.Converted;
    if (shown.Status == ConvertStatus::Converted) {
        constexpr std::size_t CopyBytes = 1 << 20;
        std::ifstream array(framelot::PathFromUtf8(file.Result.Destination), std::ios::binary);
        framelot::UseBinaryStandardOutput();
        std::vector<char> buffer(CopyBytes);
        bool copied = true;
        while (copied && array) {
            array.read(buffer.data(), static_cast<std::streamsize>(buffer.size()));
            const auto got = static_cast<std::size_t>(array.gcount());
            copied = got == 0 || std::fwrite(buffer.data(), 1, got, stdout) == got;
        }
        copied = copied && array.eof() && std::fflush(stdout) == 0;
        shown.Destination = "standard output";
        if (!copied) {
            const int writeError = errno;
            shown = {ConvertStatus::Failed,
                     std::string("cannot write the array to standard output: ") + std::strerror(writeError), 0, 0, {},
                     framelot::FailureKind::FileSystem};
            converted = 0;
        }
    }
    if (!quiet) std::fprintf(stderr, "%s\n", framelot::DescribeResult(file.Path, shown).c_str());
    std::fprintf(stderr, "%s\n", framelot::ResultText(converted).c_str());
    fs::remove_all(folder, error);
    if (shown.Failure == framelot::FailureKind::Usage) return ExitUsage;
    // Nothing handed on (a still, a skipped or unreadable file) fails too.
    return shown.Status != ConvertStatus::Converted || report.AnyFailed ? ExitFileFailed : ExitOk;
}

}  // namespace

int framelot::RunCommandLine(const std::vector<std::string>& arguments, bool standardErrorIsTerminal)
{
    int exitStatus = ExitOk;
    std::optional<Options> options = ParseArguments(arguments, exitStatus);
    if (!options) return exitStatus;
    options->ShowProgress = standardErrorIsTerminal;

    std::vector<std::string> emptyFolders;
    options->Files = framelot::ExpandFolders(options->Files, options->Recursive, &emptyFolders,
                                             options->Output.OutputFolder);
    for (const std::string& folder : emptyFolders) {
        std::fprintf(stderr, "framelot-cli: %s\n", framelot::EmptyFolderText(folder).c_str());
    }
    if (options->Files.empty()) return ExitUsage;  // folders, and nothing in them to convert
    // What the files stand for decides these, so they are looked at once
    // folders are expanded.
    if (options->ArrayToOutput && options->Files.size() != 1) {
        UsageError("--npy - writes one file's array to standard output, and the files given stand for " +
                       std::to_string(options->Files.size()) + ": give one file",
                   exitStatus);
        return exitStatus;
    }
    if (std::string same = framelot::SameNamesRefusal(options->Files, options->Output); !same.empty() && !options->Info) {
        UsageError(same, exitStatus);
        return exitStatus;
    }
    if (options->Info) {
        return framelot::PrintInfo(options->Files, options->Json, options->Output.MergeHeld) ? ExitOk : ExitFileFailed;
    }

    if (options->ArrayToOutput) return ArrayToStandardOutput(*options);
    const framelot::DropReport report = ConvertAll(*options);
    std::printf("%s\n", report.ResultText.c_str());
    // Frames asked for that a file does not have are the caller's mistake.
    const bool misused = std::any_of(report.Files.begin(), report.Files.end(), [](const framelot::BatchFile& f) {
        return f.Result.Failure == framelot::FailureKind::Usage;
    });
    return misused ? ExitUsage : report.AnyFailed ? ExitFileFailed : ExitOk;
}
