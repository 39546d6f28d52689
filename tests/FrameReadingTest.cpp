// Frames read into memory are the frames a conversion writes: a seeded
// property over generated animations and option sets against the array
// --npy writes; stills of every format as one frame, only when asked; the
// stream's hand-over, stopped at any frame; formats told by their bytes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <string>

#include "convert/Dispatch.h"
#include "convert/FrameReading.h"
#include "convert/FrameStream.h"
#include "convert/OutputArguments.h"
#include "output/encoders/ArrayBuilder.h"
#include "output/encoders/NpyFormat.h"
#include "testing/FixtureBuilders.h"
#include "testing/GeneratedAnimations.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

struct Read {
    ReadOutcome Outcome;
    std::vector<std::uint8_t> Array;  // the frames laid as --npy lays them
    std::vector<std::uint64_t> Indices;
    std::vector<double> Durations;
};

Read ReadAll(const Bytes& bytes, const SourceFormat& format, const OutputOptions& options, bool stills = false)
{
    Read read;
    ReadOutcome planned = PlanFrameReading(bytes, format, options, stills);
    const auto width = static_cast<std::uint64_t>(planned.Plan.FrameWidth);
    const auto height = static_cast<std::uint64_t>(planned.Plan.FrameHeight);
    read.Outcome = ReadFrames(bytes, format, options, stills, [&](const DeliveredFrame& frame) {
        read.Array.resize(read.Array.size() + width * height * 4);
        LayAtOrigin(frame.Pixels, width, height, read.Array.data() + read.Array.size() - width * height * 4);
        read.Indices.push_back(frame.Index);
        read.Durations.push_back(frame.DurationMs);
        return true;
    });
    return read;
}

// The "delay_ms" values of an array's times file, in order.
std::vector<double> DelaysIn(const std::string& json)
{
    std::vector<double> delays;
    for (std::size_t at = json.find("\"delay_ms\": "); at != std::string::npos; at = json.find("\"delay_ms\": ", at + 1)) {
        delays.push_back(std::strtod(json.c_str() + at + 12, nullptr));
    }
    return delays;
}

// Options a user might combine, drawn by `random`.
std::vector<std::string> DrawOptions(std::mt19937_64& random)
{
    std::vector<std::string> words;
    switch (random() % 5) {
    case 0: words = {"--frames", "1,3-5,9-"}; break;
    case 1: words = {"--every", std::to_string(2 + random() % 3)}; break;
    case 2: words = {"--count", std::to_string(1 + random() % 6)}; break;
    case 3: words = {"--frames", "0-" + std::to_string(random() % 4), "--every", "2"}; break;
    default: break;
    }
    if (random() % 3 == 0) words.push_back("--merge-held");
    if (random() % 3 == 0) words.insert(words.end(), {"--canvas", "declared"});
    switch (random() % 4) {
    case 0: words.insert(words.end(), {"--scale", "0.5"}); break;
    case 1: words.insert(words.end(), {"--fit", "40x30", "--filter", "box"}); break;
    default: break;
    }
    return words;
}

TEST(FrameReadingTest, ReadFramesAreTheArrayAConversionWritesForAnyOptions)
{
    GeneratedLimits limits;
    limits.MaxWidth = 160;
    limits.MaxPixels = 1'500'000;
    limits.MaxFrames = 24;
    std::mt19937_64 random(20261209);
    TempDir dir;
    int compared = 0;
    for (std::uint64_t seed = 1; seed <= 16; ++seed) {
        const GeneratedAnimation animation = GenerateAnimation(seed, limits);
        const std::vector<std::string> words = DrawOptions(random);
        std::string described = animation.Family;
        for (const std::string& w : words) described += " " + w;
        SCOPED_TRACE(described);
        OutputOptions options;
        ASSERT_EQ(ReadOutputArguments(words, options), "");
        const std::string path = (dir.Path / ("a" + std::to_string(seed) + animation.Extension)).string();
        WriteFile(path, animation.File);

        OutputOptions toArray = options;
        toArray.Array = true;
        toArray.MakeFolder = false;
        const ConvertResult written = ConvertDroppedFile(path, toArray, 1);
        const SourceFormat* format = FormatOfPath(path);
        ASSERT_NE(format, nullptr);
        const Read read = ReadAll(animation.File, *format, options);
        ASSERT_EQ(read.Outcome.Result.Status, written.Status) << read.Outcome.Result.Reason << " / " << written.Reason;
        EXPECT_EQ(read.Outcome.Result.Reason, written.Reason);
        if (written.Status != ConvertStatus::Converted) continue;
        const Bytes npy = ReadFile(written.Destination);
        ASSERT_GE(npy.size(), NpyHeaderBytes);
        EXPECT_TRUE(Bytes(npy.begin() + NpyHeaderBytes, npy.end()) == read.Array);
        const Bytes times = ReadFile(written.Destination.substr(0, written.Destination.size() - 4) + ".json");
        EXPECT_EQ(DelaysIn(std::string(times.begin(), times.end())), read.Durations);
        EXPECT_EQ(read.Outcome.Delivered, read.Indices.size());
        ++compared;
    }
    EXPECT_GE(compared, 12);
}

// A still of each format, with the pixels it holds.
struct Still {
    const char* Name;
    Bytes File;
    Bytes Rgba;
};

TEST(FrameReadingTest, StillsAreOneFrameOnlyWhenAsked)
{
    constexpr int Width = 6, Height = 5;
    Bytes rgba;
    for (int i = 0; i < Width * Height; ++i) {
        const auto v = static_cast<std::uint8_t>(i * 8);
        rgba.insert(rgba.end(), {v, static_cast<std::uint8_t>(255 - v), static_cast<std::uint8_t>(v / 2), 255});
    }
    GifSpec gif{Width, Height, FourColours(), 0, false, false, 0, {}};
    GifFrameSpec image{0, 0, Width, Height, {}};
    Bytes gifRgba;
    for (int i = 0; i < Width * Height; ++i) {
        image.Indices.push_back(static_cast<std::uint8_t>(i % 4));
        const Rgb c = FourColours()[i % 4];
        gifRgba.insert(gifRgba.end(), {c[0], c[1], c[2], 255});
    }
    gif.Frames = {image};
    std::vector<Still> stills = {{"still.gif", BuildGif(gif), gifRgba},
                                 {"still.png", BuildPlainPng(Width, Height, rgba), rgba},
                                 {"still.webp", BuildStillWebp(Width, Height, rgba), rgba}};
    // AVIF and JPEG XL stills as their encoders write them, losslessly.
    TempDir dir;
    const std::string png = (dir.Path / "still.png").string();
    WriteFile(png, BuildPlainPng(Width, Height, rgba));
    for (const auto& [name, command] : {std::pair{"still.avif", "avifenc -s 8 -l " + Quoted(png) + " "},
                                        std::pair{"still.jxl", "cjxl -d 0 " + Quoted(png) + " "}}) {
        const std::string out = (dir.Path / name).string();
        if (RunProgram(command + Quoted(out)).Status == 0) stills.push_back({name, ReadFile(out), rgba});
    }
    for (const Still& still : stills) {
        SCOPED_TRACE(still.Name);
        const SourceFormat* format = FormatOfPath(still.Name);
        ASSERT_NE(format, nullptr);
        EXPECT_EQ(FormatOfBytes(still.File), format);
        // A conversion's answer, unless stills are asked for.
        EXPECT_EQ(PlanFrameReading(still.File, *format, {}).Result.Status, ConvertStatus::NotAnimation);
        const Read read = ReadAll(still.File, *format, {}, true);
        ASSERT_EQ(read.Outcome.Result.Status, ConvertStatus::Converted) << read.Outcome.Result.Reason;
        EXPECT_EQ(read.Indices, std::vector<std::uint64_t>{0});
        EXPECT_EQ(read.Durations, std::vector<double>{0});
        EXPECT_TRUE(read.Array == still.Rgba);
        // Options apply to its one frame: scaled, or asked past its end.
        OutputOptions twice;
        twice.Scale.Factor = 2;
        EXPECT_EQ(ReadAll(still.File, *format, twice, true).Array.size(), still.Rgba.size() * 4);
        OutputOptions later;
        ASSERT_EQ(ReadOutputArguments({"--frames", "1-"}, later), "");
        EXPECT_EQ(ReadAll(still.File, *format, later, true).Outcome.Result.Failure, FailureKind::Usage);
        // Cut anywhere, it is refused or read whole; never more than one frame.
        for (std::size_t keep : {std::size_t{0}, std::size_t{1}, still.File.size() / 2, still.File.size() - 1}) {
            const Read cut = ReadAll(Bytes(still.File.begin(), still.File.begin() + keep), *format, {}, true);
            EXPECT_LE(cut.Indices.size(), 1u);
        }
    }
    EXPECT_GE(stills.size(), 3u);
}

TEST(FrameReadingTest, FormatsAreToldByTheirFirstBytes)
{
    const auto kind = [](const std::string& bytes) {
        const SourceFormat* format = FormatOfBytes(Bytes(bytes.begin(), bytes.end()));
        return format == nullptr ? SourceKind::None : format->Kind;
    };
    using namespace std::string_literals;
    EXPECT_EQ(kind("GIF89a"), SourceKind::Gif);
    EXPECT_EQ(kind("GIF87a...."), SourceKind::Gif);
    EXPECT_EQ(kind("\x89PNG\r\n\x1a\n"s), SourceKind::Apng);
    EXPECT_EQ(kind("RIFF\x10\0\0\0WEBPVP8L"s), SourceKind::Webp);
    EXPECT_EQ(kind("\0\0\0\x1c" "ftypavis\0\0\0\0avismif1"s), SourceKind::Avif);
    EXPECT_EQ(kind("\0\0\0\x1c" "ftypmif1\0\0\0\0mif1avif"s), SourceKind::Avif);  // a compatible brand
    EXPECT_EQ(kind("\0\0\0\x0c" "ftypmif1\0\0\0\0mif1avif"s), SourceKind::None);  // the brand is past the box
    EXPECT_EQ(kind("\xff\x0a"s), SourceKind::Jxl);
    EXPECT_EQ(kind("\0\0\0\x0cJXL \r\n\x87\n"s), SourceKind::Jxl);
    for (const std::string& other : {""s, "G"s, "GIF"s, "\x89PN"s, "RIFF\x10\0\0\0WAVE"s, "\0\0\0\x1c" "ftypisom"s, "hello"s}) {
        EXPECT_EQ(kind(other), SourceKind::None) << other;
    }
}

TEST(FrameReadingTest, FilesOnlyOptionsAreRefusedForFramesInMemory)
{
    for (const std::vector<std::string>& words :
         {std::vector<std::string>{"-o", "out"}, {"--no-folder"}, {"--name", "{index}"}, {"--start", "3"},
          {"--format", "webp"}, {"--timings", "csv"}, {"--npy"}, {"--sheet"}, {"--max-output", "5M"}}) {
        OutputOptions options;
        ASSERT_EQ(ReadOutputArguments(words, options), "") << words[0];
        EXPECT_NE(FilesOnlyRefusal(options), "") << words[0];
    }
    OutputOptions frames;
    ASSERT_EQ(ReadOutputArguments({"--frames", "2-", "--every", "2", "--merge-held", "--scale", "2", "--filter", "box",
                                   "--canvas", "declared"},
                                  frames),
              "");
    EXPECT_EQ(FilesOnlyRefusal(frames), "");
}

TEST(FrameStreamTest, HandsOverWhatReadFramesDeliversAndStopsAtAnyFrame)
{
    GeneratedLimits limits;
    limits.MaxWidth = 120;
    limits.MaxPixels = 800'000;
    limits.MaxFrames = 30;
    for (std::uint64_t seed : {3u, 8u}) {
        const GeneratedAnimation animation = GenerateAnimation(seed, limits);
        SCOPED_TRACE(animation.Family);
        const SourceFormat* format = FormatOfPath("a" + animation.Extension);
        ASSERT_NE(format, nullptr);
        std::vector<Bitmap> expected;
        std::vector<double> starts;
        const ReadOutcome read = ReadFrames(animation.File, *format, {}, false, [&](const DeliveredFrame& frame) {
            expected.push_back(frame.Pixels);
            return true;
        });
        ASSERT_EQ(read.Result.Status, ConvertStatus::Converted);
        {
            FrameStream stream(animation.File, *format, {});
            StreamedFrame frame;
            double at = 0;
            for (std::size_t i = 0; i < expected.size(); ++i) {
                ASSERT_TRUE(stream.Next(frame));
                EXPECT_EQ(frame.Index, i);
                EXPECT_EQ(frame.StartMs, at);
                EXPECT_TRUE(SamePixels(frame.Pixels, expected[i])) << i;
                at += frame.DurationMs;
            }
            EXPECT_FALSE(stream.Next(frame));
            EXPECT_FALSE(stream.Next(frame));  // the end stays the end
            EXPECT_EQ(stream.Outcome().Delivered, expected.size());
        }
        // Left after any frame, or before the first, the stream stops and is gone.
        for (std::size_t taken : {std::size_t{0}, std::size_t{1}, std::size_t{2}, expected.size() / 2}) {
            FrameStream stream(animation.File, *format, {});
            StreamedFrame frame;
            for (std::size_t i = 0; i < taken; ++i) ASSERT_TRUE(stream.Next(frame));
        }
    }
    // A plan that does not stand ends the stream at once, with its reason.
    const Bytes text = {'h', 'e', 'l', 'l', 'o'};
    FrameStream refused(text, *FormatOfPath("a.gif"), {});
    StreamedFrame frame;
    EXPECT_FALSE(refused.Next(frame));
    EXPECT_EQ(refused.Outcome().Result.Status, ConvertStatus::NotAnimation);
}

}  // namespace
}  // namespace framelot
