#include "convert/FrameFileSink.h"

#include <algorithm>

#include "convert/Describe.h"
#include "imaging/Raster.h"
#include "output/files/FreeSpace.h"
#include "output/files/NewFile.h"
#include "output/files/PathText.h"

namespace framelot {

void FrameTally::Count(std::uint64_t number, const SaveOutcome& outcome, const std::string& path, std::uint64_t bytes,
                       const ProgressFunction& progress)
{
    std::lock_guard lock(Mutex);
    if (outcome.NoRoom) {
        NoRoom = true;
        NoRoomBytes = std::max(NoRoomBytes, bytes);
    }
    if (outcome.OverCap) OverCap = true;
    switch (outcome.Status) {
    case SaveStatus::Written:
        ++Written;
        Bytes += bytes;
        WrittenPaths.push_back(path);
        break;
    case SaveStatus::AlreadyExists: ++Existing; break;
    case SaveStatus::Failed:
        // Frames finish out of order on the workers: report the lowest.
        if (Failed++ == 0 || number < FirstFailedIndex) {
            FirstFailedIndex = number;
            FirstFailure = "frame " + std::to_string(number) + ": " + outcome.Reason;
        }
        break;
    }
    if (progress) progress(++Done, Total);
}

FrameFileSink::FrameFileSink(const OutputPlan& plan, OutputFolders& folders, ByteCap& cap, unsigned threads,
                             std::uint64_t total, const ProgressFunction& progress)
    : Plan(plan), Folders(folders), Cap(cap), Progress(progress),
      Writer(threads, [this](const std::vector<std::uint64_t>& numbers, const Bitmap& frame, PngEncoder& encoder,
                             const PngPlan& png, std::vector<std::uint8_t>& encoded) {
          for (std::uint64_t number : numbers) {
              const std::string path = Book.PathOf(number);
              const SaveOutcome saved = SaveFrame(Plan.Chosen.Encoding, frame, path, encoded, encoder, &png, &Cap);
              Tally.Count(number, saved, path, encoded.size(), Progress);
          }
      })
{
    Tally.Total = total;
}

bool FrameFileSink::Add(const DeliveredFrame& frame)
{
    {
        std::lock_guard lock(Tally.Mutex);
        if (Tally.NoRoom || Tally.OverCap) return false;  // decode nothing for nothing
    }
    if (!Folders.Ready(Plan)) {
        Refusal = Folders.Error;
        return false;
    }
    if (Book.Frames.empty() && !RoomFor(frame.Pixels)) return false;
    const std::string path = PlannedFramePath(Plan, frame.Number, frame.DurationMs);
    if (Book.Frames.empty()) FirstPath = path;
    Book.Enter(frame.Number, path, FileNameOf(path), frame.Index, frame.DurationMs);
    const bool repeats = !heldNumbers_.empty() && SamePixels(held_, frame.Pixels);
    if (!repeats) {
        HandOn();
        held_.Width = frame.Pixels.Width;
        held_.Height = frame.Pixels.Height;
        held_.Pixels.assign(frame.Pixels.Pixels.begin(), frame.Pixels.Pixels.end());
    }
    heldNumbers_.push_back(frame.Number);
    return true;
}

void FrameFileSink::HandOn()
{
    if (heldNumbers_.empty()) return;
    PngPlan png;
    if (Plan.Chosen.Encoding.Format == FrameFormat::Png) {
        if (!planner_) planner_.emplace(Tally.Total);
        png = planner_->PlanFor(held_);
    }
    Writer.Submit(heldNumbers_, held_, png);
    heldNumbers_.clear();
}

// Before the first frame file: whether the frames can fit. Their raw size
// (with what PNG adds at worst) settles most files without encoding.
bool FrameFileSink::RoomFor(const Bitmap& first)
{
    const std::uint64_t frames = std::max<std::uint64_t>(Tally.Total, 1);
    const std::uint64_t raw = static_cast<std::uint64_t>(first.Width) * static_cast<std::uint64_t>(first.Height) * 4;
    const std::uint64_t bound = frames * (raw + raw / 64 + 1024);
    const std::optional<std::uint64_t> free = FreeBytes(Plan.FramesFolder);
    const bool capped = Plan.ByteCap > 0 && bound > Plan.ByteCap;
    if (!capped && (!free || bound <= *free)) return true;
    RoomEstimate room;
    Refusal = CheckRoom(Plan.Chosen.Encoding, first, frames, Plan.ByteCap, Plan.FramesFolder, room);
    RoomRefused = !Refusal.empty();
    RefusedOverCap = room.OverCap;
    return !RoomRefused;
}

ConvertResult FrameFileSink::Finish()
{
    HandOn();
    Writer.Finish();
    ConvertResult result = Converted();
    result.FramesWritten = Tally.Written;
    result.FramesExisting = Tally.Existing;
    if (!Refusal.empty()) {
        result.Status = ConvertStatus::Failed;
        result.Failure = RefusedOverCap ? FailureKind::OverLimit : FailureKind::FileSystem;
        result.Reason = Refusal;
        return result;
    }
    if (Tally.NoRoom) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::FileSystem;
        result.Reason = NoRoomReason(Tally.Total);
        return result;
    }
    if (Tally.OverCap) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::OverLimit;
        result.Reason = "the frames take more than --max-output " + SizeInWords(Plan.ByteCap) + ": " +
                        std::to_string(Tally.Written) + " of " + std::to_string(Tally.Total) + " frames took " +
                        SizeInWords(Tally.Bytes) + "; " + FewerFramesHint;
        return result;
    }
    if (Tally.Failed > 0) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::FileSystem;
        result.Reason = FrameCountText(Tally.Failed) + " could not be written (" + Tally.FirstFailure + ")";
        return result;
    }
    // The timings file beside the frames; one that is there already is kept.
    if (!Plan.TimingsPath.empty() && !Book.Frames.empty()) {
        const std::string text = TimingsText(Plan.Chosen.Timings, Book.Frames, Plan.Info.Loops);
        const SaveOutcome saved =
            Cap.Spend(text.size())
                ? WriteNewFile(Plan.TimingsPath, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()))
                : SaveOutcome{SaveStatus::Failed, "it would take the output past --max-output", false, true};
        if (saved.Status == SaveStatus::AlreadyExists) TimingsNote = FileNameOf(Plan.TimingsPath) + " is there already and is kept";
        if (saved.Status == SaveStatus::Written) TimingsWritten = Plan.TimingsPath;
        if (saved.Status == SaveStatus::Failed) {
            result.Status = ConvertStatus::Failed;
            result.Failure = saved.OverCap ? FailureKind::OverLimit : FailureKind::FileSystem;
            result.Reason = "cannot write " + FileNameOf(Plan.TimingsPath) + ": " + saved.Reason;
        }
    }
    return result;
}

void FrameFileSink::TakeBack() const
{
    RemoveFiles(Tally.WrittenPaths);
    if (!TimingsWritten.empty()) RemoveFiles({TimingsWritten});
}

std::string FrameFileSink::NoRoomReason(std::uint64_t frames) const
{
    const std::uint64_t each = Tally.Written > 0 ? Tally.Bytes / Tally.Written : Tally.NoRoomBytes;
    const std::uint64_t missing = each * (frames > Tally.Written ? frames - Tally.Written : 0);
    return "the file system filled up after " + std::to_string(Tally.Written) + " of " + std::to_string(frames) +
           " frames (" + SizeInWords(Tally.Bytes) + "); about " + SizeInWords(missing) +
           " more was needed. What was written of this file is removed, so that a retry converts it";
}

}  // namespace framelot
