#include "output/FrameRecall.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>

#include "imaging/Limits.h"

namespace framelot {
namespace {

// What every recall of the process holds.
std::atomic<std::uint64_t> ProcessRecallBytes{0};

std::uint32_t Checksum(const Bitmap& frame)
{
    const std::uint32_t sides = libdeflate_crc32(0, &frame.Width, sizeof frame.Width);
    return libdeflate_crc32(libdeflate_crc32(sides, &frame.Height, sizeof frame.Height), frame.Pixels.data(),
                            frame.Pixels.size());
}

// Takes `bytes` from the process's share when they fit.
bool Reserve(std::uint64_t bytes)
{
    std::uint64_t held = ProcessRecallBytes.load();
    do {
        if (held + bytes > MaxRecallBytes) return false;
    } while (!ProcessRecallBytes.compare_exchange_weak(held, held + bytes));
    return true;
}

}  // namespace

struct FrameRecall::Entry {
    std::uint64_t Ticket = 0;
    std::uint32_t Sum = 0;
    bool Encoding = true;  // a thread is encoding it; its lookups wait
    Bitmap Frame;          // empty while encoding
    std::vector<std::uint8_t> Bytes;
    std::uint64_t Held = 0;  // what it takes of the process's share
};

FrameRecall::~FrameRecall()
{
    ProcessRecallBytes -= heldBytes_;
}

bool FrameRecall::Find(const Bitmap& frame, std::vector<std::uint8_t>& bytes, std::uint64_t& ticket)
{
    const std::uint32_t sum = Checksum(frame);
    std::unique_lock lock(mutex_);
    for (;;) {
        std::shared_ptr<Entry> waitFor;
        for (const std::shared_ptr<Entry>& e : entries_) {
            if (e->Sum != sum) continue;
            if (e->Encoding) {
                waitFor = e;  // perhaps these pixels: their bytes will tell
                continue;
            }
            if (!SamePixels(e->Frame, frame)) continue;
            bytes = e->Bytes;
            ++recalled_;
            return true;
        }
        if (!waitFor) break;
        ready_.wait(lock, [&] { return !waitFor->Encoding; });
    }
    // Nothing of these pixels is kept or being encoded: this caller encodes
    // them, and others wait for it.
    auto entry = std::make_shared<Entry>();
    entry->Ticket = ticket = nextTicket_++;
    entry->Sum = sum;
    entries_.push_back(std::move(entry));
    return false;
}

bool FrameRecall::EvictFor(std::uint64_t bytes)
{
    while (!Reserve(bytes)) {
        const auto oldest = std::find_if(entries_.begin(), entries_.end(), [](const auto& e) { return !e->Encoding; });
        if (oldest == entries_.end()) return false;
        ProcessRecallBytes -= (*oldest)->Held;
        heldBytes_ -= (*oldest)->Held;
        entries_.erase(oldest);
    }
    heldBytes_ += bytes;
    return true;
}

void FrameRecall::Keep(std::uint64_t ticket, const Bitmap& frame, const std::vector<std::uint8_t>& bytes)
{
    std::lock_guard lock(mutex_);
    const auto at = std::find_if(entries_.begin(), entries_.end(), [&](const auto& e) { return e->Ticket == ticket; });
    if (at == entries_.end()) return;
    const std::shared_ptr<Entry> entry = *at;
    const std::uint64_t size = frame.Pixels.size() + bytes.size();
    const bool kept = !bytes.empty() && EvictFor(size);  // evicts only entries already encoded, not this one
    entry->Encoding = false;
    if (!kept) {
        // Not encoded, or no room: lookups waiting on it go on without it.
        entries_.erase(std::find(entries_.begin(), entries_.end(), entry));
    } else {
        entry->Frame = frame;
        entry->Bytes = bytes;
        entry->Held = size;
    }
    ready_.notify_all();
}

std::uint64_t FrameRecall::Recalled() const
{
    std::lock_guard lock(mutex_);
    return recalled_;
}

}  // namespace framelot
