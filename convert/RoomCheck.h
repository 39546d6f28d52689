// Room for a file's frames, checked before the first one is written: the
// first frame encoded in memory in their format, times the frames to come,
// against what the target's file system has free. A frame sequence varies,
// so the estimate is rough; only a plan that clearly cannot fit (a quarter
// more than the room) is refused, and a disk that fills anyway is handled
// where the frames are written. Against --max-output, which is kept byte for
// byte as frames are written, only what cannot fit is refused at once: the
// first frame and the smallest file each later one can be.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imaging/Bitmap.h"
#include "output/encoders/FrameEncoding.h"
#include "output/files/SizeInWords.h"

namespace framelot {

struct RoomEstimate {
    std::uint64_t FrameBytes = 0;  // the first frame's file
    std::uint64_t Frames = 0;      // the frames to be written
    std::uint64_t Total = 0;       // FrameBytes x Frames
    std::optional<std::uint64_t> Free;  // the file system's room, when it can be told
    bool OverCap = false;          // refused for --max-output (else for the free space)
};

// What to do about frames that take too much room.
inline constexpr const char* FewerFramesHint =
    "choose fewer frames with --frames or --every, or smaller ones with --scale";

// Estimates and checks. Empty when the frames may be written; else why not,
// with the numbers and what to do. Costs one encoding of `first` in the
// frames' format and one look at the file system holding `folder`.
std::string CheckRoom(const FrameEncoding& encoding, const Bitmap& first, std::uint64_t frames, std::uint64_t maxOutput, const std::string& folder,
                      RoomEstimate& estimate);

}  // namespace framelot
