#include "imaging/FileConversion.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "imaging/Output.h"
#include "imaging/PngWriter.h"

namespace framelot {

ConvertResult ConvertFileWith(const std::string& source, bool makeFolder, ConvertBytesFunction convert)
{
    const std::string destination = makeFolder ? OutputFolderPath(source) : FrameFilePath(source, false, 0);
    if (OutputExists(source, makeFolder)) {
        return {ConvertStatus::Skipped, "output already exists", 0, 0, destination};
    }
    SourceFile file = ReadSourceFile(source);
    if (!file.Ok) return {ConvertStatus::Unreadable, file.Error, 0, 0, {}};

    // The folder is made when the first frame is ready, so a file that turns out
    // not to be an animation (or to be over a limit) leaves nothing behind.
    bool folderTried = false;
    std::string folderError;
    std::uint64_t written = 0, existing = 0, failed = 0;
    std::string firstFailure;
    const FrameSink sink = [&](std::uint64_t index, const Bitmap& frame) {
        if (makeFolder && !folderTried) {
            folderTried = true;
            const std::string folder = OutputFolderPath(source);
            if (::mkdir(folder.c_str(), 0777) != 0 && errno != EEXIST) {
                folderError = std::string("cannot create folder: ") + std::strerror(errno);
            } else {
                struct stat st;
                if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
                    folderError = "cannot create folder: a file of that name is in the way";
                }
            }
        }
        SaveOutcome outcome;
        if (!folderError.empty()) {
            outcome = {SaveStatus::Failed, folderError};
        } else {
            outcome = SavePng(frame, FrameFilePath(source, makeFolder, index));
        }
        switch (outcome.Status) {
        case SaveStatus::Written: ++written; break;
        case SaveStatus::AlreadyExists: ++existing; break;
        case SaveStatus::Failed:
            if (failed++ == 0) firstFailure = "frame " + std::to_string(index) + ": " + outcome.Reason;
            break;
        }
    };

    ConvertResult result = convert(file.Bytes, sink);
    result.FramesWritten = written;
    result.FramesExisting = existing;
    if (result.Status == ConvertStatus::Converted) {
        result.Destination = destination;
        if (failed > 0) {
            result.Status = ConvertStatus::Failed;
            result.Reason = std::to_string(failed) + (failed == 1 ? " frame" : " frames") +
                            " could not be written (" + firstFailure + ")";
        }
    }
    return result;
}

}  // namespace framelot
