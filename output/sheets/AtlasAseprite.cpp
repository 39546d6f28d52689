// The atlas as the pixel-art editor exports it (its JSON array form): every
// frame with its own duration in whole milliseconds, as the editor keeps
// them, and one tag for the whole animation with its direction and, when the
// file plays a set number of times, that number. Frames are named by their
// place in the array ("0", "1", ...): the editor's "{frame}" item name, which
// is what Phaser's createFromAseprite looks frames up by.
#include <cmath>

#include "output/files/JsonText.h"
#include "output/sheets/Atlas.h"

namespace framelot {
namespace {

std::string RectJson(const Rect& r)
{
    return "{ \"x\": " + std::to_string(r.Left) + ", \"y\": " + std::to_string(r.Top) + ", \"w\": " +
           std::to_string(r.Width) + ", \"h\": " + std::to_string(r.Height) + " }";
}

std::string SizeJson(std::int64_t w, std::int64_t h)
{
    return "{ \"w\": " + std::to_string(w) + ", \"h\": " + std::to_string(h) + " }";
}

}  // namespace

std::string AtlasAsepriteJson(const Atlas& atlas)
{
    std::string json = "{ \"frames\": [";
    for (std::size_t i = 0; i < atlas.Frames.size(); ++i) {
        const AtlasFrame& f = atlas.Frames[i];
        json += i == 0 ? "\n   " : ",\n   ";
        json += "{ \"filename\": \"" + std::to_string(i) + "\", \"frame\": " + RectJson(f.Place) +
                ", \"rotated\": false, \"trimmed\": " + (f.Trimmed ? "true" : "false") +
                ", \"spriteSourceSize\": " + RectJson(f.Source) + ", \"sourceSize\": " +
                SizeJson(f.SourceWidth, f.SourceHeight) +
                ", \"duration\": " + std::to_string(std::llround(f.DurationMs)) + " }";
    }
    const AtlasPage page = atlas.Pages.empty() ? AtlasPage{} : atlas.Pages.front();
    json += "\n ],\n \"meta\": {\n  \"app\": \"Framelot\",\n  \"version\": " + JsonString(atlas.Version) +
            ",\n  \"image\": " + JsonString(page.Image) + ",\n  \"format\": \"RGBA8888\",\n  \"size\": " +
            SizeJson(static_cast<std::int64_t>(page.Width), static_cast<std::int64_t>(page.Height)) +
            ",\n  \"scale\": \"1\",\n  \"frameTags\": [";
    if (!atlas.Frames.empty()) {
        json += "\n   { \"name\": " + JsonString(atlas.Name) + ", \"from\": 0, \"to\": " +
                std::to_string(atlas.Frames.size() - 1) + ", \"direction\": \"forward\"";
        if (atlas.Loops && *atlas.Loops > 0) json += ", \"repeat\": \"" + std::to_string(*atlas.Loops) + "\"";
        json += ", \"color\": \"#000000ff\" }\n  ";
    }
    json += "],\n  \"layers\": [],\n  \"slices\": []\n }\n}\n";
    return json;
}

}  // namespace framelot
