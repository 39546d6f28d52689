#include "convert/RoomCheck.h"

#include <cstdio>
#include <vector>

#include "output/FreeSpace.h"

namespace framelot {
namespace {

constexpr std::uint64_t Kilo = 1000;
constexpr std::uint64_t Margin = 4;  // refused when over the room by more than a quarter of it

const char* const Suggestion = "; choose fewer frames with --frames or --every, or smaller ones with --scale";

}  // namespace

std::string SizeInWords(std::uint64_t bytes)
{
    if (bytes < Kilo) return std::to_string(bytes) + " bytes";
    const char* units[] = {"kB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes) / Kilo;
    std::size_t unit = 0;
    while (value >= Kilo && unit + 1 < std::size(units)) {
        value /= Kilo;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

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
    // The cap itself is kept as the frames are written; the estimate only
    // refuses at once what clearly cannot fit.
    if (maxOutput > 0 && estimate.Total > maxOutput + maxOutput / Margin) {
        return plan + ", over --max-output " + SizeInWords(maxOutput) + Suggestion;
    }
    estimate.Free = FreeBytes(folder);
    if (estimate.Free && estimate.Total > *estimate.Free + *estimate.Free / Margin) {
        return plan + " and the file system has " + SizeInWords(*estimate.Free) + " free" + Suggestion;
    }
    return {};
}

}  // namespace framelot
