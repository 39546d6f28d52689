// A sprite sheet's atlas: which frame is where on which sheet, how long it
// shows, and where its pixels sit in the whole frame when it was trimmed; and
// the writers of the forms engines read. Each writer returns the file's text,
// ending in a newline; numbers are written in full (JsonNumber), names
// escaped for the form.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "imaging/Bitmap.h"

namespace framelot {

enum class AtlasFormat {
    Array,     // {"frames": [...]}: Phaser's JSON array, TexturePacker's generic array
    Hash,      // {"frames": {"name_0000.png": {...}}}: Phaser, PixiJS, TexturePacker's generic hash
    Aseprite,  // the editor's JSON export: frames with durations, meta.frameTags
    Godot,     // a Godot 4 SpriteFrames resource (.tres)
    Css,       // a stylesheet: a class a frame, and a @keyframes animation
};

struct AtlasFrame {
    std::string FileName;       // the frame file it stands for: "name_0004.png"
    std::uint32_t Page = 0;     // the sheet it is on
    Rect Place;                 // its pixels on the sheet (without extrusion)
    Rect Source;                // where those pixels sit in the frame: x, y, and the same width and height
    std::int64_t SourceWidth = 0, SourceHeight = 0;  // the whole frame
    bool Trimmed = false;       // cut to its visible pixels
    double DurationMs = 0;
};

struct AtlasPage {
    std::string Image;          // the sheet's file name: "name_sheet.png", or "name_sheet-2.png" when it spilled
    std::uint64_t Width = 0, Height = 0;
};

struct Atlas {
    std::string Name;           // the animation's name: the source's output stem
    std::vector<AtlasPage> Pages;
    std::vector<AtlasFrame> Frames;  // in frame order; frames sharing a cell each have their own
    std::optional<std::uint32_t> Loops;  // 0: forever; none when the file does not say
    bool Trim = false;          // the sheet was packed from trimmed frames (each entry says whether it was cut)
    std::string Version;        // the program's version, for the "meta" of the JSON forms
};

// The total display time of every frame of the atlas.
double AtlasDurationMs(const Atlas& atlas);

// The file name ending of each form: ".json", ".tres", ".css".
const char* AtlasExtension(AtlasFormat format);

// The name a form is asked for by on the command line, and back: "array",
// "hash", "aseprite", "godot", "css". An unknown name gives nothing.
const char* AtlasFormatName(AtlasFormat format);
std::optional<AtlasFormat> AtlasFormatNamed(const std::string& name);

// True when the form can name more than one sheet (every form but Aseprite's).
bool AtlasTakesPages(AtlasFormat format);

// The atlas in `format`. A spilled sheet (more than one page) in the array or
// hash form is written as a multi-atlas: {"textures": [{"image", "size",
// "frames": [...]}, ...]}, which Phaser's multi-atlas loader reads.
std::string AtlasText(const Atlas& atlas, AtlasFormat format);

// The forms, one a file.
std::string AtlasArrayJson(const Atlas& atlas);
std::string AtlasHashJson(const Atlas& atlas);
std::string AtlasMultiJson(const Atlas& atlas);
std::string AtlasAsepriteJson(const Atlas& atlas);
std::string AtlasGodotResource(const Atlas& atlas);
std::string AtlasStyleSheet(const Atlas& atlas);

}  // namespace framelot
