#include "convert/OutputArguments.h"

#include <cstdlib>
#include <optional>

namespace framelot {
namespace {

constexpr long MaxSheetCount = 100'000;    // columns or rows: no more than the frames a file may have
constexpr long MaxSpacing = 1024;          // padding, margin, extrusion
constexpr long MaxSheetSide = 1'000'000;   // a side of --max-size
constexpr long MaxQuality = 100;           // --quality: libwebp's and libjpeg's scale
constexpr double MaxScale = 64;           // --scale: beyond it a frame is blocks no one needs
constexpr long MaxStep = 100'000;          // --every, --count: no more than the frames a file may have
constexpr long long MaxStart = 1'000'000'000;  // the first frame's number

// A whole number from `min` to `max`, the text holding nothing else.
bool ReadNumber(const std::string& text, long min, long max, long& n)
{
    char* end = nullptr;
    n = std::strtol(text.c_str(), &end, 10);
    return !text.empty() && text[0] >= '0' && text[0] <= '9' && *end == '\0' && n >= min && n <= max;
}

std::string Range(const std::string& option, long min, long max)
{
    return option + " takes a number from " + std::to_string(min) + " to " + std::to_string(max);
}

// "WIDTHxHEIGHT" into width and height, each from 1 to MaxSheetSide; the
// reason, with `example`, in `error` otherwise.
void ReadSize2D(const std::string& option, const std::string& value, const char* example, std::uint64_t& width,
                std::uint64_t& height, std::string& error)
{
    const std::size_t x = value.find('x');
    long w = 0, h = 0;
    if (x == std::string::npos || !ReadNumber(value.substr(0, x), 1, MaxSheetSide, w) ||
        !ReadNumber(value.substr(x + 1), 1, MaxSheetSide, h)) {
        error = option + " takes WIDTHxHEIGHT, each from 1 to " + std::to_string(MaxSheetSide) + " (" + option + " " +
                example + ")";
        return;
    }
    width = static_cast<std::uint64_t>(w);
    height = static_cast<std::uint64_t>(h);
}

// "1500000", "500K", "500M", "2G", "1T" (decimal, as disks are sold); above 0.
std::optional<std::uint64_t> ReadSize(const std::string& text)
{
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (text.empty() || !(text[0] >= '0' && text[0] <= '9') || !(value > 0)) return std::nullopt;
    const std::string unit = end;
    double scale = 0;
    if (unit.empty() || unit == "B") scale = 1;
    else if (unit == "K" || unit == "kB" || unit == "KB") scale = 1e3;
    else if (unit == "M" || unit == "MB") scale = 1e6;
    else if (unit == "G" || unit == "GB") scale = 1e9;
    else if (unit == "T" || unit == "TB") scale = 1e12;
    if (scale == 0 || value * scale > 1e18) return std::nullopt;
    return static_cast<std::uint64_t>(value * scale);
}

// "#RRGGBB", "RRGGBB", "#RGB", "white" or "black", as a Colour.
std::optional<Colour> ReadColour(std::string text)
{
    if (text == "white") return Colour{0xFFFFFF};
    if (text == "black") return Colour{0};
    if (!text.empty() && text[0] == '#') text.erase(0, 1);
    if (text.size() == 3) text = {text[0], text[0], text[1], text[1], text[2], text[2]};
    if (text.size() != 6 || text.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos) return std::nullopt;
    const unsigned long rgb = std::strtoul(text.c_str(), nullptr, 16);
    // Stored with red in the low byte.
    return static_cast<Colour>(((rgb >> 16) & 0xFF) | (rgb & 0xFF00) | ((rgb & 0xFF) << 16));
}

}  // namespace

bool IsSheetOption(const std::string& option)
{
    for (const char* name : {"--columns", "--rows", "--padding", "--margin", "--extrude", "--max-size", "--atlas",
                             "--strip", "--pot", "--trim"}) {
        if (option == name) return true;
    }
    return false;
}

bool OutputOptionTakesValue(const std::string& option)
{
    for (const char* name : {"-o", "--output", "--columns", "--rows", "--padding", "--margin", "--extrude", "--max-size", "--atlas",
                             "--frames", "--canvas", "--name", "--start", "--every", "--at", "--count", "--timings", "--scale", "--fit", "--filter", "--max-output", "--format", "--quality", "--background"}) {
        if (option == name) return true;
    }
    return false;
}

bool OutputOptionIsFlag(const std::string& option)
{
    return option == "--strip" || option == "--pot" || option == "--trim" || option == "--merge-held" || option == "--npy" ||
           option == "--folder" || option == "--no-folder" || option == "--sheet";
}

void ReadOutputFlag(const std::string& option, OutputOptions& options)
{
    if (option == "--strip") options.Packing.Rows = 1;
    if (option == "--pot") options.Packing.PowerOfTwo = true;
    if (option == "--trim") options.Packing.Trim = true;
    if (option == "--merge-held") options.MergeHeld = true;
    if (option == "--npy") options.Array = true;
    if (option == "--folder" || option == "--no-folder") options.MakeFolder = option == "--folder";
    if (option == "--sheet") options.Sheet = true;
}

bool ReadOutputValue(const std::string& option, const std::string& value, OutputOptions& options, std::string& error)
{
    SheetOptions& o = options.Packing;
    long n = 0;
    if (option == "-o" || option == "--output") {
        if (value.empty()) error = option + " takes a folder";
        else options.OutputFolder = value;
    } else if (option == "--frames") {
        if (auto list = ParseFrameList(value, error)) options.Frames = std::move(*list);
    } else if (option == "--canvas") {
        if (value == "grown") options.Canvas = CanvasChoice::Grown;
        else if (value == "declared") options.Canvas = CanvasChoice::Declared;
        else error = "--canvas takes grown or declared (not \"" + value + "\")";
    } else if (option == "--name") {
        const std::uint64_t start = options.Names.Start;
        if (auto names = ParseNameTemplate(value, error)) options.Names = std::move(*names);
        options.Names.Start = start;
    } else if (option == "--start") {
        char* end = nullptr;
        const long long start = std::strtoll(value.c_str(), &end, 10);
        if (value.empty() || value[0] < '0' || value[0] > '9' || *end != '\0' || start > MaxStart) {
            error = "--start takes a number from 0 to " + std::to_string(MaxStart);
        } else {
            options.Names.Start = static_cast<std::uint64_t>(start);
        }
    } else if (option == "--every" || option == "--count") {
        if (!ReadNumber(value, 1, MaxStep, n)) error = Range(option, 1, MaxStep);
        else (option == "--every" ? options.Sampling.Every : options.Sampling.Count) = static_cast<std::uint64_t>(n);
    } else if (option == "--scale") {
        char* end = nullptr;
        const double factor = std::strtod(value.c_str(), &end);
        if (value.empty() || *end != '\0' || !(factor > 0) || factor > MaxScale) {
            error = "--scale takes a factor above 0, up to " + std::to_string(static_cast<int>(MaxScale)) + " (--scale 2, --scale 0.5)";
        } else {
            options.Scale.Factor = factor;
        }
    } else if (option == "--fit") {
        ReadSize2D(option, value, "256x256", options.Scale.FitWidth, options.Scale.FitHeight, error);
    } else if (option == "--format") {
        FrameEncoding& e = options.Encoding;
        if (value == "png") e.Format = FrameFormat::Png;
        else if (value == "webp") e.Format = FrameFormat::Webp;
        else if (value == "jpeg" || value == "jpg") e.Format = FrameFormat::Jpeg;
        else error = "--format takes png, webp or jpeg (not \"" + value + "\")";
    } else if (option == "--quality") {
        if (!ReadNumber(value, 0, MaxQuality, n)) error = Range(option, 0, MaxQuality);
        else options.Encoding.Quality = static_cast<int>(n);
    } else if (option == "--background") {
        if (auto colour = ReadColour(value)) options.Encoding.Background = *colour;
        else error = "--background takes a colour as #RRGGBB, #RGB, white or black (not \"" + value + "\")";
    } else if (option == "--max-output") {
        if (auto bytes = ReadSize(value)) options.MaxOutputBytes = *bytes;
        else error = "--max-output takes a size such as 500M, 2G or 1500000 (bytes; K, M, G and T count in 1000s)";
    } else if (option == "--filter") {
        if (auto filter = ResampleFilterNamed(value)) options.Scale.Filter = *filter;
        else error = "--filter takes nearest, box or lanczos (not \"" + value + "\")";
    } else if (option == "--timings") {
        if (auto format = TimingsFormatNamed(value)) options.Timings = *format;
        else error = "--timings takes ffconcat, json or csv (not \"" + value + "\")";
    } else if (option == "--at") {
        if (auto times = ParseTimes(value, error)) options.Sampling.AtMs = std::move(*times);
    } else if (option == "--columns" || option == "--rows") {
        if (!ReadNumber(value, 1, MaxSheetCount, n)) error = Range(option, 1, MaxSheetCount);
        else (option == "--columns" ? o.Columns : o.Rows) = static_cast<std::uint64_t>(n);
    } else if (option == "--padding" || option == "--margin" || option == "--extrude") {
        if (!ReadNumber(value, 0, MaxSpacing, n)) error = Range(option, 0, MaxSpacing);
        else (option == "--padding" ? o.Padding : option == "--margin" ? o.Margin : o.Extrude) = static_cast<std::uint64_t>(n);
    } else if (option == "--max-size") {
        ReadSize2D(option, value, "2048x2048", o.MaxWidth, o.MaxHeight, error);
    } else if (option == "--atlas") {
        if (auto format = AtlasFormatNamed(value)) options.Atlas = *format;
        else error = "--atlas takes array, hash, aseprite, godot or css (not \"" + value + "\")";
    } else {
        error = "unknown option " + option;
    }
    return error.empty();
}

std::string OutputOptionsConflict(const OutputOptions& options, const std::string& firstSheetOption)
{
    const SheetOptions& o = options.Packing;
    const FrameSampling& s = options.Sampling;
    if ((s.Every > 0) + !s.AtMs.empty() + (s.Count > 0) > 1) return "--every, --at and --count each pick the frames: give one";
    if (!firstSheetOption.empty() && !options.Sheet) return firstSheetOption + " goes with --sheet";
    if (options.Scale.Factor > 0 && options.Scale.FitWidth > 0) return "--scale and --fit each set the size: give one";
    if (options.Scale.Filter && !ScalingAsked(options.Scale)) return "--filter goes with --scale or --fit";
    const FrameEncoding& e = options.Encoding;
    if (e.Quality >= 0 && e.Format == FrameFormat::Png) return "--quality goes with --format webp or jpeg";
    if (e.Background && e.Format != FrameFormat::Jpeg) return "--background goes with --format jpeg";
    if (e.Format != FrameFormat::Png && (options.Sheet || options.Array)) {
        return "--format sets the frame files' format: a sheet is PNG, an array is NumPy's";
    }
    if (options.Array && (options.Sheet || options.Timings != TimingsFormat::None)) {
        return "--npy writes one array and its times instead of frame files: not with --sheet or --timings";
    }
    if (options.Sheet && options.Timings != TimingsFormat::None) {
        return "--timings goes with frame files: a sheet's atlas has the times";
    }
    if (o.Columns > 0 && o.Rows > 0) return "--columns and --rows (or --strip) each set the grid: give one";
    if (o.Trim && (o.Columns > 0 || o.Rows > 0)) {
        return "--trim packs the frames in rows of their own sizes: --columns, --rows and --strip set a grid";
    }
    return {};
}

std::string ReadOutputArguments(const std::vector<std::string>& words, OutputOptions& options)
{
    std::string error, firstSheetOption;
    for (std::size_t i = 0; i < words.size() && error.empty(); ++i) {
        if (firstSheetOption.empty() && IsSheetOption(words[i])) firstSheetOption = words[i];
        if (OutputOptionIsFlag(words[i])) {
            ReadOutputFlag(words[i], options);
        } else if (!OutputOptionTakesValue(words[i])) {
            error = "unknown option " + words[i];
        } else if (i + 1 >= words.size()) {
            error = words[i] + " needs a value";
        } else {
            ReadOutputValue(words[i], words[i + 1], options, error);
            ++i;
        }
    }
    return error.empty() ? OutputOptionsConflict(options, firstSheetOption) : error;
}

}  // namespace framelot
