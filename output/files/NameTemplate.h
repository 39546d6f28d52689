// Frame file names from a template, as --name takes it: "{name}_{index:04}"
// (the default), with {name} the source's output stem, {index} the frame's
// number (":0W" pads it with zeros to W digits), {delay} its display time in
// whole milliseconds and {total} the number of frames in the file. Braces
// are doubled to stand for themselves ("{{", "}}"). ".png" (or the format's
// ending) is added after it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/files/FrameNaming.h"

namespace framelot {

struct NamePart {
    enum class Kind { Text, Name, Index, Delay, Total };
    Kind What = Kind::Text;
    std::string Text;    // Kind::Text
    unsigned Width = 0;  // Kind::Index: at least this many digits
};

struct NameTemplate {
    std::vector<NamePart> Parts;
    std::uint64_t Start = 0;  // the number of the first frame (--start)
};

// The template every frame file has always been named by.
NameTemplate DefaultNameTemplate();

// Reads a template. Nothing, with the reason in `error`, when a brace is not
// closed or names no field, when {index} is missing (two frames would get one
// name), or when the text holds a path separator, "..", or a character file
// names may not hold under `rules` (on Windows: < > : " | ? * and controls).
std::optional<NameTemplate> ParseNameTemplate(std::string_view text, std::string& error,
                                              NamingRules rules = PlatformNaming);

// True when the template needs the file's frame times or count ({delay},
// {total}), which only its description gives.
bool NameNeedsDescription(const NameTemplate& names);

// True for the default template with the default start.
bool IsDefaultNaming(const NameTemplate& names);

// Frame `index`'s file name (without the ending) for a source of output stem
// `stem`: its number is index + Start. Costs one pass over the parts.
std::string FrameStem(const NameTemplate& names, std::string_view stem, std::uint64_t index, double delayMs,
                      std::uint64_t total);

// The path of frame `index` of `source` under the template: in the folder
// OutputFolderPath names when `makeFolder`, else beside the output base, as
// FrameFilePath places frames (which it equals for the default template),
// ending in `extension`.
std::string NamedFramePath(std::string_view source, bool makeFolder, const NameTemplate& names, std::uint64_t index,
                           double delayMs, std::uint64_t total, std::string_view extension = ".png");

}  // namespace framelot
