#include "convert/OutputPlan.h"

#include <algorithm>
#include <map>

#include "imaging/Limits.h"
#include "output/files/FrameNaming.h"
#include "output/files/NameTemplate.h"
#include "output/files/NewFile.h"
#include "output/files/PathText.h"

namespace framelot {
namespace {

OutputKind KindOf(const OutputOptions& options)
{
    return options.Sheet ? OutputKind::Sheet : options.Array ? OutputKind::Array : OutputKind::Frames;
}

bool NamesHaveName(const NameTemplate& names)
{
    return std::any_of(names.Parts.begin(), names.Parts.end(),
                       [](const NamePart& part) { return part.What == NamePart::Kind::Name; });
}

// Every frame file of every source of one folder gets the same names.
bool NamesAreShared(const OutputOptions& options)
{
    return KindOf(options) == OutputKind::Frames && !options.MakeFolder && !NamesHaveName(options.Names);
}

// The frames chosen, in order, among `frames`.
std::vector<std::uint64_t> ChosenIndices(const FrameList& list, std::uint64_t frames)
{
    std::vector<std::uint64_t> chosen;
    if (list.empty()) {
        chosen.reserve(frames);
        for (std::uint64_t i = 0; i < frames; ++i) chosen.push_back(i);
        return chosen;
    }
    for (const FrameSpan& span : list) {
        for (std::uint64_t i = span.First; i < frames && i <= span.Last; ++i) chosen.push_back(i);
    }
    std::sort(chosen.begin(), chosen.end());
    chosen.erase(std::unique(chosen.begin(), chosen.end()), chosen.end());
    return chosen;
}

std::string SideText(std::int64_t width, std::int64_t height)
{
    return std::to_string(width) + " x " + std::to_string(height);
}

// FormatSides: why frames of width x height cannot be written in the chosen
// format, or nothing.
std::string FormatSidesRefusal(const FrameEncoding& encoding, std::int64_t width, std::int64_t height)
{
    const std::int64_t longest = std::max(width, height);
    if (encoding.Format == FrameFormat::Jpeg && longest > MaxJpegSide) {
        return "frames of " + SideText(width, height) + " pixels are too large for JPEG, which holds at most " +
               std::to_string(MaxJpegSide) + " a side; use --format png or webp, or --scale";
    }
    if (encoding.Format == FrameFormat::Webp && longest > MaxWebpSide) {
        return "frames of " + SideText(width, height) + " pixels are too large for WebP, which holds at most " +
               std::to_string(MaxWebpSide) + " a side; use --format png, or --scale";
    }
    return {};
}

// NameBytes: the first name of `path` longer than MaxNameBytes, or nothing.
std::string LongName(const std::string& path)
{
    std::size_t start = 0;
    for (std::size_t i = 0; i <= path.size(); ++i) {
        if (i == path.size() || IsPathSeparator(path[i])) {
            if (i - start > MaxNameBytes) return path.substr(start, i - start);
            start = i + 1;
        }
    }
    return {};
}

// NameBytes: Converted, or why a name of `path` is too long.
ConvertResult NameTooLong(const std::string& path)
{
    const std::string name = LongName(path);
    if (name.empty()) return Converted();
    return {ConvertStatus::Failed,
            "the name " + name.substr(0, 24) + "... is " + std::to_string(name.size()) + " bytes long, more than the " +
                std::to_string(MaxNameBytes) + " a file or folder name may have",
            0, 0, {}, FailureKind::Usage};
}

}  // namespace

std::uint64_t PlannedNumber(const OutputPlan& plan, std::uint64_t delivered, std::uint64_t index)
{
    return plan.Chosen.MergeHeld ? delivered : index;
}

std::string PlannedFramePath(const OutputPlan& plan, std::uint64_t number, double durationMs)
{
    const OutputOptions& options = plan.Chosen;
    const FrameFormat format = options.Encoding.Format;
    if (format == FrameFormat::Png && IsDefaultNaming(options.Names)) return FrameFilePath(plan.Placed, plan.MakeFolder, number);
    return NamedFramePath(plan.Placed, plan.MakeFolder, options.Names, number, durationMs, plan.Info.Frames.size(),
                          FrameExtension(format));
}

std::string TakenOutput(const OutputPlan& plan)
{
    switch (plan.Kind) {
    case OutputKind::Sheet: return SheetTaken(plan.Sheet) ? plan.Destination : std::string();
    case OutputKind::Array: return ArrayTaken(plan.Array) ? plan.Destination : std::string();
    case OutputKind::Memory: return {};
    case OutputKind::Frames: break;
    }
    if (plan.MakeFolder) return OutputExists(plan.Placed, true) ? plan.Destination : std::string();
    if (plan.FirstNames.empty()) return PathTaken(plan.Destination) ? plan.Destination : std::string();
    const auto taken = std::find_if(plan.FirstNames.begin(), plan.FirstNames.end(), PathTaken);
    return taken == plan.FirstNames.end() ? std::string() : *taken;
}

bool PlanTaken(const OutputPlan& plan)
{
    return !TakenOutput(plan).empty();
}

bool PlanNeedsDescription(const OutputOptions& options)
{
    return options.Canvas == CanvasChoice::Declared || options.Sheet || SamplingAsked(options.Sampling) ||
           NameNeedsDescription(options.Names) || options.MergeHeld || options.Timings != TimingsFormat::None ||
           options.Array || ScalingAsked(options.Scale) || options.Encoding.Format != FrameFormat::Png ||
           !options.Frames.empty();
}

OutputPlan PlanPlaces(const std::string& source, const OutputOptions& options)
{
    OutputPlan p;
    p.Chosen = options;
    p.Kind = KindOf(options);
    p.Placed = PlacedSource(source, options.OutputFolder);
    p.MakeFolder = options.MakeFolder;
    p.ByteCap = options.MaxOutputBytes;
    p.Sheet = PlanSheetPaths(p.Placed, p.MakeFolder, options.Atlas);
    p.Array = PlanArrayPaths(p.Placed, p.MakeFolder);
    const std::string base = OutputBasePath(p.Placed);
    if (options.Timings != TimingsFormat::None && p.Kind == OutputKind::Frames) {
        p.TimingsPath = (p.MakeFolder ? base + "/" + FileNameOf(base) : base) + TimingsSuffix(options.Timings);
    }
    if (!options.OutputFolder.empty()) {
        p.Folders.push_back(options.OutputFolder);
        p.FolderParents = true;
    }
    if (p.MakeFolder) p.Folders.push_back(OutputFolderPath(p.Placed));
    const std::uint64_t first = p.Chosen.MergeHeld ? 0 : FirstListed(options.Frames);
    p.Destination = p.Kind == OutputKind::Sheet   ? p.Sheet.Single
                    : p.Kind == OutputKind::Array ? p.Array.Array
                    : p.MakeFolder                ? OutputFolderPath(p.Placed)
                                                  : PlannedFramePath(p, first, 0);
    p.FramesFolder = p.MakeFolder && p.Kind == OutputKind::Frames ? p.Destination : FolderOfPath(p.Destination);
    return p;
}

ConvertResult SettlePlan(OutputPlan& p, const AnimationInfo& info, bool described)
{
    OutputOptions& chosen = p.Chosen;
    if (!described) {
        // NameBytes, on the first frame's name (the count is not known).
        if (p.Kind != OutputKind::Frames) return Converted();
        return NameTooLong(PlannedFramePath(p, PlannedNumber(p, 0, FirstListed(chosen.Frames)), 0));
    }
    p.Info = info;
    const bool wantDeclared = chosen.Canvas == CanvasChoice::Declared;
    const bool sized = info.DeclaredWidth > 0 && info.DeclaredHeight > 0;
    p.Declared = wantDeclared && sized && FitsLimits(info.DeclaredWidth, info.DeclaredHeight);
    if (wantDeclared && !p.Declared) {
        p.CanvasNote = "the file declares a canvas of " + SideText(info.DeclaredWidth, info.DeclaredHeight) +
                       (sized ? ", over the limit" : "") + ", so frames are on the grown canvas";
    }

    // The frames picked by step or time, resolved against the file's delays.
    std::vector<double> delays;
    delays.reserve(info.Frames.size());
    for (const FrameInfo& frame : info.Frames) delays.push_back(frame.DelayMs);
    if (SamplingAsked(chosen.Sampling)) {
        chosen.Frames = SampleFrames(chosen.Frames, chosen.Sampling, delays, p.SamplingNote);
        chosen.Sampling = {};
        if (chosen.Frames.empty()) {
            return {ConvertStatus::Failed,
                    "none of the frames asked for is in the file" + (p.SamplingNote.empty() ? "" : ": " + p.SamplingNote),
                    0, 0, {}, FailureKind::Usage};
        }
    }

    // UntilTheNextPicked.
    const std::vector<std::uint64_t> picked = ChosenIndices(chosen.Frames, delays.size());
    p.Cells = picked.size();
    p.Durations.assign(delays.size(), 0);
    for (std::size_t k = 0; k < picked.size(); ++k) {
        const std::uint64_t end = k + 1 < picked.size() ? picked[k + 1] : delays.size();
        double sum = 0;
        for (std::uint64_t i = picked[k]; i < end; ++i) sum += delays[i];
        p.Durations[picked[k]] = sum;
    }

    // The first frame's name may hang on the frames picked and their times.
    if (p.Kind == OutputKind::Frames && !p.MakeFolder) {
        const std::uint64_t first = picked.empty() ? FirstListed(chosen.Frames) : picked.front();
        p.Destination = PlannedFramePath(p, PlannedNumber(p, 0, first), picked.empty() ? 0 : p.Durations[first]);
        p.FirstNames = {p.Destination};
        // A merged first frame stands for its neighbours' times too.
        if (chosen.MergeHeld && NameNeedsDescription(chosen.Names)) {
            double sum = p.Durations[first];
            for (std::size_t k = 1; k < picked.size() && picked[k] == picked[k - 1] + 1; ++k) {
                sum += p.Durations[picked[k]];
                std::string name = PlannedFramePath(p, 0, sum);
                if (name != p.FirstNames.back()) p.FirstNames.push_back(std::move(name));
            }
        }
    }
    p.FramesFolder = p.MakeFolder && p.Kind == OutputKind::Frames ? p.Destination : FolderOfPath(p.Destination);

    // The canvas and the one size frames are written at (OneFactor).
    p.CanvasWidth = p.Declared ? info.DeclaredWidth : info.CanvasWidth;
    p.CanvasHeight = p.Declared ? info.DeclaredHeight : info.CanvasHeight;
    p.Scaled = ScalingAsked(chosen.Scale);
    std::tie(p.FrameWidth, p.FrameHeight) = p.Scaled ? ScaledSize(chosen.Scale, p.CanvasWidth, p.CanvasHeight)
                                                     : std::pair{p.CanvasWidth, p.CanvasHeight};
    if (p.Scaled) {
        if (std::string over = AnimationOverLimits(p.Cells, p.FrameWidth, p.FrameHeight); !over.empty()) {
            return OverLimit("scaled to " + SideText(p.FrameWidth, p.FrameHeight) + ", " + over);
        }
    }
    if (p.Kind == OutputKind::Frames) {
        if (std::string refused = FormatSidesRefusal(chosen.Encoding, p.FrameWidth, p.FrameHeight); !refused.empty()) {
            return OverLimit(refused);
        }
        // NameBytes, on the longest name the frames can get: the last number
        // and the longest time.
        if (!picked.empty()) {
            const double longest = *std::max_element(p.Durations.begin(), p.Durations.end());
            const std::uint64_t last = PlannedNumber(p, picked.size() - 1, picked.back());
            if (ConvertResult named = NameTooLong(PlannedFramePath(p, last, longest)); named.Status != ConvertStatus::Converted) {
                return named;
            }
        }
    }
    return Converted();
}

std::string PlanGroupKey(const std::string& source, const OutputOptions& options)
{
    std::string key = SharedOutputKey(source, options.OutputFolder);
    if (NamesAreShared(options)) key.resize(key.find_last_of("/\\") + 1);  // the folder alone
    return key;
}

std::string SameNamesRefusal(const std::vector<std::string>& files, const OutputOptions& options)
{
    if (!NamesAreShared(options)) return {};
    std::map<std::string, std::size_t> first;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const auto [at, added] = first.try_emplace(PlanGroupKey(files[i], options), i);
        if (added) continue;
        return "--name without {name} gives every file the same frame names, and " + FileNameOf(files[at->second]) +
               " and " + FileNameOf(files[i]) +
               " would write theirs into one folder: add {name} to the template, or use --folder";
    }
    return {};
}

}  // namespace framelot
