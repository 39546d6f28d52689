// Every animated file of the public test suites, converted as a user would and
// checked against the suite's expected frames by the rule its INDEX.tsv names.
// The suites stay outside the project: they are found through FRAMELOT_CORPUS
// (default ../shared/corpus beside the project), and each input is copied into
// a temporary folder first, since frames are written beside their source.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include "convert/Dispatch.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;
using Row = std::map<std::string, std::string>;

fs::path CorpusRoot()
{
    const char* env = std::getenv("FRAMELOT_CORPUS");
    return env && *env ? fs::path(env) : fs::path(FRAMELOT_CORPUS_DEFAULT);
}

#define REQUIRE_CORPUS()                                                                            \
    if (!fs::is_directory(CorpusRoot())) GTEST_SKIP() << "corpus not found at " << CorpusRoot() \
                                                      << " (set FRAMELOT_CORPUS); skipped"

std::vector<Row> ReadIndex(const fs::path& tsv)
{
    std::ifstream in(tsv);
    std::string line;
    std::vector<std::string> header;
    std::vector<Row> rows;
    while (std::getline(in, line)) {
        std::vector<std::string> cells;
        std::stringstream ss(line);
        std::string cell;
        while (std::getline(ss, cell, '\t')) cells.push_back(cell);
        if (header.empty()) {
            header = cells;
            continue;
        }
        Row row;
        for (std::size_t i = 0; i < cells.size() && i < header.size(); ++i) row[header[i]] = cells[i];
        rows.push_back(row);
    }
    return rows;
}

struct Outputs {
    ConvertResult Result;
    std::vector<Bitmap> Frames;
};

// Copies the input into a temporary folder and converts it with the switch off.
Outputs ConvertCopy(const fs::path& input)
{
    TempDir dir;
    const std::string copy = dir / input.filename().string();
    fs::copy_file(input, copy);
    Outputs out;
    out.Result = ConvertDroppedFile(copy, {.MakeFolder = false});
    const std::string stem = fs::path(copy).stem().string();
    for (std::uint64_t k = 0;; ++k) {
        const std::string path = dir / (stem + "_" + (k < 10 ? "000" : k < 100 ? "00" : k < 1000 ? "0" : "") +
                                        std::to_string(k) + ".png");
        if (!fs::exists(path)) break;
        out.Frames.push_back(ReadPng(path));
    }
    return out;
}

Bitmap Crop(const Bitmap& b, int width, int height)
{
    Bitmap c = MakeBitmap(width, height);
    for (int y = 0; y < height && y < b.Height; ++y)
        for (int x = 0; x < width && x < b.Width; ++x)
            for (int i = 0; i < 4; ++i)
                c.Pixels[(static_cast<std::size_t>(y) * width + x) * 4 + i] =
                    b.Pixels[(static_cast<std::size_t>(y) * b.Width + x) * 4 + i];
    return c;
}

// Raw RGBA of the given size, as the GIF suite stores its expectations.
Bitmap ReadRgba(const fs::path& path, int width, int height)
{
    const Bytes raw = ReadFile(path.string());
    Bitmap b = MakeBitmap(width, height);
    std::copy_n(raw.begin(), std::min(raw.size() / 4 * 4, b.Pixels.size()), b.Pixels.begin());
    return b;
}

struct Tolerance {
    int Opaque = 0;       // colour, where alpha is 255
    int Semi = 0;         // colour, where 0 < alpha < 255
    int Alpha = 0;
    bool ApngRoundTrip = false;  // predict semi colour through premultiply + unpremultiply
    bool PartialOk = false;      // output may be alpha 0 where the reference is not
};

// Same size; alpha equal; colour equal wherever alpha > 0 (within tolerance).
::testing::AssertionResult Matches(const Bitmap& out, const Bitmap& ref, Tolerance tol = {})
{
    if (out.Width != ref.Width || out.Height != ref.Height) {
        return ::testing::AssertionFailure() << "size " << out.Width << "x" << out.Height << ", expected " << ref.Width
                                             << "x" << ref.Height;
    }
    for (int y = 0; y < out.Height; ++y) {
        for (int x = 0; x < out.Width; ++x) {
            const auto o = PixelAt(out, x, y), r = PixelAt(ref, x, y);
            if (tol.PartialOk && o[3] == 0) continue;
            if (std::abs(o[3] - r[3]) > tol.Alpha) {
                return ::testing::AssertionFailure() << "alpha at " << x << "," << y << ": " << o[3] << " vs " << r[3];
            }
            if (r[3] == 0) continue;
            for (int c = 0; c < 3; ++c) {
                int expected = r[c];
                if (tol.ApngRoundTrip && r[3] < 255) expected = std::min(255, (expected * r[3] / 255) * 255 / r[3]);
                const int limit = r[3] == 255 ? tol.Opaque : tol.Semi;
                if (std::abs(o[c] - expected) > limit) {
                    return ::testing::AssertionFailure() << "channel " << c << " at " << x << "," << y << ": " << o[c]
                                                         << " vs " << expected << " (alpha " << r[3] << ")";
                }
            }
        }
    }
    return ::testing::AssertionSuccess();
}

// "100x100 100x100", "64x63 (all)", "-": the canvas size of every output.
std::vector<std::pair<int, int>> ParseSizes(const std::string& text, std::size_t count)
{
    std::vector<std::pair<int, int>> sizes;
    static const std::regex size(R"((\d+)x(\d+))");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), size); it != std::sregex_iterator(); ++it) {
        sizes.emplace_back(std::stoi((*it)[1]), std::stoi((*it)[2]));
    }
    if (text.find("(all)") != std::string::npos && !sizes.empty()) sizes.assign(count, sizes.front());
    return sizes;
}

int LeadingNumber(const std::string& text)
{
    return text.empty() || !std::isdigit(static_cast<unsigned char>(text[0])) ? 0 : std::stoi(text);
}

// Every row: the number and sizes of the outputs the suite's index predicts.
void CheckCountsAndSizes(const fs::path& suite, const std::string& sizeColumn, const std::string& countColumn,
                         const std::string& inputFolder = "")
{
    for (const Row& row : ReadIndex(suite / "INDEX.tsv")) {
        const std::string input = row.at("input");
        SCOPED_TRACE(input);
        const Outputs out = ConvertCopy(suite / inputFolder / input);
        const std::string sizes = row.count(sizeColumn) ? row.at(sizeColumn) : "";
        const std::string countText = row.count(countColumn) ? row.at(countColumn) : "";
        if (sizes == "-" || (countText.rfind("0", 0) == 0 && sizeColumn == countColumn)) {
            EXPECT_TRUE(out.Frames.empty());
            EXPECT_NE(out.Result.Status, ConvertStatus::Converted);
            continue;
        }
        const auto expected = ParseSizes(sizes, static_cast<std::size_t>(LeadingNumber(countText)));
        if (expected.empty()) {
            EXPECT_EQ(out.Frames.size(), static_cast<std::size_t>(LeadingNumber(countText)));
            continue;
        }
        ASSERT_EQ(out.Frames.size(), expected.size()) << out.Result.Reason;
        EXPECT_EQ(out.Result.Status, ConvertStatus::Converted) << out.Result.Reason;
        for (std::size_t k = 0; k < expected.size(); ++k) {
            EXPECT_EQ(out.Frames[k].Width, expected[k].first) << "output " << k;
            EXPECT_EQ(out.Frames[k].Height, expected[k].second) << "output " << k;
        }
    }
}

TEST(CorpusTest, GifSuitesGiveThePredictedOutputsAndNothingForStills)
{
    REQUIRE_CORPUS();
    CheckCountsAndSizes(CorpusRoot() / "gif-pygif", "spec_canvas_per_output", "images");
    CheckCountsAndSizes(CorpusRoot() / "gif-peterdn", "spec_canvas_per_output", "images", "gifs");
}

TEST(CorpusTest, PeterdnFramesMatchExactly)
{
    REQUIRE_CORPUS();
    const fs::path suite = CorpusRoot() / "gif-peterdn";
    for (const Row& row : ReadIndex(suite / "INDEX.tsv")) {
        if (row.at("compare") == "NO-OUTPUT") continue;
        const std::string input = row.at("input");
        SCOPED_TRACE(input);
        const Outputs out = ConvertCopy(suite / "gifs" / input);
        const std::string name = fs::path(input).stem().string();
        for (std::size_t k = 0; k < out.Frames.size(); ++k) {
            const Bitmap ref = ReadPng((suite / "gifs/frames" / (name + "-" + std::to_string(k) + ".png")).string());
            const Bitmap got = row.at("compare").rfind("CROP-OUTPUT", 0) == 0 ? Crop(out.Frames[k], 100, 100) : out.Frames[k];
            EXPECT_TRUE(Matches(got, ref)) << "output " << k;
        }
    }
}

TEST(CorpusTest, PygifFramesMatchTheirReferences)
{
    REQUIRE_CORPUS();
    const fs::path suite = CorpusRoot() / "gif-pygif";
    struct Check { const char* Input; std::vector<std::pair<int, std::string>> Pairs; bool Crop = false; bool Partial = false; };
    const std::vector<std::string> anim = {"animation.0", "animation.1", "animation.2", "animation.3"};
    const std::vector<std::string> fill = {"animation-fill.0", "animation-fill.1", "animation-fill.2", "animation-fill.3"};
    auto each = [](const std::vector<std::string>& names, int first = 0, int step = 1) {
        std::vector<std::pair<int, std::string>> pairs;
        for (std::size_t i = 0; i < names.size(); ++i) pairs.emplace_back(first + step * static_cast<int>(i), names[i]);
        return pairs;
    };
    const Check checks[] = {
        {"animation.gif", each(anim)},
        {"animation-speed.gif", each(anim)},
        {"animation-no-delays.gif", each(anim)},
        {"animation-zero-delays.gif", each(anim)},
        {"gif87a-animation.gif", each(anim)},
        {"dispose-none.gif", each(fill)},
        {"dispose-keep.gif", each(fill)},
        {"dispose-restore-previous.gif", each(anim, 1)},
        {"animation-multi-image.gif", each(fill, 0, 2)},
        {"animation-multi-image-explicit-zero-delay.gif", each(fill, 0, 2)},
        {"dispose-restore-background.gif",
         each({"animation-erase.0", "animation-erase.1", "animation-erase.2", "animation-erase.3"}), true},
        {"images-overlap.gif", {{1, "white-dot"}}},
        {"images-combine.gif", {{0, "four-colors"}, {1, "four-colors"}, {2, "four-colors"}, {3, "four-colors"}}, true, true},
        {"high-color.gif", {{0, "high-color"}, {1, "high-color"}, {2, "high-color"}, {3, "high-color"}}, true, true},
    };
    std::map<std::string, std::pair<int, int>> screens;
    for (const Row& row : ReadIndex(suite / "INDEX.tsv")) screens[row.at("input")] = ParseSizes(row.at("logical_screen"), 1)[0];
    for (const Check& c : checks) {
        SCOPED_TRACE(c.Input);
        const Outputs out = ConvertCopy(suite / c.Input);
        const auto [w, h] = screens.at(c.Input);
        for (const auto& [k, name] : c.Pairs) {
            ASSERT_LT(static_cast<std::size_t>(k), out.Frames.size());
            Bitmap ref = ReadRgba(suite / (name + ".rgba"), w, h);
            const Bitmap& got = out.Frames[k];
            const bool last = static_cast<std::size_t>(k) + 1 == out.Frames.size();
            if (c.Crop) ref = Crop(ref, got.Width, got.Height);
            Tolerance tol;
            tol.PartialOk = c.Partial && !last;
            EXPECT_TRUE(Matches(got, ref, tol)) << "output " << k << " vs " << name;
        }
    }
}

TEST(CorpusTest, ImageRsGifFramesMatchCroppedReferences)
{
    REQUIRE_CORPUS();
    const fs::path suite = CorpusRoot() / "image-rs-image/gif";
    auto findExpected = [&](const std::string& prefix) {
        for (const auto& e : fs::directory_iterator(suite / "expected")) {
            if (e.path().filename().string().rfind(prefix, 0) == 0) return ReadPng(e.path().string());
        }
        return Bitmap{};
    };
    for (const std::string name : {"any-disposal.gif", "mixed-disposal.gif"}) {
        SCOPED_TRACE(name);
        const Outputs out = ConvertCopy(suite / name);
        ASSERT_EQ(out.Frames.size(), 5u);
        for (int k = 0; k < 5; ++k) {
            const std::string number = name == "any-disposal.gif" ? std::to_string(k + 1) : "0" + std::to_string(k + 1);
            const Bitmap ref = findExpected(name + ".anim_" + number + "_");
            EXPECT_TRUE(Matches(out.Frames[k], Crop(ref, out.Frames[k].Width, out.Frames[k].Height))) << "output " << k;
        }
    }
    for (const std::string name : {"border_touching_layers.gif", "issue_1455_undersized.gif"}) {
        SCOPED_TRACE(name);
        const Outputs out = ConvertCopy(suite / name);
        ASSERT_EQ(out.Frames.size(), 2u);
        const Bitmap ref = ReadPng((suite / "expected" / (name + ".png")).string());
        EXPECT_TRUE(Matches(out.Frames[0], Crop(ref, out.Frames[0].Width, out.Frames[0].Height)));
    }
}

TEST(CorpusTest, ImageRsApngAndWebpFramesMatch)
{
    REQUIRE_CORPUS();
    const fs::path suite = CorpusRoot() / "image-rs-image";
    CheckCountsAndSizes(suite, "spec_canvas_per_output", "frames");
    for (const Row& row : ReadIndex(suite / "INDEX.tsv")) {
        const std::string input = row.at("input");
        const std::string format = row.at("format");
        if (format == "GIF") continue;
        SCOPED_TRACE(input);
        const Outputs out = ConvertCopy(suite / input);
        const std::string file = fs::path(input).filename().string();
        for (std::size_t k = 0; k < out.Frames.size(); ++k) {
            Bitmap ref;
            Tolerance tol;
            if (format == "APNG") {
                const std::string number = (k + 1 < 10 ? "0" : "") + std::to_string(k + 1);
                ref = ReadPng((fs::path(suite / input).parent_path() / "expected" / (file + ".anim_" + number + ".png")).string());
                tol.ApngRoundTrip = true;
                tol.Semi = 2;
            } else {
                char name[32];
                std::snprintf(name, sizeof name, "frame_%04zu.png", k);
                ref = ReadPng((suite / "webp/expected-libwebp" / fs::path(file).stem() / name).string());
                tol.Opaque = 3;  // lossy
                tol.Semi = 3;
                tol.Alpha = 1;
            }
            EXPECT_TRUE(Matches(out.Frames[k], ref, tol)) << "output " << k;
        }
    }
}

// "R | G with R inner=x32..95,y16..47 | (0,255,0,2)": uniform colours per output.
struct Uniform {
    std::vector<int> Outer, Inner;  // RGBA; Inner empty when the whole image is one colour
    int X0 = 0, X1 = 0, Y0 = 0, Y1 = 0;
};

std::vector<int> NamedColour(const std::string& token)
{
    static const std::map<std::string, std::vector<int>> named = {
        {"R", {255, 0, 0, 255}}, {"G", {0, 255, 0, 255}}, {"B", {0, 0, 255, 255}}, {"T", {0, 0, 0, 0}},
        {"Y", {255, 255, 0, 255}}, {"C", {0, 255, 255, 255}}, {"M", {255, 0, 255, 255}}, {"K", {0, 0, 0, 255}},
        {"W", {255, 255, 255, 255}}, {"GR", {128, 128, 128, 255}}, {"DB", {0, 0, 128, 255}}};
    static const std::regex tuple(R"(\((\d+),(\d+),(\d+),(\d+)\))");
    std::smatch m;
    if (std::regex_search(token, m, tuple)) return {std::stoi(m[1]), std::stoi(m[2]), std::stoi(m[3]), std::stoi(m[4])};
    const std::string key = token.substr(0, token.find('='));
    return named.count(key) ? named.at(key) : std::vector<int>{};
}

std::optional<Uniform> ParseUniform(std::string text)
{
    text = std::regex_replace(text, std::regex(R"(^\s+|\s+$)"), "");
    static const std::regex inner(R"(^(\S+) with (\S+) (?:inner=|at )x(\d+)\.\.(\d+),y(\d+)\.\.(\d+)$)");
    std::smatch m;
    Uniform u;
    if (std::regex_match(text, m, inner)) {
        u.Outer = NamedColour(m[1]);
        u.Inner = NamedColour(m[2]);
        u.X0 = std::stoi(m[3]), u.X1 = std::stoi(m[4]), u.Y0 = std::stoi(m[5]), u.Y1 = std::stoi(m[6]);
    } else {
        u.Outer = NamedColour(text);
    }
    if (u.Outer.empty()) return std::nullopt;
    return u;
}

TEST(CorpusTest, PillowApngSuiteGivesTheDerivedColours)
{
    REQUIRE_CORPUS();
    const fs::path suite = CorpusRoot() / "pillow";
    int checked = 0;
    for (const Row& row : ReadIndex(suite / "INDEX.tsv")) {
        const std::string input = row.at("input");
        SCOPED_TRACE(input);
        const Outputs out = ConvertCopy(suite / input);
        if (input.rfind("webp/", 0) == 0) {
            ASSERT_EQ(out.Frames.size(), 42u);
            for (std::size_t k = 0; k < out.Frames.size(); ++k) {
                char name[32];
                std::snprintf(name, sizeof name, "frame_%04zu.png", k);
                EXPECT_TRUE(Matches(out.Frames[k], ReadPng((suite / "webp/expected-libwebp/iss634" / name).string())))
                    << "output " << k;
            }
            continue;
        }
        const int outputs = LeadingNumber(row.at("spec_outputs"));
        EXPECT_EQ(out.Frames.size(), static_cast<std::size_t>(outputs)) << out.Result.Reason;
        if (row.at("compare").rfind("DERIVED-UNIFORM", 0) != 0) continue;
        const bool loose = row.at("compare").find("+-1") != std::string::npos ||
                           row.at("compare").find("TOL-SEMI") != std::string::npos;
        std::vector<std::string> parts;
        std::stringstream ss(row.at("per_output_expectation"));
        for (std::string part; std::getline(ss, part, '|');) parts.push_back(part);
        const bool sameForAll = parts.size() == 1 && outputs > 1;
        for (std::size_t k = 0; k < out.Frames.size(); ++k) {
            const auto u = ParseUniform(sameForAll ? "G" : k < parts.size() ? parts[k] : "");
            if (!u) continue;  // described in words only (for example a two-colour default image)
            const Bitmap& f = out.Frames[k];
            for (int y = 0; y < f.Height; ++y) {
                for (int x = 0; x < f.Width; ++x) {
                    const bool in = !u->Inner.empty() && x >= u->X0 && x <= u->X1 && y >= u->Y0 && y <= u->Y1;
                    const std::vector<int>& want = in ? u->Inner : u->Outer;
                    const auto rgba = PixelAt(f, x, y);
                    for (int c = 0; c < 4; ++c) {
                        if (c < 3 && want[3] == 0) continue;
                        ASSERT_LE(std::abs(rgba[c] - want[c]), loose ? 1 : 0)
                            << "output " << k << " at " << x << "," << y << " channel " << c;
                    }
                }
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 40);
}

TEST(CorpusTest, WebpSuitesMatchLibwebpFrames)
{
    REQUIRE_CORPUS();
    struct Case { const char* Suite; const char* Input; int Frames; bool Lossy; int CropFirst; };
    const Case cases[] = {
        {"image-rs-image-webp", "random_lossless", 3, false, 0},
        {"image-rs-image-webp", "random_lossy", 4, true, 0},
        {"sdwebimage-webpcoder", "TestImageAnimated", 8, false, 2},
        {"sdwebimage-webpcoder", "TestImageBlendAnimated", 12, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Input);
        const fs::path suite = CorpusRoot() / c.Suite;
        const Outputs out = ConvertCopy(suite / "images" / (std::string(c.Input) + ".webp"));
        ASSERT_EQ(out.Frames.size(), static_cast<std::size_t>(c.Frames)) << out.Result.Reason;
        for (int k = 0; k < c.Frames; ++k) {
            char name[32];
            std::snprintf(name, sizeof name, "frame_%04d.png", k);
            Bitmap ref = ReadPng((suite / "expected-libwebp" / c.Input / name).string());
            if (k < c.CropFirst) ref = Crop(ref, out.Frames[k].Width, out.Frames[k].Height);
            Tolerance tol;
            if (c.Lossy) tol.Opaque = tol.Semi = 3;
            EXPECT_TRUE(Matches(out.Frames[k], ref, tol)) << "output " << k;
        }
    }
    CheckCountsAndSizes(CorpusRoot() / "sdwebimage-webpcoder", "spec_canvas_per_output", "frames");
    CheckCountsAndSizes(CorpusRoot() / "image-rs-image-webp", "spec_canvas_per_output", "frames");
}

// A JPEG XL animation with cropped frames, against the composed frames of the
// GIF it was made from. The bitstream is not lossless everywhere: from frame 9
// on, every libjxl release (0.7 and 0.11 alike, to the bit) decodes specks
// along one rod, inside the box below, so that box is left out from there on;
// everything else must equal the GIF within 1.
TEST(CorpusTest, JxlConformanceAnimationEqualsItsGif)
{
    REQUIRE_CORPUS();
    const fs::path suite = CorpusRoot() / "jxl-conformance";
    Outputs jxl = ConvertCopy(suite / "animation_newtons_cradle.jxl");
    Outputs gif = ConvertCopy(suite / "animation_newtons_cradle.ref.gif");
    ASSERT_EQ(jxl.Frames.size(), 36u) << jxl.Result.Reason;
    ASSERT_EQ(gif.Frames.size(), jxl.Frames.size()) << gif.Result.Reason;
    constexpr std::size_t FirstSpeckled = 9;
    constexpr int SpecksLeft = 22, SpecksTop = 241, SpecksRight = 165, SpecksBottom = 294;
    for (std::size_t k = 0; k < jxl.Frames.size(); ++k) {
        if (k >= FirstSpeckled) {
            for (Bitmap* frame : {&jxl.Frames[k], &gif.Frames[k]})
                for (int y = SpecksTop; y < SpecksBottom && y < frame->Height; ++y)
                    for (int x = SpecksLeft; x < SpecksRight && x < frame->Width; ++x)
                        std::fill_n(frame->Pixels.begin() + (static_cast<std::ptrdiff_t>(y) * frame->Width + x) * 4, 4, 0);
        }
        EXPECT_TRUE(Matches(jxl.Frames[k], gif.Frames[k], {.Opaque = 1, .Semi = 1, .Alpha = 1})) << "output " << k;
    }
}

}  // namespace
}  // namespace framelot
