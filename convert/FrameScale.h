// The size frames are written at, as --scale F and --fit WxH ask, and the
// filter that scales them: the one asked for with --filter, else nearest
// neighbour for whole factors (pixel art stays sharp) and Lanczos otherwise.
#pragma once

#include <cstdint>
#include <optional>
#include <utility>

#include "imaging/Resample.h"

namespace framelot {

struct ScaleChoice {
    double Factor = 0;                        // --scale; 0: not asked
    std::uint64_t FitWidth = 0, FitHeight = 0;  // --fit; 0: not asked
    std::optional<ResampleFilter> Filter;     // --filter
};

bool ScalingAsked(const ScaleChoice& scale);

// The size a width x height frame is written at: by the factor, each side
// rounded, or as large as fits in the --fit box with the aspect ratio kept;
// at least 1 x 1. In 64 bits, unchecked: the caller checks it against the
// limits before anything is allocated.
std::pair<std::int64_t, std::int64_t> ScaledSize(const ScaleChoice& scale, std::int64_t width, std::int64_t height);

ResampleFilter ChosenFilter(const ScaleChoice& scale);

}  // namespace framelot
