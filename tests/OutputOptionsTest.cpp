// The command line's output options through the conversion path: chosen
// frames, an output folder, the declared canvas, sprite sheets and folders.
#include <gtest/gtest.h>

#include <regex>

#include "convert/BatchRunner.h"
#include "convert/Dispatch.h"
#include "convert/FileInfo.h"
#include "convert/FolderFiles.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

// Five frames, each a one-pixel change over what the ones before left, so a
// frame's pixels depend on every frame before it.
Bytes FiveFrameGif()
{
    std::vector<GifFrameSpec> frames = {SolidGifFrame(0, 0, 5, 2, 1)};
    for (int i = 1; i < 5; ++i) frames.push_back(SolidGifFrame(i, i % 2, 1, 1, static_cast<std::uint8_t>(1 + i % 3)));
    for (int i = 0; i < 5; ++i) frames[static_cast<std::size_t>(i)].Delay = 10 * (i + 1);
    return BuildGif({.ScreenWidth = 5, .ScreenHeight = 2, .Palette = FourColours(), .Frames = frames});
}

OutputOptions Options(bool makeFolder = false)
{
    OutputOptions o;
    o.MakeFolder = makeFolder;
    return o;
}

FrameList Frames(const std::string& text)
{
    std::string error;
    auto list = ParseFrameList(text, error);
    EXPECT_TRUE(list.has_value()) << error;
    return list.value_or(FrameList{});
}

TEST(OutputOptionsTest, FrameListsReadAsWrittenAndBadOnesAreRefused)
{
    std::string error;
    for (const char* bad : {"", "x", "1,", ",1", "5-3", "-3", "1-2-3", "1 ,2", "99999999999999999999", "+1"}) {
        EXPECT_FALSE(ParseFrameList(bad, error).has_value()) << bad;
    }
    const FrameList list = Frames("0,5,10-12,20-");
    EXPECT_TRUE(FrameListed(list, 0) && FrameListed(list, 11) && FrameListed(list, 12) && FrameListed(list, 999));
    EXPECT_FALSE(FrameListed(list, 1) || FrameListed(list, 13) || FrameListed(list, 19));
    EXPECT_EQ(ListedCount(list, 25), 10u);  // 0, 5, 10-12, 20-24
    EXPECT_EQ(ListedCount(Frames("3,1-4"), 10), 4u);  // overlapping spans count once
    EXPECT_EQ(FramesPastEnd(Frames("2,7-9,30-"), 8), "8-9,30-");
    EXPECT_EQ(FramesPastEnd(list, 25), "");  // an open span that starts inside is not past the end
}

TEST(OutputOptionsTest, ChosenFramesKeepTheirNumbersAndTheFullConversionsPixels)
{
    TempDir dir;
    WriteFile(dir / "full.gif", FiveFrameGif());
    WriteFile(dir / "some.gif", FiveFrameGif());
    ASSERT_EQ(ConvertDroppedFile(dir / "full.gif", Options(), 0).Status, ConvertStatus::Converted);
    OutputOptions o = Options();
    o.Frames = Frames("1,3-");
    const ConvertResult r = ConvertDroppedFile(dir / "some.gif", o, 2);
    ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
    EXPECT_EQ(r.FramesWritten, 3u);
    EXPECT_EQ(r.Destination, dir / "some_0001.png");  // the first chosen frame
    EXPECT_TRUE(r.Note.empty());
    for (int i = 0; i < 5; ++i) {
        const std::string name = "some_000" + std::to_string(i) + ".png";
        ASSERT_EQ(fs::exists(dir.Path / name), i == 1 || i >= 3) << name;
        if (i == 1 || i >= 3) {
            EXPECT_EQ(ReadPng(dir / name).Pixels, ReadPng(dir / ("full_000" + std::to_string(i) + ".png")).Pixels) << i;
        }
    }
    // The skip rule looks at the first chosen frame's file.
    o.Frames = Frames("4");
    EXPECT_EQ(ConvertDroppedFile(dir / "some.gif", o, 0).Status, ConvertStatus::Skipped);
    o.Frames = Frames("2");
    EXPECT_EQ(ConvertDroppedFile(dir / "some.gif", o, 0).Status, ConvertStatus::Converted);

    // Some past the end: written, and the note says which.
    WriteFile(dir / "past.gif", FiveFrameGif());
    o.Frames = Frames("2,7-9");
    const ConvertResult past = ConvertDroppedFile(dir / "past.gif", o, 0);
    EXPECT_EQ(past.Status, ConvertStatus::Converted);
    EXPECT_EQ(past.FramesWritten, 1u);
    EXPECT_EQ(past.Note, "7-9 past the end (the file has 5 frames)");
    // None there: a usage failure that leaves nothing behind, not even the folder.
    o = Options(true);
    o.Frames = Frames("5-");
    const ConvertResult none = ConvertDroppedFile(dir / "past.gif", o, 0);
    EXPECT_EQ(none.Status, ConvertStatus::Failed);
    EXPECT_EQ(none.Failure, FailureKind::Usage);
    EXPECT_EQ(none.Reason, "no chosen frame is in the file: it has 5 frames, 5- is past its end");
    EXPECT_FALSE(fs::exists(dir.Path / "past"));
}

TEST(OutputOptionsTest, OutputFolderIsMadeTheSkipRuleLooksThereAndSameNamesNeverOverwrite)
{
    TempDir dir;
    fs::create_directories(dir.Path / "x");
    fs::create_directories(dir.Path / "y");
    WriteFile(dir / "x/a.gif", FiveFrameGif());
    WriteFile(dir / "y/a.gif", TwoFrameGif());
    for (bool makeFolder : {true, false}) {
        OutputOptions o = Options(makeFolder);
        o.OutputFolder = dir / (makeFolder ? "out/deep" : "flat");
        const ConvertResult r = ConvertDroppedFile(dir / "x/a.gif", o, 0);
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        EXPECT_EQ(r.Destination, makeFolder ? dir / "out/deep/a" : dir / "flat/a_0000.png");
        EXPECT_TRUE(fs::exists(makeFolder ? dir.Path / "out/deep/a/a_0004.png" : dir.Path / "flat/a_0004.png"));
        EXPECT_FALSE(fs::exists(dir.Path / "x/a"));
        // The other a.gif, side by side with a second copy of the first, into the
        // same folder: one after the other, both skipped, nothing replaced.
        const Bytes before = ReadFile(makeFolder ? dir / "out/deep/a/a_0000.png" : dir / "flat/a_0000.png");
        BatchSettings settings{2, [=] { return makeFolder; }, {}, o};
        std::vector<ConvertStatus> statuses;
        {
            BatchRunner runner(settings, {.FileDone = [&](const BatchFile& f) { statuses.push_back(f.Result.Status); }});
            runner.Submit({dir / "y/a.gif", dir / "x/a.gif"});
            runner.Wait();
        }
        EXPECT_EQ(statuses, (std::vector<ConvertStatus>{ConvertStatus::Skipped, ConvertStatus::Skipped}));
        EXPECT_EQ(ReadFile(makeFolder ? dir / "out/deep/a/a_0000.png" : dir / "flat/a_0000.png"), before);
    }
    WriteFile(dir / "blocker", {1});
    OutputOptions o = Options();
    o.OutputFolder = dir / "blocker/sub";
    const ConvertResult blocked = ConvertDroppedFile(dir / "x/a.gif", o, 0);
    EXPECT_EQ(blocked.Status, ConvertStatus::Failed);
    EXPECT_EQ(blocked.Reason.rfind("cannot create output folder " + o.OutputFolder + ": ", 0), 0u) << blocked.Reason;
    EXPECT_EQ(blocked.FramesWritten, 0u);
}

// Frames under both canvas choices agree where both have pixels; outside the
// declared canvas nothing is written, inside it but outside the grown one it
// is transparent, unless the format composes on the declared canvas itself.
void ExpectDeclaredAgreesWithGrown(const Bitmap& grown, const Bitmap& declared, const std::string& name)
{
    for (int y = 0; y < std::min(grown.Height, declared.Height); ++y) {
        for (int x = 0; x < std::min(grown.Width, declared.Width); ++x) {
            ASSERT_EQ(PixelAt(grown, x, y), PixelAt(declared, x, y)) << name << " at " << x << "," << y;
        }
    }
}

TEST(OutputOptionsTest, DeclaredCanvasGivesEveryFrameTheFilesSizeForEachFormat)
{
    TempDir dir;
    // GIF: a 3 x 2 screen whose second frame reaches past it to 4 x 3.
    WriteFile(dir / "g.gif", BuildGif({.ScreenWidth = 3, .ScreenHeight = 2, .Palette = FourColours(),
                                       .Frames = {SolidGifFrame(0, 0, 3, 2, 1), SolidGifFrame(2, 1, 2, 2, 2)}}));
    // APNG: IHDR 4 x 4, the default image not a frame, frame 0 2 x 2 and frame 1
    // at (2, 2): the usual canvas (frame 0's size) clips frame 1 away.
    WriteFile(dir / "p.png", BuildApng({.Width = 4, .Height = 4, .DefaultImageIsFrame = false,
                                        .DefaultPixels = SolidRgba(4, 4, 9, 9, 9, 255),
                                        .Frames = {{.Width = 2, .Height = 2, .Pixels = SolidRgba(2, 2, 255, 0, 0, 255)},
                                                   {.Width = 2, .Height = 2, .X = 2, .Y = 2,
                                                    .Pixels = SolidRgba(2, 2, 0, 255, 0, 255)}}}));
    WriteFile(dir / "w.webp", BuildAnimatedWebp({.CanvasWidth = 6, .CanvasHeight = 4,
                                                 .Frames = {{.Width = 2, .Height = 2, .Rgba = SolidRgba(2, 2, 1, 2, 3, 255)},
                                                            {.X = 2, .Y = 2, .Width = 4, .Height = 2,
                                                             .Rgba = SolidRgba(4, 2, 4, 5, 6, 255)}}}));
    fs::copy_file(fs::path(FRAMELOT_SAMPLES) / "two-frames-8x8.avif", dir.Path / "v.avif");
    fs::copy_file(fs::path(FRAMELOT_SAMPLES) / "three-frames-4x4.jxl", dir.Path / "j.jxl");
    struct Case { const char* Name; int Width, Height, Frames; };
    for (const Case& c : {Case{"g", 3, 2, 2}, Case{"p", 4, 4, 2}, Case{"w", 6, 4, 2}, Case{"v", 8, 8, 2}, Case{"j", 4, 4, 3}}) {
        std::string source;
        for (const char* ext : {".gif", ".png", ".webp", ".avif", ".jxl"}) {
            if (fs::exists(dir.Path / (std::string(c.Name) + ext))) source = dir / (std::string(c.Name) + ext);
        }
        OutputOptions grown = Options(true), declared = Options(true);
        grown.OutputFolder = dir / "grown";
        declared.OutputFolder = dir / "declared";
        declared.Canvas = CanvasChoice::Declared;
        ASSERT_EQ(ConvertDroppedFile(source, grown, 0).Status, ConvertStatus::Converted) << c.Name;
        ASSERT_EQ(ConvertDroppedFile(source, declared, 0).Status, ConvertStatus::Converted) << c.Name;
        for (int i = 0; i < c.Frames; ++i) {
            const std::string frame = std::string(c.Name) + "/" + c.Name + "_000" + std::to_string(i) + ".png";
            const Bitmap g = ReadPng(dir / ("grown/" + frame)), d = ReadPng(dir / ("declared/" + frame));
            EXPECT_EQ(d.Width, c.Width) << frame;
            EXPECT_EQ(d.Height, c.Height) << frame;
            ExpectDeclaredAgreesWithGrown(g, d, frame);
        }
    }
    // What the grown canvas held beyond the screen is gone; what the APNG's
    // declared canvas holds beyond frame 0 is there.
    EXPECT_EQ(ReadPng(dir / "grown/g/g_0001.png").Width, 4);
    EXPECT_EQ(PixelAt(ReadPng(dir / "declared/g/g_0001.png"), 2, 1), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(ReadPng(dir / "grown/p/p_0001.png").Width, 2);
    EXPECT_EQ(PixelAt(ReadPng(dir / "declared/p/p_0001.png"), 3, 3), (std::vector<int>{0, 255, 0, 255}));
    EXPECT_EQ(PixelAt(ReadPng(dir / "declared/p/p_0000.png"), 3, 3)[3], 0);
}

TEST(OutputOptionsTest, SheetCellsAreTheFramesAndTheAtlasGivesInfosDurations)
{
    TempDir dir;
    WriteFile(dir / "full.gif", FiveFrameGif());
    WriteFile(dir / "s.gif", FiveFrameGif());
    ASSERT_EQ(ConvertDroppedFile(dir / "full.gif", Options(), 0).Status, ConvertStatus::Converted);
    AnimationInfo info;
    ASSERT_EQ(ReadFileInfo(dir / "s.gif", info).Status, ConvertStatus::Converted);

    struct Case { const char* Frames; std::uint64_t Columns; int SheetWidth, SheetHeight; std::vector<int> Chosen; };
    const Case cases[] = {
        {"", 0, 15, 4, {0, 1, 2, 3, 4}},  // five cells: the smallest square is 3 wide
        {"1,3-", 1, 5, 6, {1, 3, 4}},
        {"0-1", 9, 10, 2, {0, 1}},        // never more columns than cells
    };
    for (const Case& c : cases) {
        OutputOptions o = Options(true);
        o.Sheet = true;
        o.Packing.Columns = c.Columns;
        o.OutputFolder = dir / ("sheet" + std::to_string(c.Columns));
        if (*c.Frames) o.Frames = Frames(c.Frames);
        const ConvertResult r = ConvertDroppedFile(dir / "s.gif", o, 0);
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        EXPECT_EQ(r.Destination, o.OutputFolder + "/s/s_sheet.png");
        EXPECT_EQ(ListFiles(o.OutputFolder), (std::vector<std::string>{"s", "s/s_sheet.json", "s/s_sheet.png"}));
        const Bitmap sheet = ReadPng(o.OutputFolder + "/s/s_sheet.png");
        ASSERT_EQ(sheet.Width, c.SheetWidth) << c.Frames;
        ASSERT_EQ(sheet.Height, c.SheetHeight) << c.Frames;
        const Bytes bytes = ReadFile(o.OutputFolder + "/s/s_sheet.json");
        const std::string atlas(bytes.begin(), bytes.end());
        const std::string size = "\"size\": {\"w\": " + std::to_string(c.SheetWidth) + ", \"h\": " +
                                 std::to_string(c.SheetHeight) + "}";
        EXPECT_NE(atlas.find("\"meta\": {\"image\": \"s_sheet.png\", " + size + ", \"format\": \"RGBA8888\""),
                  std::string::npos) << atlas;
        const std::regex entry(R"re(\{"filename": "s_(\d+)\.png", "frame": \{"x": (\d+), "y": (\d+), "w": (\d+), "h": (\d+)\}, "duration": ([0-9.]+)\})re");
        std::size_t k = 0;
        for (auto m = std::sregex_iterator(atlas.begin(), atlas.end(), entry); m != std::sregex_iterator(); ++m, ++k) {
            ASSERT_LT(k, c.Chosen.size()) << atlas;
            const int index = c.Chosen[k];
            EXPECT_EQ(std::stoi((*m)[1]), index);
            // A chosen frame stands for the time until the next chosen one.
            const std::size_t until = k + 1 < c.Chosen.size() ? static_cast<std::size_t>(c.Chosen[k + 1]) : info.Frames.size();
            double duration = 0;
            for (std::size_t i = static_cast<std::size_t>(index); i < until; ++i) duration += info.Frames[i].DelayMs;
            EXPECT_EQ(std::stod((*m)[6]), duration);
            const Bitmap alone = ReadPng(dir / ("full_000" + std::to_string(index) + ".png"));
            const int left = std::stoi((*m)[2]), top = std::stoi((*m)[3]);
            ASSERT_EQ(std::stoi((*m)[4]), alone.Width);
            ASSERT_EQ(std::stoi((*m)[5]), alone.Height);
            for (int y = 0; y < alone.Height; ++y) {
                for (int x = 0; x < alone.Width; ++x) {
                    ASSERT_EQ(PixelAt(sheet, left + x, top + y), PixelAt(alone, x, y)) << c.Frames << " cell " << k;
                }
            }
        }
        EXPECT_EQ(k, c.Chosen.size()) << atlas;
        // A sheet already there is kept: the file is skipped.
        EXPECT_EQ(ConvertDroppedFile(dir / "s.gif", o, 0).Status, ConvertStatus::Skipped);
    }
}

TEST(OutputOptionsTest, SheetOverThePixelLimitIsRefusedBeforeDecoding)
{
    TempDir dir;
    // 2000 x 2000 frames: 26 of them make a 6 x 5 grid of 120 MP.
    std::vector<GifFrameSpec> frames;
    for (int i = 0; i < 26; ++i) frames.push_back(SolidGifFrame(i, 0, 1, 1, 1));
    frames[0] = SolidGifFrame(0, 0, 2000, 2000, 1);
    WriteFile(dir / "big.gif", BuildGif({.ScreenWidth = 2000, .ScreenHeight = 2000, .Palette = FourColours(), .Frames = frames}));
    OutputOptions o = Options();
    o.Sheet = true;
    const ConvertResult r = ConvertDroppedFile(dir / "big.gif", o, 0);
    EXPECT_EQ(r.Status, ConvertStatus::Failed);
    EXPECT_EQ(r.Failure, FailureKind::OverLimit);
    EXPECT_NE(r.Reason.find("12000 x 10000"), std::string::npos) << r.Reason;
    EXPECT_NE(r.Reason.find("--frames"), std::string::npos) << r.Reason;
    EXPECT_EQ(ListFiles(dir.Path), (std::vector<std::string>{"big.gif"}));
    o.Frames = Frames("0");  // one cell of 4 MP: within the limit
    EXPECT_EQ(ConvertDroppedFile(dir / "big.gif", o, 0).Status, ConvertStatus::Converted);
}

TEST(OutputOptionsTest, FoldersGiveTheirAnimationsInNameOrder)
{
    TempDir dir;
    for (const char* name : {"b.gif", "a.WEBP", "c.txt", "sub/z.png", "sub/deeper/y.jxl", "c.avif/x.gif"}) {
        fs::create_directories((dir.Path / name).parent_path());
        WriteFile(dir / name, {1});
    }
    std::error_code noLinks;  // a link back up would loop if it were followed
    fs::create_directory_symlink(dir.Path / "sub", dir.Path / "sub/deeper/up", noLinks);
    const std::string root = dir / "";
    // Each path as it is under the folder.
    const auto under = [&](std::vector<std::string> paths) {
        for (std::string& p : paths) {
            if (p.rfind(root, 0) == 0) p = p.substr(root.size());
        }
        return paths;
    };
    EXPECT_EQ(under(ExpandFolders({dir / "", dir / "b.gif", dir / "missing.gif"}, false)),
              (std::vector<std::string>{"a.WEBP", "b.gif", "b.gif", "missing.gif"}));
    EXPECT_EQ(under(ExpandFolders({dir / ""}, true)),
              (std::vector<std::string>{"a.WEBP", "b.gif", "c.avif/x.gif", "sub/deeper/y.jxl", "sub/z.png"}));
}

// The declared canvas applies when either side differs from the grown one:
// here only the height does. A declared size of 0 says why it is not used.
TEST(OutputOptionsTest, DeclaredCanvasWhenOneSideDiffersAndANoteWhenItCannot)
{
    TempDir dir;
    GifSpec gif{.ScreenWidth = 4, .ScreenHeight = 5, .Palette = FourColours()};
    gif.Frames = {SolidGifFrame(0, 0, 4, 2, 1), SolidGifFrame(0, 0, 4, 2, 2)};
    WriteFile(dir / "tall.gif", BuildGif(gif));
    gif.ScreenWidth = 0;
    gif.ScreenHeight = 0;
    WriteFile(dir / "zero.gif", BuildGif(gif));
    OutputOptions declared;
    declared.Canvas = CanvasChoice::Declared;
    const ConvertResult tall = ConvertDroppedFile(dir / "tall.gif", declared, 0);
    ASSERT_EQ(tall.Status, ConvertStatus::Converted) << tall.Reason;
    const Bitmap frame = ReadPng(dir / "tall/tall_0001.png");
    EXPECT_EQ(frame.Width, 4);
    EXPECT_EQ(frame.Height, 5);
    EXPECT_TRUE(tall.Note.empty()) << tall.Note;

    const ConvertResult zero = ConvertDroppedFile(dir / "zero.gif", declared, 0);
    ASSERT_EQ(zero.Status, ConvertStatus::Converted) << zero.Reason;
    EXPECT_EQ(ReadPng(dir / "zero/zero_0000.png").Height, 2);
    EXPECT_EQ(zero.Note, "the file declares a canvas of 0 x 0, so frames are on the grown canvas");
}

}  // namespace
}  // namespace framelot
