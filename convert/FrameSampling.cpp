#include "convert/FrameSampling.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <set>

#include "output/files/JsonText.h"

namespace framelot {
namespace {

constexpr double MsPerSecond = 1000;

// The frame shown at `t` ms: the last frame that starts at or before it and
// shows for a time; nothing past the end.
std::optional<std::uint64_t> FrameAt(const std::vector<double>& starts, const std::vector<double>& delays, double total,
                                     double t)
{
    if (delays.empty()) return std::nullopt;
    if (total <= 0) return t == 0 ? std::optional<std::uint64_t>(0) : std::nullopt;
    if (t >= total) return std::nullopt;
    // The first frame starting after t, then back to the last shown one.
    auto after = std::upper_bound(starts.begin(), starts.end(), t);
    std::size_t k = static_cast<std::size_t>(after - starts.begin());
    while (k > 0 && delays[k - 1] <= 0) --k;
    if (k == 0) return std::nullopt;
    return k - 1;
}

}  // namespace

bool SamplingAsked(const FrameSampling& sampling)
{
    return sampling.Every > 0 || !sampling.AtMs.empty() || sampling.Count > 0;
}

std::optional<std::vector<double>> ParseTimes(std::string_view text, std::string& error)
{
    std::vector<double> times;
    std::size_t at = 0;
    while (true) {
        const std::size_t comma = text.find(',', at);
        const std::string part(text.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at));
        char* end = nullptr;
        const double value = part.empty() ? NAN : std::strtod(part.c_str(), &end);
        const std::string unit = end ? std::string(end) : std::string();
        const double scale = unit == "ms" ? 1 : (unit.empty() || unit == "s") ? MsPerSecond : NAN;
        const bool digitFirst = !part.empty() && ((part[0] >= '0' && part[0] <= '9') || part[0] == '.');
        if (!digitFirst || !std::isfinite(value) || !std::isfinite(scale) || value * scale > 1e15) {
            error = "--at takes times such as 0,1.5s,2500ms (a number alone is seconds; not \"" + std::string(text) + "\")";
            return std::nullopt;
        }
        times.push_back(value * scale);
        if (comma == std::string_view::npos) break;
        at = comma + 1;
    }
    return times;
}

FrameList SampleFrames(const FrameList& list, const FrameSampling& sampling, const std::vector<double>& delaysMs,
                       std::string& note)
{
    const std::uint64_t frames = delaysMs.size();
    std::set<std::uint64_t> chosen;
    std::vector<std::uint64_t> listed;
    for (std::uint64_t i = 0; i < frames; ++i) {
        if (FrameListed(list, i)) listed.push_back(i);
    }
    if (sampling.Every > 0) {
        for (std::size_t k = 0; k < listed.size(); k += sampling.Every) chosen.insert(listed[k]);
    } else if (!sampling.AtMs.empty() || sampling.Count > 0) {
        std::vector<double> starts(frames), delays(frames);
        double total = 0;
        for (std::uint64_t i = 0; i < frames; ++i) {
            starts[i] = total;
            delays[i] = std::max(0.0, delaysMs[i]);
            total += delays[i];
        }
        std::vector<double> times = sampling.AtMs;
        for (std::uint64_t k = 0; k < sampling.Count; ++k) {
            times.push_back(total * static_cast<double>(k) / static_cast<double>(sampling.Count));
        }
        std::uint64_t past = 0, unlisted = 0;
        for (double t : times) {
            const std::optional<std::uint64_t> frame = FrameAt(starts, delays, total, t);
            if (!frame) ++past;
            else if (!FrameListed(list, *frame)) ++unlisted;
            else chosen.insert(*frame);
        }
        const std::uint64_t repeated = times.size() - past - unlisted - chosen.size();
        const auto add = [&](const std::string& more) { note += note.empty() ? more : "; " + more; };
        if (past > 0) {
            add(std::to_string(past) + (past == 1 ? " time is" : " times are") + " past the end (the file shows for " +
                JsonNumber(total) + " ms)");
        }
        if (unlisted > 0) add(std::to_string(unlisted) + (unlisted == 1 ? " time falls" : " times fall") + " on frames --frames leaves out");
        if (repeated > 0) add(std::to_string(repeated) + (repeated == 1 ? " time shows" : " times show") + " a frame already picked");
    } else {
        chosen.insert(listed.begin(), listed.end());
    }
    FrameList result;
    for (std::uint64_t frame : chosen) result.push_back({frame, frame});
    return result;
}

}  // namespace framelot
