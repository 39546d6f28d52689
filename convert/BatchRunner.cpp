#include "convert/BatchRunner.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <optional>

#include "convert/Describe.h"
#include "convert/Dispatch.h"
#include "convert/FolderFiles.h"
#include "convert/MemoryReuse.h"
#include "convert/OutputPlan.h"
#include "output/encoders/FrameWriterPool.h"
#include "output/files/FrameNaming.h"
#include "output/files/PathText.h"

namespace framelot {

BatchRunner::BatchRunner(BatchSettings settings, BatchEvents events)
    : settings_(std::move(settings)), events_(std::move(events))
{
    settings_.Jobs = std::max(1u, settings_.Jobs);
    if (!settings_.Convert) {
        settings_.Convert = [](const std::string& path, const OutputOptions& options, unsigned threads,
                               const ProgressFunction& progress) {
            return ConvertDroppedFile(path, options, threads, progress);
        };
    }
    KeepFreedMemoryForReuse();
    worker_ = std::thread([this] { Work(); });
}

BatchRunner::~BatchRunner()
{
    abort_ = true;
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    worker_.join();
}

void BatchRunner::Submit(std::vector<std::string> files)
{
    if (abort_) return;
    {
        std::lock_guard lock(mutex_);
        queue_.push_back(std::move(files));
        busy_ = true;
    }
    changed_.notify_all();
}

void BatchRunner::RequestAbort()
{
    abort_ = true;
}

bool BatchRunner::Busy() const
{
    std::lock_guard lock(mutex_);
    return busy_;
}

void BatchRunner::Wait()
{
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return !busy_; });
}

void BatchRunner::Work()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        changed_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (stopping_) return;
        std::vector<std::string> drop = std::move(queue_.front());
        queue_.pop_front();
        lock.unlock();
        std::vector<std::string> emptyFolders;
        if (settings_.OpenFolders && !abort_) drop = ExpandFolders(drop, false, &emptyFolders);

        bool aborted = abort_;
        DropReport report;
        if (!aborted) report = RunDrop(drop, emptyFolders, aborted);
        if (!aborted && events_.DropDone) {
            std::lock_guard events(eventMutex_);
            events_.DropDone(report);
        }

        lock.lock();
        if (aborted) queue_.clear();
        if (!queue_.empty()) continue;
        lock.unlock();
        ReleaseKeptMemory();
        if (events_.Idle) {
            std::lock_guard events(eventMutex_);
            events_.Idle(aborted);
        }
        lock.lock();
        if (queue_.empty()) {
            busy_ = false;
            idle_.notify_all();
        }
    }
}

DropReport BatchRunner::RunDrop(const std::vector<std::string>& files, std::vector<std::string> emptyFolders,
                                bool& aborted)
{
    const auto groups = GroupByPlan(files, settings_.Output);
    const std::string sameNames = SameNamesRefusal(files, settings_.Output);
    const unsigned jobs = std::clamp<unsigned>(static_cast<unsigned>(groups.size()), 1u, settings_.Jobs);
    const unsigned encodeThreads = std::max(1u, DefaultEncodeThreads() / jobs);

    DropReport report;
    report.Files.resize(files.size());
    report.EmptyFolders = std::move(emptyFolders);
    std::vector<bool> done(files.size(), false);
    std::vector<std::uint64_t> steps(files.size(), 0);  // guarded by eventMutex_
    std::uint64_t stepsSum = 0;
    std::size_t nextToReport = 0;
    std::atomic<std::size_t> nextGroup{0};

    if (events_.DropStarted) {
        std::lock_guard events(eventMutex_);
        events_.DropStarted(files.size());
    }
    const std::uint64_t stepsTotal = files.size() * ProgressStepsPerFile;
    // Called with eventMutex_ held.
    auto setSteps = [&](std::size_t i, std::uint64_t value, std::uint64_t frames, std::uint64_t total) {
        stepsSum += value - steps[i];
        steps[i] = value;
        if (events_.Progress) events_.Progress({i, frames, total, stepsSum, stepsTotal});
    };
    auto work = [&] {
        for (std::size_t g; (g = nextGroup++) < groups.size();) {
            std::vector<DropOutput> written;  // the group's converted files
            for (std::size_t i : groups[g]) {
                if (abort_) return;  // looked at between files only
                OutputOptions options = settings_.Output;
                options.MakeFolder = settings_.MakeFolder ? settings_.MakeFolder() : true;
                if (events_.FileStarted) {
                    std::lock_guard events(eventMutex_);
                    events_.FileStarted(i, files[i]);
                }
                const ProgressFunction progress = [&, i](std::uint64_t frames, std::uint64_t total) {
                    const std::uint64_t share = total == 0 ? 0 : std::min(frames, total) * ProgressStepsPerFile / total;
                    std::lock_guard events(eventMutex_);
                    if (share > steps[i]) setSteps(i, share, frames, total);
                };
                // A file whose output an earlier file of its group has just
                // written is skipped naming that file; options that give every
                // file the same names convert none of them.
                std::optional<ConvertResult> earlier = WrittenEarlier(files[i], options, written);
                ConvertResult result = !sameNames.empty() ? ConvertResult{ConvertStatus::Failed, sameNames, 0, 0, {}, FailureKind::Usage}
                                       : earlier          ? std::move(*earlier)
                                                          : settings_.Convert(files[i], options, encodeThreads, progress);
                NoteWritten(files[i], options, result, written);

                std::lock_guard events(eventMutex_);
                report.Files[i] = {i, files[i], std::move(result)};
                done[i] = true;
                if (steps[i] < ProgressStepsPerFile) setSteps(i, ProgressStepsPerFile, 0, 0);
                // Results are told in the drop's order: this one and every
                // finished one after it, once all before them are told.
                for (; nextToReport < files.size() && done[nextToReport]; ++nextToReport) {
                    if (events_.FileDone) events_.FileDone(report.Files[nextToReport]);
                }
            }
        }
    };
    std::vector<std::thread> helpers;
    for (unsigned j = 1; j < jobs; ++j) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();

    aborted = abort_;
    if (aborted) return report;
    for (const BatchFile& file : report.Files) {
        if (file.Result.Status == ConvertStatus::Converted) {
            ++report.Converted;
            report.FramesFolder = file.Result.FramesFolder;
        }
        if (file.Result.Status == ConvertStatus::Failed || file.Result.Status == ConvertStatus::Unreadable ||
            !file.Result.Damage.empty()) {
            report.AnyFailed = true;
        }
    }
    report.ResultText = ResultText(report.Converted);
    report.OutcomeText = OutcomeText(report.Files, report.EmptyFolders);
    return report;
}

std::optional<ConvertResult> WrittenEarlier(const std::string& path, const OutputOptions& options,
                                            const std::vector<DropOutput>& written)
{
    const std::string key = SharedOutputKey(path, options.OutputFolder);
    const auto earlier = std::find_if(written.begin(), written.end(), [&](const DropOutput& w) { return w.Key == key; });
    if (earlier == written.end()) return std::nullopt;
    return ConvertResult{ConvertStatus::Skipped, "same output as " + FileNameOf(earlier->Source), 0, 0, earlier->Destination};
}

void NoteWritten(const std::string& path, const OutputOptions& options, const ConvertResult& result,
                 std::vector<DropOutput>& written)
{
    if (result.Status != ConvertStatus::Converted) return;
    written.push_back({SharedOutputKey(path, options.OutputFolder), path, result.Destination});
}

std::vector<std::vector<std::size_t>> GroupByPlan(const std::vector<std::string>& files, const OutputOptions& options)
{
    std::vector<std::vector<std::size_t>> groups;
    std::map<std::string, std::size_t> groupOf;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto [it, added] = groupOf.try_emplace(PlanGroupKey(files[i], options), groups.size());
        if (added) groups.emplace_back();
        groups[it->second].push_back(i);
    }
    return groups;
}

std::string OutcomeText(const std::vector<BatchFile>& files, const std::vector<std::string>& emptyFolders)
{
    std::string text;
    for (std::size_t i = 0; i < files.size() && i < MaxOutcomeLines; ++i) {
        ConvertResult result = files[i].Result;
        result.Destination = FileNameOf(result.Destination);
        if (!text.empty()) text += '\n';
        text += DescribeResult(FileNameOf(files[i].Path), result);
    }
    if (files.size() > MaxOutcomeLines) text += "\n... and " + std::to_string(files.size() - MaxOutcomeLines) + " more";
    for (const std::string& folder : emptyFolders) {
        if (!text.empty()) text += '\n';
        text += EmptyFolderText(folder);
    }
    return text;
}

}  // namespace framelot
