// Our LZW decoder against giflib's: the same indices for every frame of the
// public suites and of the generated families (GIFs made from video
// included), decoded by ours wherever the data follows the format; and every
// kind of damage left to giflib, whose handling the converter keeps.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "gif/GifDecode.h"
#include "gif/GifLzw.h"
#include "gif/GifRebuild.h"
#include "gif/GifWalk.h"
#include "testing/FixtureBuilders.h"
#include "testing/GeneratedAnimations.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
namespace fs = std::filesystem;

struct Agreement {
    std::size_t Frames = 0;
    std::size_t Ours = 0;  // decoded by our decoder, not handed to giflib
};

// Decodes every frame of `gif` both ways and expects the same outcome.
Agreement ExpectSameAsGiflib(const Bytes& gif, const std::string& what)
{
    Agreement agreement;
    GifAnimation animation;
    if (IndexGifAnimation(gif, animation).Status != ConvertStatus::Converted) return agreement;
    for (std::size_t i = 0; i < animation.Frames.size(); ++i) {
        Bytes rebuilt;
        AppendGifFrame(gif, animation.BlocksOffset, animation.Frames[i], rebuilt);
        GifIndexedImage ours, theirs;
        const bool oursDecoded = DecodeGifIndices(rebuilt, ours, GifLzwDecoder::Ours);
        const bool theirsDecoded = DecodeGifIndices(rebuilt, theirs, GifLzwDecoder::Giflib);
        EXPECT_EQ(oursDecoded, theirsDecoded) << what << " frame " << i;
        if (oursDecoded && theirsDecoded) {
            EXPECT_TRUE(ours.Indices == theirs.Indices) << what << " frame " << i;
            EXPECT_EQ(ours.Transparent, theirs.Transparent) << what << " frame " << i;
            EXPECT_TRUE(ours.Colours == theirs.Colours) << what << " frame " << i;
            agreement.Ours += ours.DecodedByGiflib ? 0 : 1;
        }
        ++agreement.Frames;
    }
    return agreement;
}

TEST(GifLzwTest, EveryFrameOfTheCorpusDecodesAsGiflibDecodesIt)
{
    const char* env = std::getenv("FRAMELOT_CORPUS");
    const fs::path root = env && *env ? fs::path(env) : fs::path(FRAMELOT_CORPUS_DEFAULT);
    if (!fs::is_directory(root)) GTEST_SKIP() << "corpus not found at " << root << " (set FRAMELOT_CORPUS); skipped";
    Agreement all;
    for (const std::string& name : ListFiles(root)) {
        if (fs::path(name).extension() != ".gif") continue;
        const Agreement a = ExpectSameAsGiflib(ReadFile((root / name).string()), name);
        all.Frames += a.Frames;
        all.Ours += a.Ours;
    }
    EXPECT_GT(all.Frames, 150u);
    EXPECT_GT(all.Ours, all.Frames * 9 / 10) << "most frames of the suites follow the format";
}

TEST(GifLzwTest, EveryFrameOfTheGeneratedFamiliesIsOursAndGiflibs)
{
    const GeneratedLimits limits{.MinWidth = 16, .MaxWidth = 400, .MaxPixels = 400'000, .MaxFrames = 10};
    std::size_t gifs = 0;
    for (std::uint64_t seed = 1; gifs < 12; ++seed) {
        const GeneratedAnimation a = seed % 2 == 0 ? GenerateVideoGif(seed, limits) : GenerateAnimation(seed, limits);
        if (a.Extension != ".gif") continue;
        ++gifs;
        const Agreement agreement = ExpectSameAsGiflib(a.File, a.Family);
        EXPECT_EQ(agreement.Ours, agreement.Frames) << a.Family;
    }
}

// Packs codes as a GIF encoder writes them, widening as the decoder does.
Bytes PackCodes(const std::vector<int>& codes, int codeSize)
{
    Bytes out;
    std::uint64_t held = 0;
    int heldBits = 0, running = (1 << codeSize) + 2, bits = codeSize + 1, limit = 1 << bits;
    for (int code : codes) {
        held |= static_cast<std::uint64_t>(code) << heldBits;
        heldBits += bits;
        while (heldBits >= 8) {
            out.push_back(static_cast<std::uint8_t>(held));
            held >>= 8;
            heldBits -= 8;
        }
        if (running < 4097 && ++running > limit && bits < 12) {
            limit <<= 1;
            ++bits;
        }
        if (code == 1 << codeSize) running = (1 << codeSize) + 2, bits = codeSize + 1, limit = 1 << bits;
    }
    if (heldBits > 0) out.push_back(static_cast<std::uint8_t>(held));
    return out;
}

// A one-image GIF of `width` x 1 pixels whose image data is `data`, in sub-blocks.
Bytes OneImageGif(int width, int codeSize, const Bytes& data)
{
    Bytes gif = {'G', 'I', 'F', '8', '9', 'a', static_cast<std::uint8_t>(width), 0, 1, 0, 0x80, 0, 0, 0, 0, 0, 255, 255, 255};
    const Bytes descriptor = {0x2C, 0, 0, 0, 0, static_cast<std::uint8_t>(width), 0, 1, 0, 0, static_cast<std::uint8_t>(codeSize)};
    gif.insert(gif.end(), descriptor.begin(), descriptor.end());
    for (std::size_t i = 0; i < data.size(); i += 255) {
        const std::size_t n = std::min<std::size_t>(255, data.size() - i);
        gif.push_back(static_cast<std::uint8_t>(n));
        gif.insert(gif.end(), data.begin() + static_cast<std::ptrdiff_t>(i), data.begin() + static_cast<std::ptrdiff_t>(i + n));
    }
    gif.push_back(0);
    gif.push_back(0x3B);
    return gif;
}

TEST(GifLzwTest, DataThatBreaksTheFormatIsLeftToGiflib)
{
    // Code size 2: 0-3 literals, 4 clear, 5 end, 6 on defined as they come.
    struct Case {
        const char* Name;
        std::vector<int> Codes;
        int Width;
        int CodeSize = 2;
        bool Ours;  // our decoder takes it
    };
    std::vector<int> full = {4};  // a table filled to its last code, then used without a clear
    for (int i = 0; i < 4200; ++i) full.push_back(i % 3);
    const Case cases[] = {
        {"literals", {4, 1, 2, 3, 0, 5}, 4, 2, true},
        {"no clear first", {1, 2, 3, 0, 5}, 4, 2, true},
        {"a string code", {4, 1, 2, 6, 5}, 4, 2, true},
        {"the code being defined", {4, 1, 6, 5}, 3, 2, true},
        {"codes past the last pixel", {4, 1, 2, 3, 9, 9, 9}, 3, 2, true},
        {"a full table", full, 4200, 2, true},
        {"the data ends early", {4, 1, 2}, 6, 2, false},
        {"an end before the last pixel", {4, 1, 5, 2, 3}, 3, 2, false},
        {"a code not defined", {4, 1, 2, 9, 5}, 6, 2, false},
        {"a string code first", {4, 6, 1, 5}, 3, 2, false},
        {"a string code after a clear", {4, 1, 2, 4, 6, 5}, 5, 2, false},
        {"code size 1", {2, 1, 0, 1, 3}, 3, 1, false},
        {"code size 9", {512, 1, 2, 3, 513}, 3, 9, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        const Bytes data = PackCodes(c.Codes, c.CodeSize);
        Bytes out(static_cast<std::size_t>(c.Width));
        EXPECT_EQ(DecodeGifLzw(data, c.CodeSize, out), c.Ours);
        const Bytes gif = OneImageGif(c.Width, c.CodeSize, data);
        GifIndexedImage ours, theirs;
        const bool oursDecoded = DecodeGifIndices(gif, ours, GifLzwDecoder::Ours);
        EXPECT_EQ(oursDecoded, DecodeGifIndices(gif, theirs, GifLzwDecoder::Giflib));
        EXPECT_EQ(ours.Indices, theirs.Indices);
        if (oursDecoded) {
            EXPECT_EQ(ours.DecodedByGiflib, !c.Ours);
        }
    }
}

}  // namespace
}  // namespace framelot
