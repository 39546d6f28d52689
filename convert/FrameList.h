// A choice of frames by number, as --frames gives it: "0,5,10-20" or "10-".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace framelot {

// Frames First to Last, both included; Last is OpenEnd for "to the end".
struct FrameSpan {
    std::uint64_t First = 0;
    std::uint64_t Last = 0;
};
inline constexpr std::uint64_t OpenEnd = UINT64_MAX;

// An empty list chooses every frame.
using FrameList = std::vector<FrameSpan>;

// Reads "N", "N-M" and "N-" parts separated by commas (no spaces), numbers in
// decimal. Nothing (with the reason in `error`) for empty text, an empty part,
// a part that is not one of these, a number past 2^63, or M below N.
std::optional<FrameList> ParseFrameList(std::string_view text, std::string& error);

// Whether frame `index` is chosen. Costs one look at each span.
bool FrameListed(const FrameList& list, std::uint64_t index);

// The lowest and the highest chosen frame (OpenEnd when a span is open).
// Every frame: 0 and OpenEnd.
std::uint64_t FirstListed(const FrameList& list);
std::uint64_t LastListed(const FrameList& list);

// How many chosen frames a file of `frames` frames has. Costs a look at
// each frame number up to the highest chosen one that exists.
std::uint64_t ListedCount(const FrameList& list, std::uint64_t frames);

// The chosen frames at or past `frames`, as the list writes them ("240-250,
// 300"); empty when every chosen frame exists. An open span counts only when
// it starts past the end.
std::string FramesPastEnd(const FrameList& list, std::uint64_t frames);

}  // namespace framelot
