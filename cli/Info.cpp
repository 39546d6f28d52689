#include "cli/Info.h"

#include <cmath>
#include <cstdio>

#include "convert/Describe.h"
#include "convert/FileInfo.h"

namespace framelot {
namespace {

// Viewers commonly stretch display times this short (browsers show a GIF
// delay of 0 or 1 hundredth as 100 ms).
constexpr double StretchedDelayMs = 10;

// A finite number as JSON and the text table write it: whole numbers without a
// point, others to three decimals with trailing zeros dropped ("1.000" is "1",
// never "1.").
std::string Number(double v)
{
    if (!std::isfinite(v)) return "0";
    if (v == std::floor(v) && std::fabs(v) < 1e15) return std::to_string(static_cast<long long>(v));
    char text[32];
    std::snprintf(text, sizeof text, "%.3f", v);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

// The length of the well-formed UTF-8 sequence at `s[i]`; 0 when the bytes
// there are not one (stray continuation bytes, overlong forms, surrogates,
// values past U+10FFFF, sequences cut short).
std::size_t Utf8SequenceLength(const std::string& s, std::size_t i)
{
    const auto byte = [&](std::size_t k) { return k < s.size() ? static_cast<unsigned char>(s[k]) : 0u; };
    const unsigned b0 = byte(i);
    if (b0 < 0x80) return 1;
    const auto continuation = [&](std::size_t k, unsigned low = 0x80, unsigned high = 0xBF) {
        return byte(k) >= low && byte(k) <= high;
    };
    if (b0 >= 0xC2 && b0 <= 0xDF) return continuation(i + 1) ? 2 : 0;
    if (b0 >= 0xE0 && b0 <= 0xEF) {
        const unsigned low = b0 == 0xE0 ? 0xA0 : 0x80, high = b0 == 0xED ? 0x9F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2) ? 3 : 0;
    }
    if (b0 >= 0xF0 && b0 <= 0xF4) {
        const unsigned low = b0 == 0xF0 ? 0x90 : 0x80, high = b0 == 0xF4 ? 0x8F : 0xBF;
        return continuation(i + 1, low, high) && continuation(i + 2) && continuation(i + 3) ? 4 : 0;
    }
    return 0;
}

std::string JsonString(const std::string& s)
{
    // Bytes that are not UTF-8 (a file name from another system) become
    // U+FFFD, so the output is always valid JSON text.
    std::string out = "\"";
    for (std::size_t i = 0; i < s.size();) {
        const std::size_t length = Utf8SequenceLength(s, i);
        if (length == 0) {
            out += "\\ufffd";
            ++i;
            continue;
        }
        if (length > 1) {
            out.append(s, i, length);
            i += length;
            continue;
        }
        const char c = s[i++];
        const auto u = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (u < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", u);
            out += escape;
        } else {
            out += c;
        }
    }
    return out + "\"";
}

const char* StatusName(ConvertStatus status)
{
    switch (status) {
    case ConvertStatus::Converted: return "ok";
    case ConvertStatus::Skipped: return "skipped";
    case ConvertStatus::NotAnimation: return "not_animation";
    case ConvertStatus::Unreadable: return "unreadable";
    case ConvertStatus::Failed: return "failed";
    }
    return "failed";
}

std::string LoopsText(const AnimationInfo& info)
{
    if (!info.Loops) return "no loop count";
    if (*info.Loops == 0) return "loops forever";
    return "loop count " + std::to_string(*info.Loops);
}

void PrintText(const std::string& file, const ConvertResult& r, const AnimationInfo& info)
{
    if (r.Status != ConvertStatus::Converted) {
        std::printf("%s\n", DescribeResult(file, r).c_str());
        return;
    }
    std::printf("%s: %s, canvas %lld x %lld (declared %lld x %lld), %s, %zu frames\n", file.c_str(),
                info.Format.c_str(), static_cast<long long>(info.CanvasWidth), static_cast<long long>(info.CanvasHeight),
                static_cast<long long>(info.DeclaredWidth), static_cast<long long>(info.DeclaredHeight),
                LoopsText(info).c_str(), info.Frames.size());
    std::printf("  %6s %6s %6s %6s %6s %10s  %-12s %-10s %s\n", "frame", "left", "top", "width", "height", "delay ms",
                "stored", "dispose", "blend");
    bool stretched = false;
    for (std::size_t i = 0; i < info.Frames.size(); ++i) {
        const FrameInfo& f = info.Frames[i];
        const bool shortDelay = f.DelayMs <= StretchedDelayMs;
        stretched = stretched || shortDelay;
        std::printf("  %6zu %6d %6d %6d %6d %8s %s  %-12s %-10s %s\n", i, f.Bounds.Left, f.Bounds.Top, f.Bounds.Width,
                    f.Bounds.Height, Number(f.DelayMs).c_str(), shortDelay ? "*" : " ", f.RawDelay.c_str(),
                    DisposeName(f.Dispose), BlendName(f.Blend));
    }
    if (stretched) std::printf("  * 10 ms or less: viewers commonly show such a frame for about 100 ms\n");
}

std::string Json(const std::string& file, const ConvertResult& r, const AnimationInfo& info)
{
    std::string out = "{\"file\": " + JsonString(file) + ", \"status\": \"" + StatusName(r.Status) + "\"";
    if (r.Status != ConvertStatus::Converted) return out + ", \"reason\": " + JsonString(r.Reason) + "}";
    out += ", \"format\": " + JsonString(info.Format);
    out += ", \"canvas\": {\"width\": " + std::to_string(info.CanvasWidth) + ", \"height\": " +
           std::to_string(info.CanvasHeight) + "}";
    out += ", \"declared\": {\"width\": " + std::to_string(info.DeclaredWidth) + ", \"height\": " +
           std::to_string(info.DeclaredHeight) + "}";
    out += ", \"loops\": " + (info.Loops ? std::to_string(*info.Loops) : std::string("null"));
    out += ", \"frames\": [";
    for (std::size_t i = 0; i < info.Frames.size(); ++i) {
        const FrameInfo& f = info.Frames[i];
        out += std::string(i == 0 ? "\n    " : ",\n    ") + "{\"index\": " + std::to_string(i) +
               ", \"left\": " + std::to_string(f.Bounds.Left) + ", \"top\": " + std::to_string(f.Bounds.Top) +
               ", \"width\": " + std::to_string(f.Bounds.Width) + ", \"height\": " + std::to_string(f.Bounds.Height) +
               ", \"delay_ms\": " + Number(f.DelayMs) + ", \"delay_raw\": " + JsonString(f.RawDelay) +
               ", \"dispose\": " + JsonString(DisposeName(f.Dispose)) +
               ", \"blend\": " + JsonString(BlendName(f.Blend)) + "}";
    }
    return out + "]}";
}

}  // namespace

bool PrintInfo(const std::vector<std::string>& files, bool json)
{
    bool ok = true;
    if (json) std::printf("[");
    for (std::size_t i = 0; i < files.size(); ++i) {
        AnimationInfo info;
        const ConvertResult r = ReadFileInfo(files[i], info);
        ok = ok && r.Status != ConvertStatus::Failed && r.Status != ConvertStatus::Unreadable;
        if (json) {
            std::printf("%s\n  %s", i == 0 ? "" : ",", Json(files[i], r, info).c_str());
        } else {
            PrintText(files[i], r, info);
        }
    }
    if (json) std::printf("\n]\n");
    return ok;
}

}  // namespace framelot
