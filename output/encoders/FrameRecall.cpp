#include "output/encoders/FrameRecall.h"

#include <libdeflate.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "imaging/Limits.h"
#include "output/encoders/PngFilter.h"

namespace framelot {
namespace {

constexpr int PrintRowStep = 16;
constexpr std::size_t SignatureBytes = 8, ChunkHeaderBytes = 8, ChunkCrcBytes = 4;
constexpr std::uint8_t Signature[SignatureBytes] = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};

// What every recall of the process holds.
std::atomic<std::uint64_t> ProcessRecallBytes{0};

// A checksum of the frame's sides and of every sixteenth row.
std::uint32_t Fingerprint(const Bitmap& frame)
{
    std::uint32_t print = libdeflate_crc32(0, &frame.Width, sizeof frame.Width);
    print = libdeflate_crc32(print, &frame.Height, sizeof frame.Height);
    const std::size_t stride = static_cast<std::size_t>(frame.Width) * PngPixelBytes;
    for (int y = 0; y < frame.Height; y += PrintRowStep) {
        print = libdeflate_crc32(print, frame.Pixels.data() + static_cast<std::size_t>(y) * stride, stride);
    }
    return print;
}

// The zlib stream of a PNG's IDAT chunks, in order; empty when `png` is not
// a PNG whose chunks all fit in it.
std::vector<std::uint8_t> ImageData(const std::vector<std::uint8_t>& png)
{
    std::vector<std::uint8_t> data;
    if (png.size() < SignatureBytes || !std::equal(std::begin(Signature), std::end(Signature), png.begin())) return {};
    for (std::size_t at = SignatureBytes; at + ChunkHeaderBytes <= png.size();) {
        const std::uint64_t length = (std::uint64_t{png[at]} << 24) | (png[at + 1] << 16) | (png[at + 2] << 8) | png[at + 3];
        if (length > png.size() - at - ChunkHeaderBytes || png.size() - at - ChunkHeaderBytes - length < ChunkCrcBytes) {
            return {};
        }
        if (std::memcmp(&png[at + 4], "IDAT", 4) == 0) {
            const auto from = png.begin() + static_cast<std::ptrdiff_t>(at + ChunkHeaderBytes);
            data.insert(data.end(), from, from + static_cast<std::ptrdiff_t>(length));
        }
        at += ChunkHeaderBytes + length + ChunkCrcBytes;
    }
    return data;
}

// True when `frame`, filtered as `entry` was, gives the rows its file holds.
bool Holds(const std::vector<std::uint8_t>& png, const PngPlan& plan, const Bitmap& frame)
{
    const std::size_t stride = static_cast<std::size_t>(frame.Width) * PngPixelBytes;
    const std::size_t rows = static_cast<std::size_t>(frame.Height) * (stride + 1);
    const std::vector<std::uint8_t> data = ImageData(png);
    if (data.empty()) return false;
    std::vector<std::uint8_t> stored(rows), mine(rows), scratch(PngFilterCount * stride), zero(stride, 0);
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
    if (decompressor == nullptr) return false;
    std::size_t got = 0;
    const libdeflate_result result =
        libdeflate_zlib_decompress(decompressor, data.data(), data.size(), stored.data(), rows, &got);
    libdeflate_free_decompressor(decompressor);
    if (result != LIBDEFLATE_SUCCESS || got != rows) return false;
    FilterPngRows(frame, 0, frame.Height, plan.Filters, scratch.data(), zero.data(), mine.data());
    return stored == mine;
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

FrameRecall::~FrameRecall()
{
    ProcessRecallBytes -= heldBytes_;
}

bool FrameRecall::Find(const Bitmap& frame, std::vector<std::uint8_t>& bytes)
{
    const std::uint32_t print = Fingerprint(frame);
    std::vector<std::shared_ptr<const Entry>> candidates;
    {
        std::lock_guard lock(mutex_);
        for (const auto& e : entries_) {
            if (e->Print == print && e->Width == frame.Width && e->Height == frame.Height) candidates.push_back(e);
        }
    }
    // Checked without the lock: entries never change once kept.
    for (const auto& e : candidates) {
        if (!Holds(e->Bytes, e->Plan, frame)) continue;
        bytes = e->Bytes;
        std::lock_guard lock(mutex_);
        ++recalled_;
        return true;
    }
    return false;
}

void FrameRecall::Keep(const Bitmap& frame, const PngPlan& plan, const std::vector<std::uint8_t>& bytes)
{
    if (bytes.size() < SignatureBytes || !std::equal(std::begin(Signature), std::end(Signature), bytes.begin())) return;
    auto entry = std::make_shared<Entry>();
    entry->Print = Fingerprint(frame);
    entry->Width = frame.Width;
    entry->Height = frame.Height;
    entry->Plan = plan;
    entry->Bytes = bytes;
    std::lock_guard lock(mutex_);
    while (!Reserve(bytes.size())) {
        if (entries_.empty()) return;
        ProcessRecallBytes -= entries_.front()->Bytes.size();
        heldBytes_ -= entries_.front()->Bytes.size();
        entries_.pop_front();
    }
    heldBytes_ += bytes.size();
    entries_.push_back(std::move(entry));
}

std::uint64_t FrameRecall::Recalled() const
{
    std::lock_guard lock(mutex_);
    return recalled_;
}

}  // namespace framelot
