// The atlas as a stylesheet. The animation's class gives a box the size of
// the whole frame; each frame's class pads that box so that its content box
// is exactly where the frame's pixels sit (the trimmed part, or all of it)
// and shows the sheet there, clipped to the content box, so that no
// neighbouring cell shows. The @keyframes animation steps through the same
// values at the frames' real times. Names are the frame files' stems, escaped
// as CSS identifiers.
#include <cmath>
#include <cstdio>

#include "output/sheets/Atlas.h"

namespace framelot {
namespace {

bool PlainIdentifierByte(unsigned char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
           c >= 0x80;
}

// `name` as a CSS identifier: bytes that may not stand in one (and a leading
// digit, or a digit after a leading hyphen) as hexadecimal escapes.
std::string CssIdentifier(const std::string& name)
{
    std::string out;
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool digit = c >= '0' && c <= '9';
        const bool leadingDigit = digit && (i == 0 || (i == 1 && name[0] == '-'));
        if (PlainIdentifierByte(c) && !leadingDigit && c != 0) {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\%x ", c == 0 ? 0xFFFDu : static_cast<unsigned>(c));
            out += escape;
        }
    }
    return out.empty() ? "_" : out;
}

std::string CssString(const std::string& s)
{
    std::string out = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') out += '\\';
        if (c == '\n') { out += "\\a "; continue; }
        out += c;
    }
    return out + "\"";
}

std::string Px(std::int64_t n)
{
    return n == 0 ? "0" : std::to_string(n) + "px";
}

std::string Stem(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    return dot == std::string::npos ? fileName : fileName.substr(0, dot);
}

// The declarations that show one frame in the animation's box.
std::string FrameDeclarations(const Atlas& atlas, const AtlasFrame& f)
{
    const std::int64_t right = f.SourceWidth - f.Source.Left - f.Source.Width;
    const std::int64_t bottom = f.SourceHeight - f.Source.Top - f.Source.Height;
    std::string css = "padding: " + Px(f.Source.Top) + " " + Px(right) + " " + Px(bottom) + " " + Px(f.Source.Left) +
                      "; background-position: " + Px(-static_cast<std::int64_t>(f.Place.Left)) + " " +
                      Px(-static_cast<std::int64_t>(f.Place.Top)) + ";";
    if (atlas.Pages.size() > 1 && f.Page < atlas.Pages.size()) {
        css += " background-image: url(" + CssString(atlas.Pages[f.Page].Image) + ");";
    }
    return css;
}

std::string Percent(double share)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.4f", share * 100);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s + "%";
}

}  // namespace

std::string AtlasStyleSheet(const Atlas& atlas)
{
    const std::string name = CssIdentifier(atlas.Name);
    const double total = AtlasDurationMs(atlas);
    std::int64_t width = 0, height = 0;
    if (!atlas.Frames.empty()) {
        width = atlas.Frames.front().SourceWidth;
        height = atlas.Frames.front().SourceHeight;
    }
    std::string css = "/* " + std::to_string(atlas.Frames.size()) + " frames, " + std::to_string(std::llround(total)) +
                      " ms; made by Framelot " + atlas.Version + ". Use class=\"" + name +
                      "\" with a frame's class, or with \"" + name + "-play\" to animate. */\n";
    css += "." + name + " {\n  box-sizing: border-box;\n  width: " + Px(width) + ";\n  height: " + Px(height) +
           ";\n  background-image: url(" + CssString(atlas.Pages.empty() ? std::string() : atlas.Pages.front().Image) +
           ");\n  background-repeat: no-repeat;\n  background-origin: content-box;\n  background-clip: content-box;\n}\n";
    for (const AtlasFrame& f : atlas.Frames) {
        css += "." + name + "." + CssIdentifier(Stem(f.FileName)) + " { " + FrameDeclarations(atlas, f) + " }\n";
    }
    css += "@keyframes " + name + " {\n";
    double at = 0;
    for (std::size_t i = 0; i < atlas.Frames.size(); ++i) {
        const double share = total > 0 ? at / total : static_cast<double>(i) / static_cast<double>(atlas.Frames.size());
        css += "  " + Percent(share) + " { " + FrameDeclarations(atlas, atlas.Frames[i]) + " }\n";
        at += atlas.Frames[i].DurationMs;
    }
    // The last frame holds to the end (and after it, when the animation stops).
    if (!atlas.Frames.empty()) css += "  100% { " + FrameDeclarations(atlas, atlas.Frames.back()) + " }\n";
    const std::string count = !atlas.Loops ? "1" : *atlas.Loops == 0 ? "infinite" : std::to_string(*atlas.Loops);
    css += "}\n." + name + "." + name + "-play {\n  animation: " + name + " " + std::to_string(std::llround(total)) +
           "ms step-end " + count +
           (count == "infinite" ? "" : " both") + ";\n}\n";
    return css;
}

}  // namespace framelot
