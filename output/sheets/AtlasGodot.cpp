// The atlas as a Godot 4 SpriteFrames resource: one texture a sheet (named
// relative to the resource, which Godot resolves beside it), one
// AtlasTexture a cell (frames sharing a cell share it; a trimmed frame's
// margin puts its pixels back in place), and one animation, "default", the
// one an AnimatedSprite2D plays first. Durations are relative to the
// animation's speed: the speed is 1000 / the largest whole number of
// milliseconds that divides every frame's time, so that equal frames have a
// duration of 1.0; frames of fractional times fall back to a speed of 1000
// (durations in milliseconds). The animation loops when the file plays
// forever.
#include <cmath>
#include <cstdio>
#include <map>
#include <numeric>
#include <tuple>

#include "output/sheets/Atlas.h"

namespace framelot {
namespace {

// A float as Godot writes one: always with a point ("1.0", "33.333333").
std::string GodotFloat(double v)
{
    if (!std::isfinite(v)) v = 0;
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", v);
    std::string s = text;
    while (s.size() > 1 && s.back() == '0' && s[s.size() - 2] != '.') s.pop_back();
    return s;
}

std::string GodotString(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

std::string Rect2(std::int64_t x, std::int64_t y, std::int64_t w, std::int64_t h)
{
    return "Rect2(" + std::to_string(x) + ", " + std::to_string(y) + ", " + std::to_string(w) + ", " +
           std::to_string(h) + ")";
}

// The unit durations count in: the largest whole number of milliseconds
// dividing every frame's positive time; 1 when a time is not whole.
std::int64_t DurationUnitMs(const Atlas& atlas)
{
    std::int64_t unit = 0;
    for (const AtlasFrame& f : atlas.Frames) {
        if (f.DurationMs <= 0) continue;
        const double whole = std::round(f.DurationMs);
        if (whole != f.DurationMs || whole > 1e15) return 1;
        unit = std::gcd(unit, static_cast<std::int64_t>(whole));
    }
    return unit == 0 ? 1 : unit;
}

}  // namespace

std::string AtlasGodotResource(const Atlas& atlas)
{
    // One AtlasTexture for each distinct cell, in the order frames first use them.
    using CellKey = std::tuple<std::uint32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                               std::int32_t, std::int64_t, std::int64_t>;
    std::map<CellKey, std::size_t> cells;
    std::vector<std::size_t> cellOf;
    std::vector<const AtlasFrame*> firsts;
    for (const AtlasFrame& f : atlas.Frames) {
        const CellKey key{f.Page, f.Place.Left, f.Place.Top, f.Place.Width, f.Place.Height, f.Source.Left, f.Source.Top,
                          f.SourceWidth, f.SourceHeight};
        auto [at, added] = cells.emplace(key, firsts.size());
        if (added) firsts.push_back(&f);
        cellOf.push_back(at->second);
    }
    std::string text = "[gd_resource type=\"SpriteFrames\" load_steps=" +
                       std::to_string(atlas.Pages.size() + firsts.size() + 1) + " format=3]\n\n";
    for (std::size_t p = 0; p < atlas.Pages.size(); ++p) {
        text += "[ext_resource type=\"Texture2D\" path=" + GodotString(atlas.Pages[p].Image) + " id=\"sheet_" +
                std::to_string(p + 1) + "\"]\n";
    }
    for (std::size_t c = 0; c < firsts.size(); ++c) {
        const AtlasFrame& f = *firsts[c];
        text += "\n[sub_resource type=\"AtlasTexture\" id=\"cell_" + std::to_string(c) + "\"]\natlas = ExtResource(\"sheet_" +
                std::to_string(f.Page + 1) + "\")\nregion = " + Rect2(f.Place.Left, f.Place.Top, f.Place.Width, f.Place.Height) +
                "\n";
        const std::int64_t extraWidth = f.SourceWidth - f.Place.Width, extraHeight = f.SourceHeight - f.Place.Height;
        if (f.Source.Left != 0 || f.Source.Top != 0 || extraWidth != 0 || extraHeight != 0) {
            text += "margin = " + Rect2(f.Source.Left, f.Source.Top, extraWidth, extraHeight) + "\n";
        }
    }
    const std::int64_t unit = DurationUnitMs(atlas);
    text += "\n[resource]\nanimations = [{\n\"frames\": [";
    for (std::size_t i = 0; i < atlas.Frames.size(); ++i) {
        text += i == 0 ? "{\n" : ", {\n";
        text += "\"duration\": " + GodotFloat(atlas.Frames[i].DurationMs / static_cast<double>(unit)) +
                ",\n\"texture\": SubResource(\"cell_" + std::to_string(cellOf[i]) + "\")\n}";
    }
    const bool forever = atlas.Loops && *atlas.Loops == 0;
    text += "],\n\"loop\": " + std::string(forever ? "true" : "false") + ",\n\"name\": &\"default\",\n\"speed\": " +
            GodotFloat(1000.0 / static_cast<double>(unit)) + "\n}]\n";
    return text;
}

}  // namespace framelot
