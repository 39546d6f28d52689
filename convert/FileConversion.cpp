#include "convert/FileConversion.h"

#include <optional>

#include "convert/Describe.h"
#include "convert/FrameChain.h"
#include "convert/FrameFileSink.h"
#include "convert/OutputFolders.h"
#include "convert/OutputPlan.h"
#include "convert/SourceFile.h"
#include "output/encoders/ArrayBuilder.h"
#include "output/files/PathText.h"
#include "output/sheets/SheetBuilder.h"

namespace framelot {
namespace {

void AddNote(std::string& note, const std::string& more)
{
    if (more.empty()) return;
    note += note.empty() ? more : "; " + more;
}

ConvertResult Skipped(const std::string& taken)
{
    return {ConvertStatus::Skipped, "output already exists", 0, 0, taken};
}

// Step 1: the plan, settled before a frame is decoded. Converted with `plan`
// and `file` filled, or the file's result when it ends here (skipped,
// unreadable, not of its format, over a limit, or a usage error).
ConvertResult Plan(const std::string& source, const OutputOptions& options, DescribeBytesFunction describe,
                   OutputPlan& plan, SourceFile& file)
{
    plan = PlanPlaces(source, options);
    // Without the folder, the first frame's name may hang on the frames
    // picked or their times, which only the description gives.
    const bool lateSkip = plan.Kind == OutputKind::Frames && !plan.MakeFolder &&
                          (SamplingAsked(options.Sampling) || NameNeedsDescription(options.Names));
    if (std::string taken = lateSkip ? std::string() : TakenOutput(plan); !taken.empty()) return Skipped(taken);
    file = ReadSourceFile(source);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};
    AnimationInfo info;
    const bool described = PlanNeedsDescription(options);
    if (described) {
        if (describe == nullptr) return {ConvertStatus::Failed, "this format cannot say its canvas", 0, 0, {}};
        if (ConvertResult r = describe(file.Bytes, info); r.Status != ConvertStatus::Converted) return r;
    }
    if (ConvertResult settled = SettlePlan(plan, info, described); settled.Status != ConvertStatus::Converted) {
        return settled;
    }
    if (std::string taken = lateSkip ? TakenOutput(plan) : std::string(); !taken.empty()) return Skipped(taken);
    return Converted();
}

// Step 3: the converter's result and what the writing came to, as one.
ConvertResult Outcome(ConvertResult decoded, ConvertResult written, const OutputPlan& plan, std::uint64_t announced,
                      bool noneChosen)
{
    if (decoded.Status != ConvertStatus::Converted) {
        decoded.FramesWritten = written.FramesWritten;
        return decoded;
    }
    if (noneChosen) return NoChosenFrame(decoded, plan.Chosen.Frames, announced);
    if (written.Status != ConvertStatus::Converted) return written;
    written.Damage = decoded.Damage;
    written.Destination = written.Destination.empty() ? plan.Destination : written.Destination;
    written.FramesFolder = plan.Kind == OutputKind::Frames ? plan.FramesFolder : FolderOfPath(written.Destination);
    const std::string past = announced > 0 ? FramesPastEnd(plan.Chosen.Frames, announced) : std::string();
    std::string note;
    if (!past.empty()) AddNote(note, past + " past the end (the file has " + FrameCountText(announced) + ")");
    AddNote(note, plan.CanvasNote);
    AddNote(note, plan.SamplingNote);
    AddNote(note, written.Note);
    written.Note = note;
    return written;
}

}  // namespace

ConvertResult NoChosenFrame(const ConvertResult& decoded, const FrameList& list, std::uint64_t announced)
{
    // The damage took the frames asked for: the file is damaged, not misused.
    if (!decoded.Damage.empty()) return Damaged("the file is damaged: " + decoded.Damage);
    return {ConvertStatus::Failed,
            "no chosen frame is in the file: it has " + FrameCountText(announced) + ", " +
                FramesPastEnd(list, announced) + " is past its end",
            0, 0, {}, FailureKind::Usage};
}

ConvertResult ConvertFileWith(const std::string& source, const OutputOptions& options, ConvertBytesFunction convert,
                              DescribeBytesFunction describe, unsigned encodeThreads, const ProgressFunction& progress)
{
    OutputPlan plan;
    SourceFile file;
    if (ConvertResult planned = Plan(source, options, describe, plan, file); planned.Status != ConvertStatus::Converted) {
        return planned;
    }
    // Step 2: the sink the plan names, fed by the frame chain.
    const FrameList& list = plan.Chosen.Frames;
    SheetBuilder sheet{{plan.Chosen.Packing, plan.Chosen.MergeHeld, plan.Chosen.Atlas}, plan.Sheet};
    ArrayBuilder array{plan.Array, 0, 0, {}, {}};
    ConvertResult sized = plan.Kind == OutputKind::Sheet   ? sheet.Plan(plan.Cells, plan.FrameWidth, plan.FrameHeight)
                          : plan.Kind == OutputKind::Array ? array.Plan(plan.Cells, plan.FrameWidth, plan.FrameHeight)
                                                           : Converted();
    if (sized.Status != ConvertStatus::Converted) return sized;

    OutputFolders folders;
    ByteCap cap;
    cap.Limit = plan.ByteCap;
    std::optional<FrameFileSink> files;
    if (plan.Kind == OutputKind::Frames) files.emplace(plan, folders, cap, encodeThreads, plan.Cells, progress);
    std::uint64_t announced = 0, total = plan.Cells;
    bool noneChosen = false;
    const FrameCountSink announce = [&](std::uint64_t frames) {
        announced = frames;
        total = ListedCount(list, frames);
        noneChosen = !list.empty() && total == 0;
        if (files) {
            std::lock_guard lock(files->Tally.Mutex);
            files->Tally.Total = total;
        }
    };
    FrameChain chain{plan, [&](const DeliveredFrame& frame) {
                         switch (plan.Kind) {
                         case OutputKind::Frames: return files->Add(frame);
                         case OutputKind::Sheet:
                             sheet.Add(FileNameOf(PlannedFramePath(plan, frame.Number, frame.DurationMs)), frame.Pixels,
                                       frame.DurationMs);
                             if (progress) progress(sheet.Added(), total);
                             return true;
                         case OutputKind::Array:
                             array.Add(frame.Index, frame.Pixels, frame.DurationMs);
                             if (progress) progress(array.Frames.size(), total);
                             return true;
                         case OutputKind::Memory: break;  // not a file's plan
                         }
                         return false;
                     }};
    const FrameSink sink = [&](std::uint64_t index, const Bitmap& composed) {
        return !noneChosen && chain.Take(index, composed);
    };
    const ConvertResult decoded = convert(file.Bytes, sink, announce);
    chain.Flush();

    // Step 3: what the sink wrote; a sheet or an array is written whole now.
    ConvertResult written = files ? files->Finish() : Converted();
    if (decoded.Status == ConvertStatus::Converted && !noneChosen && chain.Delivered > 0 && !files) {
        if (plan.Kind == OutputKind::Sheet) written = sheet.Pack(plan.Info);
        if (written.Status == ConvertStatus::Converted && !folders.Ready(plan)) {
            written = {ConvertStatus::Failed, folders.Error, 0, 0, {}, FailureKind::FileSystem};
        }
        if (written.Status == ConvertStatus::Converted) {
            written = plan.Kind == OutputKind::Sheet ? sheet.Write(&cap) : array.Write(plan.Info, &cap);
            if (written.Status == ConvertStatus::Converted) written.FramesWritten = chain.Delivered;
        }
    }
    // Without the folder, the line names the first frame as it was written.
    if (files && !plan.MakeFolder && !files->FirstPath.empty()) plan.Destination = files->FirstPath;
    // Frames asked for and none came: none was in the file, or damage took them.
    noneChosen = noneChosen || (!list.empty() && chain.Delivered == 0 && decoded.Status == ConvertStatus::Converted);
    ConvertResult result = Outcome(decoded, written, plan, announced, noneChosen);
    if (result.Status == ConvertStatus::Converted && chain.Taken > chain.Delivered) {
        const std::uint64_t merged = chain.Taken - chain.Delivered;
        AddNote(result.Note, std::to_string(merged) + (merged == 1 ? " held frame merged (" : " held frames merged (") +
                                 FrameCountText(chain.Delivered) + " for " + std::to_string(chain.Taken) + ")");
    }
    if (files) AddNote(result.Note, files->TimingsNote);

    // A file that failed keeps nothing of what this run made of it, so that
    // a retry is not skipped; what was there before stays.
    if (result.Status != ConvertStatus::Converted) {
        if (files) files->TakeBack();
        folders.TakeBack();
        result.FramesWritten = 0;
    }
    return result;
}

}  // namespace framelot
