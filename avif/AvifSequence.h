// Opening an AVIF file's image sequence track with libavif, limits set from
// imaging/Limits.h.
#pragma once

#include <avif/avif.h>

#include <cstdint>
#include <memory>
#include <span>

#include "imaging/ConvertResult.h"

namespace framelot {

struct AvifDecoderDeleter {
    void operator()(avifDecoder* d) const { avifDecoderDestroy(d); }
};
using AvifDecoderPtr = std::unique_ptr<avifDecoder, AvifDecoderDeleter>;

// Parses the file's sequence track into `decoder`. Converted when it holds two
// images or more within the limits; otherwise why not (a still image, a
// damaged file), before any image is decoded.
ConvertResult OpenAvifSequence(std::span<const std::uint8_t> bytes, AvifDecoderPtr& decoder);

// Parses the file's primary image into `decoder` (a still AVIF image).
// Converted when it is within the limits; otherwise why not.
ConvertResult OpenAvifStill(std::span<const std::uint8_t> bytes, AvifDecoderPtr& decoder);

}  // namespace framelot
