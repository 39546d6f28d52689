// The page's module: the core's conversion and description of one file at a
// time, for the page's worker (worker.js), which calls these functions in
// turn and so keeps the page's order, its cancel between files and its count.
// Paths are in the module's in-memory file system. Everything runs on the
// worker's one thread; each function returns text that stays valid until the
// next call of the same function.
#include <emscripten.h>
#include <libdeflate.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "convert/BatchRunner.h"
#include "convert/Describe.h"
#include "convert/Dispatch.h"
#include "convert/FileInfo.h"
#include "convert/FolderFiles.h"
#include "convert/FrameList.h"
#include "convert/OutputArguments.h"
#include "convert/OutputPlan.h"
#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"
#include "output/files/JsonText.h"
#include "output/files/PathText.h"

// The worker's progress handler, told after each frame written.
EM_JS(void, TellProgress, (double done, double total), {
    if (typeof self.FramelotProgress === 'function') self.FramelotProgress(done, total);
});

namespace {

using namespace framelot;

// The files of the drop being converted that converted, by their outputs;
// a drop starts with FramelotCheckDrop.
std::vector<DropOutput> DropWritten;

const char* Kept(std::string& slot, std::string text)
{
    slot = std::move(text);
    return slot.c_str();
}

const char* StatusWord(const ConvertResult& r)
{
    switch (r.Status) {
    case ConvertStatus::Converted: return r.Damage.empty() ? "converted" : "damaged";
    case ConvertStatus::Skipped: return "skipped";
    case ConvertStatus::NotAnimation: return "not_animation";
    case ConvertStatus::Unreadable:
    case ConvertStatus::Failed: return r.Failure == FailureKind::Usage ? "usage" : "failed";
    }
    return "failed";
}

// The lines of `text` that are not empty.
std::vector<std::string> LinesOf(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

// The page's options as the module's calls take them (the output folder, the
// folder switch, the sheet switch and the command line's arguments) into
// `options`; empty, or why they are refused.
std::string ReadPageOptions(const char* outputFolder, int makeFolder, int sheet, const char* arguments,
                            OutputOptions& options)
{
    options.MakeFolder = makeFolder != 0;
    options.OutputFolder = outputFolder;
    options.Sheet = sheet != 0;
    return ReadOutputArguments(LinesOf(arguments), options);
}

}  // namespace

extern "C" {

// Converts the file at `path` into `outputFolder` with the command line's
// output options: `arguments` as the command line takes them, one a line
// ("--frames\n0-9\n--canvas\ndeclared\n--trim"), and the sheet switch. Returns {"line": the file's line by its names, "status":
// converted | damaged | skipped | not_animation | failed | usage, "written":
// frames written} or {"error": why the options are wrong}.
EMSCRIPTEN_KEEPALIVE const char* FramelotConvert(const char* path, const char* outputFolder, int makeFolder, int sheet,
                                                 const char* arguments)
{
    static std::string text;
    OutputOptions options;
    if (std::string error = ReadPageOptions(outputFolder, makeFolder, sheet, arguments, options); !error.empty()) {
        return Kept(text, "{\"error\": " + JsonString(error) + "}");
    }
    // As the batch runner does: a file whose output an earlier file of the
    // drop wrote is skipped, naming it.
    std::optional<ConvertResult> earlier = WrittenEarlier(path, options, DropWritten);
    ConvertResult result = earlier ? std::move(*earlier)
                                   : ConvertDroppedFile(path, options, 0, [](std::uint64_t done, std::uint64_t total) {
                                         TellProgress(static_cast<double>(done), static_cast<double>(total));
                                     });
    NoteWritten(path, options, result, DropWritten);
    const std::uint64_t written = result.FramesWritten;
    const char* status = StatusWord(result);
    result.Destination = FileNameOf(result.Destination);
    return Kept(text, "{\"line\": " + JsonString(DescribeResult(FileNameOf(path), result)) + ", \"status\": \"" +
                          status + "\", \"written\": " + std::to_string(written) + "}");
}

// Whether the options stand, and stand for these files together: empty text,
// or why not in the command line's words (options that conflict, names that
// every file would share). `paths`: the drop's files, one a line, as they lie
// in the module; `outputFolder`, `makeFolder`, `sheet` and `arguments` as
// FramelotConvert takes them. Called as a drop starts: the files converted
// before it are forgotten.
EMSCRIPTEN_KEEPALIVE const char* FramelotCheckDrop(const char* paths, const char* outputFolder, int makeFolder, int sheet,
                                                   const char* arguments)
{
    static std::string text;
    DropWritten.clear();
    OutputOptions options;
    if (std::string error = ReadPageOptions(outputFolder, makeFolder, sheet, arguments, options); !error.empty()) {
        return Kept(text, error);
    }
    return Kept(text, SameNamesRefusal(LinesOf(paths), options));
}

// The file's description, as --info --json gives it, named by its file name.
EMSCRIPTEN_KEEPALIVE const char* FramelotDescribe(const char* path)
{
    static std::string text;
    AnimationInfo info;
    const ConvertResult result = ReadFileInfo(path, info);
    return Kept(text, FileInfoJson(FileNameOf(path), result, info));
}

// "N file complete!".
EMSCRIPTEN_KEEPALIVE const char* FramelotResultText(int converted)
{
    static std::string text;
    return Kept(text, ResultText(converted));
}

// Why a folder stands for nothing: "no animations in FOLDER".
EMSCRIPTEN_KEEPALIVE const char* FramelotEmptyFolderText(const char* folder)
{
    static std::string text;
    return Kept(text, EmptyFolderText(folder));
}

// The extensions the module opens, ".gif,.png,...": the page picks a
// folder's files by them.
EMSCRIPTEN_KEEPALIVE const char* FramelotExtensions()
{
    static std::string text;
    return Kept(text, ExtensionList(","));
}

// The CRC-32 of a file (for the zip's entries); 0 for a file that cannot be read.
EMSCRIPTEN_KEEPALIVE unsigned FramelotFileCrc32(const char* path)
{
    const SourceFile file = ReadSourceFile(path);
    if (!file.Ok) return 0;
    return libdeflate_crc32(0, file.Bytes.data(), file.Bytes.size());
}

}  // extern "C"
