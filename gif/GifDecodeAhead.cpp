#include "gif/GifDecodeAhead.h"

#include "gif/GifRebuild.h"

namespace framelot {

GifDecodeAhead::GifDecodeAhead(GifBytes gif, std::uint32_t blocksOffset, const std::vector<GifFrameRecord>& frames,
                               bool threaded)
    : gif_(gif), blocksOffset_(blocksOffset), frames_(frames), slots_(threaded ? Depth : 1)
{
    if (threaded) thread_ = std::thread([this] { Work(); });
}

GifDecodeAhead::~GifDecodeAhead()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void GifDecodeAhead::Decode(std::size_t index, Slot& slot) const
{
    slot.Rebuilt.clear();
    AppendGifFrame(gif_, blocksOffset_, frames_[index], slot.Rebuilt);
    slot.Decoded = DecodeGifIndices(slot.Rebuilt, slot.Image);
}

void GifDecodeAhead::Work()
{
    for (std::size_t index = 0; index < frames_.size(); ++index) {
        {
            // The slot is free once the composer has moved past the frame
            // that used it last.
            std::unique_lock lock(mutex_);
            changed_.wait(lock, [&] { return stopping_ || index < taken_ + Depth; });
            if (stopping_) return;
        }
        Decode(index, slots_[index % Depth]);
        std::lock_guard lock(mutex_);
        decoded_ = index + 1;
        changed_.notify_all();
    }
}

const GifIndexedImage* GifDecodeAhead::Take(std::size_t index)
{
    if (!thread_.joinable()) {
        Decode(index, slots_[0]);
        return slots_[0].Decoded ? &slots_[0].Image : nullptr;
    }
    Slot& slot = slots_[index % Depth];
    {
        std::unique_lock lock(mutex_);
        taken_ = index;  // the frames before it are done with
        changed_.notify_all();
        changed_.wait(lock, [&] { return decoded_ > index; });
    }
    return slot.Decoded ? &slot.Image : nullptr;
}

}  // namespace framelot
