// The PNG writer: a signature, IHDR, the filtered rows as one zlib stream
// (libdeflate) split into IDAT chunks, and IEND. How the rows are filtered and
// how hard they are compressed is PlanPngFrame's choice.
#include "output/encoders/PngEncode.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>

#include "output/encoders/PngFilter.h"
#include "output/encoders/PngPlan.h"
#include "output/encoders/RowDeflate.h"

namespace framelot {
namespace {

constexpr std::uint8_t Signature[8] = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};
constexpr std::uint8_t BitDepth = 8;
constexpr std::uint8_t ColourTypeRgba = 6;
constexpr std::size_t IhdrLength = 13;
constexpr std::size_t IdatChunkBytes = 256 * 1024;
constexpr int MaxLevel = 12;

}  // namespace

// Kept between frames: the compressors (libdeflate's must not be shared
// between threads) and the row buffers.
struct PngEncoder::State {
    std::array<libdeflate_compressor*, MaxLevel + 1> Compressors{};
    RowDeflater Rows;                    // our own encoder, with the last frame it wrote
    std::vector<std::uint8_t> ZeroRow;   // the row above the first: all zero
    std::vector<std::uint8_t> Scratch;   // one filtered row for each filter
    std::vector<std::uint8_t> Filtered;  // every row's filter byte and filtered bytes
    std::vector<std::uint8_t> Compressed;

    ~State()
    {
        for (libdeflate_compressor* c : Compressors) libdeflate_free_compressor(c);
    }

    libdeflate_compressor* Compressor(int level)
    {
        if (Compressors[level] == nullptr) Compressors[level] = libdeflate_alloc_compressor(level);
        return Compressors[level];
    }

    // Buffers beyond what a usual frame needs go back after their frame.
    void Trim()
    {
        if (Filtered.capacity() + Compressed.capacity() + ZeroRow.capacity() + Scratch.capacity() >
            RetainedEncoderBytes) {
            Filtered = {};
            Compressed = {};
            ZeroRow = {};
            Scratch = {};
            Rows.Release();
        }
    }
};

namespace {

void FilterImage(const Bitmap& bitmap, PngRowFilters filters, PngEncoder::State& state)
{
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * PngPixelBytes;
    state.Filtered.resize(static_cast<std::size_t>(bitmap.Height) * (stride + 1));
    state.ZeroRow.assign(stride, 0);
    FilterPngRows(bitmap, 0, bitmap.Height, filters, state.Scratch.data(), state.ZeroRow.data(), state.Filtered.data());
}

void AppendU32Be(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(v >> 24), static_cast<std::uint8_t>(v >> 16),
                                   static_cast<std::uint8_t>(v >> 8), static_cast<std::uint8_t>(v)};
    out.insert(out.end(), bytes, bytes + 4);
}

void AppendChunk(std::vector<std::uint8_t>& out, const char* type, const std::uint8_t* data, std::size_t length)
{
    AppendU32Be(out, static_cast<std::uint32_t>(length));
    const std::size_t typeStart = out.size();
    out.insert(out.end(), type, type + 4);
    if (length > 0) out.insert(out.end(), data, data + length);
    AppendU32Be(out, libdeflate_crc32(0, out.data() + typeStart, 4 + length));
}

}  // namespace

namespace {

std::array<std::atomic<std::uint64_t>, 3> FrameWorkCounts{};

}  // namespace

void CountPngFrame(PngFrameWork work)
{
    FrameWorkCounts[static_cast<std::size_t>(work)].fetch_add(1, std::memory_order_relaxed);
}

std::uint64_t PngFramesWritten(PngFrameWork work)
{
    return FrameWorkCounts[static_cast<std::size_t>(work)].load(std::memory_order_relaxed);
}

PngEncoder::PngEncoder() : state_(std::make_unique<State>()) {}
PngEncoder::~PngEncoder() = default;

bool EncodePng(PngEncoder& encoder, const Bitmap& bitmap, std::vector<std::uint8_t>& out)
{
    return EncodePng(encoder, bitmap, PlanPngFrame(bitmap), out);
}

bool EncodePng(PngEncoder& encoder, const Bitmap& bitmap, const PngPlan& plan, std::vector<std::uint8_t>& out)
{
    if (bitmap.Width <= 0 || bitmap.Height <= 0 || plan.Level < 0 || plan.Level > MaxLevel) return false;
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * PngPixelBytes;
    if (bitmap.Pixels.size() != stride * static_cast<std::size_t>(bitmap.Height)) return false;
    PngEncoder::State& state = *encoder.state_;
    const bool rows = plan.Deflater == PngDeflater::Rows;
    libdeflate_compressor* compressor = rows ? nullptr : state.Compressor(plan.Level);
    if (!rows && compressor == nullptr) return false;
    state.Scratch.resize(PngFilterCount * stride);
    FilterImage(bitmap, plan.Filters, state);
    std::size_t compressed = 0;
    if (rows) {
        state.Compressed.clear();
        const RowDeflateStats stats = DeflateRows(state.Rows, state.Filtered, stride + 1, {}, state.Compressed);
        compressed = state.Compressed.size();
        CountPngFrame(stats.Reused > 0 ? PngFrameWork::Band : PngFrameWork::Full);
    } else {
        state.Compressed.resize(libdeflate_zlib_compress_bound(compressor, state.Filtered.size()));
        compressed = libdeflate_zlib_compress(compressor, state.Filtered.data(), state.Filtered.size(),
                                              state.Compressed.data(), state.Compressed.size());
        if (compressed == 0) {  // cannot happen with a buffer of the bound's size
            state.Trim();
            return false;
        }
        CountPngFrame(PngFrameWork::Full);
    }

    out.insert(out.end(), std::begin(Signature), std::end(Signature));
    std::uint8_t ihdr[IhdrLength] = {};
    for (int i = 0; i < 4; ++i) {
        ihdr[i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(bitmap.Width) >> (24 - 8 * i));
        ihdr[4 + i] = static_cast<std::uint8_t>(static_cast<std::uint32_t>(bitmap.Height) >> (24 - 8 * i));
    }
    ihdr[8] = BitDepth;
    ihdr[9] = ColourTypeRgba;  // compression, filter method and interlace stay 0
    AppendChunk(out, "IHDR", ihdr, IhdrLength);
    for (std::size_t done = 0; done < compressed;) {
        const std::size_t n = std::min(IdatChunkBytes, compressed - done);
        AppendChunk(out, "IDAT", state.Compressed.data() + done, n);
        done += n;
    }
    AppendChunk(out, "IEND", nullptr, 0);
    state.Trim();
    return true;
}

}  // namespace framelot
