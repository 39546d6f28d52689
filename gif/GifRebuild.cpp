#include "gif/GifRebuild.h"

#include <algorithm>

namespace framelot {
namespace {

constexpr std::uint8_t Trailer = 0x3B;

// Appends every control extension between `begin` and `end`, in file order.
void AppendControls(GifBytes gif, std::size_t begin, std::size_t end, std::vector<std::uint8_t>& out)
{
    for (std::size_t p = begin; p < end;) {
        const GifBlock block = StepGifBlock(gif, p);
        if (block.Kind == GifBlockKind::End || block.Kind == GifBlockKind::Image) break;
        if (block.Kind == GifBlockKind::Control) {
            out.insert(out.end(), gif.begin() + static_cast<std::ptrdiff_t>(p),
                       gif.begin() + static_cast<std::ptrdiff_t>(block.Next));
        }
        p = block.Next;
    }
}

}  // namespace

void AppendGifFrame(GifBytes gif, std::uint32_t blocksOffset, const GifFrameRecord& record,
                    std::vector<std::uint8_t>& out)
{
    const std::size_t head = std::min<std::size_t>(blocksOffset, gif.size());
    out.insert(out.end(), gif.begin(), gif.begin() + static_cast<std::ptrdiff_t>(head));
    AppendControls(gif, record.ControlsBegin, record.ImageBegin, out);
    out.insert(out.end(), gif.begin() + static_cast<std::ptrdiff_t>(record.ImageBegin),
               gif.begin() + static_cast<std::ptrdiff_t>(record.ImageEnd));
    out.push_back(Trailer);
}

}  // namespace framelot
