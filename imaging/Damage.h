// How a converter says what of a file it could not decode (ConvertResult::
// Damage): the frames it has to pass over, in one phrase a user reads.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace framelot {

// Frames whose data could not be decoded, in the order met. Costs a small
// vector; only the first MaxListed are named.
struct UndecodedFrames {
    static constexpr std::size_t MaxListed = 5;
    std::vector<std::uint64_t> Listed;
    std::uint64_t Count = 0;

    void Add(std::uint64_t index)
    {
        if (Listed.size() < MaxListed) Listed.push_back(index);
        ++Count;
    }

    // "frame 3 could not be decoded: ONE", "frames 3, 5 and 2 more could not
    // be decoded: MANY"; empty when there are none. ONE and MANY say what such
    // frames show instead ("it shows the canvas before it", "they show ...").
    std::string Text(std::string_view one, std::string_view many) const;
};

// Both phrases, joined by "; " when both say something.
std::string JoinDamage(std::string first, const std::string& second);

}  // namespace framelot
