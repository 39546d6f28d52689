// Frames in memory instead of files, for callers that want pixels (the Python
// module): the same plan (frames picked, canvas, scale, merged runs) and the
// same frame chain a conversion takes, with the caller as the sink. Nothing
// is written and no path is looked at but the source's. Objects here belong
// to the thread that reads.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "convert/FrameChain.h"
#include "convert/OutputOptions.h"
#include "convert/OutputPlan.h"
#include "convert/SourceFormats.h"
#include "imaging/ConvertResult.h"

namespace framelot {

// The format whose signature `bytes` start with: GIF ("GIF87a"/"GIF89a"),
// PNG, WebP ("RIFF" ... "WEBP"), AVIF (an ISO file type box naming avif or
// avis), JPEG XL (a bare codestream or its container); null for anything
// else. Reads at most the first 32 bytes.
const SourceFormat* FormatOfBytes(std::span<const std::uint8_t> bytes);

// Why `options` ask for something only files have (names, a file format, a
// sheet, an array, timings, a folder, a byte cap), in the command line's
// option names; empty when they only choose and shape frames (--frames,
// --every, --at, --count, --merge-held, --scale, --fit, --filter, --canvas).
std::string FilesOnlyRefusal(const OutputOptions& options, const OutputOptions& defaults = {});

// What reading a file's frames came to.
struct ReadOutcome {
    ConvertResult Result;        // Converted (Damage says what did not decode), or why nothing could be read
    OutputPlan Plan;             // settled: Info, Cells, Durations, FrameWidth x FrameHeight
    std::vector<double> StartMs; // by frame index: when the file shows it (the sum of the delays before it)
    std::uint64_t Delivered = 0; // frames handed to the caller
    std::optional<Bitmap> Still; // a still image, decoded as it was planned: the one frame
};

// The plan of reading `bytes` as `format` with `options`: the file described
// and its frames chosen, their canvas, size and times settled, nothing
// decoded. With `stills`, a still image of the format (one the converter
// refuses as not an animation) is one frame shown for 0 ms: it is decoded
// here, into Still. The result is Converted, or why the file cannot be read
// as asked (not of the format, damaged before its first frame, over a limit,
// frames picked by time that it lacks). Costs the format's index walk (a
// still: its decoding).
ReadOutcome PlanFrameReading(std::span<const std::uint8_t> bytes, const SourceFormat& format,
                             const OutputOptions& options, bool stills = false);

// Decodes the frames `out` plans (PlanFrameReading, Converted) and hands each
// one the chain delivers to `take`, in order, until it returns false (then
// reading stops, and the result is Converted with the frames handed on so
// far). Frames are the frame files' pixels: picked, laid on the declared
// canvas, scaled and merged as the options say, numbered as files would be.
// The result is Converted (its Damage says what did not decode, its Note
// what of the options could not be had), or a conversion's reason: damaged
// before any chosen frame, or frames asked for that the file lacks
// (FailureKind::Usage). Costs what converting costs without the encoding:
// one composition a frame, plus the scale and the merge's comparison when
// asked for.
void DecodePlannedFrames(std::span<const std::uint8_t> bytes, const SourceFormat& format, ReadOutcome& out,
                         const DeliverFunction& take);

// Both of the above.
ReadOutcome ReadFrames(std::span<const std::uint8_t> bytes, const SourceFormat& format, const OutputOptions& options,
                       bool stills, const DeliverFunction& take);

}  // namespace framelot
