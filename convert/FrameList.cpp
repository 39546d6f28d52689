#include "convert/FrameList.h"

#include <algorithm>
#include <charconv>

namespace framelot {
namespace {

constexpr std::uint64_t MaxFrameNumber = 1ull << 63;

bool ReadNumber(std::string_view text, std::uint64_t& value)
{
    if (text.empty()) return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc{} && end == text.data() + text.size() && value <= MaxFrameNumber;
}

std::string SpanText(std::uint64_t first, std::uint64_t last)
{
    if (first == last) return std::to_string(first);
    return std::to_string(first) + "-" + (last == OpenEnd ? std::string() : std::to_string(last));
}

}  // namespace

std::optional<FrameList> ParseFrameList(std::string_view text, std::string& error)
{
    FrameList list;
    std::size_t start = 0;
    while (true) {
        const std::size_t comma = text.find(',', start);
        const std::string_view part = text.substr(start, comma == std::string_view::npos ? comma : comma - start);
        const std::size_t dash = part.find('-');
        FrameSpan span;
        bool ok;
        if (dash == std::string_view::npos) {
            ok = ReadNumber(part, span.First);
            span.Last = span.First;
        } else {
            ok = ReadNumber(part.substr(0, dash), span.First);
            const std::string_view last = part.substr(dash + 1);
            if (last.empty()) span.Last = OpenEnd;
            else ok = ok && ReadNumber(last, span.Last) && span.Last >= span.First;
        }
        if (!ok) {
            error = "--frames takes frame numbers and ranges such as 0,5,10-20 or 10- (not \"" +
                    std::string(part) + "\")";
            return std::nullopt;
        }
        list.push_back(span);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
    }
    return list;
}

bool FrameListed(const FrameList& list, std::uint64_t index)
{
    if (list.empty()) return true;
    return std::any_of(list.begin(), list.end(), [&](const FrameSpan& s) { return index >= s.First && index <= s.Last; });
}

std::uint64_t FirstListed(const FrameList& list)
{
    std::uint64_t first = list.empty() ? 0 : OpenEnd;
    for (const FrameSpan& s : list) first = std::min(first, s.First);
    return first;
}

std::uint64_t LastListed(const FrameList& list)
{
    if (list.empty()) return OpenEnd;
    std::uint64_t last = 0;
    for (const FrameSpan& s : list) last = std::max(last, s.Last);
    return last;
}

std::uint64_t ListedCount(const FrameList& list, std::uint64_t frames)
{
    if (list.empty()) return frames;
    std::uint64_t count = 0;  // spans may overlap: count frame by frame, up to the highest that exists
    const std::uint64_t end = std::min(frames, LastListed(list) == OpenEnd ? frames : LastListed(list) + 1);
    for (std::uint64_t i = FirstListed(list); i < end; ++i) count += FrameListed(list, i);
    return count;
}

std::string FramesPastEnd(const FrameList& list, std::uint64_t frames)
{
    std::string text;
    for (const FrameSpan& s : list) {
        if (s.Last < frames || (s.Last == OpenEnd && s.First < frames)) continue;
        const std::uint64_t first = std::max(s.First, frames);
        if (!text.empty()) text += ',';
        text += SpanText(first, s.Last);
    }
    return text;
}

}  // namespace framelot
