// The PNG plan of a file's frames, chosen by measuring it: the candidate
// plans (each row filter strategy, and the compression levels no slower than
// the frame's fixed plan) are tried on a sample of the frame's own rows, and
// the plan kept is the one with the best bytes-for-time score among those
// that write no more bytes and cost no more time than the fixed plan
// (PlanPngFrame). The plan is then used for the frames that follow while
// they look alike; a frame that looks otherwise has its own fixed plan until
// a new trial is due.
//
// Deterministic: the plan depends on the pixels only (times come from a cost
// model, not a clock), so the same frames are always written as the same bytes.
//
// Threads: a PngPlanner belongs to one thread, the one handing the frames to
// the writer, in their order. TryPngPlans keeps no state of its own.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/Bitmap.h"
#include "output/PngPlan.h"

namespace framelot {

// Files of fewer frames, or with frames of fewer pixels, keep the fixed plan:
// there a trial would cost more than it could save.
inline constexpr std::uint64_t MinTrialFrames = 12;
inline constexpr std::uint64_t MinTrialPixels = 128 * 128;
// A new trial is due when the frame's fixed plan differs from the trial
// frame's, but no sooner than this many frames after the last one, and in
// any case after RetrialFrames.
inline constexpr std::uint64_t MinTrialGap = 16;
inline constexpr std::uint64_t RetrialFrames = 64;
// The sample is one band of rows in WideSampleShare, or in NarrowSampleShare
// for files of fewer than ShortFileFrames frames, which have fewer frames to
// spread the trial's cost over.
inline constexpr int WideSampleShare = 4;
inline constexpr int NarrowSampleShare = 8;
inline constexpr std::uint64_t ShortFileFrames = 32;

struct PngTrial {
    PngPlan Plan;                     // the plan kept
    PngPlan Fallback;                 // the frame's fixed plan
    std::uint64_t SampleBytes = 0;    // the sample's filtered bytes
    std::uint64_t Bytes = 0;          // the sample compressed by Plan
    std::uint64_t FallbackBytes = 0;  // and by Fallback
    int Candidates = 0;               // plans compressed
};

// The modelled time of a plan that compresses `in` filtered bytes into `out`,
// in nanoseconds on the machine the model was measured on: a cost a filtered
// byte for the filter and the level, and one a compressed byte for the level,
// which grows steeply with the level (matches are searched harder where
// fewer are found).
double PngPlanCost(const PngPlan& plan, std::uint64_t in, std::uint64_t out);

// Tries the candidates on a sample of `frame` (every row when it has at most
// 128, else bands of 8 rows spread over it, one in `sampleShare`) against
// `fallback`, and returns the result; a frame whose sides do not match its
// pixels gets the fallback untried. Costs filtering the sample five times and
// compressing it up to nine times: with a share of 4, about two encodings of
// the whole frame.
PngTrial TryPngPlans(const Bitmap& frame, const PngPlan& fallback, int sampleShare);
// The same against the frame's fixed plan, one band in WideSampleShare.
PngTrial TryPngPlans(const Bitmap& frame);

class PngPlanner {
public:
    // `frames`: how many frames the file has (0: not known, taken as many).
    explicit PngPlanner(std::uint64_t frames);

    // The plan for the next frame, trying the candidates on it when a trial
    // is due (see above).
    PngPlan PlanFor(const Bitmap& frame);

    std::uint64_t Trials() const { return trials_; }

private:
    bool tryable_;
    bool short_;
    bool tried_ = false;
    PngPlan trialFallback_;  // the fixed plan of the last trial's frame
    PngPlan measured_;       // and the plan that trial kept
    std::uint64_t sinceTrial_ = 0;
    std::uint64_t trials_ = 0;
};

}  // namespace framelot
