// The promises of a batch, checked on many random batches run through the
// command line as a user runs it: names in letter-case variants, "./" and
// "dir/../" spellings, one stem under several extensions, names ending in dots
// and spaces, device names, a name in two Unicode normal forms, sources in
// two folders with -o into one, outputs left by an earlier partial run,
// --jobs from 1 to 8, --frames and --sheet. After each batch:
//
// - every converted line's frames are all there, named as the line says,
//   each new one equal to its own source converted alone;
// - every file the batch made belongs to exactly one converted line (so no
//   folder mixes two sources' frames), and skipped or failed lines made none;
// - nothing that was there before changed;
// - "N file complete!" counts the converted lines, and the exit status says
//   whether a line failed;
// - the run ended within its time.
//
// The seed is printed with any failure; FRAMELOT_SEED=N repeats a run and
// FRAMELOT_BATCHES=N sets how many batches (default 150; 40 on Windows, where
// starting a process costs more).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "convert/SourceFormats.h"
#include "output/FrameNaming.h"
#include "output/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

#ifdef _WIN32
constexpr int DefaultBatches = 40;
#else
constexpr int DefaultBatches = 150;
#endif
constexpr auto BatchTimeLimit = std::chrono::seconds(60);

// The animations a batch is made of, each with its own frame count and size,
// so that frames of one can never pass for frames of another; and a still.
struct Content {
    const char* Extension;  // in lower case
    Bytes File;
    std::vector<Bitmap> Frames;  // the file converted alone; empty for the still
};

std::vector<Content> MakeContents()
{
    std::vector<Content> contents;
    GifSpec gif{.ScreenWidth = 3, .ScreenHeight = 2, .Palette = FourColours()};
    for (std::uint8_t i = 1; i <= 3; ++i) gif.Frames.push_back(SolidGifFrame(0, 0, 3, 2, i, 1));
    contents.push_back({".gif", BuildGif(gif), {}});
    contents.push_back({".png", BuildApng({.Width = 2, .Height = 2, .Frames = {{.Width = 2, .Height = 2, .Pixels = SolidRgba(2, 2, 9, 8, 7, 255)},
                                                                              {.Width = 1, .Height = 1, .X = 1, .Pixels = SolidRgba(1, 1, 1, 2, 3, 128)}}}),
                        {}});
    WebpSpec webp{.CanvasWidth = 4, .CanvasHeight = 2};
    for (std::uint8_t i = 0; i < 4; ++i) webp.Frames.push_back({.Width = 4, .Height = 2, .Rgba = SolidRgba(4, 2, i, 40, 80, 255)});
    contents.push_back({".webp", BuildAnimatedWebp(webp), {}});
    for (Content& c : contents) {
        const SourceFormat* format = FormatOfPath(std::string("x") + c.Extension);
        CollectedFrames frames;
        EXPECT_EQ(format->Convert(c.File, frames.Sink(), {}).Status, ConvertStatus::Converted) << c.Extension;
        c.Frames = frames.Frames;
    }
    contents.push_back({".png", BuildPlainPng(1, 1, SolidRgba(1, 1, 5, 5, 5, 255)), {}});
    return contents;
}

// Stems a user may well have, several of them the same name to Windows.
const char* const Stems[] = {"anim", "Anim", "ANIM", "clip ", "clip.", "clip", "CON", "nul", "two words",
                             "caf\xc3\xa9", "cafe\xcc\x81"};

std::string WithCase(std::string extension, int choice)
{
    for (std::size_t i = 0; i < extension.size(); ++i) {
        if (choice == 1 || (choice == 2 && i == 1)) extension[i] = static_cast<char>(std::toupper(extension[i]));
    }
    return extension;
}

// A path as the file system tells names apart: normal, and folded where
// letter case does not count.
std::string Folded(const std::string& path)
{
    return FileSystemCaseKey(Utf8FromPath(PathFromUtf8(path).lexically_normal()));
}

struct Source {
    std::string Argument;  // as given on the command line
    std::size_t Content;
};

// One line of the output, read back.
struct Line {
    enum Kind { Converted, Skipped, NotConverted, Failed, Other } Kind = Other;
    std::uint64_t Written = 0, Kept = 0;
    std::string Destination;
};

Line ReadLine(const std::string& text, const std::string& name)
{
    Line line;
    if (text.rfind(name + ": ", 0) != 0) return line;
    const std::string rest = text.substr(name.size() + 2);
    if (rest.rfind("skipped, output already exists: ", 0) == 0) {
        line.Kind = Line::Skipped;
        line.Destination = rest.substr(std::string("skipped, output already exists: ").size());
    } else if (rest.rfind("not converted, ", 0) == 0) {
        line.Kind = Line::NotConverted;
    } else if (rest.rfind("failed: ", 0) == 0 || rest.rfind("cannot read", 0) == 0) {
        line.Kind = Line::Failed;
    } else if (const std::size_t to = rest.find(" written to "); to != std::string::npos) {
        line.Kind = Line::Converted;
        line.Written = std::strtoull(rest.c_str(), nullptr, 10);
        std::string destination = rest.substr(to + std::string(" written to ").size());
        if (const std::size_t kept = destination.find(" ("); kept != std::string::npos) {
            line.Kept = std::strtoull(destination.c_str() + kept + 2, nullptr, 10);
            destination.resize(kept);
        }
        if (const std::size_t note = destination.find("; "); note != std::string::npos) destination.resize(note);
        line.Destination = destination;
    }
    return line;
}

// Every file below `root` by its Folded path, with its bytes.
std::map<std::string, Bytes> Snapshot(const fs::path& root)
{
    std::map<std::string, Bytes> files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        files[Folded(Utf8FromPath(entry.path()))] = ReadFile(Utf8FromPath(entry.path()));
    }
    return files;
}

int EnvNumber(const char* name, int otherwise)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : otherwise;
}

TEST(BatchPropertyTest, EveryBatchKeepsItsPromises)
{
    const std::vector<Content> contents = MakeContents();
    const unsigned seed = static_cast<unsigned>(EnvNumber("FRAMELOT_SEED", static_cast<int>(std::random_device{}() & 0x7FFFFFFF)));
    SCOPED_TRACE("FRAMELOT_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    TempDir dir;
    const int batches = EnvNumber("FRAMELOT_BATCHES", DefaultBatches);
    for (int b = 0; b < batches && !HasFailure(); ++b) {
        SCOPED_TRACE("batch " + std::to_string(b));
        const fs::path rootPath = dir.Path / PathFromUtf8("batch" + std::to_string(b));
        const std::string root = Utf8FromPath(rootPath);
        for (const char* folder : {"in1/sub", "in2"}) fs::create_directories(rootPath / PathFromUtf8(folder));

        // The sources, written as a user would have them; a name the file
        // system takes for one already written keeps that file's content.
        std::vector<Source> sources;
        std::map<std::string, std::size_t> written;  // folded path -> content
        const int count = 1 + pick(6);
        for (int i = 0; i < count; ++i) {
            const std::string folder = root + (pick(3) == 0 ? "/in2" : "/in1");
            const std::size_t content = static_cast<std::size_t>(pick(static_cast<int>(contents.size())));
            const std::string path = folder + "/" + Stems[pick(std::size(Stems))] + WithCase(contents[content].Extension, pick(3));
            const auto [it, added] = written.try_emplace(Folded(path), content);
            if (added) WriteFile(path, contents[content].File);
            const std::size_t slash = path.rfind('/');
            const int spelling = pick(3);
            const std::string given = spelling == 0 ? path
                                      : spelling == 1 ? path.substr(0, slash) + "/./" + path.substr(slash + 1)
                                                      : path.substr(0, slash) + "/sub/../" + path.substr(slash + 1);
            if (spelling == 2 && folder.ends_with("in2")) fs::create_directories(PathFromUtf8(folder + "/sub"));
            sources.push_back({given, it->second});
        }
        if (pick(4) == 0) sources.push_back(sources[static_cast<std::size_t>(pick(count))]);  // one file twice

        const bool makeFolder = pick(3) != 0;
        const bool intoOne = pick(3) == 0;
        const bool someFrames = pick(4) == 0;
        const bool sheet = !someFrames && pick(6) == 0;
        const int jobs = 1 + pick(8);
        std::string arguments = std::string(makeFolder ? "--folder" : "--no-folder") + " --jobs " + std::to_string(jobs);
        if (intoOne) arguments += " -o " + Quoted(root + "/out");
        if (someFrames) arguments += " --frames 1-";
        if (sheet) arguments += " --sheet";

        // What an earlier run that stopped part-way left: a folder, or a frame.
        if (pick(3) == 0) {
            const Source& s = sources[static_cast<std::size_t>(pick(static_cast<int>(sources.size())))];
            const std::string base = OutputBasePath(PlacedSource(s.Argument, intoOne ? root + "/out" : std::string()));
            fs::create_directories(PathFromUtf8(base).parent_path());
            if (makeFolder) {
                fs::create_directories(PathFromUtf8(base));
                if (pick(2) == 0) WriteFile(base + "/" + FileNameOf(base) + "_0001.png", {'o', 'l', 'd'});
            } else {
                WriteFile(base + (pick(2) == 0 ? "_0000.png" : "_0002.png"), {'o', 'l', 'd'});
            }
        }

        const std::map<std::string, Bytes> before = Snapshot(rootPath);
        for (const Source& s : sources) arguments += " " + Quoted(s.Argument);
        const auto started = std::chrono::steady_clock::now();
        const ProgramRun run = RunProgram(std::string(FRAMELOT_CLI) + " " + arguments);
        EXPECT_LT(std::chrono::steady_clock::now() - started, BatchTimeLimit);
        SCOPED_TRACE("framelot-cli " + arguments + "\n" + run.Output);

        // One line a source in the order given, then the count.
        std::vector<std::string> lines;
        for (std::size_t at = 0, end; (end = run.Output.find('\n', at)) != std::string::npos; at = end + 1) {
            lines.push_back(run.Output.substr(at, end - at));
        }
        ASSERT_EQ(lines.size(), sources.size() + 1);
        std::set<std::string> claimed;  // the files converted lines stand for, folded
        int converted = 0;
        bool failed = false;
        const std::map<std::string, Bytes> after = Snapshot(rootPath);
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const Source& s = sources[i];
            const Content& content = contents[s.Content];
            const Line line = ReadLine(lines[i], s.Argument);
            ASSERT_NE(line.Kind, Line::Other) << lines[i];
            if (content.Frames.empty()) {  // a still is passed over, unread where its output is there
                EXPECT_TRUE(line.Kind == Line::NotConverted || line.Kind == Line::Skipped) << lines[i];
            }
            failed = failed || line.Kind == Line::Failed;
            if (line.Kind == Line::Skipped) {
                EXPECT_TRUE(fs::exists(PathFromUtf8(line.Destination))) << lines[i];
            }
            if (line.Kind != Line::Converted) continue;
            ++converted;
            // The files the line stands for, at the names the destination gives.
            std::vector<std::pair<std::string, std::size_t>> files;  // path, frame
            if (sheet) {
                const std::string atlas = line.Destination.substr(0, line.Destination.size() - 4) + ".json";
                files = {{line.Destination, 0}, {atlas, 0}};
            } else {
                const std::string base = makeFolder ? line.Destination + "/" + FileNameOf(line.Destination)
                                                    : line.Destination.substr(0, line.Destination.size() - 9);
                ASSERT_TRUE(fs::exists(PathFromUtf8(line.Destination))) << "the line names what it did not make: " << lines[i];
                for (std::size_t f = someFrames ? 1 : 0; f < content.Frames.size(); ++f) {
                    char number[32];
                    std::snprintf(number, sizeof number, "_%04zu.png", f);
                    files.push_back({base + number, f});
                }
            }
            std::uint64_t fresh = 0, kept = 0;
            for (const auto& [path, frame] : files) {
                const std::string key = Folded(path);
                EXPECT_TRUE(claimed.insert(key).second) << path << " is claimed by two lines";
                ASSERT_TRUE(after.count(key)) << path << " is missing";
                if (before.count(key)) {
                    ++kept;
                    continue;
                }
                ++fresh;
                if (sheet) continue;
                const Bitmap png = ReadPng(path);
                const Bitmap& expected = content.Frames[frame];
                EXPECT_TRUE(png.Width == expected.Width && png.Height == expected.Height && png.Pixels == expected.Pixels)
                    << path << " is not frame " << frame << " of its own source";
            }
            EXPECT_EQ(fresh, sheet ? 2u : line.Written) << lines[i];
            EXPECT_EQ(kept, line.Kept) << lines[i];
        }
        // Nothing old changed; nothing new belongs to no converted line.
        for (const auto& [name, bytes] : before) {
            ASSERT_TRUE(after.count(name)) << name << " went";
            EXPECT_EQ(after.at(name), bytes) << name << " changed";
        }
        for (const auto& entry : after) {
            if (!before.count(entry.first)) {
                EXPECT_TRUE(claimed.count(entry.first)) << entry.first << " was written by no converted line";
            }
        }
        EXPECT_EQ(lines.back(), std::to_string(converted) + " file complete!");
        EXPECT_EQ(run.Status, failed ? 1 : 0);
    }
}

}  // namespace
}  // namespace framelot
