#include "convert/FrameReading.h"

#include <algorithm>
#include <cstring>
#include <string_view>

#include "convert/Describe.h"
#include "convert/FileConversion.h"
#include "convert/FrameList.h"
#include "output/files/NameTemplate.h"

namespace framelot {
namespace {

bool HasAt(std::span<const std::uint8_t> bytes, std::size_t at, std::string_view text)
{
    return bytes.size() >= at + text.size() && std::memcmp(bytes.data() + at, text.data(), text.size()) == 0;
}

// An ISO base media file whose type box names an AVIF brand, as major brand
// or among the compatible ones that fit in the first 32 bytes.
bool IsAvifTypeBox(std::span<const std::uint8_t> bytes)
{
    constexpr std::size_t BrandsFrom = 8, CompatibleFrom = 16, ScanBytes = 32;
    if (!HasAt(bytes, 4, "ftyp") || bytes.size() < CompatibleFrom) return false;
    const std::size_t boxSize = (std::size_t{bytes[0]} << 24) | (std::size_t{bytes[1]} << 16) |
                                (std::size_t{bytes[2]} << 8) | bytes[3];
    const std::size_t end = std::min({boxSize, bytes.size(), ScanBytes});
    for (std::size_t at = BrandsFrom; at + 4 <= end; at += at == BrandsFrom ? 8 : 4) {
        if (HasAt(bytes, at, "avif") || HasAt(bytes, at, "avis")) return true;
    }
    return false;
}

SourceKind KindOfBytes(std::span<const std::uint8_t> bytes)
{
    using namespace std::string_view_literals;
    if (HasAt(bytes, 0, "GIF8")) return SourceKind::Gif;
    if (HasAt(bytes, 0, "\x89PNG\r\n\x1a\n"sv)) return SourceKind::Apng;
    if (HasAt(bytes, 0, "RIFF") && HasAt(bytes, 8, "WEBP")) return SourceKind::Webp;
    if (IsAvifTypeBox(bytes)) return SourceKind::Avif;
    if (HasAt(bytes, 0, "\xFF\x0A"sv) || HasAt(bytes, 0, "\0\0\0\x0CJXL \r\n\x87\n"sv)) return SourceKind::Jxl;
    return SourceKind::None;
}

// A still image: its one image decoded into `still`, and described as one
// frame of 0 ms on a canvas of its size. Converted; or the still's damage or
// limit; or, when it is not a still of the format, `refused` as it was.
ConvertResult PlanStill(std::span<const std::uint8_t> bytes, const SourceFormat& format, const ConvertResult& refused,
                        AnimationInfo& info, std::optional<Bitmap>& still)
{
    Bitmap image;
    const ConvertResult decoded = format.ConvertStill(bytes, [&](std::uint64_t, const Bitmap& frame) {
        image = frame;
        return false;
    }, {});
    const bool failed = decoded.Failure == FailureKind::Damaged || decoded.Failure == FailureKind::OverLimit;
    if (decoded.Status != ConvertStatus::Converted || image.Width <= 0 || image.Height <= 0) {
        return failed ? decoded : refused;
    }
    info = {};
    info.CanvasWidth = info.DeclaredWidth = image.Width;
    info.CanvasHeight = info.DeclaredHeight = image.Height;
    FrameInfo frame;
    frame.Bounds = {0, 0, image.Width, image.Height};
    info.Frames = {frame};
    still = std::move(image);
    return Converted();
}

}  // namespace

// The plan of frames in memory: chosen, laid, scaled and merged as a file's
// would be, with no paths.
ReadOutcome PlanFrameReading(std::span<const std::uint8_t> bytes, const SourceFormat& format,
                             const OutputOptions& options, bool stills)
{
    ReadOutcome out;
    out.Result = Converted();
    OutputPlan& plan = out.Plan;
    plan.Chosen = options;
    plan.Kind = OutputKind::Memory;
    plan.MakeFolder = false;
    AnimationInfo info;
    out.Result = format.Describe(bytes, info);
    if (out.Result.Status == ConvertStatus::NotAnimation && stills && format.ConvertStill != nullptr) {
        out.Result = PlanStill(bytes, format, out.Result, info, out.Still);
    }
    if (out.Result.Status != ConvertStatus::Converted) return out;
    out.Result = SettlePlan(plan, info, true);
    if (out.Result.Status != ConvertStatus::Converted) return out;
    out.StartMs.reserve(info.Frames.size());
    double at = 0;
    for (const FrameInfo& frame : info.Frames) {
        out.StartMs.push_back(at);
        at += frame.DelayMs;
    }
    return out;
}

const SourceFormat* FormatOfBytes(std::span<const std::uint8_t> bytes)
{
    const SourceKind kind = KindOfBytes(bytes);
    for (const SourceFormat& format : SourceFormats()) {
        if (format.Kind == kind) return &format;
    }
    return nullptr;
}

std::string FilesOnlyRefusal(const OutputOptions& options, const OutputOptions& defaults)
{
    const char* option = !options.OutputFolder.empty()                           ? "--output"
                         : options.MakeFolder != defaults.MakeFolder              ? "--no-folder"
                         : !IsDefaultNaming(options.Names)                        ? "--name or --start"
                         : options.Encoding.Format != defaults.Encoding.Format    ? "--format"
                         : options.Encoding.Quality != defaults.Encoding.Quality  ? "--quality"
                         : options.Encoding.Background != defaults.Encoding.Background ? "--background"
                         : options.Timings != defaults.Timings                    ? "--timings"
                         : options.Array                                          ? "--npy"
                         : options.Sheet                                          ? "--sheet"
                         : options.MaxOutputBytes != defaults.MaxOutputBytes      ? "--max-output"
                                                                                  : nullptr;
    if (option == nullptr) return {};
    return std::string(option) + " goes with writing files: frames read into memory take --frames, --every, --at, "
                                 "--count, --merge-held, --scale, --fit, --filter and --canvas";
}

void DecodePlannedFrames(std::span<const std::uint8_t> bytes, const SourceFormat& format, ReadOutcome& out,
                         const DeliverFunction& take)
{
    const OutputPlan& plan = out.Plan;
    const FrameList& list = plan.Chosen.Frames;
    std::uint64_t announced = 0;
    bool noneChosen = false;
    const FrameCountSink announce = [&](std::uint64_t frames) {
        announced = frames;
        noneChosen = !list.empty() && ListedCount(list, frames) == 0;
    };
    FrameChain chain{plan, take};
    const FrameSink sink = [&](std::uint64_t index, const Bitmap& composed) {
        return !noneChosen && chain.Take(index, composed);
    };
    const bool declared = plan.Chosen.Canvas == CanvasChoice::Declared && format.ConvertOnDeclaredCanvas != nullptr;
    ConvertResult decoded = Converted();
    if (out.Still) {
        announce(1);
        sink(0, *out.Still);
    } else {
        decoded = (declared ? format.ConvertOnDeclaredCanvas : format.Convert)(bytes, sink, announce);
    }
    chain.Flush();
    out.Delivered = chain.Delivered;

    if (decoded.Status != ConvertStatus::Converted) {
        out.Result = decoded;
    } else if (noneChosen || (!list.empty() && chain.Delivered == 0 && !chain.Stopped)) {
        out.Result = NoChosenFrame(decoded, list, announced);
    } else {
        out.Result = decoded;
        out.Result.FramesWritten = chain.Delivered;
        // What of the options could not be had, as a conversion notes it.
        std::string& note = out.Result.Note;
        const std::string past = announced > 0 ? FramesPastEnd(list, announced) : std::string();
        for (const std::string& more : {past.empty() ? past : past + " past the end (the file has " +
                                                                  FrameCountText(announced) + ")",
                                        plan.CanvasNote, plan.SamplingNote}) {
            if (!more.empty()) note += note.empty() ? more : "; " + more;
        }
    }
}

ReadOutcome ReadFrames(std::span<const std::uint8_t> bytes, const SourceFormat& format, const OutputOptions& options,
                       bool stills, const DeliverFunction& take)
{
    ReadOutcome out = PlanFrameReading(bytes, format, options, stills);
    if (out.Result.Status == ConvertStatus::Converted) DecodePlannedFrames(bytes, format, out, take);
    return out;
}

}  // namespace framelot
