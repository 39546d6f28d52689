// Conversions between straight and premultiplied colour.
#pragma once

#include "imaging/Bitmap.h"

namespace framelot {

// Each colour byte becomes floor(c * a / 255); alpha is unchanged.
void PremultiplyAlpha(Bitmap& b);

// For each pixel with alpha a != 0, each colour byte v becomes
// min(255, floor(v * 255 / a)); pixels with alpha 0 and alpha itself are left
// as they are. Premultiplied data never has v > a, so the cap only guards
// malformed data.
void UnpremultiplyAlpha(Bitmap& b);

}  // namespace framelot
