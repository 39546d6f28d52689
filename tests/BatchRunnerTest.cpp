// The batch runner behind every front end, driven with fake converters.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/BatchRunner.h"
#include "convert/Describe.h"
#include "output/files/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

// What the runner told, in the order told.
struct Recorder {
    std::mutex Mutex;
    std::vector<std::string> Events;
    std::vector<std::uint64_t> Steps;
    std::vector<DropReport> Reports;
    std::vector<bool> Idles;

    BatchEvents Events_()
    {
        BatchEvents e;
        e.DropStarted = [this](std::size_t n) { Add("drop " + std::to_string(n)); };
        e.FileStarted = [this](std::size_t i, const std::string& path) { Add("start " + std::to_string(i) + " " + path); };
        e.Progress = [this](const DropProgress& p) {
            std::lock_guard lock(Mutex);
            Steps.push_back(p.Steps);
            StepsTotal = p.StepsTotal;
        };
        e.FileDone = [this](const BatchFile& f) { Add("done " + std::to_string(f.Index) + " " + f.Path); };
        e.DropDone = [this](const DropReport& r) {
            std::lock_guard lock(Mutex);
            Reports.push_back(r);
        };
        e.Idle = [this](bool aborted) {
            std::lock_guard lock(Mutex);
            Idles.push_back(aborted);
        };
        return e;
    }
    void Add(std::string text)
    {
        std::lock_guard lock(Mutex);
        Events.push_back(std::move(text));
    }
    std::uint64_t StepsTotal = 0;
};

ConvertResult WithStatus(ConvertStatus status, std::string reason = {})
{
    ConvertResult r;
    r.Status = status;
    r.Reason = std::move(reason);
    return r;
}

// Converted after writing four frames, except the names that say otherwise.
ConvertResult FakeConvert(const std::string& path, const OutputOptions&, unsigned, const ProgressFunction& progress)
{
    if (path.find("skip") != std::string::npos) return WithStatus(ConvertStatus::Skipped);
    if (path.find("still") != std::string::npos) return WithStatus(ConvertStatus::NotAnimation, "a still image");
    if (path.find("bad") != std::string::npos) return WithStatus(ConvertStatus::Failed, "damaged");
    constexpr std::uint64_t Frames = 4;
    for (std::uint64_t i = 1; i <= Frames; ++i) progress(i, Frames);
    ConvertResult r = WithStatus(ConvertStatus::Converted);
    r.FramesWritten = Frames;
    r.Destination = "/in/" + path;
    return r;
}

TEST(BatchRunnerTest, FilesInTheDropsOrderProgressThroughSkippedAndFailedFilesAndTheCount)
{
    Recorder rec;
    BatchRunner runner({1, {}, FakeConvert}, rec.Events_());
    runner.Submit({"a.gif", "skip.gif", "bad.png", "c.webp"});
    runner.Wait();

    EXPECT_EQ(rec.Events, (std::vector<std::string>{"drop 4", "start 0 a.gif", "done 0 a.gif", "start 1 skip.gif",
                                                     "done 1 skip.gif", "start 2 bad.png", "done 2 bad.png",
                                                     "start 3 c.webp", "done 3 c.webp"}));
    // The bar only moves forward, past the files that wrote nothing, and ends full.
    ASSERT_FALSE(rec.Steps.empty());
    for (std::size_t i = 1; i < rec.Steps.size(); ++i) EXPECT_GT(rec.Steps[i], rec.Steps[i - 1]);
    EXPECT_EQ(rec.Steps.back(), 4 * ProgressStepsPerFile);
    EXPECT_EQ(rec.StepsTotal, 4 * ProgressStepsPerFile);
    EXPECT_EQ(rec.Steps[3], ProgressStepsPerFile);  // a.gif's four frames fill its share

    ASSERT_EQ(rec.Reports.size(), 1u);
    const DropReport& report = rec.Reports[0];
    EXPECT_EQ(report.Converted, 2);
    EXPECT_TRUE(report.AnyFailed);
    EXPECT_EQ(report.ResultText, "2 file complete!");
    EXPECT_EQ(rec.Idles, std::vector<bool>{false});
    EXPECT_FALSE(runner.Busy());
}

TEST(BatchRunnerTest, OutcomesNameFilesByTheirNamesTwentyLinesThenHowManyMore)
{
    for (std::size_t count : {MaxOutcomeLines, MaxOutcomeLines + 1}) {
        std::vector<BatchFile> files;
        for (std::size_t i = 0; i < count; ++i) {
            files.push_back({i, "/deep/folder/f" + std::to_string(i) + ".gif", FakeConvert("f.gif", {}, 1, [](auto, auto) {})});
        }
        files[0].Result = WithStatus(ConvertStatus::NotAnimation, "a still image");
        const std::string text = OutcomeText(files);
        const auto lines = std::count(text.begin(), text.end(), '\n') + 1;
        EXPECT_EQ(static_cast<std::size_t>(lines), count == MaxOutcomeLines ? count : MaxOutcomeLines + 1);
        EXPECT_EQ(text.substr(0, text.find('\n')), "f0.gif: not converted, a still image");
        EXPECT_NE(text.find("f1.gif: 4 frames written to f.gif"), std::string::npos) << text;
        EXPECT_EQ(text.find("/deep"), std::string::npos);
        EXPECT_EQ(text.ends_with("\n... and 1 more"), count > MaxOutcomeLines) << text;
    }
}

TEST(BatchRunnerTest, AbortLetsTheCurrentFileFinishStartsNoOtherAndReportsNoCount)
{
    Recorder rec;
    std::atomic<bool> release{false};
    std::atomic<int> started{0};
    BatchRunner runner({1, {},
                        [&](const std::string& path, const OutputOptions& m, unsigned t, const ProgressFunction& p) {
                            ++started;
                            while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
                            return FakeConvert(path, m, t, p);
                        }},
                       rec.Events_());
    runner.Submit({"a.gif", "b.gif", "c.gif"});
    runner.Submit({"later.gif"});
    while (started == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    runner.RequestAbort();
    release = true;
    runner.Wait();

    EXPECT_EQ(started, 1);
    EXPECT_TRUE(rec.Reports.empty());  // an aborted drop shows no count
    EXPECT_EQ(rec.Idles, std::vector<bool>{true});
    EXPECT_EQ(rec.Events.back(), "done 0 a.gif");
    runner.Submit({"after.gif"});  // ignored once aborted
    EXPECT_FALSE(runner.Busy());
}

TEST(BatchRunnerTest, SwitchReadAtEachFileAndSideBySideResultsStillInOrder)
{
    // The switch changes while the drop runs: each file sees the value at its start.
    std::atomic<int> reads{0};
    std::vector<bool> seen;
    std::mutex mutex;
    Recorder rec;
    {
        BatchRunner runner({1, [&] { return reads++ % 2 == 0; },
                            [&](const std::string& path, const OutputOptions& o, unsigned t, const ProgressFunction& p) {
                                std::lock_guard lock(mutex);
                                seen.push_back(o.MakeFolder);
                                return FakeConvert(path, o, t, p);
                            }},
                           rec.Events_());
        runner.Submit({"a.gif", "b.gif", "c.gif"});
        runner.Wait();
    }
    EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));

    // Four jobs; the first file is the slowest, yet results come in the given
    // order, and anim.gif / anim.webp (same frame names) are one group: once
    // anim.gif has written them, anim.webp is skipped naming it, unconverted.
    Recorder side;
    std::atomic<int> running{0}, mostAtOnce{0};
    std::vector<std::string> animOrder;
    BatchRunner runner({4, {},
                        [&](const std::string& path, const OutputOptions& m, unsigned t, const ProgressFunction& p) {
                            const int now = ++running;
                            for (int seenMost = mostAtOnce; now > seenMost && !mostAtOnce.compare_exchange_weak(seenMost, now);) {
                            }
                            if (path.starts_with("anim")) {
                                std::lock_guard lock(mutex);
                                animOrder.push_back(path);
                            }
                            std::this_thread::sleep_for(std::chrono::milliseconds(path == "slow.gif" ? 200 : 20));
                            --running;
                            return FakeConvert(path, m, t, p);
                        }},
                       side.Events_());
    runner.Submit({"slow.gif", "anim.gif", "x.gif", "anim.webp", "y.gif"});
    runner.Wait();
    std::vector<std::string> done;
    for (const std::string& e : side.Events) {
        if (e.starts_with("done")) done.push_back(e);
    }
    EXPECT_EQ(done, (std::vector<std::string>{"done 0 slow.gif", "done 1 anim.gif", "done 2 x.gif", "done 3 anim.webp",
                                              "done 4 y.gif"}));
    EXPECT_GT(mostAtOnce, 1);
    EXPECT_EQ(animOrder, (std::vector<std::string>{"anim.gif"}));
    ASSERT_EQ(side.Reports.size(), 1u);
    EXPECT_EQ(side.Reports[0].Converted, 4);
    const ConvertResult& later = side.Reports[0].Files[3].Result;
    EXPECT_EQ(later.Status, ConvertStatus::Skipped);
    EXPECT_EQ(DescribeResult("anim.webp", later), "anim.webp: skipped, same output as anim.gif: " + side.Reports[0].Files[1].Result.Destination);
}

// A drop of nothing, and folders of no animations, are drops like any other
// whatever the jobs: every event comes, the count is 0, and the folders are
// named; the runner then takes the next drop.
TEST(BatchRunnerTest, EmptyDropsAndFoldersOfNoAnimationsAreReportedDone)
{
    test::TempDir dir;
    test::fs::create_directories(dir.Path / "empty");
    test::fs::create_directories(dir.Path / "texts");
    test::WriteFile(dir / "texts/notes.txt", {'x'});
    Recorder rec;
    BatchSettings settings{8, {}, FakeConvert};
    settings.OpenFolders = true;
    BatchRunner runner(std::move(settings), rec.Events_());
    runner.Submit({});
    runner.Wait();
    runner.Submit({dir / "empty", dir / "texts"});
    runner.Wait();
    runner.Submit({"a.gif"});
    runner.Wait();

    EXPECT_EQ(rec.Idles, (std::vector<bool>{false, false, false}));
    ASSERT_EQ(rec.Reports.size(), 3u);
    EXPECT_EQ(rec.Reports[0].ResultText, "0 file complete!");
    EXPECT_TRUE(rec.Reports[0].Files.empty());
    EXPECT_EQ(rec.Reports[1].ResultText, "0 file complete!");
    EXPECT_EQ(rec.Reports[1].EmptyFolders, (std::vector<std::string>{dir / "empty", dir / "texts"}));
    EXPECT_EQ(rec.Reports[1].OutcomeText, "no animations in " + dir / "empty" + "\nno animations in " + dir / "texts");
    EXPECT_FALSE(rec.Reports[1].AnyFailed);
    EXPECT_EQ(rec.Reports[2].Converted, 1);
}

// Real files side by side: each file's frames written by its own writer
// threads, all drawing on one budget; the report's folder is where the last
// converted file's frames really are, in a folder of their own or beside it.
TEST(BatchRunnerTest, RealFilesSideBySideReportWhereTheirFramesAre)
{
    test::TempDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back(dir / ("f" + std::to_string(i) + ".gif"));
        test::WriteFile(files.back(), test::TwoFrameGif());
    }
    for (const bool folder : {true, false}) {
        Recorder rec;
        BatchRunner runner({3, [folder] { return folder; }, {}}, rec.Events_());
        runner.Submit(files);
        runner.Wait();
        ASSERT_EQ(rec.Reports.size(), 1u);
        const DropReport& report = rec.Reports[0];
        EXPECT_EQ(report.Converted, 6) << report.OutcomeText;
        EXPECT_EQ(report.FramesFolder, folder ? dir / "f5" : Utf8FromPath(dir.Path));
        for (const BatchFile& f : report.Files) {
            EXPECT_TRUE(test::fs::is_directory(PathFromUtf8(f.Result.FramesFolder))) << f.Result.FramesFolder;
        }
    }
}

}  // namespace
}  // namespace framelot
