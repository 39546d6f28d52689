// What a converter tells its caller about one file, and how it hands frames on.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <string>

#include "imaging/Bitmap.h"

namespace framelot {

enum class ConvertStatus {
    Converted,     // the frames were written (only this counts in the window)
    Skipped,       // the output is already there
    NotAnimation,  // not a file of this format with two or more frames
    Unreadable,    // the source could not be opened or read
    Failed,        // refused (over a limit) or a frame could not be written
};

struct ConvertResult {
    ConvertStatus Status = ConvertStatus::Failed;
    std::string Reason;            // what happened, in words a user understands
    std::uint64_t FramesWritten = 0;  // frame files created by this conversion
    std::uint64_t FramesExisting = 0; // frame files that were already there
    std::string Destination;       // the folder or the first frame's path
};

inline ConvertResult NotAnimation(std::string reason)
{
    return {ConvertStatus::NotAnimation, std::move(reason), 0, 0, {}};
}

inline ConvertResult Refused(std::string reason)
{
    return {ConvertStatus::Failed, std::move(reason), 0, 0, {}};
}

// Receives each finished frame, straight alpha, in order. The bitmap is only
// valid during the call.
using FrameSink = std::function<void(std::uint64_t index, const Bitmap& frame)>;

// A converter over bytes: checks the data, composes every frame and hands it to
// the sink. Returns Converted when it went through its frames, or why not.
using ConvertBytesFunction = ConvertResult (*)(std::span<const std::uint8_t> bytes, const FrameSink& sink);

}  // namespace framelot
