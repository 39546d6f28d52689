// One file's frames as one NumPy array (--npy): N x H x W x 4 unsigned bytes
// (RGBA, straight alpha, always four channels), every frame on the one
// canvas at its origin, and beside it a JSON file of the frames' times and
// the loop count. Held whole in memory (at most MaxArrayBytes), then written
// as two new files, or neither. Objects here belong to the converting thread.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "imaging/AnimationInfo.h"
#include "imaging/Bitmap.h"
#include "imaging/ConvertResult.h"
#include "output/files/ByteCap.h"
#include "output/files/TimingsText.h"

namespace framelot {

// "<base>.npy" and "<base>.json", in the folder named after the source when
// `makeFolder`.
struct ArrayPaths {
    std::string Array, Times;
};

ArrayPaths PlanArrayPaths(const std::string& placed, bool makeFolder);

// True when either is there already.
bool ArrayTaken(const ArrayPaths& paths);

// Checks that `cells` frames of width x height x 4 bytes fit MaxArrayBytes:
// Converted, or over the limit with the size and what to do.
ConvertResult CheckArraySize(std::uint64_t cells, std::uint64_t width, std::uint64_t height);

// Copies `frame` to the origin of one array slot of width x height x 4 bytes
// at `slot`, clipped where it is larger; where it does not reach, the slot
// keeps what it held (zero in a new array). Costs one copy of the rows.
void LayAtOrigin(const Bitmap& frame, std::uint64_t width, std::uint64_t height, std::uint8_t* slot);

struct ArrayBuilder {
    ArrayPaths Paths;
    std::uint64_t Width = 0, Height = 0;
    std::vector<std::uint8_t> Data;  // the header's room, then the frames
    std::vector<TimedFrame> Frames;

    // Checks, before anything is decoded, that `cells` frames of width x
    // height fit MaxArrayBytes: Converted, or over the limit with the size.
    ConvertResult Plan(std::uint64_t cells, std::int64_t width, std::int64_t height);

    // Appends a frame: its pixels at the canvas's origin, clipped where it is
    // larger, transparent where it does not reach.
    void Add(std::uint64_t index, const Bitmap& frame, double delayMs);

    // Writes the array (with its header for the frames added) and the times,
    // each a new file; when either is there already or cannot be written,
    // neither stays; when `cap` cannot spend their bytes, neither is written.
    // Converted with the array's path in Destination, Skipped, or Failed with
    // the reason.
    ConvertResult Write(const AnimationInfo& info, ByteCap* cap = nullptr);
};

}  // namespace framelot
