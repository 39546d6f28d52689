#include "output/encoders/PngTrial.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "output/encoders/PngFilter.h"
#include "output/encoders/RowDeflate.h"

namespace framelot {
namespace {

constexpr int BandRows = 16;          // rows a band of the sample: deflate sees whole stretches
constexpr int WholeSampleRows = 128;  // frames up to this tall are tried whole
constexpr int MinBands = 4;           // taller ones in at least this many bands of each kind
constexpr int SampleShare = 8;        // one band in this many
constexpr int StrategyCount = 5;
constexpr PngRowFilters Strategies[StrategyCount] = {PngRowFilters::None, PngRowFilters::Sub, PngRowFilters::Up,
                                                     PngRowFilters::Paeth, PngRowFilters::Adaptive};
// The levels tried besides the fixed plan's, nearest to it first.
constexpr int Ladder[] = {QuickLevel, 5, DefaultLevel, FewColoursLevel, NoisyLevel, DenseLevel};
constexpr int MaxLadderTries = 3;
constexpr int MaxDeflateLevel = 12;
// The row encoder is tried on this many of the strategies that came out
// smallest at the fixed level, when the smallest compressed the sample to at
// most this share: on noise its chains find little and cost more than
// libdeflate's, which gives up early (a lossy WebP's frames measured 1.2 to
// 2 times libdeflate's level 9 time there), and the model, fitted below
// that share, would not see it.
constexpr int RowTries = 2;
constexpr double RowsMaxShare = 0.3;

// The cost model, in nanoseconds, refitted on one core of the benchmark
// machine (libdeflate 1.14, Debian 12) over frames of every kind (flat,
// smooth, dithered, photographic, translucent, decoded lossy WebP and AV1,
// GIFs made from video), 600 measures: a filtered byte costs its filter's
// share and its level's, a compressed byte its level's. Levels 1 to 7 are
// fitted on frames that compress to under 30%; 8 and up search so much
// harder where matches are rare that no straight line fits them, and keep
// the steep figures that rank them last. The row encoder took 0.47 to 0.63
// of level 6's time on every kind measured, and is modelled at 0.55 of it.
// What the model gives per filtered byte, at a tenth of the bytes coming out
// (a dithered GIF) and at a hundredth (flat graphics):
//
//   level      1    2    3    4    5     6     7     8      9   rows
//   1/10      3.4  5.3  6.2  7.2  9.9  12.3  13.2  97.5  163.1   6.8
//   1/100     2.3  3.1  3.1  3.1  3.3   3.7   4.1  13.1   19.6   2.0
//
// Filtering, measured the same way: 0.08 (a copy), 0.10 (Sub, Up), 0.24
// (Paeth) and 2.4 (each row's best of five) a byte. The fit is within a
// factor of three of the measured times below level 8.
constexpr double FilterCost[StrategyCount] = {0.08, 0.10, 0.10, 0.24, 2.4};  // none, Sub, Up, Paeth, adaptive
constexpr double InCost[MaxDeflateLevel + 1] = {0.9, 2.2, 2.8, 2.8, 2.7, 2.6, 2.7, 3.1, 3.7, 3.7, 7.0, 11.0, 15.0};
constexpr double OutCost[MaxDeflateLevel + 1] = {9, 12, 25, 34, 45, 73, 96, 101, 938, 1594, 3700, 5500, 7400};
constexpr double RowsInCost = 1.5;
constexpr double RowsOutCost = 53;

int StrategyIndex(PngRowFilters filters)
{
    return static_cast<int>(std::find(std::begin(Strategies), std::end(Strategies), filters) - std::begin(Strategies));
}

// The rows of a sample: every row of a small frame; else bands of rows, one
// in `share` (`between`: the bands halfway between those), and as many bands
// again of the rows that differ from the row above. The first bands see the
// frame as it is, rows repeated included; the others find what is drawn in
// a few rows only (a sprite over a still backdrop), where the bytes are.
std::vector<int> SampleRows(const Bitmap& frame, int share, bool between)
{
    std::vector<int> rows;
    if (frame.Height <= WholeSampleRows) {
        for (int y = 0; y < frame.Height; ++y) rows.push_back(y);
        return rows;
    }
    const std::size_t stride = static_cast<std::size_t>(frame.Width) * PngPixelBytes;
    // At least MinBands bands, however small the share.
    share = std::clamp(frame.Height / (MinBands * BandRows), 2, std::max(share, 2));
    const std::size_t step = static_cast<std::size_t>(share) * BandRows;
    const std::size_t first = between ? 0 : step / 2;
    std::vector<bool> taken(static_cast<std::size_t>(frame.Height), false);
    for (std::size_t i = first; i < taken.size(); i += step) {
        for (std::size_t j = i; j < std::min(taken.size(), i + BandRows); ++j) taken[j] = true;
    }
    std::size_t changed = 0;
    for (int y = 0; y < frame.Height; ++y) {
        const std::uint8_t* row = frame.Pixels.data() + static_cast<std::size_t>(y) * stride;
        if (y > 0 && std::memcmp(row, row - stride, stride) == 0) continue;
        if ((changed + step - first) % step < BandRows) taken[static_cast<std::size_t>(y)] = true;
        ++changed;
    }
    for (int y = 0; y < frame.Height; ++y) {
        if (taken[static_cast<std::size_t>(y)]) rows.push_back(y);
    }
    return rows;
}

// Filters and compresses samples of one frame: its row buffers, and one
// compressor a level, made on first use.
struct Sampler {
    Sampler(const Bitmap& frame, PngTrialCompressors& compressors)
        : Frame(frame), Stride(static_cast<std::size_t>(frame.Width) * PngPixelBytes),
          Scratch(PngFilterCount * Stride), Zero(Stride, 0), Compressors(compressors)
    {
    }

    // `rows` of the frame filtered by `filters` into `out`: for each row its
    // filter byte and its bytes, as the whole image's encoding has them.
    void Filter(const std::vector<int>& rows, PngRowFilters filters, std::vector<std::uint8_t>& out)
    {
        out.resize(rows.size() * (Stride + 1));
        std::uint8_t* at = out.data();
        for (int y : rows) {
            FilterPngRows(Frame, y, y + 1, filters, Scratch.data(), Zero.data(), at);
            at += Stride + 1;
        }
    }

    // The compressed size of `in` by `plan`'s deflater; 0 when no compressor can be made.
    std::uint64_t Compressed(const std::vector<std::uint8_t>& in, const PngPlan& plan)
    {
        if (plan.Deflater == PngDeflater::Rows) {
            Out.clear();
            DeflateRows(Compressors.Rows(), in, Stride + 1, {}, Out);
            return Out.size();
        }
        return Compressed(in, plan.Level);
    }

    std::uint64_t Compressed(const std::vector<std::uint8_t>& in, int level)
    {
        libdeflate_compressor* compressor = Compressors.At(level);
        if (compressor == nullptr) return 0;
        Out.resize(libdeflate_zlib_compress_bound(compressor, in.size()));
        return libdeflate_zlib_compress(compressor, in.data(), in.size(), Out.data(), Out.size());
    }

    const Bitmap& Frame;
    std::size_t Stride;
    std::vector<std::uint8_t> Scratch, Zero, Out;
    PngTrialCompressors& Compressors;
};

}  // namespace

double PngPlanCost(const PngPlan& plan, std::uint64_t in, std::uint64_t out)
{
    const double filter = FilterCost[StrategyIndex(plan.Filters)];
    if (plan.Deflater == PngDeflater::Rows) {
        return static_cast<double>(in) * (filter + RowsInCost) + static_cast<double>(out) * RowsOutCost;
    }
    const int level = std::clamp(plan.Level, 0, MaxDeflateLevel);
    return static_cast<double>(in) * (filter + InCost[level]) + static_cast<double>(out) * OutCost[level];
}

PngTrialCompressors::PngTrialCompressors() : rows_(std::make_unique<RowDeflater>()) {}

PngTrialCompressors::~PngTrialCompressors()
{
    for (libdeflate_compressor* c : byLevel_) libdeflate_free_compressor(c);
}

libdeflate_compressor* PngTrialCompressors::At(int level)
{
    if (level < 0 || level > MaxDeflateLevel) return nullptr;
    if (byLevel_[level] == nullptr) byLevel_[level] = libdeflate_alloc_compressor(level);
    return byLevel_[level];
}

PngTrial TryPngPlans(const Bitmap& frame, const PngPlan& fallback, PngTrialCompressors& compressors)
{
    PngTrial trial;
    trial.Plan = trial.Fallback = fallback;
    const std::size_t stride = static_cast<std::size_t>(frame.Width) * PngPixelBytes;
    if (frame.Width <= 0 || frame.Height <= 0 || frame.Pixels.size() != stride * static_cast<std::size_t>(frame.Height)) {
        return trial;
    }
    Sampler sampler(frame, compressors);
    const std::vector<int> rows = SampleRows(frame, SampleShare, false);
    std::vector<std::uint8_t> sample[StrategyCount];
    for (int s = 0; s < StrategyCount; ++s) sampler.Filter(rows, Strategies[s], sample[s]);
    trial.SampleBytes = sample[0].size();

    // Each strategy at the fixed plan's level; the row encoder on the
    // smallest of them; then the smallest at the other levels the cost model
    // lets it use.
    struct Tried {
        PngPlan Plan;
        std::uint64_t Bytes;
    };
    std::vector<Tried> tried;
    std::uint64_t strategyBytes[StrategyCount] = {};
    for (int s = 0; s < StrategyCount; ++s) {
        const PngPlan plan{Strategies[s], fallback.Level};
        const std::uint64_t bytes = sampler.Compressed(sample[s], plan);
        if (bytes == 0) return trial;
        tried.push_back({plan, bytes});
        strategyBytes[s] = bytes;
        if (Strategies[s] == fallback.Filters) trial.FallbackBytes = bytes;
    }
    int order[StrategyCount] = {0, 1, 2, 3, 4};
    std::stable_sort(std::begin(order), std::end(order), [&](int a, int b) { return strategyBytes[a] < strategyBytes[b]; });
    const int best = order[0];
    const bool compressible = static_cast<double>(strategyBytes[order[0]]) <= RowsMaxShare * static_cast<double>(trial.SampleBytes);
    for (int k = 0; k < RowTries && compressible; ++k) {
        const PngPlan plan{Strategies[order[k]], fallback.Level, PngDeflater::Rows};
        tried.push_back({plan, sampler.Compressed(sample[order[k]], plan)});
    }
    const std::uint64_t in = trial.SampleBytes;
    const double fallbackCost = PngPlanCost(fallback, in, trial.FallbackBytes);
    int ladder[std::size(Ladder)];
    std::copy(std::begin(Ladder), std::end(Ladder), ladder);
    std::stable_sort(std::begin(ladder), std::end(ladder),
                     [&](int a, int b) { return std::abs(a - fallback.Level) < std::abs(b - fallback.Level); });
    int ladderTries = 0;
    for (int level : ladder) {
        // A level whose cost for its filtered bytes alone is over the fixed
        // plan's whole cost cannot be cheaper.
        const PngPlan plan{Strategies[best], level};
        if (level == fallback.Level || ladderTries == MaxLadderTries) continue;
        if (PngPlanCost(plan, in, 0) > fallbackCost) continue;
        const std::uint64_t bytes = sampler.Compressed(sample[best], level);
        if (bytes == 0) return trial;
        tried.push_back({plan, bytes});
        ++ladderTries;
    }

    // Among the plans no costlier than the fixed one: the smallest, and the
    // cheapest within ByteMargin of it.
    const auto cost = [&](const Tried& t) { return PngPlanCost(t.Plan, in, t.Bytes); };
    const auto eligible = [&](const Tried& t) { return t.Bytes > 0 && cost(t) <= fallbackCost; };
    Tried smallest{fallback, trial.FallbackBytes};
    for (const Tried& t : tried) {
        if (eligible(t) && t.Bytes < smallest.Bytes) smallest = t;
    }
    Tried chosen = smallest;
    for (const Tried& t : tried) {
        if (!eligible(t) || static_cast<double>(t.Bytes) > static_cast<double>(smallest.Bytes) * (1 + PngByteMargin)) continue;
        if (cost(t) < cost(chosen)) chosen = t;
    }
    trial.Plan = chosen.Plan;
    trial.Bytes = chosen.Bytes;
    trial.SmallestBytes = smallest.Bytes;
    trial.Tried = tried.size();
    // A plan chosen on a part of the frame must keep within the margin on
    // the rows between: else the smallest is taken.
    if (!(chosen.Plan == smallest.Plan) && rows.size() < static_cast<std::size_t>(frame.Height)) {
        const std::vector<int> others = SampleRows(frame, SampleShare, true);
        std::vector<std::uint8_t> mine, theirs;
        sampler.Filter(others, chosen.Plan.Filters, mine);
        sampler.Filter(others, smallest.Plan.Filters, theirs);
        const std::uint64_t myBytes = sampler.Compressed(mine, chosen.Plan);
        const std::uint64_t theirBytes = sampler.Compressed(theirs, smallest.Plan);
        if (myBytes == 0 || static_cast<double>(myBytes) > static_cast<double>(theirBytes) * (1 + PngByteMargin)) {
            trial.Plan = smallest.Plan;
            trial.Bytes = smallest.Bytes;
        }
    }
    return trial;
}

PngTrial TryPngPlans(const Bitmap& frame)
{
    PngTrialCompressors compressors;
    return TryPngPlans(frame, PlanPngFrame(frame), compressors);
}

PngPlanner::PngPlanner(std::uint64_t frames)
    : tryable_(frames == 0 || frames >= MinTrialFrames)
{
}

PngPlan PngPlanner::PlanFor(const Bitmap& frame)
{
    const PngPlan fixed = PlanPngFrame(frame);
    ++sinceTrial_;
    const std::uint64_t pixels = static_cast<std::uint64_t>(std::max(frame.Width, 0)) * std::max(frame.Height, 0);
    if (!tryable_ || pixels < MinTrialPixels) return fixed;
    const bool alike = tried_ && fixed == trialFallback_;
    const bool due = !tried_ || sinceTrial_ > RetrialFrames || (!alike && sinceTrial_ > MinTrialGap);
    if (due) {
        const PngTrial trial = TryPngPlans(frame, fixed, compressors_);
        tried_ = true;
        trialFallback_ = fixed;
        measured_ = trial.Plan;
        sinceTrial_ = 0;
        ++trials_;
        return measured_;
    }
    return alike ? measured_ : fixed;
}

}  // namespace framelot
