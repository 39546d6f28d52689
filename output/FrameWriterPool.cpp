#include "output/FrameWriterPool.h"

namespace framelot {

unsigned DefaultEncodeThreads()
{
    const unsigned cores = std::thread::hardware_concurrency();
    return cores == 0 ? 1 : cores;
}

FrameWriterPool::FrameWriterPool(unsigned threads, WriteFunction write)
    : write_(std::move(write)), capacity_(2 * static_cast<std::size_t>(threads))
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
        write_(indices, frame);
        return;
    }
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return queue_.size() < capacity_; });
    Pending pending;
    pending.Indices = indices;
    std::swap(pending.Frame, frame);
    if (!spare_.empty()) {
        frame = std::move(spare_.back());
        spare_.pop_back();
    }
    queue_.push_back(std::move(pending));
    changed_.notify_all();
}

void FrameWriterPool::Work()
{
    for (;;) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;  // stopping, and nothing is left
        Pending pending = std::move(queue_.front());
        queue_.pop_front();
        changed_.notify_all();
        lock.unlock();
        write_(pending.Indices, pending.Frame);
        lock.lock();
        spare_.push_back(std::move(pending.Frame));
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
