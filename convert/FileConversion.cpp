#include "convert/FileConversion.h"

#include <filesystem>
#include <mutex>
#include <system_error>

#include "convert/SourceFile.h"
#include "output/FrameNaming.h"
#include "output/FrameWriterPool.h"
#include "output/PathText.h"
#include "output/SavePng.h"

namespace framelot {

ConvertResult ConvertFileWith(const std::string& source, bool makeFolder, ConvertBytesFunction convert,
                              unsigned encodeThreads, const ProgressFunction& progress)
{
    const std::string destination = makeFolder ? OutputFolderPath(source) : FrameFilePath(source, false, 0);
    if (OutputExists(source, makeFolder)) {
        return {ConvertStatus::Skipped, "output already exists", 0, 0, destination};
    }
    SourceFile file = ReadSourceFile(source);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}, FailureKind::FileSystem};

    // The folder is made when the first frame is ready, so a file that turns out
    // not to be an animation (or to be over a limit) leaves nothing behind.
    bool folderTried = false;
    std::string folderError;
    std::mutex countMutex;
    std::uint64_t written = 0, existing = 0, failed = 0, firstFailedIndex = 0, done = 0, total = 0;
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
        total = frames;
    };
    FrameWriterPool writer(encodeThreads, [&](const std::vector<std::uint64_t>& indices, const Bitmap& frame,
                                              PngEncoder& encoder) {
        std::vector<std::uint8_t> encoded;
        for (std::uint64_t index : indices) {
            count(index, SavePng(frame, FrameFilePath(source, makeFolder, index), encoded, encoder));
        }
    });
    // A frame equal to the one before it (a pause, a frame that changes
    // nothing) joins it: encoded once, written under each index. The frame is
    // held back until the next one shows whether it repeats.
    Bitmap held;
    std::vector<std::uint64_t> heldIndices;
    auto handOn = [&] {
        if (heldIndices.empty()) return;
        writer.Submit(heldIndices, held);
        heldIndices.clear();
    };
    const FrameSink sink = [&](std::uint64_t index, const Bitmap& frame) {
        if (makeFolder && !folderTried) {
            folderTried = true;
            const std::filesystem::path folder = PathFromUtf8(OutputFolderPath(source));
            std::error_code error;
            std::filesystem::create_directory(folder, error);
            if (error == std::errc::file_exists || (!error && !std::filesystem::is_directory(folder, error))) {
                folderError = "cannot create folder: a file of that name is in the way";
            } else if (error) {
                folderError = "cannot create folder: " + error.message();
            }
        }
        if (!folderError.empty()) return false;  // no frame could be written: decode no more
        const bool repeats = !heldIndices.empty() && held.Width == frame.Width && held.Height == frame.Height &&
                             held.Pixels == frame.Pixels;
        if (!repeats) {
            handOn();
            held.Width = frame.Width;
            held.Height = frame.Height;
            held.Pixels.assign(frame.Pixels.begin(), frame.Pixels.end());
        }
        heldIndices.push_back(index);
        return true;
    };

    ConvertResult result = convert(file.Bytes, sink, announce);
    handOn();
    writer.Finish();
    result.FramesWritten = written;
    result.FramesExisting = existing;
    if (result.Status == ConvertStatus::Converted && !folderError.empty()) {
        result.Status = ConvertStatus::Failed;
        result.Failure = FailureKind::FileSystem;
        result.Reason = folderError;
    } else if (result.Status == ConvertStatus::Converted) {
        result.Destination = destination;
        if (failed > 0) {
            result.Status = ConvertStatus::Failed;
            result.Failure = FailureKind::FileSystem;
            result.Reason = std::to_string(failed) + (failed == 1 ? " frame" : " frames") +
                            " could not be written (" + firstFailure + ")";
        }
    }
    return result;
}

}  // namespace framelot
