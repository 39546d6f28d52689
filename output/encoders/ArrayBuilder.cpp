#include "output/encoders/ArrayBuilder.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "imaging/Limits.h"
#include "output/encoders/NpyFormat.h"
#include "output/files/FrameNaming.h"
#include "output/files/JsonText.h"
#include "output/files/NewFile.h"
#include "output/files/PathText.h"
#include "output/files/SizeInWords.h"

namespace framelot {
namespace {

constexpr std::uint64_t Channels = 4;

std::span<const std::uint8_t> BytesOf(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

}  // namespace

ArrayPaths PlanArrayPaths(const std::string& placed, bool makeFolder)
{
    const std::string base = OutputBasePath(placed);
    const std::string stem = makeFolder ? base + "/" + FileNameOf(base) : base;
    return {stem + ".npy", stem + ".json"};
}

bool ArrayTaken(const ArrayPaths& paths)
{
    return PathTaken(paths.Array) || PathTaken(paths.Times);
}

ConvertResult CheckArraySize(std::uint64_t cells, std::uint64_t width, std::uint64_t height)
{
    // Both sides are within the canvas limit, and cells within MaxFrames: no product wraps.
    const std::uint64_t bytes = cells * width * height * Channels;
    if (bytes <= MaxArrayBytes) return Converted();
    return OverLimit("the array would be " + std::to_string(cells) + " x " + std::to_string(height) + " x " +
                     std::to_string(width) + " x 4 bytes (" + DescribeByteCount(bytes) + "), over the limit of " +
                     DescribeByteCount(MaxArrayBytes) + "; choose fewer frames with --frames, --every or --count");
}

void LayAtOrigin(const Bitmap& frame, std::uint64_t width, std::uint64_t height, std::uint8_t* slot)
{
    const std::uint64_t rowWidth = std::min<std::uint64_t>(width, static_cast<std::uint64_t>(std::max(frame.Width, 0)));
    const std::uint64_t rows = std::min<std::uint64_t>(height, static_cast<std::uint64_t>(std::max(frame.Height, 0)));
    for (std::uint64_t y = 0; y < rows; ++y) {
        std::memcpy(slot + y * width * Channels,
                    frame.Pixels.data() + y * static_cast<std::uint64_t>(frame.Width) * Channels, rowWidth * Channels);
    }
}

ConvertResult ArrayBuilder::Plan(std::uint64_t cells, std::int64_t width, std::int64_t height)
{
    Width = static_cast<std::uint64_t>(std::max<std::int64_t>(width, 0));
    Height = static_cast<std::uint64_t>(std::max<std::int64_t>(height, 0));
    if (ConvertResult sized = CheckArraySize(cells, Width, Height); sized.Status != ConvertStatus::Converted) {
        return sized;
    }
    Data.reserve(NpyHeaderBytes + cells * Width * Height * Channels);
    Data.assign(NpyHeaderBytes, 0);
    return Converted();
}

void ArrayBuilder::Add(std::uint64_t index, const Bitmap& frame, double delayMs)
{
    const std::size_t at = Data.size();
    Data.resize(at + Width * Height * Channels, 0);
    LayAtOrigin(frame, Width, Height, Data.data() + at);
    Frames.push_back({{}, index, delayMs});
}

ConvertResult ArrayBuilder::Write(const AnimationInfo& info, ByteCap* cap)
{
    const std::string header = NpyHeader({Frames.size(), Height, Width, Channels});
    std::memcpy(Data.data(), header.data(), NpyHeaderBytes);
    double total = 0;
    std::string times = "{\"array\": " + JsonString(FileNameOf(Paths.Array)) + ", \"shape\": [" +
                        std::to_string(Frames.size()) + ", " + std::to_string(Height) + ", " + std::to_string(Width) +
                        ", 4], \"frames\": [";
    for (std::size_t i = 0; i < Frames.size(); ++i) {
        times += (i == 0 ? "\n  " : ",\n  ") + std::string("{\"index\": ") + std::to_string(Frames[i].Index) +
                 ", \"delay_ms\": " + JsonNumber(Frames[i].DelayMs) + "}";
        total += Frames[i].DelayMs;
    }
    times += "\n], \"loops\": " + (info.Loops ? std::to_string(*info.Loops) : std::string("null")) +
             ", \"duration_ms\": " + JsonNumber(total) + "}\n";

    if (cap != nullptr && !cap->Spend(Data.size() + times.size())) {
        return OverLimit("the array would take " + SizeInWords(Data.size() + times.size()) + ", more than --max-output " +
                         SizeInWords(cap->Limit));
    }
    const SaveOutcome array = WriteNewFile(Paths.Array, Data);
    SaveOutcome written = array;
    if (array.Status == SaveStatus::Written) {
        written = WriteNewFile(Paths.Times, BytesOf(times));
        if (written.Status != SaveStatus::Written) {
            std::error_code ignored;
            std::filesystem::remove(PathFromUtf8(Paths.Array), ignored);
        }
    }
    if (written.Status == SaveStatus::AlreadyExists) {
        return {ConvertStatus::Skipped, "output already exists", 0, 0, Paths.Array};
    }
    if (written.Status != SaveStatus::Written) {
        return {ConvertStatus::Failed, "cannot write the array: " + written.Reason, 0, 0, {}, FailureKind::FileSystem};
    }
    ConvertResult result = Converted();
    result.Destination = Paths.Array;
    return result;
}

}  // namespace framelot
