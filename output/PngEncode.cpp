// The PNG writer: a signature, IHDR, the filtered rows as one zlib stream
// (libdeflate) split into IDAT chunks, and IEND.
//
// How a frame is filtered and how hard it is compressed depends on what it
// holds, judged from every sixteenth row (measured on the benchmark's content,
// bench/RESULTS.md):
//  - flat graphics (a handful of colours, almost every residual 0): no filter,
//    level 9. Long runs of equal pixels are what deflate matches best, and
//    such frames cost it little at any level.
//  - other smooth pictures (the mean Paeth residual is small): Paeth on every
//    row. Few colours (at most 256, as every GIF frame has) take level 7,
//    which costs them little more than 6; many colours take level 6, or 3
//    when the residuals show fine texture (decoded lossy video, such as AV1
//    frames), where level 6 costs three quarters as much again for 4% fewer
//    bytes.
//  - noisy pictures with few colours (dithered GIFs): no filter, level 6.
//    Prediction only spreads the dither.
//  - noisy pictures with many colours (lossy photographs): the filter each row
//    does best by the sum of its residuals, level 8.
#include "output/PngEncode.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <mutex>

#include "imaging/ChannelOrder.h"
#include "output/PngFilter.h"

namespace framelot {
namespace {

constexpr std::uint8_t Signature[8] = {137, 'P', 'N', 'G', '\r', '\n', 26, '\n'};
constexpr std::uint8_t BitDepth = 8;
constexpr std::uint8_t ColourTypeRgba = 6;
constexpr std::size_t IhdrLength = 13;
constexpr std::size_t IdatChunkBytes = 256 * 1024;

constexpr int SampleRowStep = 16;
constexpr double NoisyResidual = 3.0;  // smooth frames measure below 0.5, noisy ones above 10
constexpr std::size_t FewColours = 256;
constexpr double FlatResidual = 0.2;  // flat graphics measure below 0.1
constexpr std::size_t FlatColours = 16;
constexpr double TexturedResidual = 0.5;  // smooth gradients measure about 0.3, AV1 frames about 0.8

enum class RowFilters { Paeth, None, Adaptive };

struct EncodePlan {
    RowFilters Filters = RowFilters::Paeth;
    int Level = 6;
};

constexpr int MaxLevel = 12;

// What one thread keeps between frames: libdeflate's compressors (which must
// not be shared between threads), one a level, and the row buffers.
struct EncoderState {
    std::array<libdeflate_compressor*, MaxLevel + 1> Compressors{};
    std::vector<std::uint8_t> Rows;      // two unfiltered rows in RGBA order: this one and the one above
    std::vector<std::uint8_t> Scratch;   // one filtered row for each filter
    std::vector<std::uint8_t> Filtered;  // every row's filter byte and filtered bytes
    std::vector<std::uint8_t> Compressed;

    EncoderState() = default;
    ~EncoderState()
    {
        for (libdeflate_compressor* c : Compressors) libdeflate_free_compressor(c);
    }
    EncoderState(const EncoderState&) = delete;
    EncoderState& operator=(const EncoderState&) = delete;

    libdeflate_compressor* Compressor(int level)
    {
        if (Compressors[level] == nullptr) Compressors[level] = libdeflate_alloc_compressor(level);
        return Compressors[level];
    }
};

// Encoder states not in use. Each encode borrows one (making one when none is
// free) and gives it back, so there are as many as encodes ever ran at once,
// each used by one thread at a time. (A thread_local state is not safe with
// mingw-w64, which frees a thread's emulated TLS block before that thread's
// thread_local destructors run.)
class BorrowedState {
public:
    BorrowedState()
    {
        const std::lock_guard<std::mutex> lock(FreeMutex());
        std::vector<std::unique_ptr<EncoderState>>& free = FreeStates();
        if (free.empty()) {
            state_ = std::make_unique<EncoderState>();
        } else {
            state_ = std::move(free.back());
            free.pop_back();
        }
    }
    ~BorrowedState()
    {
        const std::lock_guard<std::mutex> lock(FreeMutex());
        FreeStates().push_back(std::move(state_));
    }
    BorrowedState(const BorrowedState&) = delete;
    BorrowedState& operator=(const BorrowedState&) = delete;
    EncoderState& operator*() { return *state_; }

private:
    static std::mutex& FreeMutex()
    {
        static std::mutex mutex;
        return mutex;
    }
    static std::vector<std::unique_ptr<EncoderState>>& FreeStates()
    {
        static std::vector<std::unique_ptr<EncoderState>> states;
        return states;
    }
    std::unique_ptr<EncoderState> state_;
};

// Counts distinct pixel values up to a limit, in a small open-addressed table.
struct ColourCounter {
    static constexpr std::size_t Slots = 4 * FewColours;  // a power of two, at most a quarter full
    std::array<std::uint32_t, Slots> Table{};             // 0 marks a free slot; pixel 0 is counted apart
    bool SawZero = false;
    std::size_t Count = 0;

    void Add(std::uint32_t pixel)
    {
        if (pixel == 0) {
            Count += SawZero ? 0 : 1;
            SawZero = true;
            return;
        }
        constexpr std::uint32_t Spread = 2654435761u;  // Knuth's multiplicative hash
        std::size_t slot = ((pixel * Spread) >> 16) & (Slots - 1);
        while (Table[slot] != 0 && Table[slot] != pixel) slot = (slot + 1) & (Slots - 1);
        if (Table[slot] == 0) {
            Table[slot] = pixel;
            ++Count;
        }
    }
};

EncodePlan PlanFrame(const Bitmap& bitmap, EncoderState& state)
{
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * PngPixelBytes;
    std::uint64_t residual = 0, sampled = 0;
    ColourCounter colours;
    for (int y = 1; y < bitmap.Height; y += SampleRowStep) {
        const std::uint8_t* source = bitmap.Pixels.data() + static_cast<std::size_t>(y) * stride;
        SwapRedAndBlue(source - stride, stride, state.Rows.data());
        SwapRedAndBlue(source, stride, state.Rows.data() + stride);
        FilterRow(PngFilter::Paeth, state.Rows.data() + stride, state.Rows.data(), stride, state.Scratch.data());
        residual += FilteredCost(state.Scratch.data(), stride);
        sampled += stride;
        for (std::size_t x = 0; x < stride && colours.Count <= FewColours; x += PngPixelBytes) {
            std::uint32_t pixel;
            std::memcpy(&pixel, source + x, sizeof pixel);
            colours.Add(pixel);
        }
    }
    const bool noisy = static_cast<double>(residual) >= NoisyResidual * static_cast<double>(sampled);
    const bool few = colours.Count <= FewColours;
    const bool flat = static_cast<double>(residual) < FlatResidual * static_cast<double>(sampled) &&
                      colours.Count <= FlatColours;
    if (flat) return {RowFilters::None, 9};
    const bool textured = static_cast<double>(residual) >= TexturedResidual * static_cast<double>(sampled);
    if (!noisy) return {RowFilters::Paeth, few ? 7 : textured ? 3 : 6};
    if (few) return {RowFilters::None, 6};
    return {RowFilters::Adaptive, 8};
}

void FilterImage(const Bitmap& bitmap, RowFilters filters, EncoderState& state)
{
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * PngPixelBytes;
    const auto height = static_cast<std::size_t>(bitmap.Height);
    state.Filtered.resize(height * (stride + 1));
    std::memset(state.Rows.data() + stride, 0, stride);  // the row above the first
    for (std::size_t y = 0; y < height; ++y) {
        std::uint8_t* row = state.Rows.data() + (y % 2) * stride;
        const std::uint8_t* prior = state.Rows.data() + ((y + 1) % 2) * stride;
        std::uint8_t* out = state.Filtered.data() + y * (stride + 1);
        switch (filters) {
        case RowFilters::None:
            out[0] = static_cast<std::uint8_t>(PngFilter::None);
            SwapRedAndBlue(bitmap.Pixels.data() + y * stride, stride, out + 1);
            break;
        case RowFilters::Paeth:
            SwapRedAndBlue(bitmap.Pixels.data() + y * stride, stride, row);
            out[0] = static_cast<std::uint8_t>(PngFilter::Paeth);
            FilterRow(PngFilter::Paeth, row, prior, stride, out + 1);
            break;
        case RowFilters::Adaptive:
            SwapRedAndBlue(bitmap.Pixels.data() + y * stride, stride, row);
            FilterRowAdaptively(row, prior, stride, state.Scratch.data(), out);
            break;
        }
    }
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

bool EncodePng(const Bitmap& bitmap, std::vector<std::uint8_t>& out)
{
    if (bitmap.Width <= 0 || bitmap.Height <= 0) return false;
    if (bitmap.Pixels.size() != static_cast<std::size_t>(bitmap.Width) * bitmap.Height * PngPixelBytes) return false;
    BorrowedState borrowed;
    EncoderState& state = *borrowed;
    const std::size_t stride = static_cast<std::size_t>(bitmap.Width) * PngPixelBytes;
    state.Rows.resize(2 * stride);
    state.Scratch.resize(PngFilterCount * stride);

    const EncodePlan plan = PlanFrame(bitmap, state);
    libdeflate_compressor* compressor = state.Compressor(plan.Level);
    if (compressor == nullptr) return false;
    FilterImage(bitmap, plan.Filters, state);
    state.Compressed.resize(libdeflate_zlib_compress_bound(compressor, state.Filtered.size()));
    const std::size_t compressed = libdeflate_zlib_compress(compressor, state.Filtered.data(), state.Filtered.size(),
                                                            state.Compressed.data(), state.Compressed.size());
    if (compressed == 0) return false;

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
    return true;
}

}  // namespace framelot
