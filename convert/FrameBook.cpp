#include "convert/FrameBook.h"

namespace framelot {

void FrameBook::Enter(std::uint64_t number, const std::string& path, const std::string& fileName, std::uint64_t index,
                      double delayMs)
{
    {
        std::lock_guard lock(Mutex);
        Paths[number] = path;
    }
    Frames.push_back({fileName, index, delayMs});
}

std::string FrameBook::PathOf(std::uint64_t number)
{
    std::lock_guard lock(Mutex);
    const auto at = Paths.find(number);
    return at == Paths.end() ? std::string() : at->second;
}

bool HeldRun::Continues(const Bitmap& frame) const
{
    return Holding && SamePixels(Frame, frame);
}

void HeldRun::Start(std::uint64_t index, const Bitmap& frame, double delayMs)
{
    Frame.Width = frame.Width;
    Frame.Height = frame.Height;
    Frame.Pixels.assign(frame.Pixels.begin(), frame.Pixels.end());
    Holding = true;
    FirstIndex = index;
    DelayMs = delayMs;
    Frames = 1;
}

}  // namespace framelot
