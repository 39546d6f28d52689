// Our row encoder: every stream it writes inflates, under zlib (what libpng
// and Pillow read PNGs with) and libdeflate, to exactly the bytes it was
// given, whatever their shape; what a frame encodes to never depends on the
// frames its encoder wrote before; rows that did not change are taken from
// the last frame's parse; and the PNGs written with it decode to the frames.
#include <gtest/gtest.h>
#include <libdeflate.h>
#include <zlib.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "convert/SourceFile.h"
#include "convert/SourceFormats.h"
#include "output/encoders/PngEncode.h"
#include "output/encoders/PngFilter.h"
#include "output/encoders/RowDeflate.h"
#include "testing/GeneratedAnimations.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
namespace fs = std::filesystem;

// What zlib and libdeflate each inflate `stream` to; a note of the failure otherwise.
std::string InflatesTo(const Bytes& stream, const Bytes& rows)
{
    Bytes back(rows.size() + 1);
    uLongf length = back.size();
    if (uncompress(back.data(), &length, stream.data(), stream.size()) != Z_OK) return "zlib refuses it";
    back.resize(length);
    if (back != rows) return "zlib inflates it to other bytes";
    libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    std::size_t got = 0;
    back.assign(rows.size() + 1, 0);
    const auto result = libdeflate_zlib_decompress(inflater, stream.data(), stream.size(), back.data(), back.size(), &got);
    libdeflate_free_decompressor(inflater);
    if (result != LIBDEFLATE_SUCCESS) return "libdeflate refuses it";
    back.resize(got);
    return back == rows ? "" : "libdeflate inflates it to other bytes";
}

Bytes Deflate(const Bytes& rows, std::size_t rowBytes, const RowDeflateEffort& effort = {})
{
    RowDeflater deflater;
    Bytes out;
    DeflateRows(deflater, rows, rowBytes, effort, out);
    return out;
}

struct ShapeCase {
    std::string Name;
    Bytes Rows;
    std::size_t RowBytes;
};

std::vector<ShapeCase> ShapeCases()
{
    std::mt19937 rng(20261209);
    const auto random = [&](std::size_t n, int values) {
        Bytes b(n);
        for (auto& v : b) v = static_cast<std::uint8_t>(rng() % static_cast<unsigned>(values));
        return b;
    };
    std::vector<ShapeCase> cases;
    cases.push_back({"nothing", {}, 5});
    cases.push_back({"one byte", {7}, 1});
    cases.push_back({"a row length of 0", random(100, 256), 0});
    cases.push_back({"rows of 6 bytes, not 1 + 4 a pixel", random(6000, 4), 6});
    cases.push_back({"a megabyte of zeros", Bytes(1 << 20, 0), 4097});
    cases.push_back({"bytes that do not compress", random(200'000, 256), 801});
    cases.push_back({"one-pixel rows", random(50'000, 3), 5});
    cases.push_back({"a short last row", random(10'007, 5), 401});
    cases.push_back({"many blocks of few symbols", random(2'000'000, 6), 2049});
    // A row longer than the window, its rows alike: the row above is out of reach.
    Bytes wide = random(40'001, 8);
    for (int i = 0; i < 2; ++i) wide.insert(wide.end(), wide.begin(), wide.begin() + 40'001);
    cases.push_back({"rows longer than the window", wide, 40'001});
    // A stretch repeated at exactly the window's distance, and one byte past it.
    Bytes edge = random(32'768, 256);
    edge.insert(edge.end(), edge.begin(), edge.begin() + 300);
    edge.push_back(1);
    edge.insert(edge.end(), edge.begin() + 302, edge.begin() + 602);
    cases.push_back({"matches at the window's edge", edge, 4097});
    // Every symbol at once: lengths 3 to 258 and distances 1 to 32768.
    Bytes all;
    for (int n = 3; n < 300 && all.size() < 200'000; ++n) {
        const Bytes run = random(static_cast<std::size_t>(n), 256);
        all.insert(all.end(), run.begin(), run.end());
        all.insert(all.end(), run.begin(), run.end());
        const Bytes gap = random(static_cast<std::size_t>(n) * 97, 256);
        all.insert(all.end(), gap.begin(), gap.end());
    }
    cases.push_back({"every length and many distances", all, 1021});
    return cases;
}

TEST(RowDeflateTest, EveryShapeInflatesToItsBytesUnderZlibAndLibdeflateAtEveryEffort)
{
    const RowDeflateEffort efforts[] = {{}, {1, 4, 0}, {64, 258, 258}};
    for (const ShapeCase& c : ShapeCases()) {
        SCOPED_TRACE(c.Name);
        for (const RowDeflateEffort& effort : efforts) {
            const Bytes stream = Deflate(c.Rows, c.RowBytes, effort);
            EXPECT_EQ(InflatesTo(stream, c.Rows), "") << "effort " << effort.ChainDepth;
            // Incompressible bytes go stored: five bytes a block over their size.
            EXPECT_LE(stream.size(), c.Rows.size() + 5 * (c.Rows.size() / BlockTokens + 1) + 6);
        }
    }
}

// A sprite over a still backdrop, filtered as the writer filters frames.
std::vector<Bytes> SpriteFrames(int width, int height, int frames, PngRowFilters filters)
{
    std::vector<Bytes> out;
    const std::size_t stride = static_cast<std::size_t>(width) * 4;
    Bytes scratch(PngFilterCount * stride), zero(stride, 0);
    for (int t = 0; t < frames; ++t) {
        Bitmap b = MakeBitmap(width, height);
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = &b.Pixels[(static_cast<std::size_t>(y) * width + x) * 4];
                const bool sprite = std::abs(x - (20 + 7 * t) % width) < 12 && std::abs(y - height / 2 - t % 5) < 12;
                p[0] = sprite ? 250 : static_cast<std::uint8_t>(x / 16 * 30);
                p[1] = sprite ? 40 : static_cast<std::uint8_t>(y / 16 * 30);
                p[2] = static_cast<std::uint8_t>((x ^ y) & 0x70);
                p[3] = 255;
            }
        }
        Bytes rows(static_cast<std::size_t>(height) * (stride + 1));
        FilterPngRows(b, 0, height, filters, scratch.data(), zero.data(), rows.data());
        out.push_back(std::move(rows));
    }
    return out;
}

TEST(RowDeflateTest, AFrameEncodesTheSameAfterAnyFramesAndUnchangedRowsAreTakenFromTheLast)
{
    for (PngRowFilters filters : {PngRowFilters::None, PngRowFilters::Up, PngRowFilters::Paeth}) {
        const int width = 300, height = 400;
        const std::vector<Bytes> frames = SpriteFrames(width, height, 8, filters);
        std::vector<Bytes> alone;
        for (const Bytes& f : frames) alone.push_back(Deflate(f, width * 4 + 1));
        // In order, in reverse, and every other one, by one encoder each.
        const std::vector<std::vector<std::size_t>> orders = {{0, 1, 2, 3, 4, 5, 6, 7}, {7, 6, 5, 4, 3, 2, 1, 0}, {0, 2, 4, 6, 1, 3, 5, 7}};
        for (const auto& order : orders) {
            RowDeflater deflater;
            std::size_t reused = 0, segments = 0;
            for (std::size_t k : order) {
                Bytes out;
                const RowDeflateStats stats = DeflateRows(deflater, frames[k], width * 4 + 1, {}, out);
                reused += stats.Reused;
                segments += stats.Segments;
                EXPECT_EQ(out, alone[k]) << "frame " << k << " after frame " << order.front();
                EXPECT_EQ(InflatesTo(out, frames[k]), "") << "frame " << k;
            }
            // The sprite moves within a band: above it and far below, the parse is the last frame's.
            EXPECT_GT(reused, segments / 4) << "filters " << static_cast<int>(filters);
        }
        // An effort or a row length other than the last frame's parses anew.
        RowDeflater deflater;
        Bytes out;
        DeflateRows(deflater, frames[0], width * 4 + 1, {}, out);
        out.clear();
        EXPECT_EQ(DeflateRows(deflater, frames[0], width * 4 + 1, {4, 32, 8}, out).Reused, 0u);
        out.clear();
        EXPECT_EQ(DeflateRows(deflater, frames[0], 301, {4, 32, 8}, out).Reused, 0u);
        EXPECT_EQ(InflatesTo(out, frames[0]), "");
    }
}

// Writes every frame of `frames` as a PNG by the row encoder with each
// filter strategy, through one encoder (so rows are taken from the frame
// before), and reads it back with libpng.
void ExpectRowEncodedPngsDecodeExactly(const std::vector<Bitmap>& frames, const std::string& what)
{
    PngEncoder encoder;
    for (PngRowFilters filters : {PngRowFilters::None, PngRowFilters::Sub, PngRowFilters::Up, PngRowFilters::Paeth,
                                  PngRowFilters::Adaptive}) {
        for (std::size_t k = 0; k < frames.size(); ++k) {
            Bytes png;
            ASSERT_TRUE(EncodePng(encoder, frames[k], PngPlan{filters, DefaultLevel, PngDeflater::Rows}, png));
            const Bitmap back = DecodePng(png);
            ASSERT_EQ(back.Width, frames[k].Width) << what << " frame " << k;
            ASSERT_TRUE(back.Pixels == frames[k].Pixels)
                << what << " frame " << k << " filters " << static_cast<int>(filters);
        }
    }
}

TEST(RowDeflateTest, PngsOfTheGeneratedFamiliesDecodeToTheirFrames)
{
    const GeneratedLimits limits{.MinWidth = 16, .MaxWidth = 400, .MaxPixels = 600'000, .MaxFrames = 12};
    for (std::uint64_t seed = 1; seed <= 12; ++seed) {
        const GeneratedAnimation a = seed % 3 == 0 ? GenerateVideoGif(seed, limits) : GenerateAnimation(seed, limits);
        std::vector<Bitmap> frames;
        for (const Bytes& f : a.Frames) frames.push_back({a.Width, a.Height, f});
        ExpectRowEncodedPngsDecodeExactly(frames, a.Family);
    }
}

// Every animation of the public suites beside the project (read in place),
// at most 24 frames of each.
TEST(RowDeflateTest, PngsOfEveryCorpusFileDecodeToItsFrames)
{
    const char* env = std::getenv("FRAMELOT_CORPUS");
    const fs::path root = env && *env ? fs::path(env) : fs::path(FRAMELOT_CORPUS_DEFAULT);
    if (!fs::is_directory(root)) GTEST_SKIP() << "corpus not found at " << root << " (set FRAMELOT_CORPUS); skipped";
    std::size_t files = 0;
    for (const std::string& name : ListFiles(root)) {
        const fs::path path = root / name;
        const SourceFormat* format = FormatOfPath(path.string());
        if (format == nullptr || name.find("/expected") != std::string::npos || !fs::is_regular_file(path)) continue;
        const SourceFile file = ReadSourceFile(path.string());
        if (!file.Ok) continue;
        std::vector<Bitmap> frames;
        format->Convert(file.Bytes, [&](std::uint64_t, const Bitmap& frame) {
            frames.push_back(frame);
            return frames.size() < 24;
        }, {});
        if (frames.empty()) continue;
        ++files;
        ExpectRowEncodedPngsDecodeExactly(frames, name);
        if (HasFatalFailure()) return;
    }
    EXPECT_GT(files, 80u);  // the suites' animations
}

}  // namespace
}  // namespace framelot
