// The one road every composed frame takes to its output: pick (the plan's
// chosen frames) -> fit (the declared canvas) and scale (one factor per file)
// -> merge (equal neighbours in the file, with --merge-held) -> the sink,
// each frame delivered with its number in the names and the time until the
// next delivered frame. Objects here belong to the converting thread.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "convert/FrameBook.h"
#include "convert/OutputPlan.h"
#include "imaging/Bitmap.h"

namespace framelot {

// A frame as a sink receives it. `Pixels` is valid during the call only.
struct DeliveredFrame {
    std::uint64_t Number = 0;  // in the names (before --start): NumberedInOrder
    std::uint64_t Index = 0;   // in the file (the first of a merged run)
    double DurationMs = 0;     // UntilTheNextPicked, summed over a merged run
    const Bitmap& Pixels;
};

// A sink's Add: true to go on, false when it can take no more (its own
// state says why).
using DeliverFunction = std::function<bool(const DeliveredFrame& frame)>;

struct FrameChain {
    const OutputPlan& Plan;
    DeliverFunction Deliver;
    Bitmap Laid{}, Scaled{};     // the frame on the plan's canvas, and scaled
    HeldRun Run{};
    std::uint64_t RunLast = 0;   // the last index of the run held
    std::uint64_t Taken = 0;     // chosen frames that reached the merge
    std::uint64_t Delivered = 0; // frames handed to the sink
    bool Stopped = false;        // the sink refused a frame

    // The converter's FrameSink: false once the last chosen frame is in, or
    // the sink has stopped. Costs, per chosen frame, a fit or scale when the
    // plan asks for one, a comparison with the run held when merging, and
    // the sink's Add.
    bool Take(std::uint64_t index, const Bitmap& composed);

    // Hands on the run still held. Call once the converter is done.
    void Flush();
};

}  // namespace framelot
