// The file format frames are written in, and saving one frame in it: PNG (the
// default), WebP (lossless, or lossy at a quality) or JPEG (over a
// background colour).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"
#include "output/encoders/JpegEncode.h"
#include "output/encoders/PngEncode.h"
#include "output/encoders/PngPlan.h"
#include "output/encoders/WebpEncode.h"
#include "output/files/ByteCap.h"
#include "output/files/NewFile.h"

namespace framelot {

enum class FrameFormat { Png, Webp, Jpeg };

struct FrameEncoding {
    FrameFormat Format = FrameFormat::Png;
    int Quality = -1;            // 0 to 100; below 0: lossless WebP, DefaultJpegQuality for JPEG
    std::optional<Colour> Background;  // JPEG: what shows where frames are transparent; unset: White
};

// ".png", ".webp" or ".jpg".
const char* FrameExtension(FrameFormat format);

// Encodes `bitmap` in the chosen format into `out`. False when the format
// cannot hold it (see EncodeWebp, EncodeJpeg). PNG uses `encoder`, which
// belongs to the calling thread. Costs one encoding.
bool EncodeFrame(const FrameEncoding& encoding, const Bitmap& bitmap, PngEncoder& encoder,
                 std::vector<std::uint8_t>& out);

// The same, a PNG by `plan` (the frame's fixed plan when null); false with
// why in `reason` when it cannot be encoded (a side past the format's limit:
// MaxJpegSide, MaxWebpSide).
bool EncodeFrame(const FrameEncoding& encoding, const Bitmap& bitmap, PngEncoder& encoder, const PngPlan* plan,
                 std::vector<std::uint8_t>& out, std::string& reason);

// Writes the bitmap to `path` as SavePng does, in the chosen format: never
// over anything there, whole or not at all; `encoded` empty is filled with
// the encoding, filled is written as it is (a bitmap saved under several
// names is encoded once). A PNG is encoded by `plan`, or by the frame's
// fixed plan when it is null. With a `cap`, the file's bytes are spent from
// it before they are written; a cap they would pass fails the frame
// (OverCap) and nothing is written.
SaveOutcome SaveFrame(const FrameEncoding& encoding, const Bitmap& bitmap, const std::string& path,
                      std::vector<std::uint8_t>& encoded, PngEncoder& encoder, const PngPlan* plan = nullptr,
                      ByteCap* cap = nullptr);

}  // namespace framelot
