// Encoding a bitmap as an 8-bit RGBA PNG.
//
// Threads: a PngEncoder belongs to one thread at a time; encoders on different
// threads share nothing, so any number may encode at once. EncodePng keeps no
// state of its own.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "imaging/Bitmap.h"
#include "output/encoders/PngPlan.h"

namespace framelot {

// Row buffers up to this size stay with an encoder for its next frame; larger
// ones are given back after their frame (this fits a 2 MP frame).
inline constexpr std::size_t RetainedEncoderBytes = 16u << 20;

// What an encoding thread keeps between frames: libdeflate's compressors, one
// for each compression level it has used (under a megabyte each, made on
// first use), and the row buffers, which grow to about twice the frame's byte
// size and are given back after a frame that needed more than
// RetainedEncoderBytes. Making one allocates only its small header.
class PngEncoder {
public:
    PngEncoder();
    ~PngEncoder();
    PngEncoder(const PngEncoder&) = delete;
    PngEncoder& operator=(const PngEncoder&) = delete;

    struct State;  // defined where it is used, in PngEncode.cpp

private:
    std::unique_ptr<State> state_;
    friend bool EncodePng(PngEncoder& encoder, const Bitmap& bitmap, const PngPlan& plan,
                          std::vector<std::uint8_t>& out);
};

// How the PNG frames of this process were written so far, for the benchmark
// and whoever tunes the writer: encoded in full, encoded with the rows that
// had not changed since the thread's last frame taken as they were, or copied
// from an equal frame written before. Counted from any thread.
enum class PngFrameWork { Full, Band, Recalled };
void CountPngFrame(PngFrameWork work);
std::uint64_t PngFramesWritten(PngFrameWork work);

// Appends the bitmap to `out` as a PNG of colour type 6 (RGBA, 8 bits a
// sample), upright, whose pixels are the bitmap's bytes exactly, filtered and
// compressed as PlanPngFrame chooses.
//
// Returns false, with `out` unchanged, when the bitmap's sides are not
// positive, when its pixel count does not match them, or when a compressor
// cannot be allocated; true otherwise.
//
// Costs the plan's sampling, one filtering pass and one deflate of the whole
// frame at the planned level (with the row encoder, of the rows that changed
// since this encoder's last frame, and one pass over the rest). `out` grows by at most the frame's byte size
// plus a small fraction.
bool EncodePng(PngEncoder& encoder, const Bitmap& bitmap, std::vector<std::uint8_t>& out);

// The same with the plan given (a file's measured plan, PngTrial.h) instead
// of the frame's fixed one; a level outside libdeflate's 0 to 12 fails.
bool EncodePng(PngEncoder& encoder, const Bitmap& bitmap, const PngPlan& plan, std::vector<std::uint8_t>& out);

}  // namespace framelot
