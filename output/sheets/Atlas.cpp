#include "output/sheets/Atlas.h"

namespace framelot {
namespace {

struct FormatName {
    AtlasFormat Format;
    const char* Name;
    const char* Extension;
};

constexpr FormatName FormatNames[] = {
    {AtlasFormat::Array, "array", ".json"},       {AtlasFormat::Hash, "hash", ".json"},
    {AtlasFormat::Aseprite, "aseprite", ".json"}, {AtlasFormat::Godot, "godot", ".tres"},
    {AtlasFormat::Css, "css", ".css"},
};

const FormatName& Named(AtlasFormat format)
{
    for (const FormatName& f : FormatNames) {
        if (f.Format == format) return f;
    }
    return FormatNames[0];
}

}  // namespace

double AtlasDurationMs(const Atlas& atlas)
{
    double total = 0;
    for (const AtlasFrame& f : atlas.Frames) total += f.DurationMs;
    return total;
}

const char* AtlasExtension(AtlasFormat format)
{
    return Named(format).Extension;
}

const char* AtlasFormatName(AtlasFormat format)
{
    return Named(format).Name;
}

std::optional<AtlasFormat> AtlasFormatNamed(const std::string& name)
{
    for (const FormatName& f : FormatNames) {
        if (name == f.Name) return f.Format;
    }
    return std::nullopt;
}

bool AtlasTakesPages(AtlasFormat format)
{
    return format != AtlasFormat::Aseprite;
}

std::string AtlasText(const Atlas& atlas, AtlasFormat format)
{
    const bool spilled = atlas.Pages.size() > 1;
    switch (format) {
    case AtlasFormat::Array: return spilled ? AtlasMultiJson(atlas) : AtlasArrayJson(atlas);
    case AtlasFormat::Hash: return spilled ? AtlasMultiJson(atlas) : AtlasHashJson(atlas);
    case AtlasFormat::Aseprite: return AtlasAsepriteJson(atlas);
    case AtlasFormat::Godot: return AtlasGodotResource(atlas);
    case AtlasFormat::Css: return AtlasStyleSheet(atlas);
    }
    return {};
}

}  // namespace framelot
