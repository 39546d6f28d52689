#include "convert/FileConversion.h"

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <tuple>

#include "convert/ArrayBuilder.h"
#include "convert/Describe.h"
#include "convert/FrameBook.h"
#include "convert/RoomCheck.h"
#include "convert/SheetBuilder.h"
#include "convert/SourceFile.h"
#include "imaging/Limits.h"
#include "imaging/Raster.h"
#include "imaging/Resample.h"
#include "output/FrameNaming.h"
#include "output/FrameWriterPool.h"
#include "output/FreeSpace.h"
#include "output/NewFile.h"
#include "output/NameTemplate.h"
#include "output/PathText.h"
#include "output/FrameEncoding.h"
#include "output/PngTrial.h"

namespace framelot {
namespace {

// Makes `folder` (with `parents`, every missing folder above it too) unless it
// is there. Empty, or why it cannot be made, in words naming it as `what`.
std::string CreateFolder(const std::string& folder, bool parents, const std::string& what)
{
    const std::filesystem::path path = PathFromUtf8(folder);
    std::error_code error, statError;
    if (parents) {
        std::filesystem::create_directories(path, error);
    } else {
        std::filesystem::create_directory(path, error);
    }
    if (error == std::errc::file_exists || error == std::errc::not_a_directory ||
        (!error && !std::filesystem::is_directory(path, statError))) {
        return "cannot create " + what + ": a file of that name is in the way";
    }
    if (error) return "cannot create " + what + ": " + error.message();
    return {};
}

// `frame` at width x height from the origin, into `out`: clipped where it is
// larger, transparent where it does not reach.
void FitCanvas(const Bitmap& frame, int width, int height, Bitmap& out)
{
    out.Width = width;
    out.Height = height;
    out.Pixels.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4, 0);
    CopyBlock(out, 0, 0, frame, frame.Width, frame.Height);
}

// The folder that holds `path`; "." for a name alone.
std::string FolderOf(const std::string& path)
{
    const std::size_t slash = LastSeparator(path);
    if (slash == std::string::npos) return ".";
    if (path[slash] == ':') return path.substr(0, slash + 1);  // "Z:" alone is the drive's current folder
    return path.substr(0, slash == 0 ? 1 : slash);
}

void AddNote(std::string& note, const std::string& more)
{
    if (more.empty()) return;
    note += note.empty() ? more : "; " + more;
}

// Step 1: where everything goes, decided before the source is read.
struct OutputPlaces {
    std::string Placed;       // the source as if it lay where its outputs go
    bool MakeFolder = true;
    SheetPaths Sheet;
    ArrayPaths Array;
    std::string Destination;  // what the lines name: the folder, the first frame or the sheet
    std::string FramesFolder; // the folder the files are written in
};

// The path of the frame numbered `number`, shown for `delayMs`, of a file of
// `total` frames: its name from the template.
std::string NumberedFramePath(const std::string& placed, bool makeFolder, const OutputOptions& options,
                              std::uint64_t number, double delayMs, std::uint64_t total)
{
    const FrameFormat format = options.Encoding.Format;
    if (format == FrameFormat::Png && IsDefaultNaming(options.Names)) return FrameFilePath(placed, makeFolder, number);
    return NamedFramePath(placed, makeFolder, options.Names, number, delayMs, total, FrameExtension(format));
}

// The path frame `index` is written at, with the frame's time and the file's
// frame count from `info` where the template needs them.
std::string FramePath(const std::string& placed, bool makeFolder, const OutputOptions& options,
                      const AnimationInfo& info, std::uint64_t index)
{
    const double delay = index < info.Frames.size() ? info.Frames[index].DelayMs : 0;
    return NumberedFramePath(placed, makeFolder, options, index, delay, info.Frames.size());
}

OutputPlaces PlanPlaces(const std::string& source, const OutputOptions& options, const AnimationInfo& info)
{
    OutputPlaces p;
    p.Placed = PlacedSource(source, options.OutputFolder);
    p.MakeFolder = options.MakeFolder;
    p.Sheet = PlanSheetPaths(p.Placed, p.MakeFolder, options.Atlas);
    p.Array = PlanArrayPaths(p.Placed, p.MakeFolder);
    p.Destination = options.Sheet  ? p.Sheet.Single
                    : options.Array ? p.Array.Array
                    : p.MakeFolder ? OutputFolderPath(p.Placed)
                                   : FramePath(p.Placed, false, options, info, FirstListed(options.Frames));
    p.FramesFolder = p.MakeFolder && !options.Sheet && !options.Array ? p.Destination : FolderOf(p.Destination);
    return p;
}

// With the placement switch on, the folder stands for the output; with it
// off, the first frame's file (or the sheet's files).
bool OutputTaken(const OutputPlaces& p, const OutputOptions& options)
{
    if (options.Sheet) return SheetTaken(p.Sheet);
    if (options.Array) return ArrayTaken(p.Array);
    if (p.MakeFolder) return OutputExists(p.Placed, true);
    return PathTaken(p.Destination);
}

// Whether the skip test needs the file's description: without the folder,
// the first frame's name may depend on the frames picked or their times.
bool SkipNeedsDescription(const OutputOptions& options)
{
    return !options.MakeFolder && !options.Sheet && !options.Array && (SamplingAsked(options.Sampling) || NameNeedsDescription(options.Names));
}

// Step 2: the canvas frames are written at and the sheet's plan, from the
// format's index (read only when they are asked for).
struct CanvasPlan {
    AnimationInfo Info;
    bool Declared = false;
    int Width = 0, Height = 0;  // the declared canvas, when Declared
    std::string Note;           // why the declared canvas could not be used
};

ConvertResult PlanCanvas(std::span<const std::uint8_t> bytes, const OutputOptions& options,
                         DescribeBytesFunction describe, CanvasPlan& plan)
{
    const bool wantDeclared = options.Canvas == CanvasChoice::Declared;
    // The description gives the canvas, the sheet's size and every frame's time.
    if (wantDeclared || options.Sheet || SamplingAsked(options.Sampling) || NameNeedsDescription(options.Names) ||
        options.MergeHeld || options.Timings != TimingsFormat::None || options.Array || ScalingAsked(options.Scale)) {
        if (describe == nullptr) return {ConvertStatus::Failed, "this format cannot say its canvas", 0, 0, {}};
        ConvertResult described = describe(bytes, plan.Info);
        if (described.Status != ConvertStatus::Converted) return described;
    }
    const AnimationInfo& info = plan.Info;
    const bool sized = info.DeclaredWidth > 0 && info.DeclaredHeight > 0;
    plan.Declared = wantDeclared && sized && FitsLimits(info.DeclaredWidth, info.DeclaredHeight);
    if (wantDeclared && !plan.Declared) {
        plan.Note = "the file declares a canvas of " + std::to_string(info.DeclaredWidth) + " x " +
                    std::to_string(info.DeclaredHeight) +
                    (sized ? ", over the limit" : "") + ", so frames are on the grown canvas";
    }
    plan.Width = plan.Declared ? static_cast<int>(info.DeclaredWidth) : 0;
    plan.Height = plan.Declared ? static_cast<int>(info.DeclaredHeight) : 0;
    return Converted();
}

// The frames picked by step or time, resolved against the file's delays into
// `chosen.Frames`. Converted, or a usage failure when no frame is picked.
ConvertResult ResolveSampling(const OutputOptions& options, const AnimationInfo& info, OutputOptions& chosen,
                              std::string& note)
{
    if (!SamplingAsked(options.Sampling)) return Converted();
    std::vector<double> delays;
    for (const FrameInfo& frame : info.Frames) delays.push_back(frame.DelayMs);
    chosen.Frames = SampleFrames(options.Frames, options.Sampling, delays, note);
    chosen.Sampling = {};
    if (!chosen.Frames.empty()) return Converted();
    return {ConvertStatus::Failed, "none of the frames asked for is in the file" + (note.empty() ? "" : ": " + note), 0, 0,
            {}, FailureKind::Usage};
}

// Step 3: what the frames came to, counted from the writer's threads.
struct FrameTally {
    std::mutex Mutex;
    std::uint64_t Written = 0, Existing = 0, Failed = 0, FirstFailedIndex = 0, Done = 0, Total = 0, Announced = 0;
    bool NoneChosen = false;  // the file has none of the chosen frames
    std::string FirstFailure;
    std::atomic<bool> NoRoom = false;        // a frame failed because the file system is full
    std::vector<std::string> WrittenPaths;   // the files this run wrote, to take back when the disk fills

    // The converter's frame count, and how many of the chosen frames it has.
    void Announce(std::uint64_t frames, const FrameList& list)
    {
        std::lock_guard lock(Mutex);
        Announced = frames;
        Total = ListedCount(list, frames);
        NoneChosen = !list.empty() && Total == 0;
    }

    void Count(std::uint64_t index, const SaveOutcome& outcome, const std::string& path, const ProgressFunction& progress)
    {
        std::lock_guard lock(Mutex);
        if (outcome.NoRoom) NoRoom = true;
        switch (outcome.Status) {
        case SaveStatus::Written:
            ++Written;
            WrittenPaths.push_back(path);
            break;
        case SaveStatus::AlreadyExists: ++Existing; break;
        case SaveStatus::Failed:
            // Frames finish out of order on the workers: report the lowest.
            if (Failed++ == 0 || index < FirstFailedIndex) {
                FirstFailedIndex = index;
                FirstFailure = "frame " + std::to_string(index) + ": " + outcome.Reason;
            }
            break;
        }
        if (progress) progress(++Done, Total);
    }
};

// Steps 3 and 4 share this: the folders are made when the first chosen frame
// is ready (for a sheet, when it has been packed), so a file that turns out
// not to be an animation (or to be over a limit) leaves nothing behind.
// Empty, or why they cannot be made.
struct FolderMaker {
    bool Tried = false;
    std::string Error;
    std::vector<std::filesystem::path> Made;  // the folders this run made, outermost first

    bool Ready(const OutputOptions& options, const OutputPlaces& places)
    {
        if (!Tried) {
            Tried = true;
            if (!options.OutputFolder.empty()) {
                NoteMissing(PathFromUtf8(options.OutputFolder));
                Error = CreateFolder(options.OutputFolder, true, "output folder " + options.OutputFolder);
            }
            if (Error.empty() && places.MakeFolder) {
                NoteMissing(PathFromUtf8(OutputFolderPath(places.Placed)));
                Error = CreateFolder(OutputFolderPath(places.Placed), false, "folder");
            }
        }
        return Error.empty();
    }

    // Records the folders of `path` that are not there yet, outermost first.
    void NoteMissing(std::filesystem::path path)
    {
        std::vector<std::filesystem::path> missing;
        std::error_code error;
        for (; !path.empty() && !std::filesystem::exists(path, error); path = path.parent_path()) {
            missing.push_back(path);
            if (path == path.parent_path()) break;
        }
        Made.insert(Made.end(), missing.rbegin(), missing.rend());
    }

    // Takes back the folders made, innermost first, where they are empty.
    void TakeBack() const
    {
        std::error_code ignored;
        for (auto at = Made.rbegin(); at != Made.rend(); ++at) {
            if (std::filesystem::is_empty(*at, ignored)) std::filesystem::remove(*at, ignored);
        }
    }
};

// Step 3: the frame files. A frame equal to the one before it (a pause, a
// frame that changes nothing) joins it: encoded once, written under each
// index. The frame is held back until the next one shows whether it repeats.
// PNG frames go with the plan the file's planner measured.
struct FrameFiles {
    FrameWriterPool& Writer;
    bool Png = true;
    std::uint64_t Frames = 0;  // the file's frames, as announced
    Bitmap Held;
    std::vector<std::uint64_t> HeldIndices;
    std::optional<PngPlanner> Planner;

    void Add(std::uint64_t index, const Bitmap& frame, std::uint64_t frames)
    {
        Frames = frames;
        const bool repeats = !HeldIndices.empty() && SamePixels(Held, frame);
        if (!repeats) {
            HandOn();
            Held.Width = frame.Width;
            Held.Height = frame.Height;
            Held.Pixels.assign(frame.Pixels.begin(), frame.Pixels.end());
        }
        HeldIndices.push_back(index);
    }
    void HandOn()
    {
        if (HeldIndices.empty()) return;
        PngPlan plan;
        if (Png) {
            if (!Planner) Planner.emplace(Frames);
            plan = Planner->PlanFor(Held);
        }
        Writer.Submit(HeldIndices, Held, plan);
        HeldIndices.clear();
    }
};

// Steps 3 and 4 meet here: each composed frame goes to the frame files or the
// sheet, fitted to the declared canvas when that is asked for; with
// --merge-held, a run of equal frames goes once, numbered in order, for the
// sum of their times.
struct FrameRoute {
    const OutputOptions& Options;
    const OutputPlaces& Places;
    const CanvasPlan& Plan;
    FrameTally& Tally;
    FolderMaker& Folders;
    FrameFiles& Files;
    FrameBook& Book;
    SheetBuilder& Sheet;
    ArrayBuilder& Array;
    const ProgressFunction& Progress;
    std::uint64_t LastListed;
    Bitmap Fitted{}, Scaled{};
    HeldRun Run{};
    std::string Failure{};  // why no more frames could be made (a scaled frame over the limit, no room)
    bool RoomRefused = false;
    RoomEstimate Room{};
    std::uint64_t Taken = 0, Delivered = 0;

    // The sink's answer: whether the converter goes on.
    bool Take(std::uint64_t index, const Bitmap& composed)
    {
        if (Tally.NoneChosen || Tally.NoRoom) return false;     // decode nothing for nothing
        if (!FrameListed(Options.Frames, index)) return true;   // composed, since later frames build on it
        // No frame could be written: decode no more. A sheet's folders wait
        // until it is packed, so that a sheet refused then leaves nothing.
        if (!Options.Sheet && !Options.Array && !Folders.Ready(Options, Places)) return false;
        const bool fit = Plan.Declared && (composed.Width != Plan.Width || composed.Height != Plan.Height);
        if (fit) FitCanvas(composed, Plan.Width, Plan.Height, Fitted);
        const Bitmap* frame = fit ? &Fitted : &composed;
        if (ScalingAsked(Options.Scale)) {
            const auto [width, height] = ScaledSize(Options.Scale, frame->Width, frame->Height);
            if (!FitsLimits(width, height)) {
                Failure = "a frame scaled to " + std::to_string(width) + " x " + std::to_string(height) +
                          " pixels is over the limit of " + std::to_string(MaxCanvasPixels);
                return false;
            }
            Resample(*frame, static_cast<int>(width), static_cast<int>(height), ChosenFilter(Options.Scale), Scaled);
            frame = &Scaled;
        }
        return Route(index, *frame);
    }

    bool Route(std::uint64_t index, const Bitmap& frame)
    {
        if (!Failure.empty()) return false;
        const auto& frames = Plan.Info.Frames;
        const double delay = index < frames.size() ? frames[index].DelayMs : 0;
        ++Taken;
        if (!Options.MergeHeld) {
            Deliver(index, index, frame, delay);
        } else if (Run.Continues(frame)) {
            Run.DelayMs += delay;
            ++Run.Frames;
        } else {
            FlushRun();
            Run.Start(index, frame, delay);
        }
        return Failure.empty() && index < LastListed;  // stop after the last chosen frame
    }

    // Before the first frame file: whether the frames can fit. Their raw size
    // (with what PNG adds at worst) settles most files without encoding.
    bool RoomFor(const Bitmap& first)
    {
        const std::uint64_t frames = std::max<std::uint64_t>(Tally.Total, 1);
        const std::uint64_t raw = static_cast<std::uint64_t>(first.Width) * static_cast<std::uint64_t>(first.Height) * 4;
        const std::uint64_t bound = frames * (raw + raw / 64 + 1024);
        const std::optional<std::uint64_t> free = FreeBytes(Places.FramesFolder);
        const bool capped = Options.MaxOutputBytes > 0 && bound > Options.MaxOutputBytes;
        if (!capped && (!free || bound <= *free)) return true;
        Failure = CheckRoom(Options.Encoding, first, frames, Options.MaxOutputBytes, Places.FramesFolder, Room);
        RoomRefused = !Failure.empty();
        return !RoomRefused;
    }

    // The run held, as one frame.
    void FlushRun()
    {
        if (!Run.Holding) return;
        Deliver(Delivered, Run.FirstIndex, Run.Frame, Run.DelayMs);
        Run.Holding = false;
    }

    void Deliver(std::uint64_t number, std::uint64_t index, const Bitmap& frame, double delayMs)
    {
        ++Delivered;
        if (Options.Array) {
            Array.Add(index, frame, delayMs);
            if (Progress) Progress(Array.Frames.size(), Tally.Total);
            return;
        }
        const std::string path = NumberedFramePath(Places.Placed, Places.MakeFolder, Options, number, delayMs,
                                                   Plan.Info.Frames.size());
        if (!Options.Sheet && Delivered == 1 && !RoomFor(frame)) return;
        if (Options.Sheet) {
            Sheet.Add(FileNameOf(path), frame, delayMs);
            if (Progress) Progress(Sheet.Added(), Tally.Total);
        } else {
            Book.Enter(number, path, FileNameOf(path), index, delayMs);
            Files.Add(number, frame, Tally.Total);
        }
    }
};

// Step 4b: the timings file beside the frames. Empty, or why it could not be
// written; `note` says when one was there already (it is kept).
std::string WriteTimings(const OutputOptions& options, const OutputPlaces& places, const FrameBook& book,
                         const AnimationInfo& info, std::string& note)
{
    if (options.Timings == TimingsFormat::None || book.Frames.empty()) return {};
    const std::string base = OutputBasePath(places.Placed);
    const std::string path = (places.MakeFolder ? base + "/" + FileNameOf(base) : base) + TimingsSuffix(options.Timings);
    const std::string text = TimingsText(options.Timings, book.Frames, info.Loops);
    const SaveOutcome saved =
        WriteNewFile(path, std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
    if (saved.Status == SaveStatus::AlreadyExists) AddNote(note, FileNameOf(path) + " is there already and is kept");
    if (saved.Status == SaveStatus::Failed) return "cannot write " + FileNameOf(path) + ": " + saved.Reason;
    return {};
}

// Step 5: the converter's result with what the writing came to.
ConvertResult FinishResult(ConvertResult result, const FrameTally& tally, const OutputPlaces& places,
                           const OutputOptions& options, const std::string& writeFailure, const std::string& canvasNote)
{
    const FrameList& list = options.Frames;
    result.FramesWritten = tally.Written;
    result.FramesExisting = tally.Existing;
    if (result.Status != ConvertStatus::Converted) return result;
    if (!writeFailure.empty()) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::FileSystem;
        result.Reason = writeFailure;
        return result;
    }
    if (tally.NoneChosen) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::Usage;
        result.Reason = "no chosen frame is in the file: it has " + FrameCountText(tally.Announced) + ", " +
                        FramesPastEnd(list, tally.Announced) + " is past its end";
        return result;
    }
    result.Destination = places.Destination;
    result.FramesFolder = places.FramesFolder;
    if (tally.Failed > 0) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::FileSystem;
        result.Reason = FrameCountText(tally.Failed) + " could not be written (" + tally.FirstFailure + ")";
    }
    const std::string past = tally.Announced > 0 ? FramesPastEnd(list, tally.Announced) : std::string();
    if (!past.empty()) AddNote(result.Note, past + " past the end (the file has " + FrameCountText(tally.Announced) + ")");
    AddNote(result.Note, canvasNote);
    return result;
}

// A file whose frames could not fit: what this run wrote of it is removed
// (its frames and the folders it made, never what was there before), so that
// a retry is not skipped, and the result says how much room was missing.
ConvertResult TakeBack(const FrameRoute& route, const FrameTally& tally, const FolderMaker& folders)
{
    std::uint64_t fitted = 0, firstBytes = 0;
    std::error_code error;
    for (const std::string& path : tally.WrittenPaths) {
        const std::uint64_t size = std::filesystem::file_size(PathFromUtf8(path), error);
        if (!error && firstBytes == 0) firstBytes = size;
        if (!error) fitted += size;
        std::filesystem::remove(PathFromUtf8(path), error);
    }
    folders.TakeBack();
    if (route.RoomRefused) return {ConvertStatus::Failed, route.Failure, 0, 0, {}, FailureKind::FileSystem};
    const std::uint64_t each = route.Room.FrameBytes > 0 ? route.Room.FrameBytes : firstBytes;
    const std::uint64_t missing = each * (tally.Total > tally.Written ? tally.Total - tally.Written : 0);
    return {ConvertStatus::Failed,
            "the file system filled up after " + std::to_string(tally.Written) + " of " + std::to_string(tally.Total) +
                " frames (" + SizeInWords(fitted) + "); about " + SizeInWords(missing) +
                " more was needed. What was written of this file is removed, so that a retry converts it",
            0, 0, {}, FailureKind::FileSystem};
}

// Steps 1 and 2 together: everything decided before a frame is decoded.
struct PlannedOutputs {
    OutputOptions Chosen;      // the options with the sampled frames resolved
    OutputPlaces Places;
    CanvasPlan Canvas;
    SourceFile File;
    std::string SamplingNote;
    std::uint64_t Cells = 0;   // the chosen frames
    std::int64_t FrameWidth = 0, FrameHeight = 0;  // the size frames are written at
};

// Converted with `p` filled, or the file's result when it ends here (skipped,
// unreadable, not of its format, over a limit, or a usage error).
ConvertResult PlanOutputs(const std::string& source, const OutputOptions& options, DescribeBytesFunction describe,
                          PlannedOutputs& p)
{
    const AnimationInfo unknown;
    p.Places = PlanPlaces(source, options, unknown);
    const bool lateSkip = SkipNeedsDescription(options);
    if (!lateSkip && OutputTaken(p.Places, options)) {
        return {ConvertStatus::Skipped, "output already exists", 0, 0, p.Places.Destination};
    }
    p.File = ReadSourceFile(source);
    if (!p.File.Ok) return {ConvertStatus::Unreadable, p.File.Error, 0, 0, {}, FailureKind::FileSystem};
    if (ConvertResult planned = PlanCanvas(p.File.Bytes, options, describe, p.Canvas);
        planned.Status != ConvertStatus::Converted) {
        return planned;
    }
    p.Chosen = options;
    if (ConvertResult sampled = ResolveSampling(options, p.Canvas.Info, p.Chosen, p.SamplingNote);
        sampled.Status != ConvertStatus::Converted) {
        return sampled;
    }
    p.Places = PlanPlaces(source, p.Chosen, p.Canvas.Info);
    if (lateSkip && OutputTaken(p.Places, p.Chosen)) {
        return {ConvertStatus::Skipped, "output already exists", 0, 0, p.Places.Destination};
    }
    // The size frames are written at: the canvas, scaled when that is asked
    // for, within the limits before anything is decoded.
    const AnimationInfo& info = p.Canvas.Info;
    p.Cells = ListedCount(p.Chosen.Frames, info.Frames.size());
    std::tie(p.FrameWidth, p.FrameHeight) =
        ScaledSize(p.Chosen.Scale, p.Canvas.Declared ? info.DeclaredWidth : info.CanvasWidth,
                   p.Canvas.Declared ? info.DeclaredHeight : info.CanvasHeight);
    if (ScalingAsked(p.Chosen.Scale)) {
        if (std::string over = AnimationOverLimits(p.Cells, p.FrameWidth, p.FrameHeight); !over.empty()) {
            return OverLimit("scaled to " + std::to_string(p.FrameWidth) + " x " + std::to_string(p.FrameHeight) + ", " + over);
        }
    }
    return Converted();
}

// Step 4c: a sheet or an array, written whole once every frame is in.
// Converted (with its destination and note), or the file's result.
ConvertResult WriteWholeOutput(const PlannedOutputs& p, SheetBuilder& sheet, ArrayBuilder& array, FolderMaker& folders,
                               FrameTally& tally, std::string& writeFailure)
{
    ConvertResult written = Converted();
    const bool hasSheet = p.Chosen.Sheet && sheet.Added() > 0, hasArray = p.Chosen.Array && !array.Frames.empty();
    if (!hasSheet && !hasArray) return written;
    if (hasSheet) {
        written = sheet.Pack(p.Canvas.Info);
        if (written.Status != ConvertStatus::Converted) return written;
    }
    if (!folders.Ready(p.Chosen, p.Places)) {
        writeFailure = folders.Error;
        return Converted();
    }
    written = hasSheet ? sheet.Write() : array.Write(p.Canvas.Info);
    if (written.Status == ConvertStatus::Converted) tally.Written = hasSheet ? sheet.Added() : array.Frames.size();
    return written;
}

}  // namespace

ConvertResult ConvertFileWith(const std::string& source, const OutputOptions& options, ConvertBytesFunction convert,
                              DescribeBytesFunction describe, unsigned encodeThreads, const ProgressFunction& progress)
{
    PlannedOutputs p;
    if (ConvertResult planned = PlanOutputs(source, options, describe, p); planned.Status != ConvertStatus::Converted) {
        return planned;
    }
    const OutputOptions& chosen = p.Chosen;
    SheetBuilder sheet{chosen, p.Places.Sheet};
    ArrayBuilder array{p.Places.Array, 0, 0, {}, {}};
    ConvertResult planned = chosen.Sheet   ? sheet.Plan(p.Cells, p.FrameWidth, p.FrameHeight)
                            : chosen.Array ? array.Plan(p.Cells, p.FrameWidth, p.FrameHeight)
                                           : Converted();
    if (planned.Status != ConvertStatus::Converted) return planned;

    const FrameList& list = chosen.Frames;
    FrameTally tally;
    FolderMaker folders;
    FrameBook book;
    const FrameCountSink announce = [&](std::uint64_t frames) { tally.Announce(frames, list); };
    FrameWriterPool writer(chosen.Sheet || chosen.Array ? 0 : encodeThreads,
                           [&](const std::vector<std::uint64_t>& indices, const Bitmap& frame, PngEncoder& encoder,
                               const PngPlan& plan, std::vector<std::uint8_t>& encoded) {
                               for (std::uint64_t index : indices) {
                                   const std::string path = book.PathOf(index);
                                   const SaveOutcome saved =
                                       SaveFrame(chosen.Encoding, frame, path, encoded, encoder, &plan);
                                   tally.Count(index, saved, path, progress);
                               }
                           });
    FrameFiles frameFiles{writer, chosen.Encoding.Format == FrameFormat::Png, 0, {}, {}, {}};
    FrameRoute route{chosen, p.Places, p.Canvas, tally, folders, frameFiles, book, sheet, array, progress, LastListed(list)};
    const FrameSink sink = [&](std::uint64_t index, const Bitmap& composed) { return route.Take(index, composed); };

    ConvertResult result = convert(p.File.Bytes, sink, announce);
    if (!route.Failure.empty() && result.Status == ConvertStatus::Converted && !route.RoomRefused) {
        result = OverLimit(route.Failure);
    }
    route.FlushRun();
    frameFiles.HandOn();
    writer.Finish();
    if (route.RoomRefused || tally.NoRoom) return TakeBack(route, tally, folders);
    std::string writeFailure = folders.Error, timingsNote;
    ConvertResult written = Converted();
    if (result.Status == ConvertStatus::Converted && (chosen.Sheet || chosen.Array)) {
        written = WriteWholeOutput(p, sheet, array, folders, tally, writeFailure);
        if (written.Status != ConvertStatus::Converted) return written;
    } else if (result.Status == ConvertStatus::Converted && writeFailure.empty() && tally.Failed == 0) {
        writeFailure = WriteTimings(chosen, p.Places, book, p.Canvas.Info, timingsNote);
    }
    result = FinishResult(std::move(result), tally, p.Places, chosen, writeFailure, p.Canvas.Note);
    AddNote(result.Note, p.SamplingNote);
    if (route.Taken > route.Delivered) {
        const std::uint64_t merged = route.Taken - route.Delivered;
        AddNote(result.Note, std::to_string(merged) + (merged == 1 ? " held frame merged (" : " held frames merged (") +
                                 FrameCountText(route.Delivered) + " for " + std::to_string(route.Taken) + ")");
    }
    AddNote(result.Note, timingsNote);
    if (!written.Destination.empty() && result.Status == ConvertStatus::Converted) {
        result.Destination = written.Destination;
        result.FramesFolder = FolderOf(written.Destination);
    }
    AddNote(result.Note, written.Note);
    return result;
}

ConvertResult ConvertFileWith(const std::string& source, bool makeFolder, ConvertBytesFunction convert,
                              unsigned encodeThreads, const ProgressFunction& progress)
{
    OutputOptions options;
    options.MakeFolder = makeFolder;
    return ConvertFileWith(source, options, convert, nullptr, encodeThreads, progress);
}

}  // namespace framelot
