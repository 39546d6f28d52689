// The JSON atlas forms that TexturePacker made common: the array form, the
// hash form keyed by frame name, and the multi-atlas of a spilled sheet.
#include "output/sheets/Atlas.h"

#include "output/files/JsonText.h"

namespace framelot {
namespace {

std::string Number(std::int64_t n)
{
    return std::to_string(n);
}

std::string RectJson(const Rect& r)
{
    return "{\"x\": " + Number(r.Left) + ", \"y\": " + Number(r.Top) + ", \"w\": " + Number(r.Width) + ", \"h\": " +
           Number(r.Height) + "}";
}

std::string SizeJson(std::uint64_t w, std::uint64_t h)
{
    return "{\"w\": " + std::to_string(w) + ", \"h\": " + std::to_string(h) + "}";
}

// What engines need to draw a frame back in place: whether it was cut, where
// its pixels sit in the frame, and the frame's size.
std::string TrimFields(const AtlasFrame& f)
{
    return std::string(", \"rotated\": false, \"trimmed\": ") + (f.Trimmed ? "true" : "false") +
           ", \"spriteSourceSize\": " + RectJson(f.Source) +
           ", \"sourceSize\": " + SizeJson(static_cast<std::uint64_t>(f.SourceWidth), static_cast<std::uint64_t>(f.SourceHeight));
}

// The loop count and the whole animation's time, where the form has room.
std::string TimeFields(const Atlas& atlas)
{
    return ", \"loops\": " + (atlas.Loops ? std::to_string(*atlas.Loops) : std::string("null")) +
           ", \"duration\": " + JsonNumber(AtlasDurationMs(atlas));
}

std::string ArrayEntries(const Atlas& atlas, std::uint32_t page, bool full, const char* indent)
{
    std::string json;
    bool first = true;
    for (const AtlasFrame& f : atlas.Frames) {
        if (f.Page != page) continue;
        json += first ? "\n" : ",\n";
        json += indent;
        first = false;
        json += "{\"filename\": " + JsonString(f.FileName) + ", \"frame\": " + RectJson(f.Place) +
                (full ? TrimFields(f) : std::string()) + ", \"duration\": " + JsonNumber(f.DurationMs) + "}";
    }
    return json;
}

}  // namespace

std::string AtlasArrayJson(const Atlas& atlas)
{
    // Untrimmed, this is the form the program has always written: the frame's
    // name, place and time, nothing more.
    const AtlasPage page = atlas.Pages.empty() ? AtlasPage{} : atlas.Pages.front();
    return "{\"frames\": [" + ArrayEntries(atlas, 0, atlas.Trim, "  ") + "\n],\n\"meta\": {\"image\": " +
           JsonString(page.Image) + ", \"size\": " + SizeJson(page.Width, page.Height) +
           ", \"format\": \"RGBA8888\", \"app\": \"Framelot\", \"version\": " + JsonString(atlas.Version) +
           (atlas.Trim ? TimeFields(atlas) : std::string()) + "}}\n";
}

std::string AtlasHashJson(const Atlas& atlas)
{
    const AtlasPage page = atlas.Pages.empty() ? AtlasPage{} : atlas.Pages.front();
    std::string json = "{\"frames\": {";
    for (std::size_t i = 0; i < atlas.Frames.size(); ++i) {
        const AtlasFrame& f = atlas.Frames[i];
        json += i == 0 ? "\n  " : ",\n  ";
        json += JsonString(f.FileName) + ": {\"frame\": " + RectJson(f.Place) + TrimFields(f) +
                ", \"duration\": " + JsonNumber(f.DurationMs) + "}";
    }
    json += "\n},\n\"meta\": {\"app\": \"Framelot\", \"version\": " + JsonString(atlas.Version) +
            ", \"image\": " + JsonString(page.Image) + ", \"format\": \"RGBA8888\", \"size\": " +
            SizeJson(page.Width, page.Height) + ", \"scale\": \"1\"" + TimeFields(atlas) + "}}\n";
    return json;
}

std::string AtlasMultiJson(const Atlas& atlas)
{
    std::string json = "{\"textures\": [";
    for (std::size_t p = 0; p < atlas.Pages.size(); ++p) {
        const AtlasPage& page = atlas.Pages[p];
        json += p == 0 ? "\n  " : ",\n  ";
        json += "{\"image\": " + JsonString(page.Image) + ", \"format\": \"RGBA8888\", \"size\": " +
                SizeJson(page.Width, page.Height) + ", \"scale\": 1, \"frames\": [" +
                ArrayEntries(atlas, static_cast<std::uint32_t>(p), true, "    ") + "\n  ]}";
    }
    json += "\n],\n\"meta\": {\"app\": \"Framelot\", \"version\": " + JsonString(atlas.Version) + TimeFields(atlas) +
            "}}\n";
    return json;
}

}  // namespace framelot
