#include "output/encoders/FrameWriterPool.h"

#include <algorithm>

#include "imaging/Cores.h"

namespace framelot {
namespace {

constexpr std::uint64_t ChargePerPixelByte = 3;  // the frame, its filtered rows, its compressed output
constexpr std::size_t QueuedPerWorker = 2;

}  // namespace

unsigned DefaultEncodeThreads()
{
    return CoreCount();
}

std::uint64_t WriterCharge(const Bitmap& frame)
{
    return ChargePerPixelByte * frame.Pixels.size();
}

WriterBudget& ProcessWriterBudget()
{
    static WriterBudget budget(MaxWriterBytes);
    return budget;
}

FrameWriterPool::FrameWriterPool(unsigned threads, WriteFunction write, WriterBudget& budget)
    : write_(std::move(write)), capacity_(QueuedPerWorker * threads), budget_(budget)
{
    if (threads > 0) {
        std::lock_guard lock(budget_.Mutex);
        ++budget_.ActivePools;
    }
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

FrameWriterPool::~FrameWriterPool()
{
    Finish();
}

void FrameWriterPool::Write(const Pending& pending, PngEncoder& encoder)
{
    std::vector<std::uint8_t> encoded;
    const bool recalled = recall_.Find(pending.Frame, encoded);
    if (recalled) CountPngFrame(PngFrameWork::Recalled);
    write_(pending.Indices, pending.Frame, encoder, pending.Plan, encoded);
    if (!recalled) recall_.Keep(pending.Frame, pending.Plan, encoded);
}

void FrameWriterPool::Submit(const std::vector<std::uint64_t>& indices, Bitmap& frame, const PngPlan& plan)
{
    if (workers_.empty()) {
        Pending inlined;
        inlined.Indices = indices;
        std::swap(inlined.Frame, frame);
        inlined.Plan = plan;
        Write(inlined, inlineEncoder_);
        std::swap(inlined.Frame, frame);
        return;
    }
    const std::uint64_t charge = WriterCharge(frame);
    WriterBudget& b = budget_;
    std::unique_lock lock(b.Mutex);
    // A frame larger than the whole budget waits until nothing else is held.
    b.Changed.wait(lock, [&] {
        return queue_.size() < capacity_ && (b.HeldBytes == 0 || b.HeldBytes + charge <= b.MaxBytes);
    });
    // Kept storage gives way to frames.
    while (!b.Spare.empty() && b.HeldBytes + b.SpareBytes + charge > b.MaxBytes) {
        b.SpareBytes -= b.Spare.back().Pixels.size();
        b.Spare.pop_back();
    }
    Pending pending;
    pending.Indices = indices;
    pending.Charge = charge;
    pending.Plan = plan;
    std::swap(pending.Frame, frame);
    if (!b.Spare.empty()) {
        b.SpareBytes -= b.Spare.back().Pixels.size();
        frame = std::move(b.Spare.back());
        b.Spare.pop_back();
    }
    b.HeldBytes += charge;
    b.PeakBytes = std::max(b.PeakBytes, b.HeldBytes + b.SpareBytes);
    queue_.push_back(std::move(pending));
    b.Changed.notify_all();
}

void FrameWriterPool::Work()
{
    PngEncoder encoder;
    WriterBudget& b = budget_;
    for (;;) {
        std::unique_lock lock(b.Mutex);
        b.Changed.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing is left
        Pending pending = std::move(queue_.front());
        queue_.pop_front();
        b.Changed.notify_all();
        lock.unlock();
        Write(pending, encoder);
        lock.lock();
        b.HeldBytes -= pending.Charge;
        if (b.HeldBytes + b.SpareBytes + pending.Frame.Pixels.size() <= b.MaxBytes) {
            b.SpareBytes += pending.Frame.Pixels.size();
            b.Spare.push_back(std::move(pending.Frame));
        }
        b.Changed.notify_all();
    }
}

void FrameWriterPool::Finish()
{
    {
        std::lock_guard lock(budget_.Mutex);
        stopping_ = true;
        budget_.Changed.notify_all();
    }
    for (std::thread& worker : workers_) {
        if (worker.joinable()) worker.join();
    }
    if (workers_.empty()) return;
    workers_.clear();
    std::lock_guard lock(budget_.Mutex);
    if (--budget_.ActivePools == 0) {
        budget_.Spare.clear();
        budget_.SpareBytes = 0;
    }
}

}  // namespace framelot
