#include "output/FrameWriterPool.h"

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

FrameWriterPool::FrameWriterPool(unsigned threads, WriteFunction write, std::uint64_t maxBytes)
    : write_(std::move(write)), capacity_(QueuedPerWorker * threads), maxBytes_(maxBytes)
{
    for (unsigned i = 0; i < threads; ++i) workers_.emplace_back([this] { Work(); });
}

FrameWriterPool::~FrameWriterPool()
{
    Finish();
}

void FrameWriterPool::Submit(const std::vector<std::uint64_t>& indices, Bitmap& frame)
{
    if (workers_.empty()) {
        write_(indices, frame, inlineEncoder_);
        return;
    }
    const std::uint64_t charge = WriterCharge(frame);
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] {
        return queue_.size() < capacity_ && (heldBytes_ == 0 || heldBytes_ + charge <= maxBytes_);
    });
    // Kept storage gives way to frames.
    while (!spare_.empty() && heldBytes_ + spareBytes_ + charge > maxBytes_) {
        spareBytes_ -= spare_.back().Pixels.size();
        spare_.pop_back();
    }
    Pending pending;
    pending.Indices = indices;
    pending.Charge = charge;
    std::swap(pending.Frame, frame);
    if (!spare_.empty()) {
        spareBytes_ -= spare_.back().Pixels.size();
        frame = std::move(spare_.back());
        spare_.pop_back();
    }
    heldBytes_ += charge;
    queue_.push_back(std::move(pending));
    changed_.notify_all();
}

void FrameWriterPool::Work()
{
    PngEncoder encoder;
    for (;;) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing is left
        Pending pending = std::move(queue_.front());
        queue_.pop_front();
        changed_.notify_all();
        lock.unlock();
        write_(pending.Indices, pending.Frame, encoder);
        lock.lock();
        heldBytes_ -= pending.Charge;
        if (heldBytes_ + spareBytes_ + pending.Frame.Pixels.size() <= maxBytes_) {
            spareBytes_ += pending.Frame.Pixels.size();
            spare_.push_back(std::move(pending.Frame));
        }
        changed_.notify_all();
    }
}

void FrameWriterPool::Finish()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        changed_.notify_all();
    }
    for (std::thread& worker : workers_) {
        if (worker.joinable()) worker.join();
    }
    workers_.clear();
}

}  // namespace framelot
