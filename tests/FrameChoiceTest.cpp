// Frames picked by step and by time, and named by a template, through the
// whole conversion: the files written are the frames a viewer shows at those
// times, each equal to the same frame of a full conversion, under the names
// the template gives; the skip rule looks at those names.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <optional>

#include <webp/decode.h>
#include <cstdio>
#include <jpeglib.h>

#include "convert/Dispatch.h"
#include "convert/FileInfo.h"
#include "convert/FrameList.h"
#include "output/files/NameTemplate.h"
#include "output/files/PathText.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

// Six frames of uneven delays, two of them of none: 100, 0, 300, 200, 0 and
// 400 ms, each a different pixel so that every frame differs.
Bytes UnevenGif(std::vector<int> delays)
{
    std::vector<GifFrameSpec> frames;
    for (std::size_t i = 0; i < delays.size(); ++i) {
        frames.push_back(SolidGifFrame(static_cast<int>(i), 0, 1, 1, static_cast<std::uint8_t>(1 + i % 3)));
        frames.back().Delay = delays[i];
    }
    return BuildGif({.ScreenWidth = 8, .ScreenHeight = 2, .Palette = FourColours(), .Frames = frames});
}

std::vector<std::string> Numbered(std::initializer_list<int> frames, const std::string& stem)
{
    std::vector<std::string> names;
    for (int f : frames) names.push_back(stem + "_000" + std::to_string(f) + ".png");
    return names;
}

TEST(FrameChoiceTest, SamplingPicksTheFramesShownAtThoseTimesWithTheFullConversionsPixels)
{
    TempDir dir;
    WriteFile(dir / "u.gif", UnevenGif({10, 0, 30, 20, 0, 40}));
    WriteFile(dir / "z.gif", UnevenGif({0, 0, 0}));
    OutputOptions full;
    full.OutputFolder = dir / "full";
    ASSERT_EQ(ConvertDroppedFile(dir / "u.gif", full, 0).Status, ConvertStatus::Converted);
    ASSERT_EQ(ConvertDroppedFile(dir / "z.gif", full, 0).Status, ConvertStatus::Converted);

    std::string error;
    const auto at = [&](const char* text) { return ParseTimes(text, error).value_or(std::vector<double>{-1}); };
    const struct Case {
        const char* Source;
        const char* What;
        FrameSampling Sampling;
        const char* Frames;
        std::vector<std::string> Written;  // empty: the conversion fails as a usage error
        const char* Note;
    } cases[] = {
        {"u", "times at, inside and between frames; zero delays never shown", {.AtMs = at("0,0.099,100ms,0.4,600ms,999ms")},
         "", Numbered({0, 2, 3, 5}, "u"), "2 times show a frame already picked"},
        {"u", "a time past the end", {.AtMs = at("1s,0")}, "", Numbered({0}, "u"), "1 time is past the end (the file shows for 1000 ms)"},
        {"u", "four spread over 1 s", {.Count = 4}, "", Numbered({0, 2, 3, 5}, "u"), ""},
        {"u", "more than there are", {.Count = 10}, "", Numbered({0, 2, 3, 5}, "u"), "6 times show a frame already picked"},
        {"u", "every second frame", {.Every = 2}, "", Numbered({0, 2, 4}, "u"), ""},
        {"u", "every second of --frames 1-5", {.Every = 2}, "1-5", Numbered({1, 3, 5}, "u"), ""},
        {"u", "times among --frames", {.AtMs = at("0,0.5")}, "2-", Numbered({3}, "u"), "1 time falls on frames --frames leaves out"},
        {"z", "no delays: time 0 is the first frame", {.AtMs = at("0")}, "", Numbered({0}, "z"), ""},
        {"z", "no delays: any later time is past the end", {.AtMs = at("0.5")}, "", {}, "past the end"},
    };
    ASSERT_TRUE(error.empty()) << error;
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        OutputOptions o;
        o.MakeFolder = false;
        o.OutputFolder = dir / ("out" + std::to_string(k++));
        o.Sampling = c.Sampling;
        if (*c.Frames) o.Frames = ParseFrameList(c.Frames, error).value();
        const ConvertResult r = ConvertDroppedFile(dir / (std::string(c.Source) + ".gif"), o, 0);
        EXPECT_NE((r.Note + r.Reason).find(c.Note), std::string::npos) << r.Note << r.Reason;
        if (c.Written.empty()) {
            EXPECT_EQ(r.Status, ConvertStatus::Failed);
            EXPECT_EQ(r.Failure, FailureKind::Usage);
            EXPECT_NE(r.Reason.find(c.Note), std::string::npos) << r.Reason;
            continue;
        }
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        EXPECT_EQ(r.Destination, o.OutputFolder + "/" + c.Written.front());
        ASSERT_EQ(ListFiles(o.OutputFolder), c.Written);
        for (const std::string& name : c.Written) {
            EXPECT_EQ(ReadFile(o.OutputFolder + "/" + name),
                      ReadFile(dir / ("full/" + std::string(c.Source) + "/" + name))) << name;
        }
        // The same choice again is skipped: its first frame is there.
        EXPECT_EQ(ConvertDroppedFile(dir / (std::string(c.Source) + ".gif"), o, 0).Status, ConvertStatus::Skipped);
    }
}

TEST(FrameChoiceTest, TemplatesNameEveryFrameApartAndTheSkipRuleReadsTheirNames)
{
    std::string error;
    const struct { const char* Text; const char* Reason; } bad[] = {
        {"{name}", "has no {index}"},
        {"{name}_{delay}", "has no {index}"},
        {"{index", "is not closed"},
        {"index}", "with no \"{\" before it"},
        {"{frame}", "{frame} is not a field"},
        {"{index:x4}", "{index:W} takes a width"},
        {"{index:}", "{index:W} takes a width"},
        {"sub/{index}", "cannot hold \"/\""},
        {"..{index}", "holds \"..\""},
    };
    for (const auto& b : bad) {
        EXPECT_FALSE(ParseNameTemplate(b.Text, error).has_value()) << b.Text;
        EXPECT_NE(error.find(b.Reason), std::string::npos) << b.Text << ": " << error;
    }
    for (const char* windowsOnly : {"a:{index}", "a?{index}", "a\\{index}", "a*{index}"}) {
        EXPECT_FALSE(ParseNameTemplate(windowsOnly, error, NamingRules::Windows).has_value()) << windowsOnly;
        EXPECT_TRUE(ParseNameTemplate(windowsOnly, error, NamingRules::Posix).has_value()) << windowsOnly;
    }
    const std::optional<NameTemplate> plain = ParseNameTemplate("{name}_{index:04}", error);
    ASSERT_TRUE(plain.has_value());
    EXPECT_TRUE(IsDefaultNaming(*plain));

    TempDir dir;
    WriteFile(dir / "u.gif", UnevenGif({10, 0, 30}));
    const struct { const char* Text; std::uint64_t Start; std::vector<std::string> Written; } good[] = {
        {"{name}-{index:03}-{delay}ms", 0, {"u-000-100ms.png", "u-001-0ms.png", "u-002-300ms.png"}},
        {"{index} of {total} {{{name}}}", 1, {"1 of 3 {u}.png", "2 of 3 {u}.png", "3 of 3 {u}.png"}},
        {"f{index:1}", 9, {"f10.png", "f11.png", "f9.png"}},
    };
    int k = 0;
    for (const auto& g : good) {
        SCOPED_TRACE(g.Text);
        OutputOptions o;
        o.MakeFolder = k % 2 == 0;
        o.OutputFolder = dir / ("named" + std::to_string(k++));
        o.Names = ParseNameTemplate(g.Text, error).value();
        o.Names.Start = g.Start;
        const ConvertResult r = ConvertDroppedFile(dir / "u.gif", o, 0);
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        const std::string folder = o.MakeFolder ? o.OutputFolder + "/u" : o.OutputFolder;
        EXPECT_EQ(ListFiles(folder), g.Written);
        EXPECT_EQ(ConvertDroppedFile(dir / "u.gif", o, 0).Status, ConvertStatus::Skipped);
        if (!o.MakeFolder) {
            // Without the folder, only the templated first frame stands for the
            // output: with it gone, the file converts again (and writes only
            // what is missing).
            fs::remove(PathFromUtf8(folder + "/" + r.Destination.substr(r.Destination.rfind('/') + 1)));
            EXPECT_EQ(ConvertDroppedFile(dir / "u.gif", o, 0).Status, ConvertStatus::Converted);
        }
    }
}

// A A B C C C D, with delays 10, 20, 30, 40, 50, 60 and 70 hundredths.
Bytes HeldGif()
{
    const int pixels[] = {0, 0, 1, 2, 2, 2, 3};
    std::vector<GifFrameSpec> frames;
    for (int i = 0; i < 7; ++i) {
        frames.push_back(SolidGifFrame(0, 0, 4, 1, 0, 2));
        frames.back().Indices[static_cast<std::size_t>(pixels[i])] = 1;  // one pixel on a black row, restored after
        frames.back().Delay = 10 * (i + 1);
    }
    return BuildGif({.ScreenWidth = 4, .ScreenHeight = 1, .Palette = FourColours(), .Frames = frames});
}

TEST(FrameChoiceTest, HeldFramesMergeIntoOneFrameForTheSumOfTheirTimesInEveryOutput)
{
    TempDir dir;
    WriteFile(dir / "h.gif", HeldGif());
    OutputOptions full;
    full.OutputFolder = dir / "full";
    ASSERT_EQ(ConvertDroppedFile(dir / "h.gif", full, 0).Status, ConvertStatus::Converted);

    // Frame files: four, numbered in order, each the unmerged frame that
    // starts its run; every timings form gives the sums.
    const struct { TimingsFormat Format; const char* File; const char* Text; } forms[] = {
        {TimingsFormat::Csv, "h_timings.csv", "file,index,delay_ms\nh_0000.png,0,300\nh_0001.png,2,300\nh_0002.png,3,1500\nh_0003.png,6,700\n"},
        {TimingsFormat::Ffconcat, "h.ffconcat", "ffconcat version 1.0\nfile 'h_0000.png'\nduration 0.3\nfile 'h_0001.png'\nduration 0.3\n"
                                                "file 'h_0002.png'\nduration 1.5\nfile 'h_0003.png'\nduration 0.7\nfile 'h_0003.png'\n"},
        {TimingsFormat::Json, "h_timings.json", "{\"frames\": [\n  {\"file\": \"h_0000.png\", \"index\": 0, \"delay_ms\": 300},\n"
                                                "  {\"file\": \"h_0001.png\", \"index\": 2, \"delay_ms\": 300},\n"
                                                "  {\"file\": \"h_0002.png\", \"index\": 3, \"delay_ms\": 1500},\n"
                                                "  {\"file\": \"h_0003.png\", \"index\": 6, \"delay_ms\": 700}\n], \"loops\": 0, \"duration_ms\": 2800}\n"},
    };
    int k = 0;
    for (const auto& form : forms) {
        SCOPED_TRACE(form.File);
        OutputOptions o;
        o.OutputFolder = dir / ("merged" + std::to_string(k++));
        o.MergeHeld = true;
        o.Timings = form.Format;
        const ConvertResult r = ConvertDroppedFile(dir / "h.gif", o, 0);
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        EXPECT_EQ(r.FramesWritten, 4u);
        EXPECT_NE(r.Note.find("3 held frames merged (4 frames for 7)"), std::string::npos) << r.Note;
        const std::string folder = o.OutputFolder + "/h/";
        std::vector<std::string> expected = {form.File, "h_0000.png", "h_0001.png", "h_0002.png", "h_0003.png"};
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(ListFiles(folder), expected);
        const int firsts[] = {0, 2, 3, 6};
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(ReadFile(folder + "h_000" + std::to_string(i) + ".png"),
                      ReadFile(dir / ("full/h/h_000" + std::to_string(firsts[i]) + ".png"))) << i;
        }
        const Bytes text = ReadFile(folder + form.File);
        EXPECT_EQ(std::string(text.begin(), text.end()), form.Text);
    }
    // --info --merge-held: the same four frames, their sums, and an estimate.
    AnimationInfo info;
    std::uint64_t estimated = 0;
    ASSERT_EQ(SurveyFileFrames(dir / "h.gif", true, info, estimated).Status, ConvertStatus::Converted);
    ASSERT_EQ(info.Frames.size(), 4u);
    const double sums[] = {300, 300, 1500, 700};
    for (std::size_t i = 0; i < 4; ++i) EXPECT_EQ(info.Frames[i].DelayMs, sums[i]) << i;
    EXPECT_EQ(info.Frames[2].RawDelay, "3-5 held");
    EXPECT_EQ(estimated, ReadFile(dir / "full/h/h_0000.png").size() * 7);

    // The sheet: four cells, the atlas's durations the sums; names and times
    // from a template follow the merged frames.
    OutputOptions sheet;
    sheet.OutputFolder = dir / "sheet";
    sheet.MergeHeld = true;
    sheet.Sheet = true;
    std::string error;
    sheet.Names = ParseNameTemplate("{name}-{index}-{delay}", error).value();
    ASSERT_EQ(ConvertDroppedFile(dir / "h.gif", sheet, 0).Status, ConvertStatus::Converted);
    const Bytes atlas = ReadFile(dir / "sheet/h/h_sheet.json");
    const std::string json(atlas.begin(), atlas.end());
    for (const char* entry : {"\"h-0-300.png\", \"frame\": {\"x\": 0, \"y\": 0, \"w\": 4, \"h\": 1}, \"duration\": 300",
                              "\"h-2-1500.png\", \"frame\": {\"x\": 0, \"y\": 1, \"w\": 4, \"h\": 1}, \"duration\": 1500",
                              "\"h-3-700.png\""}) {
        EXPECT_NE(json.find(entry), std::string::npos) << entry << " in " << json;
    }
    EXPECT_EQ(json.find("h-4-"), std::string::npos) << json;
}

// NumPy (Debian's python3-numpy) loads `npy` and writes its bytes, C order,
// to `raw`; returns what it printed of the shape and type, or nothing when
// NumPy is not there.
std::optional<std::string> LoadWithNumPy(const std::string& npy, const std::string& raw)
{
    const ProgramRun run = RunProgram("/usr/bin/python3 -c \"import sys, numpy; a = numpy.load(sys.argv[1]); "
                                      "open(sys.argv[2], 'wb').write(a.tobytes()); print(a.shape, a.dtype)\" " +
                                      Quoted(npy) + " " + Quoted(raw));
    if (run.Status != 0) return std::nullopt;
    return run.Output;
}

TEST(FrameChoiceTest, ArraysHoldEveryFrameWithFourChannelsAsNumPyLoadsThem)
{
    if (!LoadWithNumPy("", "")) {
        // Probe: a missing file fails in NumPy, a missing NumPy in the import.
        const ProgramRun probe = RunProgram("/usr/bin/python3 -c \"import numpy\"");
        if (probe.Status != 0) GTEST_SKIP() << "NumPy is not here: " << probe.Output;
    }
    TempDir dir;
    // The first frame opaque everywhere (no transparent index), the next two
    // with transparent pixels, the last a repeat of the one before.
    std::vector<GifFrameSpec> frames = {SolidGifFrame(0, 0, 5, 3, 1)};
    frames.push_back(SolidGifFrame(1, 1, 2, 1, 2, 2));
    frames.push_back(SolidGifFrame(3, 0, 1, 3, 3, 1));
    frames.back().Transparent = 0;
    frames.back().Indices = {3, 0, 3};
    frames.push_back(frames.back());
    for (std::size_t i = 0; i < frames.size(); ++i) frames[i].Delay = static_cast<int>(5 * (i + 1));
    WriteFile(dir / "a.gif", BuildGif({.ScreenWidth = 5, .ScreenHeight = 3, .Palette = FourColours(), .Frames = frames}));
    OutputOptions full;
    full.OutputFolder = dir / "full";
    ASSERT_EQ(ConvertDroppedFile(dir / "a.gif", full, 0).Status, ConvertStatus::Converted);

    const struct { const char* What; bool Merge; const char* Frames; std::vector<int> Shown; const char* Times; } cases[] = {
        {"every frame", false, "", {0, 1, 2, 3}, "\"delay_ms\": 50},\n  {\"index\": 1, \"delay_ms\": 100}"},
        // Frame 1 stands for frames 1 and 2 (100 + 150 ms), until frame 3.
        {"chosen frames", false, "1,3", {1, 3}, "[\n  {\"index\": 1, \"delay_ms\": 250},\n  {\"index\": 3, \"delay_ms\": 200}\n]"},
        {"held frames merged", true, "", {0, 1, 2}, "{\"index\": 2, \"delay_ms\": 350}\n], \"loops\": 0, \"duration_ms\": 500}"},
    };
    int k = 0;
    std::string error;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        OutputOptions o;
        o.Array = true;
        o.MergeHeld = c.Merge;
        o.OutputFolder = dir / ("array" + std::to_string(k++));
        if (*c.Frames) o.Frames = ParseFrameList(c.Frames, error).value();
        const ConvertResult r = ConvertDroppedFile(dir / "a.gif", o, 0);
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        EXPECT_EQ(r.Destination, o.OutputFolder + "/a/a.npy");
        EXPECT_EQ(ListFiles(o.OutputFolder + "/a"), (std::vector<std::string>{"a.json", "a.npy"}));
        const std::optional<std::string> loaded = LoadWithNumPy(r.Destination, dir / "raw");
        ASSERT_TRUE(loaded.has_value());
        EXPECT_EQ(*loaded, "(" + std::to_string(c.Shown.size()) + ", 3, 5, 4) uint8\n");
        Bytes expected;
        for (int frame : c.Shown) {
            const Bitmap png = ReadPng(dir / ("full/a/a_000" + std::to_string(frame) + ".png"));
            expected.insert(expected.end(), png.Pixels.begin(), png.Pixels.end());
        }
        EXPECT_EQ(ReadFile(dir / "raw"), expected);
        const Bytes times = ReadFile(o.OutputFolder + "/a/a.json");
        EXPECT_NE(std::string(times.begin(), times.end()).find(c.Times), std::string::npos)
            << std::string(times.begin(), times.end());
        EXPECT_EQ(ConvertDroppedFile(dir / "a.gif", o, 0).Status, ConvertStatus::Skipped);
    }
    // An array over its limit is refused before anything is decoded or written.
    WriteFile(dir / "big.gif", BuildGif({.ScreenWidth = 9000, .ScreenHeight = 9000, .Palette = FourColours(),
                                         .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, 2),
                                                    SolidGifFrame(0, 0, 1, 1, 3), SolidGifFrame(0, 0, 1, 1, 1)}}));
    OutputOptions big;
    big.Array = true;
    big.Canvas = CanvasChoice::Declared;  // 9000 x 9000, though the frames are one pixel
    big.OutputFolder = dir / "big";
    const ConvertResult r = ConvertDroppedFile(dir / "big.gif", big, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Failed) << r.Reason;
    EXPECT_EQ(r.Failure, FailureKind::OverLimit);
    EXPECT_NE(r.Reason.find("the array would be 4 x 9000 x 9000 x 4 bytes"), std::string::npos) << r.Reason;
    EXPECT_FALSE(fs::exists(PathFromUtf8(big.OutputFolder)));
}

TEST(FrameChoiceTest, ScaledFramesKeepPixelBlocksEdgeColoursAndTheirShape)
{
    TempDir dir;
    WriteFile(dir / "u.gif", UnevenGif({10, 20, 30}));  // 8 x 2, one pixel a frame on transparent
    // A red frame whose right half is transparent: 4 x 2.
    std::vector<GifFrameSpec> halves = {SolidGifFrame(0, 0, 2, 2, 1), SolidGifFrame(0, 0, 2, 2, 1)};
    WriteFile(dir / "half.gif", BuildGif({.ScreenWidth = 4, .ScreenHeight = 2, .Palette = FourColours(), .Frames = halves}));
    OutputOptions full;
    full.OutputFolder = dir / "full";
    full.Canvas = CanvasChoice::Declared;  // the screens' sizes: 8 x 2 and 4 x 2
    ASSERT_EQ(ConvertDroppedFile(dir / "u.gif", full, 0).Status, ConvertStatus::Converted);
    ASSERT_EQ(ConvertDroppedFile(dir / "half.gif", full, 0).Status, ConvertStatus::Converted);
    const Bitmap red = ReadPng(dir / "full/half/half_0000.png");
    const std::vector<int> redPixel = PixelAt(red, 0, 0);
    ASSERT_EQ(redPixel[3], 255);

    const auto convert = [&](const std::string& source, ScaleChoice scale, const std::string& folder) {
        OutputOptions o;
        o.OutputFolder = dir / folder;
        o.Canvas = CanvasChoice::Declared;
        o.Scale = scale;
        const ConvertResult r = ConvertDroppedFile(dir / source, o, 0);
        EXPECT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        return r;
    };
    // A whole factor: each pixel becomes an exact 3 x 3 block.
    convert("u.gif", {.Factor = 3}, "x3");
    for (int f = 0; f < 3; ++f) {
        const Bitmap small = ReadPng(dir / ("full/u/u_000" + std::to_string(f) + ".png"));
        const Bitmap big = ReadPng(dir / ("x3/u/u_000" + std::to_string(f) + ".png"));
        ASSERT_EQ(big.Width, 24);
        ASSERT_EQ(big.Height, 6);
        for (int y = 0; y < big.Height; ++y) {
            for (int x = 0; x < big.Width; ++x) ASSERT_EQ(PixelAt(big, x, y), PixelAt(small, x / 3, y / 3)) << x << "," << y;
        }
    }
    // Shrinking across the edge between red and transparent: the edge pixel is
    // red at partial alpha, never a darker red, with every filter.
    for (const ResampleFilter filter : {ResampleFilter::Box, ResampleFilter::Lanczos}) {
        const std::string folder = filter == ResampleFilter::Box ? "box" : "lanczos";
        convert("half.gif", {.Factor = 0.75, .Filter = filter}, folder);
        const Bitmap scaled = ReadPng(dir / (folder + "/half/half_0000.png"));
        ASSERT_EQ(scaled.Width, 3);
        ASSERT_EQ(scaled.Height, 2);
        const std::vector<int> edge = PixelAt(scaled, 1, 0);
        EXPECT_GT(edge[3], 0) << folder;
        EXPECT_LT(edge[3], 255) << folder;
        EXPECT_EQ(std::vector<int>(edge.begin(), edge.begin() + 3), std::vector<int>(redPixel.begin(), redPixel.begin() + 3))
            << folder;
    }
    // --fit keeps the shape: 8 x 2 in a 5 x 5 box is 5 x 1 (1.25 rounds to 1).
    convert("u.gif", {.FitWidth = 5, .FitHeight = 5}, "fit");
    const Bitmap fitted = ReadPng(dir / "fit/u/u_0000.png");
    EXPECT_EQ(fitted.Width, 5);
    EXPECT_EQ(fitted.Height, 1);
    // A size over the limit is refused before anything is decoded or written.
    OutputOptions huge;
    huge.OutputFolder = dir / "huge";
    huge.Canvas = CanvasChoice::Declared;
    huge.Scale.Factor = 64;
    WriteFile(dir / "wide.gif", BuildGif({.ScreenWidth = 2000, .ScreenHeight = 2000, .Palette = FourColours(),
                                          .Frames = {SolidGifFrame(0, 0, 1, 1, 1), SolidGifFrame(0, 0, 1, 1, 2)}}));
    const ConvertResult r = ConvertDroppedFile(dir / "wide.gif", huge, 0);
    EXPECT_EQ(r.Failure, FailureKind::OverLimit);
    EXPECT_NE(r.Reason.find("scaled to 128000 x 128000"), std::string::npos) << r.Reason;
    EXPECT_FALSE(fs::exists(PathFromUtf8(huge.OutputFolder)));
}

Bitmap DecodeWebpFile(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    Bitmap b;
    std::uint8_t* rgba = WebPDecodeRGBA(bytes.data(), bytes.size(), &b.Width, &b.Height);
    if (rgba == nullptr) return {};
    b.Pixels.assign(rgba, rgba + static_cast<std::size_t>(b.Width) * static_cast<std::size_t>(b.Height) * 4);
    WebPFree(rgba);
    return b;
}

// A JPEG file as RGBA, opaque; empty when libjpeg cannot read it.
Bitmap DecodeJpegFile(const std::string& path)
{
    const Bytes bytes = ReadFile(path);
    jpeg_decompress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    Bitmap b;
    if (jpeg_read_header(&info, TRUE) == JPEG_HEADER_OK) {
        info.out_color_space = JCS_EXT_RGBA;
        jpeg_start_decompress(&info);
        b = MakeBitmap(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
        while (info.output_scanline < info.output_height) {
            JSAMPROW row = b.Pixels.data() + static_cast<std::size_t>(info.output_scanline) * b.Width * 4;
            jpeg_read_scanlines(&info, &row, 1);
        }
        jpeg_finish_decompress(&info);
    }
    jpeg_destroy_decompress(&info);
    return b;
}

// What a frame looks like laid over a background colour: each channel
// c * a + background * (1 - a), opaque.
Bitmap Flattened(Bitmap b, std::array<int, 3> background)
{
    for (std::size_t i = 0; i < b.Pixels.size(); i += 4) {
        const int a = b.Pixels[i + 3];
        for (int c = 0; c < 3; ++c) {
            b.Pixels[i + c] = static_cast<std::uint8_t>(std::lround((b.Pixels[i + c] * a + background[c] * (255.0 - a)) / 255.0));
        }
        b.Pixels[i + 3] = 255;
    }
    return b;
}

TEST(FrameChoiceTest, FrameFilesInEachFormatDecodeToTheFrameWithinTheirFormatsError)
{
    TempDir dir;
    // Two frames of 16 x 16 blocks (a JPEG colour block at 4:2:0) of colour
    // at alpha 255, 128 and 0, the second frame's shifted by a block, so that
    // composing, alpha and the background all show.
    const std::uint32_t w = 96, h = 64;
    std::vector<ApngFrameSpec> frames;
    for (int f = 0; f < 2; ++f) {
        Bytes rgba(static_cast<std::size_t>(w) * h * 4);
        for (std::uint32_t y = 0; y < h; ++y) {
            for (std::uint32_t x = 0; x < w; ++x) {
                const std::uint32_t block = (x / 16 + f) + 7 * (y / 16);
                std::uint8_t* p = &rgba[(static_cast<std::size_t>(y) * w + x) * 4];
                p[0] = static_cast<std::uint8_t>(block * 37);
                p[1] = static_cast<std::uint8_t>(200 - block * 11);
                p[2] = static_cast<std::uint8_t>(block % 2 ? 230 : 20);
                p[3] = std::array<std::uint8_t, 3>{255, 128, 0}[block % 3];
            }
        }
        frames.push_back({.Width = w, .Height = h, .Pixels = rgba});
    }
    WriteFile(dir / "a.png", BuildApng({.Width = w, .Height = h, .Frames = frames}));
    OutputOptions png;
    png.OutputFolder = dir / "png";
    ASSERT_EQ(ConvertDroppedFile(dir / "a.png", png, 0).Status, ConvertStatus::Converted);

    struct Case {
        const char* Name;
        FrameFormat Format;
        int Quality;
        std::optional<Colour> Background;
        double MeanError;  // over the visible (or, for JPEG, all) colour channels; 0: exact
    };
    const Case cases[] = {
        {"lossless WebP", FrameFormat::Webp, -1, std::nullopt, 0},
        {"WebP at 90", FrameFormat::Webp, 90, std::nullopt, 8},
        {"JPEG at its default, over white", FrameFormat::Jpeg, -1, std::nullopt, 1.5},
        {"JPEG at 60, over a dark blue", FrameFormat::Jpeg, 60, Colour{0x402010}, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        OutputOptions o;
        o.Encoding = {c.Format, c.Quality, c.Background};
        o.OutputFolder = dir / c.Name;
        ASSERT_EQ(ConvertDroppedFile(dir / "a.png", o, 0).Status, ConvertStatus::Converted);
        const bool jpeg = c.Format == FrameFormat::Jpeg;
        const Colour back = c.Background.value_or(0xFFFFFF);
        for (int f = 0; f < 2; ++f) {
            const std::string stem = "/a/a_000" + std::to_string(f);
            Bitmap expected = ReadPng(png.OutputFolder + stem + ".png");
            if (jpeg) expected = Flattened(expected, {int(back & 0xFF), int(back >> 8 & 0xFF), int(back >> 16)});
            const Bitmap got = jpeg ? DecodeJpegFile(o.OutputFolder + stem + ".jpg")
                                    : DecodeWebpFile(o.OutputFolder + stem + ".webp");
            ASSERT_EQ(got.Width, expected.Width);
            ASSERT_EQ(got.Height, expected.Height);
            if (c.MeanError == 0) {
                EXPECT_EQ(got.Pixels, expected.Pixels) << "frame " << f;
                continue;
            }
            // Lossy: WebP keeps alpha exact; JPEG is opaque, and where the
            // frame was transparent shows the background (a block's middle,
            // away from the edges the transform blurs, is all but exact).
            double error = 0;
            int counted = 0;
            for (std::size_t i = 0; i < got.Pixels.size(); i += 4) {
                EXPECT_EQ(got.Pixels[i + 3], expected.Pixels[i + 3]) << "alpha";
                if (expected.Pixels[i + 3] == 0) continue;
                ++counted;
                for (int ch = 0; ch < 3; ++ch) error += std::abs(got.Pixels[i + ch] - expected.Pixels[i + ch]);
            }
            EXPECT_LE(error / (3.0 * std::max(counted, 1)), c.MeanError) << "frame " << f;
            if (!jpeg) continue;
            const Bitmap source = ReadPng(png.OutputFolder + stem + ".png");
            for (std::uint32_t y = 7; y < h; y += 16) {
                for (std::uint32_t x = 7; x < w; x += 16) {
                    const std::size_t i = (static_cast<std::size_t>(y) * w + x) * 4;
                    if (source.Pixels[i + 3] != 0) continue;
                    for (int ch = 0; ch < 3; ++ch) {
                        EXPECT_NEAR(got.Pixels[i + ch], (back >> (8 * ch)) & 0xFF, 2) << "background at " << x << "," << y;
                    }
                }
            }
        }
    }
}

TEST(FrameChoiceTest, ARangeOfOneFrameIsThatFrame)
{
    std::string error;
    const auto list = ParseFrameList("3-3", error);
    ASSERT_TRUE(list.has_value()) << error;
    EXPECT_TRUE(FrameListed(*list, 3));
    EXPECT_FALSE(FrameListed(*list, 2));
    EXPECT_FALSE(FrameListed(*list, 4));
    EXPECT_EQ(ListedCount(*list, 10), 1u);
    EXPECT_FALSE(ParseFrameList("4-3", error).has_value());
}

// --start numbers the default names too.
TEST(FrameChoiceTest, StartNumbersTheDefaultNames)
{
    TempDir dir;
    WriteFile(dir / "two.gif", TwoFrameGif());
    OutputOptions o;
    o.MakeFolder = false;
    o.Names.Start = 5;
    const ConvertResult r = ConvertDroppedFile(dir / "two.gif", o, 0);
    ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
    EXPECT_EQ(r.Destination, dir / "two_0005.png");
    EXPECT_EQ(ListFiles(dir.Path), (std::vector<std::string>{"two.gif", "two_0005.png", "two_0006.png"}));
}

}  // namespace
}  // namespace framelot
