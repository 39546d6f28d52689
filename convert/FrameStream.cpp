#include "convert/FrameStream.h"

namespace framelot {

FrameStream::FrameStream(std::vector<std::uint8_t> bytes, const SourceFormat& format, const OutputOptions& options,
                         bool stills)
    : bytes_(std::move(bytes)), format_(format), outcome_(PlanFrameReading(bytes_, format_, options, stills))
{
    if (outcome_.Result.Status != ConvertStatus::Converted) {
        finished_ = true;
        return;
    }
    thread_ = std::thread([this] { Decode(); });
}

FrameStream::~FrameStream()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    changed_.notify_all();
    if (thread_.joinable()) thread_.join();
}

ReadOutcome FrameStream::Outcome()
{
    std::lock_guard lock(mutex_);
    return outcome_;
}

void FrameStream::Decode()
{
    ReadOutcome read = Outcome();
    DecodePlannedFrames(bytes_, format_, read, [&](const DeliveredFrame& frame) {
        StreamedFrame copy{frame.Index, frame.Index < read.StartMs.size() ? read.StartMs[frame.Index] : 0,
                           frame.DurationMs, frame.Pixels};
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || queue_.size() < Depth; });
        if (stopping_) return false;
        queue_.push_back(std::move(copy));
        changed_.notify_all();
        return true;
    });
    std::lock_guard lock(mutex_);
    outcome_ = std::move(read);
    finished_ = true;
    changed_.notify_all();
}

bool FrameStream::Next(StreamedFrame& frame)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return finished_ || !queue_.empty(); });
    if (queue_.empty()) return false;
    frame = std::move(queue_.front());
    queue_.pop_front();
    changed_.notify_all();
    return true;
}

}  // namespace framelot
