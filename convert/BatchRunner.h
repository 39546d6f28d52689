// Converts drops of files on a worker thread of its own: the one loop behind
// the Qt window, the Windows window and the command line. Drops wait in a
// queue and are converted in order; inside a drop, files start in the order
// given, one at a time or several side by side, and their results are reported
// in that order. Front ends only submit drops and render what it reports.
//
// What happens in every case:
// - A drop of files: each file is converted once, in the drop's order; files
//   whose plans may share a path (GroupByPlan) one after the other, a later
//   one whose output an earlier one wrote skipped with a reason naming it,
//   the others up to Jobs side by side. Options that give every file of one
//   folder the same names (SameNamesRefusal) convert no file: each fails
//   with that reason as a usage error. DropStarted, the files' events, DropDone, and Idle
//   once no drop is waiting.
// - An empty drop, or one whose folders stand for no file (empty, or only
//   other files): the same events with no file in between; the report has
//   Converted 0, "0 file complete!", and names each such folder in
//   EmptyFolders and in OutcomeText ("no animations in FOLDER").
// - A drop submitted while another runs: queued, converted after it; Idle
//   comes once, after the last.
// - An abort (RequestAbort): no file starts after it; files being converted
//   finish; the drop reports Idle(true) instead of DropDone, and drops still
//   queued are dropped unconverted. A drop submitted after an abort is
//   ignored and reports nothing.
// - The runner destroyed: an abort, then it waits for the files being
//   converted.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "convert/FileConversion.h"
#include "convert/OutputOptions.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// Converts one file: the dispatch of a drop (ConvertDroppedFile) unless a
// caller puts another in its place.
// `options` are the runner's, with MakeFolder read for this file.
using BatchConvertFunction = std::function<ConvertResult(const std::string& path, const OutputOptions& options,
                                                         unsigned encodeThreads, const ProgressFunction& progress)>;

struct BatchFile {
    std::size_t Index = 0;  // position in the drop
    std::string Path;
    ConvertResult Result;
};

// What a finished drop comes to.
struct DropReport {
    std::vector<BatchFile> Files;  // every file of the drop, in the drop's order
    int Converted = 0;             // files whose status is Converted
    bool AnyFailed = false;        // a file was Failed or Unreadable, or converted with damage
    std::string ResultText;        // "N file complete!"
    std::string OutcomeText;       // one line a file by its name (DescribeResult), see OutcomeText below
    std::string FramesFolder;      // where the last converted file's frames are; empty when none was converted
    std::vector<std::string> EmptyFolders;  // folders of the drop that stood for no file
};

// How far a drop is. Each file counts ProgressStepsPerFile steps: a file that
// is done (whatever its outcome) all of them, a file being converted its
// share of frames written, so Steps only grows and reaches StepsTotal.
struct DropProgress {
    std::size_t File = 0;                    // the file whose frame was just written
    std::uint64_t FileFrames = 0;            // its frames done
    std::uint64_t FileFramesTotal = 0;       // its frame count, 0 until known
    std::uint64_t Steps = 0, StepsTotal = 0;  // the whole drop
};
inline constexpr std::uint64_t ProgressStepsPerFile = 1000;

// With OpenFolders, each drop is first expanded on the runner's thread
// (ExpandFolders, not recursive), so a large folder never holds up the caller;
// the drop's files are then those it stands for.
//
// Told on the runner's threads, one call at a time (the runner holds a lock of
// its own around each), in this order for each drop: DropStarted, then for each
// file FileStarted and Progress calls, FileDone in the drop's order, then
// DropDone, or Idle(true) alone if the drop was aborted. Idle comes when the
// queue is empty. Any of them may be left empty. A callback must not wait for
// the runner (Wait, the destructor); Submit and RequestAbort may be called.
struct BatchEvents {
    std::function<void(std::size_t files)> DropStarted;
    std::function<void(std::size_t file, const std::string& path)> FileStarted;
    std::function<void(const DropProgress& progress)> Progress;
    std::function<void(const BatchFile& file)> FileDone;
    std::function<void(const DropReport& report)> DropDone;
    std::function<void(bool aborted)> Idle;
};

// The most files a batch converts side by side (--jobs).
inline constexpr unsigned MaxBatchJobs = 256;

struct BatchSettings {
    unsigned Jobs = 1;                // files converted side by side (at least 1)
    std::function<bool()> MakeFolder;  // the placement switch, read at the start of each file; empty: on
    BatchConvertFunction Convert;      // empty: ConvertDroppedFile
    OutputOptions Output = {};         // every file's; its MakeFolder is the switch's
    bool OpenFolders = false;          // a folder in a drop stands for the files directly inside it
};

// Owns one worker thread for its whole life; all its calls may be made from
// any thread.
class BatchRunner {
public:
    BatchRunner(BatchSettings settings, BatchEvents events);
    // Requests an abort and waits for the files being converted to finish.
    ~BatchRunner();
    BatchRunner(const BatchRunner&) = delete;
    BatchRunner& operator=(const BatchRunner&) = delete;

    // Queues a drop behind any drop still waiting and starts the worker if it
    // is idle. An empty drop is converted as a drop of nothing (its events all
    // come); one submitted after an abort is ignored.
    void Submit(std::vector<std::string> files);

    // No file starts after this; files being converted finish, and the drop
    // they belong to reports Idle(true) instead of DropDone. Never undone.
    void RequestAbort();
    bool AbortRequested() const { return abort_.load(); }

    // True from Submit until the Idle event of the last drop has been told.
    bool Busy() const;

    // Waits until the runner is idle.
    void Wait();

private:
    void Work();
    DropReport RunDrop(const std::vector<std::string>& files, std::vector<std::string> emptyFolders, bool& aborted);

    BatchSettings settings_;
    BatchEvents events_;
    std::atomic<bool> abort_{false};
    mutable std::mutex mutex_;  // guards queue_, busy_, stopping_
    std::condition_variable changed_;  // a drop queued, or stopping
    std::condition_variable idle_;
    std::deque<std::vector<std::string>> queue_;
    bool busy_ = false;
    bool stopping_ = false;
    std::mutex eventMutex_;  // one event at a time
    std::thread worker_;     // lives as long as the runner, waiting for drops
};

// The files of a drop in groups whose plans may share a path (PlanGroupKey):
// a group's files are converted one after the other in the drop's order, and
// a later one whose output an earlier one wrote is skipped, naming it.
// Groups are listed in the order of their first file.
std::vector<std::vector<std::size_t>> GroupByPlan(const std::vector<std::string>& files, const OutputOptions& options);

// A file of a drop that converted, by the output it wrote (SharedOutputKey).
struct DropOutput {
    std::string Key;
    std::string Source;
    std::string Destination;
};

// A file whose output a file converted earlier in the same drop wrote
// (`written`): Skipped, its reason naming that file ("same output as
// anim.gif") and its destination that file's; nothing otherwise. Costs a
// look at the file system for the folder's links.
std::optional<ConvertResult> WrittenEarlier(const std::string& path, const OutputOptions& options,
                                            const std::vector<DropOutput>& written);

// Adds a converted file's output to `written`; other results add nothing.
void NoteWritten(const std::string& path, const OutputOptions& options, const ConvertResult& result,
                 std::vector<DropOutput>& written);

// Each file's outcome in the command line's words, named by its file name (the
// destination too), a line each: the first MaxOutcomeLines files, then
// "... and N more"; then a line for each folder that stood for no file.
inline constexpr std::size_t MaxOutcomeLines = 20;
std::string OutcomeText(const std::vector<BatchFile>& files, const std::vector<std::string>& emptyFolders = {});

}  // namespace framelot
