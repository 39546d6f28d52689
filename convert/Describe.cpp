#include "convert/Describe.h"

namespace framelot {

std::string FrameCountText(std::uint64_t frames)
{
    return std::to_string(frames) + (frames == 1 ? " frame" : " frames");
}

std::string DescribeResult(const std::string& name, const ConvertResult& r)
{
    switch (r.Status) {
    case ConvertStatus::Converted: {
        std::string line = name + ": " + FrameCountText(r.FramesWritten) + " written to " + r.Destination;
        if (r.FramesExisting > 0) line += " (" + std::to_string(r.FramesExisting) + " already there, kept)";
        if (!r.Note.empty()) line += "; " + r.Note;
        if (!r.Damage.empty()) line += "; the file is damaged: " + r.Damage;
        return line;
    }
    case ConvertStatus::Skipped:
        return name + ": skipped, " + (r.Reason.empty() ? std::string("output already exists") : r.Reason) + ": " +
               r.Destination;
    case ConvertStatus::NotAnimation: return name + ": not converted, " + r.Reason;
    case ConvertStatus::Unreadable: return name + ": cannot read the file: " + r.Reason;
    case ConvertStatus::Failed: {
        std::string line = name + ": failed: " + r.Reason;
        if (r.FramesWritten > 0) line += " (" + FrameCountText(r.FramesWritten) + " written)";
        return line;
    }
    }
    return name;
}

}  // namespace framelot
