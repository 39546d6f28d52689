// Writing frames: exact bytes, never overwriting, never a partial or stray file.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <random>

#include "output/encoders/PngEncode.h"
#include "output/encoders/PngFilter.h"
#include "output/encoders/PngPlan.h"
#include "output/encoders/SavePng.h"
#include "output/files/NewFile.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

SaveOutcome Save(const Bitmap& b, const std::string& path)
{
    std::vector<std::uint8_t> encoded;
    PngEncoder encoder;
    return SavePng(b, path, encoded, encoder);
}

using P = std::array<std::uint8_t, 4>;

// A w x h bitmap whose pixel at (x, y) is pixel(x, y).
template <typename PixelFunction>
Bitmap Picture(int w, int h, PixelFunction pixel)
{
    Bitmap b = MakeBitmap(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const P p = pixel(x, y);
            std::copy(p.begin(), p.end(), b.Pixels.begin() + (static_cast<std::ptrdiff_t>(y) * w + x) * 4);
        }
    return b;
}

// Bitmaps of every kind the encoder tells apart (smooth or noisy, few colours
// or many), fully transparent and opaque ones, and sizes from one pixel to
// thousands wide, odd and even.
std::vector<std::pair<std::string, Bitmap>> Pictures()
{
    std::mt19937 rng(5);
    std::vector<std::pair<std::string, Bitmap>> all;
    all.emplace_back("1x1", Picture(1, 1, [](int, int) { return P{1, 2, 3, 4}; }));
    all.emplace_back("1x40 noise", Picture(1, 40, [&](int, int) { return P{std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())}; }));
    all.emplace_back("3001x3 gradient", Picture(3001, 3, [](int x, int y) { return P{std::uint8_t(x), std::uint8_t(y * 9), std::uint8_t(x / 3), 255}; }));
    all.emplace_back("transparent", Picture(33, 17, [](int, int) { return P{0, 0, 0, 0}; }));
    all.emplace_back("opaque white", Picture(64, 9, [](int, int) { return P{255, 255, 255, 255}; }));
    all.emplace_back("smooth, translucent", Picture(257, 65, [](int x, int y) { return P{std::uint8_t(x), std::uint8_t(y), 90, std::uint8_t(x ^ y)}; }));
    all.emplace_back("flat, four colours", Picture(90, 40, [](int x, int y) { return P{std::uint8_t(x < 45 ? 0 : 200), 30, std::uint8_t(y < 20 ? 90 : 10), 255}; }));
    all.emplace_back("few colours", Picture(131, 70, [](int x, int y) { return P{std::uint8_t((x / 10) * 40), 0, std::uint8_t((y / 10) * 60), 255}; }));
    all.emplace_back("noisy, few colours", Picture(99, 64, [&](int, int) { const std::uint8_t v = std::uint8_t(rng() % 6 * 51); return P{v, std::uint8_t(255 - v), v, 255}; }));
    all.emplace_back("noise", Picture(160, 48, [&](int, int) { return P{std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng())}; }));
    return all;
}

TEST(PngWriterTest, EveryKindOfPictureReadsBackExactlyThroughLibpng)
{
    TempDir dir;
    const bool havePngcheck = std::system("command -v pngcheck >/dev/null 2>&1") == 0;
    for (const auto& [name, b] : Pictures()) {
        const std::string path = dir / (std::to_string(b.Width) + "x" + std::to_string(b.Height) + ".png");
        ASSERT_EQ(Save(b, path).Status, SaveStatus::Written) << name;
        const Bytes file = ReadFile(path);
        ASSERT_GT(file.size(), 26u);
        EXPECT_EQ(file[24], 8) << name;  // bit depth
        EXPECT_EQ(file[25], 6) << name;  // colour type RGBA
        const Bitmap back = ReadPng(path);
        EXPECT_EQ(back.Width, b.Width) << name;
        EXPECT_EQ(back.Height, b.Height) << name;
        EXPECT_TRUE(back.Pixels == b.Pixels) << name;
        if (havePngcheck) {
            EXPECT_EQ(std::system(("pngcheck -q " + path).c_str()), 0) << name;
        }
    }
}

// The filters as the format defines them, byte by byte.
std::uint8_t ReferencePaeth(int a, int b, int c)
{
    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return std::uint8_t(a);
    if (pb <= pc) return std::uint8_t(b);
    return std::uint8_t(c);
}

Bytes ReferenceFilter(PngFilter filter, const Bytes& row, const Bytes& prior)
{
    Bytes out(row.size());
    for (std::size_t i = 0; i < row.size(); ++i) {
        const int a = i >= 4 ? row[i - 4] : 0, b = prior[i], c = i >= 4 ? prior[i - 4] : 0;
        int predicted = 0;
        switch (filter) {
        case PngFilter::None: predicted = 0; break;
        case PngFilter::Sub: predicted = a; break;
        case PngFilter::Up: predicted = b; break;
        case PngFilter::Average: predicted = (a + b) / 2; break;
        case PngFilter::Paeth: predicted = ReferencePaeth(a, b, c); break;
        }
        out[i] = std::uint8_t(row[i] - predicted);
    }
    return out;
}

// Each kind of content gets its own filters and level, so a changed
// threshold or level fails here; a bitmap whose sizes do not match gets the
// default plan, and the encoder refuses it without touching its output.
TEST(PngWriterTest, EachKindOfContentGetsItsPlan)
{
    std::mt19937 rng(8);
    auto noise = [&](int spread) { return static_cast<int>(rng() % (2 * spread + 1)) - spread; };
    auto clamp = [](int v) { return static_cast<std::uint8_t>(std::clamp(v, 0, 255)); };
    struct Row {
        const char* Name;
        Bitmap Picture;
        PngRowFilters Filters;
        int Level;
    };
    const Row rows[] = {
        {"flat, four colours", Picture(256, 256, [](int x, int y) { return P{std::uint8_t(x < 128 ? 0 : 200), 30, std::uint8_t(y < 100 ? 90 : 10), 255}; }),
         PngRowFilters::None, DenseLevel},
        {"all transparent", MakeBitmap(300, 200), PngRowFilters::None, DenseLevel},
        {"dithered, few colours", Picture(256, 256, [&](int, int) { const std::uint8_t v = rng() % 2 ? 128 : 0; return P{v, v, 0, 255}; }),
         PngRowFilters::None, DefaultLevel},
        {"smooth, few colours", Picture(256, 256, [](int x, int y) { return P{std::uint8_t((x + y) / 2), 40, 80, 255}; }),
         PngRowFilters::Paeth, FewColoursLevel},
        {"smooth gradient, many colours", Picture(512, 512, [](int x, int y) { return P{std::uint8_t(x), std::uint8_t(y), std::uint8_t((x + y) / 4), 255}; }),
         PngRowFilters::Paeth, DefaultLevel},
        {"fine texture (decoded video)", Picture(512, 512, [&](int x, int y) { return P{clamp(x / 2 + noise(1)), clamp(y / 2 + noise(1)), clamp(100 + noise(1)), 255}; }),
         PngRowFilters::Paeth, QuickLevel},
        {"noise, many colours", Picture(256, 256, [&](int, int) { return P{std::uint8_t(rng()), std::uint8_t(rng()), std::uint8_t(rng()), 255}; }),
         PngRowFilters::Adaptive, NoisyLevel},
    };
    // The levels bench/RESULTS.md was measured with.
    EXPECT_EQ((std::array{QuickLevel, DefaultLevel, FewColoursLevel, NoisyLevel, DenseLevel}),
              (std::array{3, 6, 7, 8, 9}));
    for (const Row& row : rows) {
        const PngPlan plan = PlanPngFrame(row.Picture);
        EXPECT_EQ(plan.Filters, row.Filters) << row.Name;
        EXPECT_EQ(plan.Level, row.Level) << row.Name;
    }

    Bitmap mismatched = MakeBitmap(4, 4);
    mismatched.Pixels.pop_back();
    const PngPlan fallback = PlanPngFrame(mismatched);
    EXPECT_EQ(fallback.Filters, PngRowFilters::Paeth);
    EXPECT_EQ(fallback.Level, DefaultLevel);
    PngEncoder encoder;
    std::vector<std::uint8_t> out = {1, 2, 3};
    EXPECT_FALSE(EncodePng(encoder, mismatched, out));
    EXPECT_FALSE(EncodePng(encoder, Bitmap{}, out));
    EXPECT_EQ(out, (std::vector<std::uint8_t>{1, 2, 3}));
}

// The residual sum of a row wider than 2^25 bytes does not wrap.
TEST(PngWriterTest, FilteredCostOfAWideRowDoesNotWrap)
{
    const std::vector<std::uint8_t> row((1u << 25) + 4096, 128);
    EXPECT_EQ(FilteredCost(row.data(), row.size()), 128ull * row.size());
}

// Rows of one pixel and of many, a first row (nothing above), values at both
// ends of a byte so that differences wrap, and every tie of the Paeth choice.
TEST(PngWriterTest, EachFilterMatchesTheFormatsDefinition)
{
    std::mt19937 rng(11);
    for (std::size_t pixels : {1u, 2u, 3u, 17u, 64u, 1001u}) {
        for (int kind = 0; kind < 4; ++kind) {
            Bytes row(pixels * 4), prior(pixels * 4);
            for (std::size_t i = 0; i < row.size(); ++i) {
                switch (kind) {
                case 0: row[i] = std::uint8_t(rng()), prior[i] = 0; break;               // the first row
                case 1: row[i] = std::uint8_t(rng() % 2 ? 0 : 255), prior[i] = std::uint8_t(rng() % 2 ? 255 : 1); break;
                case 2: row[i] = std::uint8_t(rng() % 3), prior[i] = std::uint8_t(rng() % 3); break;  // ties
                default: row[i] = std::uint8_t(rng()), prior[i] = std::uint8_t(rng());
                }
            }
            for (int f = 0; f < PngFilterCount; ++f) {
                const auto filter = static_cast<PngFilter>(f);
                Bytes out(row.size());
                FilterRow(filter, row.data(), prior.data(), row.size(), out.data());
                EXPECT_EQ(out, ReferenceFilter(filter, row, prior)) << "filter " << f << ", " << pixels << " pixels, kind " << kind;
            }
            // The adaptive choice writes its type byte and that filter's bytes.
            Bytes scratch(PngFilterCount * row.size()), chosen(row.size() + 1);
            const PngFilter picked = FilterRowAdaptively(row.data(), prior.data(), row.size(), scratch.data(), chosen.data());
            EXPECT_EQ(chosen[0], std::uint8_t(picked));
            EXPECT_EQ(Bytes(chosen.begin() + 1, chosen.end()), ReferenceFilter(picked, row, prior));
        }
    }
}

TEST(PngWriterTest, SmoothPicturesCompressAndLongStreamsSplitIntoChunks)
{
    Bitmap gradient = MakeBitmap(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            std::uint8_t* g = &gradient.Pixels[(static_cast<std::size_t>(y) * 256 + x) * 4];
            g[0] = std::uint8_t(x), g[1] = std::uint8_t(y), g[2] = std::uint8_t(x + y), g[3] = 255;
        }
    PngEncoder encoder;
    std::vector<std::uint8_t> png;
    ASSERT_TRUE(EncodePng(encoder, gradient, png));
    EXPECT_LT(png.size(), gradient.Pixels.size() / 50);

    // 1024 x 512 of noise is over a megabyte of zlib data: several IDAT chunks.
    std::mt19937 rng(3);
    Bitmap noise = MakeBitmap(1024, 512);
    for (auto& v : noise.Pixels) v = std::uint8_t(rng());
    png.clear();
    ASSERT_TRUE(EncodePng(encoder, noise, png));
    const std::string text(png.begin(), png.end());
    std::size_t idats = 0;
    for (std::size_t at = text.find("IDAT"); at != std::string::npos; at = text.find("IDAT", at + 4)) ++idats;
    EXPECT_GT(idats, 1u);
    TempDir dir;
    WriteFile(dir / "n.png", png);
    EXPECT_TRUE(ReadPng(dir / "n.png").Pixels == noise.Pixels);
}

TEST(PngWriterTest, NeverReplacesWhatIsThere)
{
    TempDir dir;
    const std::string path = dir / "f.png";
    ASSERT_EQ(Save(SolidBitmap(2, 2, 3, 2, 1, 255), path).Status, SaveStatus::Written);
    const Bytes first = ReadFile(path);
    EXPECT_EQ(Save(SolidBitmap(4, 4, 9, 9, 9, 255), path).Status, SaveStatus::AlreadyExists);
    EXPECT_EQ(ReadFile(path), first);

    fs::create_directory(dir / "folder.png");
    EXPECT_EQ(Save(SolidBitmap(1, 1, 0, 0, 0, 0), dir / "folder.png").Status, SaveStatus::AlreadyExists);
    EXPECT_TRUE(fs::is_directory(dir / "folder.png"));
}

TEST(PngWriterTest, FailuresAreReportedAndLeaveNothingBehind)
{
    TempDir dir;
    const SaveOutcome missing = Save(SolidBitmap(1, 1, 0, 0, 0, 255), dir / "no/such/folder/f.png");
    EXPECT_EQ(missing.Status, SaveStatus::Failed);
    EXPECT_NE(missing.Reason.find(MissingFolderText()), std::string::npos) << missing.Reason;

    EXPECT_EQ(Save(Bitmap{}, dir / "empty.png").Status, SaveStatus::Failed);
    EXPECT_TRUE(ListFiles(dir.Path).empty());
}

TEST(PngWriterTest, NewFileLeavesNoTemporaryAfterSuccessOrClash)
{
    TempDir dir;
    const Bytes data = {1, 2, 3};
    EXPECT_EQ(WriteNewFile(dir / "a", data).Status, SaveStatus::Written);
    EXPECT_EQ(WriteNewFile(dir / "a", Bytes{9}).Status, SaveStatus::AlreadyExists);
    EXPECT_EQ(ReadFile(dir / "a"), data);
    EXPECT_EQ(ListFiles(dir.Path), std::vector<std::string>{"a"});
}

// A smooth frame of exactly 256 colours is still a frame of few colours.
TEST(PngWriterTest, TwoHundredFiftySixColoursAreStillFew)
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

}  // namespace
}  // namespace framelot
