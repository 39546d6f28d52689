#include "output/files/TimingsText.h"

#include <cstdio>

#include "output/files/JsonText.h"

namespace framelot {
namespace {

constexpr double MsPerSecond = 1000;

std::string FfconcatName(const std::string& name)
{
    std::string out = "'";
    for (char c : name) out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

// Seconds to the microsecond, trailing zeros dropped ("0.1", "0.033333").
std::string Seconds(double ms)
{
    char text[64];
    std::snprintf(text, sizeof text, "%.6f", ms / MsPerSecond);
    std::string s = text;
    while (s.back() == '0') s.pop_back();
    if (s.back() == '.') s.pop_back();
    return s;
}

std::string CsvField(const std::string& s)
{
    if (s.find_first_of(",\"\r\n") == std::string::npos) return s;
    std::string out = "\"";
    for (char c : s) out += c == '"' ? std::string("\"\"") : std::string(1, c);
    return out + "\"";
}

}  // namespace

std::optional<TimingsFormat> TimingsFormatNamed(const std::string& name)
{
    if (name == "ffconcat") return TimingsFormat::Ffconcat;
    if (name == "json") return TimingsFormat::Json;
    if (name == "csv") return TimingsFormat::Csv;
    return std::nullopt;
}

const char* TimingsSuffix(TimingsFormat format)
{
    switch (format) {
    case TimingsFormat::Ffconcat: return ".ffconcat";
    case TimingsFormat::Json: return "_timings.json";
    case TimingsFormat::Csv: return "_timings.csv";
    case TimingsFormat::None: break;
    }
    return "";
}

std::string TimingsText(TimingsFormat format, const std::vector<TimedFrame>& frames, std::optional<std::uint32_t> loops)
{
    std::string text;
    double total = 0;
    for (const TimedFrame& f : frames) total += f.DelayMs;
    switch (format) {
    case TimingsFormat::Ffconcat:
        text = "ffconcat version 1.0\n";
        for (const TimedFrame& f : frames) {
            text += "file " + FfconcatName(f.FileName) + "\nduration " + Seconds(f.DelayMs) + "\n";
        }
        if (!frames.empty()) text += "file " + FfconcatName(frames.back().FileName) + "\n";
        break;
    case TimingsFormat::Json:
        text = "{\"frames\": [";
        for (std::size_t i = 0; i < frames.size(); ++i) {
            text += (i == 0 ? "\n  " : ",\n  ") + std::string("{\"file\": ") + JsonString(frames[i].FileName) +
                    ", \"index\": " + std::to_string(frames[i].Index) + ", \"delay_ms\": " + JsonNumber(frames[i].DelayMs) + "}";
        }
        text += "\n], \"loops\": " + (loops ? std::to_string(*loops) : std::string("null")) +
                ", \"duration_ms\": " + JsonNumber(total) + "}\n";
        break;
    case TimingsFormat::Csv:
        text = "file,index,delay_ms\n";
        for (const TimedFrame& f : frames) {
            text += CsvField(f.FileName) + "," + std::to_string(f.Index) + "," + JsonNumber(f.DelayMs) + "\n";
        }
        break;
    case TimingsFormat::None: break;
    }
    return text;
}

}  // namespace framelot
