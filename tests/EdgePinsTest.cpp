// Edges where a one-character change once went unnoticed: each is pinned at
// the value where the change would show.
#include <gtest/gtest.h>

#include "convert/Dispatch.h"
#include "convert/FrameList.h"
#include "convert/OutputOptions.h"
#include "output/JsonText.h"
#include "output/PngPlan.h"
#include "output/SheetPack.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

TEST(EdgePinsTest, ARangeOfOneFrameIsThatFrame)
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

TEST(EdgePinsTest, AutomaticSheetColumnsAreTheSmallestSquaresSide)
{
    for (const auto& [cells, columns] : {std::pair{1, 1}, {2, 2}, {4, 2}, {5, 3}, {9, 3}, {10, 4}, {16, 4}, {17, 5}}) {
        const SheetPacking grid = PackGrid(static_cast<std::uint64_t>(cells), 3, 2, {});
        ASSERT_EQ(grid.Pages.size(), 1u);
        EXPECT_EQ(grid.Pages[0].Width, 3u * static_cast<std::uint64_t>(columns)) << cells << " cells";
        EXPECT_GE(grid.Pages[0].Width / 3 * (grid.Pages[0].Height / 2), static_cast<std::uint64_t>(cells));
    }
}

// Windows paths reach --info --json and the atlas: every backslash escaped.
TEST(EdgePinsTest, JsonEscapesBackslashesQuotesAndControls)
{
    EXPECT_EQ(JsonString("C:\\Pics\\a.gif"), "\"C:\\\\Pics\\\\a.gif\"");
    EXPECT_EQ(JsonString("say \"hi\"\n"), "\"say \\\"hi\\\"\\u000a\"");
    EXPECT_EQ(JsonString(std::string(1, '\x01')), "\"\\u0001\"");
}

// A smooth frame of exactly 256 colours is still a frame of few colours.
TEST(EdgePinsTest, TwoHundredFiftySixColoursAreStillFew)
{
    for (const int colours : {256, 257}) {
        Bitmap frame = MakeBitmap(colours, 16);
        for (int y = 0; y < frame.Height; ++y) {
            for (int x = 0; x < frame.Width; ++x) {
                std::uint8_t* p = &frame.Pixels[(static_cast<std::size_t>(y) * frame.Width + x) * 4];
                p[0] = static_cast<std::uint8_t>(x);
                p[1] = static_cast<std::uint8_t>(40 + x / 256);
                p[2] = 80;
                p[3] = 255;
            }
        }
        const PngPlan plan = PlanPngFrame(frame);
        EXPECT_EQ(plan.Filters, PngRowFilters::Paeth) << colours;
        EXPECT_EQ(plan.Level, colours == 256 ? FewColoursLevel : DefaultLevel) << colours;
    }
}

// The declared canvas applies when either side differs from the grown one:
// here only the height does. A declared size of 0 says why it is not used.
TEST(EdgePinsTest, DeclaredCanvasWhenOneSideDiffersAndANoteWhenItCannot)
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
