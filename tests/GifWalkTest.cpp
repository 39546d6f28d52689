// Walking GIF blocks and rebuilding one frame as a stand-alone GIF.
#include <gtest/gtest.h>

#include "gif/GifRebuild.h"
#include "gif/GifWalk.h"
#include "testing/FixtureBuilders.h"

namespace framelot {
namespace {

using namespace test;

// Header + global table of 2 entries (N = 0), then the given blocks.
Bytes Stream(std::initializer_list<Bytes> blocks, std::uint8_t screenFlags = 0x80, std::uint8_t background = 0)
{
    Bytes b = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 4, 0, screenFlags, background, 0};
    if (screenFlags & 0x80) {
        const std::size_t entries = 2u << (screenFlags & 7);
        for (std::size_t i = 0; i < entries; ++i) b.insert(b.end(), {std::uint8_t(i), std::uint8_t(i + 1), std::uint8_t(i + 2)});
    }
    for (const Bytes& block : blocks) b.insert(b.end(), block.begin(), block.end());
    b.push_back(0x3B);
    return b;
}

Bytes Control(std::uint8_t flags) { return {0x21, 0xF9, 4, flags, 0, 0, 0, 0}; }
Bytes Image(std::uint16_t left, std::uint16_t top, std::uint16_t w, std::uint16_t h, Bytes localTable = {})
{
    Bytes b = {0x2C, std::uint8_t(left), std::uint8_t(left >> 8), std::uint8_t(top), std::uint8_t(top >> 8),
               std::uint8_t(w), std::uint8_t(w >> 8), std::uint8_t(h), std::uint8_t(h >> 8),
               std::uint8_t(localTable.empty() ? 0 : 0x80)};
    for (std::uint8_t v : localTable) b.push_back(v);
    b.insert(b.end(), {2, 2, 0x4C, 0x01, 0});  // code size, one data sub-block, terminator
    return b;
}
Bytes Comment() { return {0x21, 0xFE, 3, 'a', 'b', 'c', 0}; }
Bytes PlainText() { Bytes b = {0x21, 0x01, 12}; b.resize(15, 0); b.insert(b.end(), {1, 'x', 0}); return b; }
Bytes Application() { Bytes b = {0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0}; return b; }

TEST(GifWalkTest, BlocksOffsetFollowsTheGlobalTable)
{
    EXPECT_EQ(GifBlocksOffset(Stream({}, 0x80)), 19u);
    EXPECT_EQ(GifBlocksOffset(Stream({}, 0x87)), 781u);
    EXPECT_EQ(GifBlocksOffset(Stream({}, 0x00)), 13u);
}

TEST(GifWalkTest, SignatureNeedsGifAndAWholeHeader)
{
    Bytes any = Stream({});
    any[3] = 'x', any[4] = 'y', any[5] = 'z';
    EXPECT_TRUE(HasGifSignature(any));
    any[0] = 'g';
    EXPECT_FALSE(HasGifSignature(any));
    EXPECT_FALSE(HasGifSignature(Bytes{'G', 'I', 'F', '8', '9', 'a'}));
}

std::vector<GifFrameRecord> Index(const Bytes& gif, std::size_t maxFrames = 100)
{
    return IndexGifFrames(gif, GifBlocksOffset(gif), maxFrames);
}

TEST(GifWalkTest, ExtensionsNeitherCountNorShiftFrames)
{
    const Bytes gif = Stream({Application(), Comment(), Control(0x08), Image(1, 2, 3, 4), PlainText(), Comment(),
                              Image(5, 6, 7, 8), Comment(), Bytes{0x21, 0x99, 2, 0, 0, 0}});
    const auto frames = Index(gif);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[1].Bounds.Left, 5);
    EXPECT_EQ(frames[1].Bounds.Height, 8);
    EXPECT_EQ(frames[1].Disposal, DisposeMethod::Background);  // inherited from frame 0's control extension
    EXPECT_EQ(Index(gif, 1).size(), 1u);
}

TEST(GifWalkTest, DisposalComesFromBitsTwoAndThree)
{
    const std::pair<std::uint8_t, DisposeMethod> cases[] = {{0x08, DisposeMethod::Background},
                                                          {0x0C, DisposeMethod::Previous},
                                                          {0x04, DisposeMethod::Keep},
                                                          {0x1C, DisposeMethod::Previous},
                                                          {0x10, DisposeMethod::None}};
    for (auto [flags, disposal] : cases) {
        EXPECT_EQ(Index(Stream({Control(flags), Image(0, 0, 1, 1)}))[0].Disposal, disposal) << int(flags);
    }
    EXPECT_EQ(Index(Stream({Image(0, 0, 1, 1), Image(0, 0, 1, 1)}))[1].Disposal, DisposeMethod::None);
}

TEST(GifWalkTest, LocalTablesAndLargeFieldsAreReadRight)
{
    Bytes table(3 * 4, 7);
    table[0] = 0x11, table[1] = 0x22, table[2] = 0x33;
    Bytes image = Image(40000, 0, 1, 1, table);
    image[9] = 0x81;  // local table of 4 entries
    const Bytes gif = Stream({image, Image(0, 0, 2, 2)}, 0x80, 0);
    const auto o = GifBlocksOffset(gif);
    const auto frames = Index(gif);
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].Bounds.Left, 40000);
    // The first image's local table wins over the global one.
    EXPECT_EQ(GifBackgroundColour(gif, o), 0x332211u);
}

TEST(GifWalkTest, BackgroundOutsideItsTableOrWithoutTableIsZero)
{
    Bytes gif = Stream({Image(0, 0, 1, 1)}, 0x80, 1);
    EXPECT_EQ(GifBackgroundColour(gif, GifBlocksOffset(gif)), 0x030201u);
    gif = Stream({Image(0, 0, 1, 1)}, 0x80, 2);  // the table has 2 entries
    EXPECT_EQ(GifBackgroundColour(gif, GifBlocksOffset(gif)), 0u);
    gif = Stream({Image(0, 0, 1, 1)}, 0x00, 0);
    EXPECT_EQ(GifBackgroundColour(gif, GifBlocksOffset(gif)), 0u);
}

TEST(GifWalkTest, TruncationEndsTheWalkWithoutReadingPastTheEnd)
{
    const Bytes whole = Stream({Control(0x04), Image(0, 0, 1, 1), Control(0x04), Image(0, 0, 1, 1)});
    for (std::size_t n = 0; n < whole.size(); ++n) {
        const Bytes cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(n));
        const auto o = GifBlocksOffset(cut);
        const auto frames = IndexGifFrames(cut, o, 100);
        EXPECT_LE(frames.size(), 2u);
        std::vector<std::uint8_t> out;
        for (const GifFrameRecord& f : frames) AppendGifFrame(cut, o, f, out);
        GifBackgroundColour(cut, o);
    }
    EXPECT_EQ(Index(Bytes(whole.begin(), whole.end() - 1)).size(), 2u);  // no trailer
}

TEST(GifWalkTest, RebuildKeepsOnlyHeadControlsImageAndTrailer)
{
    const Bytes c0 = Control(0x04), c1a = Control(0x08), c1b = Control(0x0D);
    const Bytes i0 = Image(0, 0, 1, 1), i1 = Image(3, 4, 1, 1);
    const Bytes gif = Stream({Application(), c0, i0, c1a, Comment(), c1b, i1, Comment()});
    const auto o = GifBlocksOffset(gif);
    const auto frames = Index(gif);
    ASSERT_EQ(frames.size(), 2u);
    std::vector<std::uint8_t> out;

    AppendGifFrame(gif, o, frames[0], out);
    Bytes expected(gif.begin(), gif.begin() + o);
    for (const Bytes* part : {&c0, &i0}) expected.insert(expected.end(), part->begin(), part->end());
    expected.push_back(0x3B);
    EXPECT_EQ(out, expected);

    // Two control extensions, separated by a comment that is dropped.
    out.clear();
    AppendGifFrame(gif, o, frames[1], out);
    expected.assign(gif.begin(), gif.begin() + o);
    for (const Bytes* part : {&c1a, &c1b, &i1}) expected.insert(expected.end(), part->begin(), part->end());
    expected.push_back(0x3B);
    EXPECT_EQ(out, expected);
    EXPECT_EQ(frames[1].Bounds.Left, 3);
    EXPECT_EQ(frames[1].Bounds.Top, 4);
    EXPECT_LE(out.size(), gif.size());
}


// A GIF without its trailer names the last frame it has in its damage line.
TEST(GifWalkTest, AMissingTrailerNamesTheLastFrame)
{
    GifSpec three{.ScreenWidth = 2, .ScreenHeight = 2, .Palette = FourColours()};
    for (std::uint8_t i = 1; i <= 3; ++i) three.Frames.push_back(SolidGifFrame(0, 0, 2, 2, i, 1));
    Bytes gif = BuildGif(three);
    ASSERT_EQ(gif.back(), 0x3B);
    gif.pop_back();
    GifAnimation animation;
    ASSERT_EQ(IndexGifAnimation(gif, animation).Status, ConvertStatus::Converted);
    EXPECT_EQ(animation.Frames.size(), 3u);
    EXPECT_EQ(animation.Damage, "the file ends after frame 2 without the GIF trailer: any later frames are missing");
}

}  // namespace
}  // namespace framelot
