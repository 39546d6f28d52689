// The PNG plan of a file's frames, chosen by measuring it: the candidate
// plans (each row filter strategy at the fixed plan's level, our row encoder
// on the two strategies that came out smallest, and other compression levels
// the cost model allows) are tried on a sample of the frame's own rows.
// Among those whose modelled time is no more than the fixed plan's
// (PlanPngFrame), the plan kept is the quickest whose bytes are within
// PngByteMargin of the smallest: time at a byte goal. The plan is then used
// for the frames that follow while they look alike; a frame that looks
// otherwise has its own fixed plan until a new trial is due.
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
#include "output/encoders/PngPlan.h"

struct libdeflate_compressor;

namespace framelot {

// Files of fewer frames, or with frames of fewer pixels, keep the fixed plan:
// there a trial would cost more than it could save.
inline constexpr std::uint64_t MinTrialFrames = 12;
inline constexpr std::uint64_t MinTrialPixels = 128 * 128;
// A new trial is due when the frame's fixed plan differs from the trial
// frame's, but no sooner than this many frames after the last one, and in
// any case after RetrialFrames.
inline constexpr std::uint64_t MinTrialGap = 24;
inline constexpr std::uint64_t RetrialFrames = 96;

// A plan may write this much more than the smallest plan tried (a two
// hundredth), when it takes less time.
inline constexpr double PngByteMargin = 0.005;

class RowDeflater;

// libdeflate's compressors, one a level, made on first use, and a row
// encoder, kept between trials.
class PngTrialCompressors {
public:
    PngTrialCompressors();
    ~PngTrialCompressors();
    PngTrialCompressors(const PngTrialCompressors&) = delete;
    PngTrialCompressors& operator=(const PngTrialCompressors&) = delete;
    // Null when it cannot be made.
    libdeflate_compressor* At(int level);
    RowDeflater& Rows() { return *rows_; }

private:
    static constexpr int Levels = 13;  // libdeflate's 0 to 12
    std::array<libdeflate_compressor*, Levels> byLevel_{};
    std::unique_ptr<RowDeflater> rows_;
};

struct PngTrial {
    PngPlan Plan;                     // the plan kept
    PngPlan Fallback;                 // the frame's fixed plan
    std::uint64_t SampleBytes = 0;    // the sample's filtered bytes
    std::uint64_t Bytes = 0;          // the sample compressed by Plan
    std::uint64_t FallbackBytes = 0;  // and by Fallback
    std::uint64_t SmallestBytes = 0;  // the smallest of the plans no costlier than Fallback
    std::size_t Tried = 0;            // plans tried on the sample
};

// The modelled time of a plan that compresses `in` filtered bytes into `out`,
// in nanoseconds on the machine the model was measured on: a cost a filtered
// byte for the filter and the level, and one a compressed byte for the level,
// which grows steeply with the level (matches are searched harder where
// fewer are found).
double PngPlanCost(const PngPlan& plan, std::uint64_t in, std::uint64_t out);

// Tries the candidates on a sample of `frame` against `fallback` and returns
// the result (see the top of this file): every row of a frame at most 128 rows tall; else one band of
// 16 rows in eight, and as many bands of the rows that differ from the row
// above (what is drawn in a few rows only, a sprite over a still backdrop,
// is where the bytes are). A choice is confirmed on the bands between. A
// frame whose sides do not match its pixels gets the fallback untried.
// Costs filtering the sample five times and compressing it up to ten times,
// and the confirmation: about one and a half encodings of the whole frame.
// Every plan kept costs no more than `fallback` by the model and writes at
// most PngByteMargin more than the smallest such plan on the sample.
PngTrial TryPngPlans(const Bitmap& frame, const PngPlan& fallback, PngTrialCompressors& compressors);
// The same against the frame's fixed plan.
PngTrial TryPngPlans(const Bitmap& frame);

class PngPlanner {
public:
    // `frames`: how many frames the file has (0: not known, taken as many).
    explicit PngPlanner(std::uint64_t frames);

    // The plan for the next frame, trying the candidates on it when a trial
    // is due (see above). Costs the frame's fixed plan (PlanPngFrame's
    // sampling) and, when due, a trial.
    PngPlan PlanFor(const Bitmap& frame);

    std::uint64_t Trials() const { return trials_; }

private:
    bool tryable_;
    PngTrialCompressors compressors_;
    bool tried_ = false;
    PngPlan trialFallback_;  // the fixed plan of the last trial's frame
    PngPlan measured_;       // and the plan that trial kept
    std::uint64_t sinceTrial_ = 0;
    std::uint64_t trials_ = 0;
};

}  // namespace framelot
