// Sprite sheets through the conversion path, held against the frame files the
// same animation gives without --sheet. A seeded run draws many layouts
// (grid or trimmed, padding, margin, extrusion, powers of two, a maximum
// that spills) over generated walking sprites with held and empty frames,
// and checks each promise of the sheet on every one; FRAMELOT_SEED=N repeats
// a run. Then: sizes that cannot be made are refused before anything is
// written, and the engine forms read as hand-checked examples.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <regex>
#include <set>

#include "convert/Dispatch.h"
#include "output/files/JsonText.h"
#include "output/files/PathText.h"
#include "output/sheets/Atlas.h"
#include "output/sheets/SheetPack.h"
#include "testing/FixtureBuilders.h"
#include "testing/TestSupport.h"

namespace framelot {
namespace {

using namespace test;

constexpr int Layouts = 40;

// A sprite that walks over a transparent canvas: each frame shows only
// itself (restore to background); some frames hold the one before, one shows
// nothing, and the sprite's pixels have transparent holes.
Bytes WalkGif(std::mt19937& random, int width, int height, int frames)
{
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    std::vector<GifFrameSpec> specs;
    for (int i = 0; i < frames; ++i) {
        GifFrameSpec f;
        f.Width = width;
        f.Height = height;
        f.Disposal = 2;
        f.Transparent = 0;
        f.Delay = 2 + pick(4) * 3;
        if (i > 0 && pick(4) == 0) {
            f.Indices = specs.back().Indices;  // held: the same pixels again
        } else if (i == frames / 2) {
            f.Indices.assign(static_cast<std::size_t>(width * height), 0);  // nothing visible
        } else {
            f.Indices.assign(static_cast<std::size_t>(width * height), 0);
            const int w = 1 + pick(width / 2), h = 1 + pick(height / 2);
            const int left = pick(width - w + 1), top = pick(height - h + 1);
            for (int y = top; y < top + h; ++y) {
                for (int x = left; x < left + w; ++x) {
                    f.Indices[static_cast<std::size_t>(y * width + x)] = static_cast<std::uint8_t>(pick(5) == 0 ? 0 : 1 + pick(3));
                }
            }
        }
        specs.push_back(std::move(f));
    }
    return BuildGif({.ScreenWidth = width, .ScreenHeight = height, .Palette = FourColours(), .Frames = specs});
}

struct Entry {
    std::string Name;
    std::size_t Page = 0;
    Rect Place, Source;
    int SourceWidth = 0, SourceHeight = 0;
    bool Trimmed = false;
};

// The entries of a hash atlas or a multi-atlas, and the sheets they name.
void ReadAtlas(const std::string& text, std::vector<std::string>& images, std::vector<Entry>& entries)
{
    const std::regex image(R"re(\{"image": "([^"]+)")re");
    const std::regex record(R"re("([^"]+)"(?:: \{|, )"frame": \{"x": (\d+), "y": (\d+), "w": (\d+), "h": (\d+)\}, "rotated": false, "trimmed": (true|false), "spriteSourceSize": \{"x": (\d+), "y": (\d+), "w": (\d+), "h": (\d+)\}, "sourceSize": \{"w": (\d+), "h": (\d+)\})re");
    std::vector<std::size_t> starts;
    for (auto m = std::sregex_iterator(text.begin(), text.end(), image); m != std::sregex_iterator(); ++m) {
        images.push_back((*m)[1]);
        starts.push_back(static_cast<std::size_t>(m->position()));
    }
    if (images.empty()) {  // the hash form: its one sheet is in "meta"
        const std::smatch meta = [&] { std::smatch s; std::regex_search(text, s, std::regex(R"re("image": "([^"]+)")re")); return s; }();
        if (!meta.empty()) images.push_back(meta[1]);
    }
    const auto number = [](const std::ssub_match& s) { return std::stoi(s.str()); };
    for (auto m = std::sregex_iterator(text.begin(), text.end(), record); m != std::sregex_iterator(); ++m) {
        Entry e;
        e.Name = (*m)[1];
        for (std::size_t p = 0; p < starts.size(); ++p) {
            if (starts[p] < static_cast<std::size_t>(m->position())) e.Page = p;
        }
        e.Place = Rect{number((*m)[2]), number((*m)[3]), number((*m)[4]), number((*m)[5])};
        e.Trimmed = (*m)[6] == "true";
        e.Source = Rect{number((*m)[7]), number((*m)[8]), number((*m)[9]), number((*m)[10])};
        e.SourceWidth = number((*m)[11]);
        e.SourceHeight = number((*m)[12]);
        entries.push_back(e);
    }
}

bool PowerOfTwo(int n)
{
    return n > 0 && (n & (n - 1)) == 0;
}

// Whether two cells, each with its extrusion, keep `padding` pixels apart.
bool ApartBy(const Rect& a, const Rect& b, int extrude, int padding)
{
    const int gap = 2 * extrude + padding;
    return a.Left + a.Width + gap <= b.Left || b.Left + b.Width + gap <= a.Left || a.Top + a.Height + gap <= b.Top ||
           b.Top + b.Height + gap <= a.Top;
}

TEST(SheetTest, EveryLayoutDrawsEachFrameBackExactlyAndKeepsItsCellsApart)
{
    const char* seedText = std::getenv("FRAMELOT_SEED");
    const unsigned seed = seedText ? static_cast<unsigned>(std::atoi(seedText)) : std::random_device{}();
    SCOPED_TRACE("FRAMELOT_SEED=" + std::to_string(seed));
    std::mt19937 random(seed);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    TempDir dir;
    int spilled = 0, shared = 0;
    for (int k = 0; k < Layouts && !HasFailure(); ++k) {
        const int width = 6 + pick(30), height = 4 + pick(24), count = 3 + pick(12);
        const std::string name = "walk" + std::to_string(k);
        WriteFile(dir / (name + ".gif"), WalkGif(random, width, height, count));
        OutputOptions frames;
        frames.OutputFolder = dir / "frames";
        ASSERT_EQ(ConvertDroppedFile(dir / (name + ".gif"), frames, 0).Status, ConvertStatus::Converted);

        OutputOptions o;
        o.Sheet = true;
        o.Atlas = AtlasFormat::Hash;
        o.OutputFolder = dir / "sheets";
        SheetOptions& s = o.Packing;
        s.Trim = pick(2) == 0;
        s.Padding = static_cast<std::uint64_t>(pick(4));
        s.Margin = static_cast<std::uint64_t>(pick(3));
        s.Extrude = static_cast<std::uint64_t>(pick(3));
        s.PowerOfTwo = pick(3) == 0;
        if (!s.Trim && pick(3) == 0) (pick(2) == 0 ? s.Columns : s.Rows) = static_cast<std::uint64_t>(1 + pick(count));
        if (pick(2) == 0 && s.Rows == 0 && s.Columns == 0) {
            // Room for one to three cells a side: most of these spill.
            const int side = static_cast<int>(2 * (s.Margin + s.Extrude)) + 1;
            s.MaxWidth = static_cast<std::uint64_t>(side + width * (1 + pick(3)) + pick(4));
            s.MaxHeight = static_cast<std::uint64_t>(side + height * (1 + pick(3)) + pick(4));
            if (s.PowerOfTwo) {
                s.MaxWidth *= 2;
                s.MaxHeight *= 2;
            }
        }
        SCOPED_TRACE(name + (s.Trim ? " trim" : " grid") + " padding " + std::to_string(s.Padding) + " margin " +
                     std::to_string(s.Margin) + " extrude " + std::to_string(s.Extrude) + (s.PowerOfTwo ? " pot" : "") +
                     " columns " + std::to_string(s.Columns) + " rows " + std::to_string(s.Rows) + " max " +
                     std::to_string(s.MaxWidth) + "x" + std::to_string(s.MaxHeight));
        const ConvertResult r = ConvertDroppedFile(dir / (name + ".gif"), o, 0);
        ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
        const std::string folder = o.OutputFolder + "/" + name + "/";
        const Bytes atlasBytes = ReadFile(folder + name + "_sheet.json");
        std::vector<std::string> images;
        std::vector<Entry> entries;
        ReadAtlas(std::string(atlasBytes.begin(), atlasBytes.end()), images, entries);
        ASSERT_EQ(entries.size(), static_cast<std::size_t>(count));
        ASSERT_FALSE(images.empty());
        spilled += images.size() > 1;
        EXPECT_EQ(images.size() > 1, r.Note.find("sheets of at most") != std::string::npos) << r.Note;
        std::vector<Bitmap> sheets;
        for (const std::string& image : images) {
            sheets.push_back(ReadPng(folder + image));
            const Bitmap& sheet = sheets.back();
            if (s.MaxWidth > 0) {
                EXPECT_LE(static_cast<std::uint64_t>(sheet.Width), s.MaxWidth);
                EXPECT_LE(static_cast<std::uint64_t>(sheet.Height), s.MaxHeight);
            }
            if (s.PowerOfTwo) {
                EXPECT_TRUE(PowerOfTwo(sheet.Width) && PowerOfTwo(sheet.Height)) << image;
            }
        }
        const int e = static_cast<int>(s.Extrude), m = static_cast<int>(s.Margin);
        std::set<std::tuple<std::size_t, int, int>> cells;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            const Entry& entry = entries[i];
            SCOPED_TRACE(entry.Name);
            const Bitmap frame = ReadPng(dir / ("frames/" + name + "/" + entry.Name));
            ASSERT_LT(entry.Page, sheets.size());
            const Bitmap& sheet = sheets[entry.Page];
            ASSERT_EQ(entry.SourceWidth, frame.Width);
            ASSERT_EQ(entry.SourceHeight, frame.Height);
            ASSERT_EQ(entry.Place.Width, entry.Source.Width);
            ASSERT_EQ(entry.Place.Height, entry.Source.Height);
            EXPECT_EQ(entry.Trimmed, entry.Source.Width != frame.Width || entry.Source.Height != frame.Height);
            // Inside the sheet with its extrusion, and the margin kept.
            ASSERT_GE(entry.Place.Left - e, m);
            ASSERT_GE(entry.Place.Top - e, m);
            ASSERT_LE(entry.Place.Left + entry.Place.Width + e, sheet.Width - m);
            ASSERT_LE(entry.Place.Top + entry.Place.Height + e, sheet.Height - m);
            // The frame drawn back from its cell at its offset equals the frame file.
            for (int y = 0; y < frame.Height; ++y) {
                for (int x = 0; x < frame.Width; ++x) {
                    const int sx = x - entry.Source.Left, sy = y - entry.Source.Top;
                    const bool inside = sx >= 0 && sy >= 0 && sx < entry.Source.Width && sy < entry.Source.Height;
                    if (inside) {
                        ASSERT_EQ(PixelAt(sheet, entry.Place.Left + sx, entry.Place.Top + sy), PixelAt(frame, x, y))
                            << x << "," << y;
                    } else {
                        ASSERT_EQ(PixelAt(frame, x, y)[3], 0) << "a visible pixel was trimmed away at " << x << "," << y;
                    }
                }
            }
            // Extruded pixels repeat the nearest edge pixel of the cell.
            for (int y = -e; y < entry.Place.Height + e; ++y) {
                for (int x = -e; x < entry.Place.Width + e; ++x) {
                    if (x >= 0 && y >= 0 && x < entry.Place.Width && y < entry.Place.Height) continue;
                    const int cx = std::clamp(x, 0, entry.Place.Width - 1), cy = std::clamp(y, 0, entry.Place.Height - 1);
                    ASSERT_EQ(PixelAt(sheet, entry.Place.Left + x, entry.Place.Top + y),
                              PixelAt(sheet, entry.Place.Left + cx, entry.Place.Top + cy)) << "extruded " << x << "," << y;
                }
            }
            // Distinct cells never overlap and keep the padding between them.
            for (std::size_t j = 0; j < i; ++j) {
                const Entry& other = entries[j];
                const bool sameCell = other.Page == entry.Page && other.Place.Left == entry.Place.Left &&
                                      other.Place.Top == entry.Place.Top;
                if (other.Page != entry.Page || sameCell) continue;
                EXPECT_TRUE(ApartBy(entry.Place, other.Place, e, static_cast<int>(s.Padding))) << "and " << other.Name;
            }
            cells.insert({entry.Page, entry.Place.Left, entry.Place.Top});
        }
        if (s.Trim) {
            // Held frames (and frames showing the same sprite elsewhere) share a cell, and the line says so.
            const std::size_t repeats = entries.size() - cells.size();
            shared += repeats > 0;
            if (repeats > 0) {
                EXPECT_NE(r.Note.find(std::to_string(repeats) + " repeated frame"), std::string::npos) << r.Note;
            }
        } else {
            EXPECT_EQ(cells.size(), entries.size());
        }
    }
    // The draw reached the cases that matter.
    EXPECT_GT(spilled, 0);
    EXPECT_GT(shared, 0);
}

TEST(SheetTest, SizesThatCannotBeMadeAreRefusedBeforeAnythingIsWritten)
{
    TempDir dir;
    // Two frames each: only the first is large, so nothing would take long to decode.
    const auto twoFrames = [](int width, int height) {
        return BuildGif({.ScreenWidth = width, .ScreenHeight = height, .Palette = FourColours(),
                         .Frames = {SolidGifFrame(0, 0, width, height, 1), SolidGifFrame(0, 0, 1, 1, 2)}});
    };
    WriteFile(dir / "small.gif", twoFrames(40, 30));
    WriteFile(dir / "wide.gif", twoFrames(9990, 9990));
    WriteFile(dir / "tall.gif", twoFrames(9990, 5000));
    const struct Case {
        const char* Source;
        SheetOptions Packing;
        AtlasFormat Atlas;
        FailureKind Kind;
        const char* Reason;
    } cases[] = {
        {"small.gif", {.MaxWidth = 39, .MaxHeight = 100}, AtlasFormat::Array, FailureKind::Usage, "a frame needs 40 x 30 pixels"},
        {"small.gif", {.MaxWidth = 40, .MaxHeight = 29, .Trim = true}, AtlasFormat::Array, FailureKind::Usage,
         "more than the largest sheet allowed, 40 x 29"},
        {"small.gif", {.Extrude = 1, .PowerOfTwo = true, .MaxWidth = 63, .MaxHeight = 63}, AtlasFormat::Array,
         FailureKind::Usage, "largest sheet allowed, 32 x 32 (--max-size lowered to powers of two)"},
        {"small.gif", {.Columns = 2, .MaxWidth = 60, .MaxHeight = 60}, AtlasFormat::Array, FailureKind::Usage,
         "2 columns make a sheet 80 pixels wide"},
        {"small.gif", {.MaxWidth = 40, .MaxHeight = 40}, AtlasFormat::Aseprite, FailureKind::Usage,
         "the aseprite atlas names one sheet, and these frames need 2 sheets"},
        {"wide.gif", {}, AtlasFormat::Array, FailureKind::OverLimit, "the sheet would be 19980 x 9990 pixels"},
        {"wide.gif", {.Rows = 2}, AtlasFormat::Array, FailureKind::OverLimit, "the sheet would be 9990 x 19980 pixels"},
        {"tall.gif", {.Rows = 2, .Padding = 1024}, AtlasFormat::Array, FailureKind::OverLimit,
         "the sheet would be 9990 x 11024 pixels"},
        {"wide.gif", {.MaxWidth = 11000, .MaxHeight = 11000}, AtlasFormat::Array, FailureKind::OverLimit,
         "the 2 sheets would hold 199600200 pixels"},
        {"wide.gif", {.Extrude = 10, .MaxWidth = 20000, .MaxHeight = 20000}, AtlasFormat::Array, FailureKind::OverLimit,
         "the sheet would be 10010 x 10010 pixels"},
        {"wide.gif", {.Trim = true}, AtlasFormat::Array, FailureKind::OverLimit, "2 frames of 9990 x 9990 held for trimming"},
    };
    int k = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Reason);
        OutputOptions o;
        o.Sheet = true;
        o.Packing = c.Packing;
        o.Atlas = c.Atlas;
        o.OutputFolder = dir / ("out" + std::to_string(k++));
        const ConvertResult r = ConvertDroppedFile(dir / c.Source, o, 0);
        EXPECT_EQ(r.Status, ConvertStatus::Failed);
        EXPECT_EQ(r.Failure, c.Kind);
        EXPECT_NE(r.Reason.find(c.Reason), std::string::npos) << r.Reason;
        EXPECT_FALSE(fs::exists(PathFromUtf8(o.OutputFolder))) << "something was written";
    }
}

// Three frames of a 4 x 3 animation, the second trimmed and the third
// sharing the first's cell, as the packer would place them.
Atlas SmallAtlas()
{
    Atlas atlas;
    atlas.Name = "walk";
    atlas.Version = "1.0.0";
    atlas.Loops = 0;
    atlas.Trim = true;
    atlas.Pages = {{"walk_sheet.png", 8, 3}};
    atlas.Frames = {
        {"walk_0000.png", 0, Rect{0, 0, 4, 3}, Rect{0, 0, 4, 3}, 4, 3, false, 100},
        {"walk_0001.png", 0, Rect{5, 0, 2, 1}, Rect{1, 2, 2, 1}, 4, 3, true, 50},
        {"walk_0002.png", 0, Rect{0, 0, 4, 3}, Rect{0, 0, 4, 3}, 4, 3, false, 150},
    };
    return atlas;
}

TEST(SheetTest, EngineFormsReadAsTheirHandCheckedExamples)
{
    const Atlas atlas = SmallAtlas();
    EXPECT_EQ(AtlasText(atlas, AtlasFormat::Aseprite),
              "{ \"frames\": [\n"
              "   { \"filename\": \"0\", \"frame\": { \"x\": 0, \"y\": 0, \"w\": 4, \"h\": 3 }, \"rotated\": false, \"trimmed\": false, \"spriteSourceSize\": { \"x\": 0, \"y\": 0, \"w\": 4, \"h\": 3 }, \"sourceSize\": { \"w\": 4, \"h\": 3 }, \"duration\": 100 },\n"
              "   { \"filename\": \"1\", \"frame\": { \"x\": 5, \"y\": 0, \"w\": 2, \"h\": 1 }, \"rotated\": false, \"trimmed\": true, \"spriteSourceSize\": { \"x\": 1, \"y\": 2, \"w\": 2, \"h\": 1 }, \"sourceSize\": { \"w\": 4, \"h\": 3 }, \"duration\": 50 },\n"
              "   { \"filename\": \"2\", \"frame\": { \"x\": 0, \"y\": 0, \"w\": 4, \"h\": 3 }, \"rotated\": false, \"trimmed\": false, \"spriteSourceSize\": { \"x\": 0, \"y\": 0, \"w\": 4, \"h\": 3 }, \"sourceSize\": { \"w\": 4, \"h\": 3 }, \"duration\": 150 }\n"
              " ],\n"
              " \"meta\": {\n"
              "  \"app\": \"Framelot\",\n  \"version\": \"1.0.0\",\n  \"image\": \"walk_sheet.png\",\n  \"format\": \"RGBA8888\",\n"
              "  \"size\": { \"w\": 8, \"h\": 3 },\n  \"scale\": \"1\",\n"
              "  \"frameTags\": [\n   { \"name\": \"walk\", \"from\": 0, \"to\": 2, \"direction\": \"forward\", \"color\": \"#000000ff\" }\n  ],\n"
              "  \"layers\": [],\n  \"slices\": []\n }\n}\n");
    // 100, 50 and 150 ms: a unit of 50 ms, so a speed of 20 frames a second
    // and durations 2, 1 and 3; the shared cell is one AtlasTexture; the
    // trimmed frame's margin puts it back at (1, 2) in its 4 x 3 frame.
    EXPECT_EQ(AtlasText(atlas, AtlasFormat::Godot),
              "[gd_resource type=\"SpriteFrames\" load_steps=4 format=3]\n\n"
              "[ext_resource type=\"Texture2D\" path=\"walk_sheet.png\" id=\"sheet_1\"]\n\n"
              "[sub_resource type=\"AtlasTexture\" id=\"cell_0\"]\natlas = ExtResource(\"sheet_1\")\nregion = Rect2(0, 0, 4, 3)\n\n"
              "[sub_resource type=\"AtlasTexture\" id=\"cell_1\"]\natlas = ExtResource(\"sheet_1\")\nregion = Rect2(5, 0, 2, 1)\n"
              "margin = Rect2(1, 2, 2, 2)\n\n"
              "[resource]\nanimations = [{\n\"frames\": [{\n\"duration\": 2.0,\n\"texture\": SubResource(\"cell_0\")\n}, {\n"
              "\"duration\": 1.0,\n\"texture\": SubResource(\"cell_1\")\n}, {\n\"duration\": 3.0,\n"
              "\"texture\": SubResource(\"cell_0\")\n}],\n\"loop\": true,\n\"name\": &\"default\",\n\"speed\": 20.0\n}]\n");
    // The box is the whole frame; the trimmed frame's padding leaves its 2 x 1
    // pixels at (1, 2); the keyframes change at 0, 100 and 150 of 300 ms.
    EXPECT_EQ(AtlasText(atlas, AtlasFormat::Css),
              "/* 3 frames, 300 ms; made by Framelot 1.0.0. Use class=\"walk\" with a frame's class, or with \"walk-play\" to animate. */\n"
              ".walk {\n  box-sizing: border-box;\n  width: 4px;\n  height: 3px;\n  background-image: url(\"walk_sheet.png\");\n"
              "  background-repeat: no-repeat;\n  background-origin: content-box;\n  background-clip: content-box;\n}\n"
              ".walk.walk_0000 { padding: 0 0 0 0; background-position: 0 0; }\n"
              ".walk.walk_0001 { padding: 2px 1px 0 1px; background-position: -5px 0; }\n"
              ".walk.walk_0002 { padding: 0 0 0 0; background-position: 0 0; }\n"
              "@keyframes walk {\n"
              "  0% { padding: 0 0 0 0; background-position: 0 0; }\n"
              "  33.3333% { padding: 2px 1px 0 1px; background-position: -5px 0; }\n"
              "  50% { padding: 0 0 0 0; background-position: 0 0; }\n"
              "  100% { padding: 0 0 0 0; background-position: 0 0; }\n"
              "}\n.walk.walk-play {\n  animation: walk 300ms step-end infinite;\n}\n");
    // Times that are not whole milliseconds count in milliseconds; a file
    // that plays a set number of times does not loop in Godot and repeats in
    // the other forms.
    Atlas odd = atlas;
    odd.Loops = 3;
    odd.Frames[1].DurationMs = 33.5;
    const std::string godot = AtlasText(odd, AtlasFormat::Godot);
    EXPECT_NE(godot.find("\"duration\": 33.5,"), std::string::npos) << godot;
    EXPECT_NE(godot.find("\"loop\": false,\n\"name\": &\"default\",\n\"speed\": 1000.0\n"), std::string::npos) << godot;
    EXPECT_NE(AtlasText(odd, AtlasFormat::Aseprite).find("\"repeat\": \"3\""), std::string::npos);
    EXPECT_NE(AtlasText(odd, AtlasFormat::Css).find("step-end 3 both;"), std::string::npos);
    EXPECT_NE(AtlasText(odd, AtlasFormat::Hash).find("\"loops\": 3, \"duration\": 283.5}}"), std::string::npos);
    // Names that are not identifiers are escaped in the stylesheet.
    Atlas named = atlas;
    named.Name = "2 walk\"s";
    named.Frames.resize(1);
    named.Frames[0].FileName = "2 walk\"s_0000.png";
    const std::string css = AtlasText(named, AtlasFormat::Css);
    EXPECT_NE(css.find(".\\32 \\20 walk\\22 s.\\32 \\20 walk\\22 s_0000 {"), std::string::npos) << css;
}

TEST(SheetTest, AutomaticColumnsAreTheSmallestSquaresSide)
{
    for (const auto& [cells, columns] : {std::pair{1, 1}, {2, 2}, {4, 2}, {5, 3}, {9, 3}, {10, 4}, {16, 4}, {17, 5}}) {
        const SheetPacking grid = PackGrid(static_cast<std::uint64_t>(cells), 3, 2, {});
        ASSERT_EQ(grid.Pages.size(), 1u);
        EXPECT_EQ(grid.Pages[0].Width, 3u * static_cast<std::uint64_t>(columns)) << cells << " cells";
        EXPECT_GE(grid.Pages[0].Width / 3 * (grid.Pages[0].Height / 2), static_cast<std::uint64_t>(cells));
    }
}

// Windows paths reach --info --json and the atlas: every backslash escaped.
TEST(SheetTest, AtlasJsonEscapesBackslashesQuotesAndControls)
{
    EXPECT_EQ(JsonString("C:\\Pics\\a.gif"), "\"C:\\\\Pics\\\\a.gif\"");
    EXPECT_EQ(JsonString("say \"hi\"\n"), "\"say \\\"hi\\\"\\u000a\"");
    EXPECT_EQ(JsonString(std::string(1, '\x01')), "\"\\u0001\"");
}

// Packing and trimming at their edges: a power-of-two maximum is used whole;
// a frame cut on one axis only is trimmed; a cell trimmed only at its bottom
// keeps the margin that puts it back in its frame.
TEST(SheetTest, PackingAndTrimmingAtTheirEdges)
{
    SheetOptions pot;
    pot.PowerOfTwo = true;
    pot.MaxWidth = pot.MaxHeight = 64;
    const SheetPacking nine = PackGrid(9, 20, 20, pot);
    ASSERT_EQ(nine.Pages.size(), 1u) << "a 64 x 64 maximum holds nine 20 x 20 cells";
    EXPECT_EQ(nine.Pages[0].Width, 64u);
    EXPECT_EQ(nine.Pages[0].Height, 64u);

    TempDir dir;
    GifSpec gif{.ScreenWidth = 4, .ScreenHeight = 4, .Palette = FourColours()};
    // All of it, cleared after; then the top half alone.
    gif.Frames = {SolidGifFrame(0, 0, 4, 4, 1, 2), SolidGifFrame(0, 0, 4, 2, 2, 1)};
    WriteFile(dir / "half.gif", BuildGif(gif));
    OutputOptions o;
    o.Sheet = true;
    o.Packing.Trim = true;
    o.Atlas = AtlasFormat::Hash;
    const ConvertResult r = ConvertDroppedFile(dir / "half.gif", o, 0);
    ASSERT_EQ(r.Status, ConvertStatus::Converted) << r.Reason;
    const Bytes bytes = ReadFile(dir / "half/half_sheet.json");
    const std::string atlas(bytes.begin(), bytes.end());
    const std::regex trimmed(R"re("half_0001\.png": \{"frame": \{"x": \d+, "y": \d+, "w": 4, "h": 2\}, "rotated": false, "trimmed": true)re");
    EXPECT_TRUE(std::regex_search(atlas, trimmed)) << atlas;

    Atlas bottom = SmallAtlas();
    bottom.Frames.resize(1);
    bottom.Frames[0].Place = Rect{0, 0, 4, 2};
    bottom.Frames[0].Source = Rect{0, 0, 4, 2};
    bottom.Frames[0].Trimmed = true;
    const std::string godot = AtlasText(bottom, AtlasFormat::Godot);
    EXPECT_NE(godot.find("region = Rect2(0, 0, 4, 2)\nmargin = Rect2(0, 0, 0, 1)\n"), std::string::npos) << godot;
}

}  // namespace
}  // namespace framelot
