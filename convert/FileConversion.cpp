#include "convert/FileConversion.h"

#include <algorithm>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "convert/Describe.h"
#include "convert/SourceFile.h"
#include "imaging/Limits.h"
#include "imaging/Raster.h"
#include "output/FrameNaming.h"
#include "output/FrameWriterPool.h"
#include "output/NewFile.h"
#include "output/PathText.h"
#include "output/SavePng.h"
#include "output/SpriteSheet.h"

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

}  // namespace

ConvertResult ConvertFileWith(const std::string& source, const OutputOptions& options, ConvertBytesFunction convert,
                              DescribeBytesFunction describe, unsigned encodeThreads, const ProgressFunction& progress)
{
    const std::string placed = PlacedSource(source, options.OutputFolder);
    const bool makeFolder = options.MakeFolder;
    const FrameList& list = options.Frames;
    const std::string sheetPath = SheetFilePath(placed, makeFolder, ".png");
    const std::string atlasPath = SheetFilePath(placed, makeFolder, ".json");
    const std::string destination = options.Sheet ? sheetPath
                                    : makeFolder  ? OutputFolderPath(placed)
                                                  : FrameFilePath(placed, false, FirstListed(list));
    const bool exists = options.Sheet ? PathTaken(sheetPath) || PathTaken(atlasPath)
                                      : OutputExists(placed, makeFolder, FirstListed(list));
    if (exists) return {ConvertStatus::Skipped, "output already exists", 0, 0, destination};
    SourceFile file = ReadSourceFile(source);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};

    // The declared canvas and the frames' times come from the format's index,
    // read only when they are asked for.
    AnimationInfo info;
    if (options.Canvas == CanvasChoice::Declared || options.Sheet) {
        if (describe == nullptr) return {ConvertStatus::Failed, "this format cannot say its canvas", 0, 0, {}};
        ConvertResult described = describe(file.Bytes, info);
        if (described.Status != ConvertStatus::Converted) return described;
    }
    const bool declared = options.Canvas == CanvasChoice::Declared && info.DeclaredWidth > 0 &&
                          info.DeclaredHeight > 0 && FitsLimits(info.DeclaredWidth, info.DeclaredHeight);
    const int declaredWidth = declared ? static_cast<int>(info.DeclaredWidth) : 0;
    const int declaredHeight = declared ? static_cast<int>(info.DeclaredHeight) : 0;

    SheetLayout layout;
    std::uint64_t cells = 0;
    if (options.Sheet) {
        cells = ListedCount(list, info.Frames.size());
        layout = PlanSheet(cells, static_cast<std::uint64_t>(declared ? info.DeclaredWidth : info.CanvasWidth),
                           static_cast<std::uint64_t>(declared ? info.DeclaredHeight : info.CanvasHeight),
                           options.SheetColumns);
        if (cells > 0 && !FitsLimits(static_cast<std::int64_t>(layout.Width), static_cast<std::int64_t>(layout.Height))) {
            return OverLimit("the sheet would be " + std::to_string(layout.Width) + " x " + std::to_string(layout.Height) +
                             " pixels, over the limit of " + std::to_string(MaxCanvasPixels) +
                             "; choose fewer frames with --frames, or another grid with --columns");
        }
    }

    // The folders are made when the first chosen frame is ready, so a file that
    // turns out not to be an animation (or to be over a limit) leaves nothing
    // behind.
    bool foldersTried = false;
    std::string folderError;
    std::mutex countMutex;
    std::uint64_t written = 0, existing = 0, failed = 0, firstFailedIndex = 0, done = 0, total = 0, announced = 0;
    bool noneChosen = false;  // the file has none of the chosen frames
    std::string firstFailure;
    auto count = [&](std::uint64_t index, const SaveOutcome& outcome) {
        std::lock_guard lock(countMutex);
        switch (outcome.Status) {
        case SaveStatus::Written: ++written; break;
        case SaveStatus::AlreadyExists: ++existing; break;
        case SaveStatus::Failed:
            // Frames finish out of order on the workers: report the lowest.
            if (failed++ == 0 || index < firstFailedIndex) {
                firstFailedIndex = index;
                firstFailure = "frame " + std::to_string(index) + ": " + outcome.Reason;
            }
            break;
        }
        if (progress) progress(++done, total);
    };
    const FrameCountSink announce = [&](std::uint64_t frames) {
        std::lock_guard lock(countMutex);
        announced = frames;
        total = ListedCount(list, frames);
        noneChosen = !list.empty() && total == 0;
    };
    FrameWriterPool writer(options.Sheet ? 0 : encodeThreads,
                           [&](const std::vector<std::uint64_t>& indices, const Bitmap& frame, PngEncoder& encoder) {
                               std::vector<std::uint8_t> encoded;
                               for (std::uint64_t index : indices) {
                                   count(index, SavePng(frame, FrameFilePath(placed, makeFolder, index), encoded,
                                                        encoder));
                               }
                           });
    // A frame equal to the one before it (a pause, a frame that changes
    // nothing) joins it: encoded once, written under each index. The frame is
    // held back until the next one shows whether it repeats.
    Bitmap held, fitted, sheet;
    std::vector<std::uint64_t> heldIndices;
    std::vector<SheetEntry> entries;
    auto handOn = [&] {
        if (heldIndices.empty()) return;
        writer.Submit(heldIndices, held);
        heldIndices.clear();
    };
    const std::uint64_t lastListed = LastListed(list);
    const FrameSink sink = [&](std::uint64_t index, const Bitmap& composed) {
        if (noneChosen) return false;                  // decode nothing for nothing
        if (!FrameListed(list, index)) return true;    // composed, since later frames build on it
        if (!foldersTried) {
            foldersTried = true;
            if (!options.OutputFolder.empty()) {
                folderError = CreateFolder(options.OutputFolder, true, "output folder " + options.OutputFolder);
            }
            if (folderError.empty() && makeFolder) folderError = CreateFolder(OutputFolderPath(placed), false, "folder");
        }
        if (!folderError.empty()) return false;  // no frame could be written: decode no more
        const bool fit = declared && (composed.Width != declaredWidth || composed.Height != declaredHeight);
        if (fit) FitCanvas(composed, declaredWidth, declaredHeight, fitted);
        const Bitmap& frame = fit ? fitted : composed;
        if (options.Sheet) {
            if (entries.size() < cells) {
                if (sheet.Pixels.empty()) sheet = MakeBitmap(static_cast<int>(layout.Width), static_cast<int>(layout.Height));
                const Rect cell = SheetCell(layout, entries.size());
                const int width = std::min(frame.Width, cell.Width), height = std::min(frame.Height, cell.Height);
                CopyBlock(sheet, cell.Left, cell.Top, frame, width, height);
                entries.push_back({FileNameOf(FrameFilePath(placed, false, index)), Rect{cell.Left, cell.Top, width, height},
                                   index < info.Frames.size() ? info.Frames[index].DelayMs : 0});
                if (progress) progress(entries.size(), total);
            }
            return index < lastListed;
        }
        const bool repeats = !heldIndices.empty() && held.Width == frame.Width && held.Height == frame.Height &&
                             held.Pixels == frame.Pixels;
        if (!repeats) {
            handOn();
            held.Width = frame.Width;
            held.Height = frame.Height;
            held.Pixels.assign(frame.Pixels.begin(), frame.Pixels.end());
        }
        heldIndices.push_back(index);
        return index < lastListed;  // stop after the last chosen frame
    };

    ConvertResult result = convert(file.Bytes, sink, announce);
    handOn();
    writer.Finish();
    std::string sheetFailure;
    if (options.Sheet && result.Status == ConvertStatus::Converted && folderError.empty() && !entries.empty()) {
        PngEncoder encoder;
        std::vector<std::uint8_t> encoded;
        const SaveOutcome image = SavePng(sheet, sheetPath, encoded, encoder);
        SaveOutcome atlas = image;
        if (image.Status == SaveStatus::Written) {
            const std::string json = SheetAtlasJson(entries, layout, FileNameOf(sheetPath), FRAMELOT_VERSION);
            atlas = WriteNewFile(atlasPath, std::span(reinterpret_cast<const std::uint8_t*>(json.data()), json.size()));
            if (atlas.Status != SaveStatus::Written) {
                std::error_code ignored;  // the sheet without its atlas is no use: it goes, so a retry is not skipped
                std::filesystem::remove(PathFromUtf8(sheetPath), ignored);
            }
        }
        if (atlas.Status == SaveStatus::Written) {
            written = entries.size();
        } else if (atlas.Status == SaveStatus::AlreadyExists) {
            return {ConvertStatus::Skipped, "output already exists", 0, 0, destination};
        } else {
            sheetFailure = "cannot write the sheet: " + atlas.Reason;
        }
    }
    result.FramesWritten = written;
    result.FramesExisting = existing;
    if (result.Status == ConvertStatus::Converted && !(folderError.empty() && sheetFailure.empty())) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::FileSystem;
        result.Reason = folderError.empty() ? sheetFailure : folderError;
    } else if (result.Status == ConvertStatus::Converted && noneChosen) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::Usage;
        result.Reason = "no chosen frame is in the file: it has " + FrameCountText(announced) + ", " +
                        FramesPastEnd(list, announced) + " is past its end";
    } else if (result.Status == ConvertStatus::Converted) {
        result.Destination = destination;
        if (failed > 0) {
            result.Status = ConvertStatus::Failed;
            result.Failure = FailureKind::FileSystem;
            result.Reason = FrameCountText(failed) + " could not be written (" + firstFailure + ")";
        }
        const std::string past = announced > 0 ? FramesPastEnd(list, announced) : std::string();
        if (!past.empty()) result.Note = past + " past the end (the file has " + FrameCountText(announced) + ")";
    }
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
