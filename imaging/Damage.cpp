#include "imaging/Damage.h"

namespace framelot {

std::string UndecodedFrames::Text(std::string_view one, std::string_view many) const
{
    if (Count == 0) return {};
    std::string text = Count == 1 ? "frame " : "frames ";
    for (std::size_t i = 0; i < Listed.size(); ++i) {
        if (i > 0) text += (i + 1 == Listed.size() && Count == Listed.size()) ? " and " : ", ";
        text += std::to_string(Listed[i]);
    }
    if (Count > Listed.size()) text += " and " + std::to_string(Count - Listed.size()) + " more";
    return text + " could not be decoded: " + std::string(Count == 1 ? one : many);
}

std::string JoinDamage(std::string first, const std::string& second)
{
    if (second.empty()) return first;
    if (first.empty()) return second;
    return first + "; " + second;
}

}  // namespace framelot
