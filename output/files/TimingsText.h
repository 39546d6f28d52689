// The file beside the frames that tells the next tool how long each frame
// shows, so that it can rebuild the animation: ffmpeg's concat list, JSON or
// CSV. Plain text from a list; nothing here touches files.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace framelot {

enum class TimingsFormat { None, Ffconcat, Json, Csv };

struct TimedFrame {
    std::string FileName;     // "walk_0003.png"
    std::uint64_t Index = 0;  // the frame's number in the file (the first of a merged run)
    double DelayMs = 0;       // its display time (a merged run's sum)
};

// "ffconcat", "json", "csv"; nothing for another name.
std::optional<TimingsFormat> TimingsFormatNamed(const std::string& name);

// What the file's name ends in, after the output base: ".ffconcat",
// "_timings.json", "_timings.csv".
const char* TimingsSuffix(TimingsFormat format);

// The text, ending in a newline:
// - ffconcat: "ffconcat version 1.0", then "file 'NAME'" and "duration S"
//   for each frame (seconds; quotes in names escaped as the list wants), and
//   the last file once more, which the concat demuxer needs to show the last
//   frame for its duration;
// - json: {"frames": [{"file", "index", "delay_ms"}, ...], "loops", "duration_ms"};
// - csv: "file,index,delay_ms" and a line a frame (names quoted when they
//   hold a comma, a quote or a line break).
std::string TimingsText(TimingsFormat format, const std::vector<TimedFrame>& frames, std::optional<std::uint32_t> loops);

}  // namespace framelot
