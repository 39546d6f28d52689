// Every resource limit of the program, in one place. Sizes taken from a file
// are compared with these before anything is allocated for them.
#pragma once

#include <cstdint>
#include <string>

namespace framelot {

// A source file larger than this is refused before it is read.
inline constexpr std::uint64_t MaxSourceBytes = 1ull << 30;  // 1 GiB

// Pixels in one canvas or one decoded frame: far above real animations (a 4K
// frame is 8.3 MP), far below what the few canvas-sized bitmaps a conversion
// holds at once would need to exhaust memory (100 MP x 4 bytes = 400 MB).
#ifndef FRAMELOT_FUZZING_LIMITS
inline constexpr std::uint64_t MaxCanvasPixels = 100'000'000;
#else
// Fuzz builds run under a 1 GiB memory cap: they exercise the same checks
// against a smaller limit.
inline constexpr std::uint64_t MaxCanvasPixels = 4'000'000;
#endif

// Frames written for one file. Every frame becomes a file on disk, so more than
// this is not something a user could mean.
inline constexpr std::uint64_t MaxFrames = 100'000;

// Pixels written for one file in total (frames x canvas pixels): bounds the
// time a small hostile file (thousands of one-pixel frames on a huge canvas)
// can keep the encoder busy.
#ifndef FRAMELOT_FUZZING_LIMITS
inline constexpr std::uint64_t MaxOutputPixels = 20'000'000'000ull;
#else
inline constexpr std::uint64_t MaxOutputPixels = 200'000'000ull;
#endif

// Bytes of finished frames a file's writer holds at once: frames waiting to
// be encoded, frames being encoded with the encoder buffers they need (about
// twice their size), and frames' storage kept for reuse. A frame larger than
// a third of this still goes through, alone. Besides this, each writer thread
// keeps at most 16 MiB of buffers between frames, and the composer a few
// canvas-sized bitmaps.
#ifndef FRAMELOT_FUZZING_LIMITS
inline constexpr std::uint64_t MaxWriterBytes = 1ull << 30;  // 1 GiB
#else
inline constexpr std::uint64_t MaxWriterBytes = 256ull << 20;
#endif

// Bytes the writers of the whole process keep of frames already written, so
// that a frame seen again is copied instead of encoded: the frames' files.
#ifndef FRAMELOT_FUZZING_LIMITS
inline constexpr std::uint64_t MaxRecallBytes = 128ull << 20;
#else
inline constexpr std::uint64_t MaxRecallBytes = 16ull << 20;
#endif

// Bytes of one file's frames as one array (--npy), held whole until it is
// written: far above what a notebook loads comfortably, below what would
// exhaust memory.
#ifndef FRAMELOT_FUZZING_LIMITS
inline constexpr std::uint64_t MaxArrayBytes = 1ull << 30;  // 1 GiB
#else
inline constexpr std::uint64_t MaxArrayBytes = 64ull << 20;
#endif

// Length of one PNG chunk's data, as the PNG format allows it.
inline constexpr std::uint64_t MaxChunkBytes = 0x7FFFFFFFu;

// True when a width x height image fits the pixel limit. Multiplies in 64 bits
// so that no product of two 32-bit sides can wrap.
inline bool FitsLimits(std::int64_t width, std::int64_t height)
{
    if (width < 0 || height < 0) return false;
    if (width > 0x7FFFFFFF || height > 0x7FFFFFFF) return false;
    return static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) <= MaxCanvasPixels;
}

// Why an animation of `frames` frames on a width x height canvas is refused, in
// words a user understands; empty when it is within every limit above.
std::string AnimationOverLimits(std::uint64_t frames, std::int64_t width, std::int64_t height);

// A byte count in the largest binary unit that divides it: "1 GiB", "512 MiB".
std::string DescribeByteCount(std::uint64_t bytes);

}  // namespace framelot
