// The LZW data of a GIF's frames decoded ahead of their composing: each
// frame's indices depend on its own data alone, so a thread of their own
// decodes them up to Depth frames ahead while the calling thread composes
// and hands on the frames before. Where one core is all there is, each frame
// is decoded when it is asked for, on the calling thread.
//
// Take and the destructor belong to the composing thread; the decoding
// thread shares only the slots, under the object's lock.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <vector>

#include "gif/GifDecode.h"
#include "gif/GifWalk.h"

namespace framelot {

struct GifDecodeAhead {
    static constexpr std::size_t Depth = 4;

    // Starts decoding `frames` of the file in `gif` (whose blocks start at
    // `blocksOffset`) on a thread of their own when `threaded`. The bytes and
    // the records must outlive the object.
    GifDecodeAhead(GifBytes gif, std::uint32_t blocksOffset, const std::vector<GifFrameRecord>& frames, bool threaded);

    // Stops the decoding thread after the frame it is on, and waits for it.
    ~GifDecodeAhead();
    GifDecodeAhead(const GifDecodeAhead&) = delete;
    GifDecodeAhead& operator=(const GifDecodeAhead&) = delete;

    // Frame `index`'s indices, or null when its data did not decode. Frames
    // are taken in order, from 0, each once; the image stays valid until the
    // next Take. Waits while the frame is still being decoded.
    const GifIndexedImage* Take(std::size_t index);

private:
    struct Slot {
        GifIndexedImage Image;
        std::vector<std::uint8_t> Rebuilt;
        bool Decoded = false;
    };

    void Decode(std::size_t index, Slot& slot) const;
    void Work();

    GifBytes gif_;
    std::uint32_t blocksOffset_;
    const std::vector<GifFrameRecord>& frames_;
    std::vector<Slot> slots_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::size_t decoded_ = 0;  // frames the thread has finished (guarded by mutex_)
    std::size_t taken_ = 0;    // frames the composer has asked for (guarded by mutex_)
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace framelot
