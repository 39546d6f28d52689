// The promises of a batch, checked on many random batches run through the
// command line as a user runs it. A batch draws its sources (names in
// letter-case variants, "./" and "dir/../" spellings, one stem under several
// extensions, names ending in dots and spaces, device names, a name in two
// Unicode normal forms, two folders, a folder given whole, with -r or not)
// and its options from every output option: --folder or --no-folder, -o
// (inside the folder walked, too), --name with and without {name}, --start,
// --frames, --every/--at/--count, --merge-held, --scale/--fit,
// --format png|webp|jpeg, --sheet with --trim, --npy, --timings,
// --max-output and --jobs; what an earlier partial run left; and, in some
// batches, an option that fails one file (a side past its format's limit, a
// cap its frames cannot keep) or, where one can be mounted, an output folder
// on a file system too small for the batch. After each batch:
//
// - one line a source the folders stand for, in order, then the count, and
//   an exit status that says whether a line failed or misused;
// - every file the batch made was written by exactly one converted line,
//   and equals what that line's source, converted alone with the same
//   options, writes; a converted line's files are all there, named as it
//   says; nothing that was there before changed;
// - a failed line leaves nothing, and the batch run again without the
//   failing option converts its file (it is not skipped for its own
//   leftovers), reading no earlier output as a source;
// - the times of a line's frames (--timings) add up to the span they cover:
//   from the first frame written to the animation's end;
// - no line's files take more than --max-output;
// - options that give every file the same names are refused before
//   anything is written when two files would share a folder.
//
// The seed is printed with any failure; FRAMELOT_SEED=N repeats a run and
// FRAMELOT_BATCHES=N sets how many batches (default 60; 30 on Windows,
// where starting a process costs more). A long run: FRAMELOT_BATCHES=10000.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "convert/SourceFormats.h"
#include "output/files/FrameNaming.h"
#include "output/files/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

#ifdef _WIN32
constexpr int DefaultBatches = 30;
#else
constexpr int DefaultBatches = 60;
#endif
constexpr auto BatchTimeLimit = std::chrono::seconds(60);

// The animations a batch is made of, each with its own frame count, size and
// times, so that frames of one can never pass for frames of another.
struct Content {
    const char* Extension;  // in lower case
    Bytes File;
    std::vector<double> DelaysMs;  // empty for the still
};

enum ContentKind { HeldGif, Apng, Webp, Still, WideGif, ContentKinds };

std::vector<Content> MakeContents()
{
    std::vector<Content> contents(ContentKinds);
    GifSpec gif{.ScreenWidth = 3, .ScreenHeight = 2, .Palette = FourColours()};
    const std::uint8_t colours[] = {1, 1, 2};  // the first two equal: a held frame
    for (int i = 0; i < 3; ++i) {
        gif.Frames.push_back(SolidGifFrame(0, 0, 3, 2, colours[i], 1));
        gif.Frames.back().Delay = 10 * (i + 1);
    }
    contents[HeldGif] = {".gif", BuildGif(gif), {100, 200, 300}};
    contents[Apng] = {".png",
                      BuildApng({.Width = 2, .Height = 2,
                                 .Frames = {{.Width = 2, .Height = 2, .Pixels = SolidRgba(2, 2, 9, 8, 7, 255), .DelayNumerator = 1, .DelayDenominator = 4},
                                            {.Width = 1, .Height = 1, .X = 1, .Pixels = SolidRgba(1, 1, 1, 2, 3, 128), .DelayNumerator = 1, .DelayDenominator = 2}}}),
                      {250, 500}};
    WebpSpec webp{.CanvasWidth = 4, .CanvasHeight = 2};
    for (std::uint8_t i = 0; i < 4; ++i) {
        webp.Frames.push_back({.Width = 4, .Height = 2, .Rgba = SolidRgba(4, 2, i, 40, 80, 255), .Duration = 40 * (i + 1)});
    }
    contents[Webp] = {".webp", BuildAnimatedWebp(webp), {40, 80, 120, 160}};
    contents[Still] = {".png", BuildPlainPng(1, 1, SolidRgba(1, 1, 5, 5, 5, 255)), {}};
    GifSpec wide{.ScreenWidth = 2000, .ScreenHeight = 2, .Palette = FourColours()};
    for (std::uint8_t i = 1; i <= 2; ++i) {
        wide.Frames.push_back(SolidGifFrame(0, 0, 2000, 2, i, 1));
        wide.Frames.back().Delay = 5;
    }
    contents[WideGif] = {".gif", BuildGif(wide), {50, 50}};
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

// One line of the output, read back: its source is the text before the
// first ": " (no name or folder here holds one).
struct Line {
    enum Kind { Converted, Skipped, NotConverted, Failed, Misused, Other } Kind = Other;
    std::string Source;
    std::uint64_t Written = 0, Kept = 0;
    std::string Destination;
};

Line ReadLine(const std::string& text)
{
    Line line;
    const std::size_t colon = text.find(": ");
    if (colon == std::string::npos) return line;
    line.Source = text.substr(0, colon);
    const std::string rest = text.substr(colon + 2);
    if (rest.rfind("skipped, ", 0) == 0) {
        line.Kind = Line::Skipped;
        line.Destination = rest.substr(rest.rfind(": ") + 2);
    } else if (rest.rfind("not converted, ", 0) == 0) {
        line.Kind = Line::NotConverted;
    } else if (rest.rfind("failed: no chosen frame", 0) == 0 || rest.rfind("failed: none of the frames", 0) == 0) {
        line.Kind = Line::Misused;
    } else if (rest.rfind("failed: ", 0) == 0 || rest.rfind("cannot read", 0) == 0) {
        line.Kind = Line::Failed;
    } else if (const std::size_t to = rest.find(" written to "); to != std::string::npos) {
        line.Kind = Line::Converted;
        line.Written = std::strtoull(rest.c_str(), nullptr, 10);
        std::string destination = rest.substr(to + std::string(" written to ").size());
        if (const std::size_t note = destination.find("; "); note != std::string::npos) destination.resize(note);
        if (const std::size_t kept = destination.find(" ("); kept != std::string::npos) {
            line.Kept = std::strtoull(destination.c_str() + kept + 2, nullptr, 10);
            destination.resize(kept);
        }
        line.Destination = destination;
    }
    return line;
}

// Every file below `root` by its Folded path, with its bytes; `skip` (folded)
// left out.
std::map<std::string, Bytes> Snapshot(const fs::path& root, const std::string& skip = {})
{
    std::map<std::string, Bytes> files;
    if (!fs::exists(root)) return files;
    for (const auto& entry : fs::recursive_directory_iterator(root)) {
        if (!entry.is_regular_file()) continue;
        const std::string name = Folded(Utf8FromPath(entry.path()));
        if (!skip.empty() && name.rfind(skip, 0) == 0) continue;
        files[name] = ReadFile(Utf8FromPath(entry.path()));
    }
    return files;
}

int EnvNumber(const char* name, int otherwise)
{
    const char* value = std::getenv(name);
    return value != nullptr && *value != '\0' ? std::atoi(value) : otherwise;
}

// The options a batch draws. `Failing` are the ones that make some file
// fail, left out when the batch is run again.
struct Drawn {
    std::string Sound, Failing;
    bool Sized = false, Formatted = false;  // --scale or --fit, --format given
    bool MakeFolder = true, Frames = true, Sheet = false, Array = false, Timings = false, SharedNames = false;
    std::uint64_t Cap = 0;
};

Drawn DrawOptions(const std::function<int(int)>& pick)
{
    Drawn d;
    auto add = [&](const std::string& option) { d.Sound += " " + option; };
    d.MakeFolder = pick(3) != 0;
    add(d.MakeFolder ? "--folder" : "--no-folder");
    add("--jobs " + std::to_string(1 + pick(8)));
    const int kind = pick(10);
    d.Sheet = kind == 0;
    d.Array = kind == 1;
    d.Frames = !d.Sheet && !d.Array;
    if (d.Sheet) add(pick(2) == 0 ? "--sheet" : "--sheet --trim");
    if (d.Array) add("--npy");
    if (pick(5) == 0) add(pick(2) == 0 ? "--frames 1-" : "--frames 0,2");
    if (const int sampling = pick(8); sampling < 3) add(sampling == 0 ? "--every 2" : sampling == 1 ? "--at 0,0.25s" : "--count 2");
    if (pick(5) == 0) add("--merge-held");
    if (const int scale = pick(8); scale < 3) {
        add(scale == 0 ? "--scale 2" : scale == 1 ? "--scale 1.5" : "--fit 5x5");
        d.Sized = true;
    }
    if (d.Frames) {
        if (const int names = pick(5); names < 3) {
            const char* templates[] = {"\"{name}-{index:03}\"", "\"f{index}\"", "\"{name}_{delay}ms_{index}\""};
            add(std::string("--name ") + templates[names]);
            d.SharedNames = names == 1 && !d.MakeFolder;
        }
        if (pick(5) == 0) add("--start 5");
        if (const int format = pick(8); format < 2) {
            add(format == 0 ? "--format webp" : "--format jpeg");
            d.Formatted = true;
        }
        d.Timings = pick(4) == 0;
        if (d.Timings) add("--timings json");
    }
    if (pick(6) == 0) {
        const std::uint64_t caps[] = {250, 900, 20000};
        d.Cap = caps[pick(3)];
        d.Failing += " --max-output " + std::to_string(d.Cap);
    }
    return d;
}

TEST(BatchPropertyTest, EveryBatchKeepsItsPromises)
{
    const std::vector<Content> contents = MakeContents();
    const unsigned seed = static_cast<unsigned>(EnvNumber("FRAMELOT_SEED", static_cast<int>(std::random_device{}() & 0x7FFFFFFF)));
    SCOPED_TRACE("FRAMELOT_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    const std::function<int(int)> pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    TempDir dir;
    const int batches = EnvNumber("FRAMELOT_BATCHES", DefaultBatches);
    const std::string cli = FRAMELOT_CLI;
    int withFailure = 0, onSmall = 0, refused = 0, rerun = 0;
    for (int b = 0; b < batches && !HasFailure(); ++b) {
        SCOPED_TRACE("batch " + std::to_string(b));
        const fs::path rootPath = dir.Path / PathFromUtf8("batch" + std::to_string(b));
        const std::string root = Utf8FromPath(rootPath);
        for (const char* folder : {"in1/sub", "in2/sub"}) fs::create_directories(rootPath / PathFromUtf8(folder));

        // The sources, written as a user would have them; a name the file
        // system takes for one already written keeps that file's content.
        std::map<std::string, std::size_t> contentOf;  // folded path -> content
        std::vector<std::string> given;
        const bool wholeFolder = pick(6) == 0;  // in1 given as a folder
        const int count = 1 + pick(6);
        for (int i = 0; i < count; ++i) {
            const std::string folder = root + (wholeFolder ? (pick(3) == 0 ? "/in1/sub" : "/in1") : pick(3) == 0 ? "/in2" : "/in1");
            const std::size_t content = static_cast<std::size_t>(pick(ContentKinds - 1));  // the wide one comes with failures
            const std::string path = folder + "/" + Stems[pick(std::size(Stems))] + WithCase(contents[content].Extension, pick(3));
            if (contentOf.try_emplace(Folded(path), content).second) WriteFile(path, contents[content].File);
            const std::size_t slash = path.rfind('/');
            const int spelling = pick(3);
            given.push_back(spelling == 0   ? path
                            : spelling == 1 ? path.substr(0, slash) + "/./" + path.substr(slash + 1)
                                            : path.substr(0, slash) + "/sub/../" + path.substr(slash + 1));
        }
        Drawn d = DrawOptions(pick);
        const bool recursive = wholeFolder && pick(2) == 0;
        const bool intoOne = pick(3) == 0;
        const std::string out = intoOne ? root + (wholeFolder && pick(2) == 0 ? "/in1/out" : "/out") : std::string();
        // Sometimes -o is a file system too small for the batch, where one
        // can be mounted: files fail for want of room, and take back.
        std::optional<SmallFileSystem> small;
        if (intoOne && pick(5) == 0) {
            small.emplace(out, "16k");
            if (!small->Mounted) small.reset();
        }
        if (d.Frames && !d.Sized && !d.Formatted && pick(4) == 0) {  // a file too wide for the format asked
            const std::string wide = root + "/in1/wide.gif";
            WriteFile(wide, contents[WideGif].File);
            contentOf[Folded(wide)] = WideGif;
            if (!wholeFolder) given.push_back(wide);
            d.Failing += pick(2) == 0 ? " --format webp --scale 9" : " --format jpeg --scale 33";
        }
        if (!wholeFolder && pick(4) == 0) given.push_back(given[static_cast<std::size_t>(pick(static_cast<int>(given.size())))]);
        std::string arguments = d.Sound + (recursive ? " -r" : "") + (intoOne ? " -o " + Quoted(out) : "");
        if (wholeFolder) {
            given = {root + "/in1"};
        }
        for (const std::string& g : given) arguments += " " + Quoted(g);

        // What an earlier run that stopped part-way left: a folder, or a frame.
        if (pick(4) == 0 && d.Frames && !wholeFolder) {
            const std::string& s = given[static_cast<std::size_t>(pick(static_cast<int>(given.size())))];
            const std::string base = OutputBasePath(PlacedSource(s, out));
            fs::create_directories(PathFromUtf8(base).parent_path());
            if (d.MakeFolder) {
                fs::create_directories(PathFromUtf8(base));
                if (pick(2) == 0) WriteFile(base + "/" + FileNameOf(base) + "_0001.png", {'o', 'l', 'd'});
            } else {
                WriteFile(base + (pick(2) == 0 ? "_0000.png" : "_0002.png"), {'o', 'l', 'd'});
            }
        }

        // What the arguments stand for: each file, a folder's animations in
        // name order (its subfolders too with -r, never the output folder).
        std::vector<std::string> sources;
        std::function<void(const std::string&, bool)> expand;
        expand = [&](const std::string& folder, bool deep) {
            std::vector<std::pair<std::string, bool>> entries;
            for (const auto& entry : fs::directory_iterator(PathFromUtf8(folder))) {
                const std::string name = Utf8FromPath(entry.path().filename());
                const bool isFolder = entry.is_directory();
                if (isFolder && (!deep || Folded(folder + "/" + name) == Folded(out))) continue;
                if (isFolder || FormatOfPath(name) != nullptr) entries.push_back({name, isFolder});
            }
            std::sort(entries.begin(), entries.end());
            for (const auto& [name, isFolder] : entries) {
                if (isFolder) expand(folder + "/" + name, deep);
                else sources.push_back(folder + "/" + name);
            }
        };
        const auto expandGiven = [&] {
            sources.clear();
            for (const std::string& g : given) {
                if (fs::is_directory(PathFromUtf8(g))) expand(g, recursive);
                else sources.push_back(g);
            }
            return sources;
        };
        expandGiven();

        const std::map<std::string, Bytes> before = Snapshot(rootPath);
        std::set<std::string> foldersBefore;
        for (const auto& entry : fs::recursive_directory_iterator(rootPath)) {
            if (entry.is_directory()) foldersBefore.insert(Folded(Utf8FromPath(entry.path())));
        }
        const auto started = std::chrono::steady_clock::now();
        const ProgramRun run = RunProgram(cli + " " + arguments + d.Failing);
        EXPECT_LT(std::chrono::steady_clock::now() - started, BatchTimeLimit);
        SCOPED_TRACE("framelot-cli " + arguments + d.Failing + "\n" + run.Output);
        const std::map<std::string, Bytes> after = Snapshot(rootPath);

        if (sources.empty()) {  // a folder whose animations are all below it, without -r
            EXPECT_EQ(run.Status, 2);
            EXPECT_NE(run.Output.find("no animations in"), std::string::npos);
            continue;
        }
        // Names every file shares, two files in one folder: refused whole.
        std::set<std::string> folders;
        bool sharedFolder = false;
        for (const std::string& s : sources) {
            const std::string placed = Folded(PlacedSource(s, out));
            sharedFolder = sharedFolder || !folders.insert(placed.substr(0, placed.find_last_of("/\\"))).second;
        }
        onSmall += small ? 1 : 0;
        if (d.SharedNames && sharedFolder) {
            ++refused;
            EXPECT_EQ(run.Status, 2);
            EXPECT_NE(run.Output.find("--name without {name}"), std::string::npos);
            EXPECT_EQ(after, before) << "a refused batch wrote";
            continue;
        }

        // One line a source in the order given, then the count.
        std::vector<std::string> lines;
        for (std::size_t at = 0, end; (end = run.Output.find('\n', at)) != std::string::npos; at = end + 1) {
            lines.push_back(run.Output.substr(at, end - at));
        }
        std::string sourceList;
        for (const std::string& s : sources) sourceList += "\n  " + s;
        ASSERT_EQ(lines.size(), sources.size() + 1) << "the sources:" << sourceList;
        std::set<std::string> claimed;  // folded paths the converted lines stand for
        std::set<std::string> convertedDestinations;
        int converted = 0;
        bool failed = false, misused = false;
        std::vector<std::string> failedSources;
        for (std::size_t i = 0; i < sources.size(); ++i) {
            const std::string& source = sources[i];
            const std::size_t content = contentOf.at(Folded(source));
            const Line line = ReadLine(lines[i]);
            ASSERT_NE(line.Kind, Line::Other) << lines[i];
            EXPECT_EQ(line.Source, source) << lines[i];
            if (contents[content].DelaysMs.empty()) {  // a still is passed over, unread where its output is there
                EXPECT_TRUE(line.Kind == Line::NotConverted || line.Kind == Line::Skipped) << lines[i];
            }
            failed = failed || line.Kind == Line::Failed;
            misused = misused || line.Kind == Line::Misused;
            if (line.Kind == Line::Failed) failedSources.push_back(source);
            if (line.Kind == Line::Skipped) {
                EXPECT_TRUE(fs::exists(PathFromUtf8(line.Destination))) << lines[i];
            }
            if (line.Kind != Line::Converted) continue;
            ++converted;
            convertedDestinations.insert(Folded(line.Destination));

            // The same source converted alone, with the same options.
            const std::string alone = root + "/alone" + std::to_string(i);
            const std::string copy = alone + "/src/" + FileNameOf(source);
            fs::create_directories(PathFromUtf8(alone + "/src"));
            WriteFile(copy, contents[content].File);
            const std::string aloneOut = intoOne ? alone + "/out" : std::string();
            const ProgramRun single = RunProgram(cli + " " + d.Sound + d.Failing + (intoOne ? " -o " + Quoted(aloneOut) : "") +
                                                 " " + Quoted(copy));
            ASSERT_EQ(single.Status, 0) << single.Output;
            const std::string aloneBase = intoOne ? aloneOut : alone + "/src";
            const std::string batchBase = intoOne ? out : FolderOfPath(source);
            std::uint64_t fresh = 0, kept = 0, bytes = 0;
            double timed = -1;
            std::uint64_t firstTimed = 0;
            for (const auto& entry : fs::recursive_directory_iterator(PathFromUtf8(aloneBase))) {
                if (!entry.is_regular_file()) continue;
                const std::string made = Utf8FromPath(entry.path());
                if (Folded(made) == Folded(copy)) continue;
                const std::string relative = made.substr(aloneBase.size());
                const std::string key = Folded(batchBase + relative);
                EXPECT_TRUE(claimed.insert(key).second) << relative << " is claimed by two lines";
                ASSERT_TRUE(after.count(key)) << batchBase + relative << " is missing";
                if (before.count(key)) {
                    ++kept;
                    continue;
                }
                const Bytes expected = ReadFile(made);
                EXPECT_EQ(after.at(key), expected) << batchBase + relative << " is not what its source alone writes";
                bytes += expected.size();
                if (relative.ends_with("_timings.json")) {
                    const std::string text(expected.begin(), expected.end());
                    static const std::regex delay(R"("index": (\d+), "delay_ms": ([0-9.]+))");
                    timed = 0;
                    for (auto m = std::sregex_iterator(text.begin(), text.end(), delay); m != std::sregex_iterator(); ++m) {
                        if (timed == 0) firstTimed = std::stoull((*m)[1]);
                        timed += std::stod((*m)[2]);
                    }
                } else {
                    ++fresh;
                }
            }
            if (d.Frames) {
                EXPECT_EQ(fresh, line.Written) << lines[i];
                EXPECT_EQ(kept, line.Kept) << lines[i];
            }
            if (d.Cap > 0) {
                EXPECT_LE(bytes, d.Cap) << lines[i] << " passes --max-output";
            }
            if (timed >= 0) {
                const std::vector<double>& delays = contents[content].DelaysMs;
                double span = 0;
                for (std::size_t f = firstTimed; f < delays.size(); ++f) span += delays[f];
                EXPECT_DOUBLE_EQ(timed, span) << lines[i] << ": the frames' times do not add up to the span they cover";
            }
        }
        // Nothing old changed; nothing new belongs to no converted line.
        for (const auto& [name, bytes] : before) {
            ASSERT_TRUE(after.count(name)) << name << " went";
            EXPECT_EQ(after.at(name), bytes) << name << " changed";
        }
        for (const auto& entry : after) {
            if (!before.count(entry.first) && entry.first.find("/alone") == std::string::npos) {
                EXPECT_TRUE(claimed.count(entry.first)) << entry.first << " was written by no converted line";
            }
        }
        EXPECT_EQ(lines.back(), std::to_string(converted) + " file complete!");
        EXPECT_EQ(run.Status, misused ? 2 : failed ? 1 : 0);

        // Run again without the failing options: a file that failed left
        // nothing that would have it skipped.
        withFailure += failedSources.empty() ? 0 : 1;
        if (failedSources.empty() || (d.Failing.empty() && !small)) continue;
        ++rerun;
        if (small) {
            ASSERT_TRUE(small->Resize("8m"));
        }
        const std::vector<std::string> now = expandGiven();
        const ProgramRun again = RunProgram(cli + " " + arguments);
        SCOPED_TRACE("again: framelot-cli " + arguments + "\n" + again.Output);
        std::vector<std::string> againLines;
        for (std::size_t at = 0, end; (end = again.Output.find('\n', at)) != std::string::npos; at = end + 1) {
            againLines.push_back(again.Output.substr(at, end - at));
        }
        // What the folders stand for now: frames written beside their
        // sources are files of the folder, never what -o holds.
        ASSERT_EQ(againLines.size(), now.size() + 1) << "the second run read the output folder as sources";
        for (std::size_t i = 0; i < now.size(); ++i) {
            if (std::find(failedSources.begin(), failedSources.end(), now[i]) == failedSources.end()) continue;
            // Skipped for a file that converted earlier in this run is fine.
            const Line line = ReadLine(againLines[i]);
            if (line.Kind != Line::Skipped || againLines[i].find("skipped, output already exists") == std::string::npos) continue;
            const std::string destination = Folded(line.Destination);
            EXPECT_TRUE(convertedDestinations.count(destination) || before.count(destination) || foldersBefore.count(destination))
                << againLines[i] << ": skipped for what its failed run left";
        }
    }
    std::printf("%d batches: %d with a failed file (%d run again), %d on a small file system, %d refused whole\n", batches,
                withFailure, rerun, onSmall, refused);
}

}  // namespace
}  // namespace framelot
