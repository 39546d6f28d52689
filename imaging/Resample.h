// Scaling a frame: nearest neighbour (pixel art stays sharp: an integer
// factor gives exact blocks), a box filter, or Lanczos (a = 3), separable,
// on premultiplied colour so that transparent pixels lend no colour to their
// neighbours (a half-transparent edge keeps its colour; no dark fringe).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "imaging/Bitmap.h"

namespace framelot {

enum class ResampleFilter { Nearest, Box, Lanczos };

// "nearest", "box", "lanczos"; nothing for another name.
std::optional<ResampleFilter> ResampleFilterNamed(const std::string& name);

// `src` scaled to width x height (each at least 1, checked against the
// limits by the caller) into `dst`, whose storage is reused. Costs
// O(width x height x taps) with taps 1 for nearest, about 2 x the scale's
// ratio for box and 6 x it for Lanczos when shrinking; one float buffer of
// width x src.Height x 4.
void Resample(const Bitmap& src, int width, int height, ResampleFilter filter, Bitmap& dst);

}  // namespace framelot
