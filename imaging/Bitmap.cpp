#include "imaging/Bitmap.h"

#include <algorithm>

namespace framelot {

Bitmap MakeBitmap(int width, int height)
{
    Bitmap b;
    b.Width = std::max(width, 0);
    b.Height = std::max(height, 0);
    b.Pixels.assign(static_cast<std::size_t>(b.Width) * static_cast<std::size_t>(b.Height) * 4, 0);
    return b;
}

}  // namespace framelot
