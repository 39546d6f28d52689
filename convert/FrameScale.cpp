#include "convert/FrameScale.h"

#include <algorithm>
#include <cmath>

namespace framelot {

bool ScalingAsked(const ScaleChoice& scale)
{
    return scale.Factor > 0 || scale.FitWidth > 0;
}

std::pair<std::int64_t, std::int64_t> ScaledSize(const ScaleChoice& scale, std::int64_t width, std::int64_t height)
{
    if (!ScalingAsked(scale) || width <= 0 || height <= 0) return {width, height};
    const auto side = [](double v) { return std::max<std::int64_t>(1, std::llround(v)); };
    if (scale.Factor > 0) return {side(static_cast<double>(width) * scale.Factor), side(static_cast<double>(height) * scale.Factor)};
    const double f = std::min(static_cast<double>(scale.FitWidth) / static_cast<double>(width),
                              static_cast<double>(scale.FitHeight) / static_cast<double>(height));
    return {std::min<std::int64_t>(side(static_cast<double>(width) * f), static_cast<std::int64_t>(scale.FitWidth)),
            std::min<std::int64_t>(side(static_cast<double>(height) * f), static_cast<std::int64_t>(scale.FitHeight))};
}

ResampleFilter ChosenFilter(const ScaleChoice& scale)
{
    if (scale.Filter) return *scale.Filter;
    const bool whole = scale.Factor >= 1 && scale.Factor == std::floor(scale.Factor);
    return whole ? ResampleFilter::Nearest : ResampleFilter::Lanczos;
}

}  // namespace framelot
