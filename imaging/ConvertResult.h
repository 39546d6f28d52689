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
    Failed,        // refused, or a frame could not be written
};

// What kind of cause a Failed or Unreadable result has, so a caller can tell a
// file that is over one of the program's limits from one that is damaged.
enum class FailureKind {
    None,
    OverLimit,   // within the format, but beyond a limit in imaging/Limits.h
    Damaged,     // the data cannot be decoded
    FileSystem,  // reading the source or writing a frame failed
    Usage,       // the options ask for what the file does not have (frames past its end)
};

struct ConvertResult {
    ConvertStatus Status = ConvertStatus::Failed;
    std::string Reason;                // what happened, in words a user understands
    std::uint64_t FramesWritten = 0;   // frame files created by this conversion
    std::uint64_t FramesExisting = 0;  // frame files that were already there
    std::string Destination;           // the folder or the first frame's path
    FailureKind Failure = FailureKind::None;
    std::string Note = {};             // said after a result: chosen frames the file does not have
    std::string FramesFolder = {};     // Converted: the folder the frames (or the sheet) were written in
    // Converted: what of the file could not be decoded, and what its frames
    // show instead ("the file ends inside frame 3 of 10: frames 3 to 9 are
    // missing"); empty when the whole file decoded. Such a file converts what
    // it can, and a caller reports it as failed.
    std::string Damage = {};
};

inline ConvertResult Converted()
{
    return {ConvertStatus::Converted, {}, 0, 0, {}, FailureKind::None};
}

inline ConvertResult NotAnimation(std::string reason)
{
    return {ConvertStatus::NotAnimation, std::move(reason), 0, 0, {}, FailureKind::None};
}

inline ConvertResult OverLimit(std::string reason)
{
    return {ConvertStatus::Failed, std::move(reason), 0, 0, {}, FailureKind::OverLimit};
}

inline ConvertResult Damaged(std::string reason)
{
    return {ConvertStatus::Failed, std::move(reason), 0, 0, {}, FailureKind::Damaged};
}

// Receives each finished frame, straight alpha, in order. The bitmap is only
// valid during the call. Returns true to go on; false stops the converter at
// once, which then returns Converted without decoding another frame (the
// sink, which refused, knows why).
using FrameSink = std::function<bool(std::uint64_t index, const Bitmap& frame)>;

// Told once, after the file's frames have been walked and before the first one
// is handed on, how many frames the converter will hand on.
using FrameCountSink = std::function<void(std::uint64_t frames)>;

// A converter over bytes: checks the data, announces the frame count, composes
// every frame and hands it to the sink. Returns Converted when it went through
// its frames, or why not.
using ConvertBytesFunction = ConvertResult (*)(std::span<const std::uint8_t> bytes, const FrameSink& sink,
                                               const FrameCountSink& announce);

}  // namespace framelot
