#include "convert/RoomCheck.h"

#include <cstdio>
#include <vector>

#include "output/files/FreeSpace.h"

namespace framelot {
namespace {

constexpr std::uint64_t Margin = 4;  // refused when over the room by more than a quarter of it
constexpr std::uint64_t SmallestFrameFile = 26;  // a frame file is never smaller (a WebP of one pixel)


}  // namespace

std::string CheckRoom(const FrameEncoding& encoding, const Bitmap& first, std::uint64_t frames, std::uint64_t maxOutput, const std::string& folder,
                      RoomEstimate& estimate)
{
    PngEncoder encoder;
    std::vector<std::uint8_t> file;
    if (!EncodeFrame(encoding, first, encoder, file)) return {};  // the writer will say why it cannot encode
    estimate.FrameBytes = file.size();
    estimate.Frames = frames;
    estimate.Total = estimate.FrameBytes * frames;
    const std::string plan = "the frames would take about " + SizeInWords(estimate.Total) + " (" + std::to_string(frames) +
                             " of about " + SizeInWords(estimate.FrameBytes) + ")";
    // The cap itself is kept as the frames are written, byte for byte. At
    // once only what cannot fit is refused: the first frame, and the
    // smallest file each frame after it can be (a frame that shows less
    // takes less than the first, so more would refuse files that fit).
    const std::uint64_t least = estimate.FrameBytes + (frames > 0 ? frames - 1 : 0) * SmallestFrameFile;
    if (maxOutput > 0 && least > maxOutput) {
        estimate.OverCap = true;
        return "the frames would take at least " + SizeInWords(least) + " (the first frame " +
               SizeInWords(estimate.FrameBytes) + " and " + std::to_string(frames > 0 ? frames - 1 : 0) +
               " more), over --max-output " + SizeInWords(maxOutput) + "; " + FewerFramesHint;
    }
    estimate.Free = FreeBytes(folder);
    if (estimate.Free && estimate.Total > *estimate.Free + *estimate.Free / Margin) {
        return plan + " and the file system has " + SizeInWords(*estimate.Free) + " free" + "; " + FewerFramesHint;
    }
    return {};
}

}  // namespace framelot
