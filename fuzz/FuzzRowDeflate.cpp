// Fuzz target: arbitrary bytes as filtered rows through our row encoder. The
// first two bytes give the row length and the effort; the rest are a frame,
// and a second frame is that one with a band of it changed. Both must
// inflate, under zlib and libdeflate, to exactly their bytes, and the second
// must encode to the same stream after the first as it does alone.
#include <libdeflate.h>
#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "output/encoders/RowDeflate.h"

namespace {

void CheckInflates(const std::vector<std::uint8_t>& stream, const std::vector<std::uint8_t>& rows)
{
    std::vector<std::uint8_t> back(rows.size() + 1);
    uLongf length = back.size();
    if (uncompress(back.data(), &length, stream.data(), stream.size()) != Z_OK || length != rows.size()) __builtin_trap();
    back.resize(length);
    if (back != rows) __builtin_trap();
    static libdeflate_decompressor* inflater = libdeflate_alloc_decompressor();
    std::size_t got = 0;
    back.assign(rows.size() + 1, 0);
    if (libdeflate_zlib_decompress(inflater, stream.data(), stream.size(), back.data(), back.size(), &got) !=
            LIBDEFLATE_SUCCESS ||
        got != rows.size() || !std::equal(rows.begin(), rows.end(), back.begin())) {
        __builtin_trap();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2) return 0;
    // Rows of 1 + 4w bytes mostly, of any length sometimes.
    const std::size_t rowBytes = data[0] < 224 ? 1 + 4 * (1 + data[0] % 64) : data[0] - 224;
    const framelot::RowDeflateEffort effort = data[1] < 128 ? framelot::RowDeflateEffort{}
                                                            : framelot::RowDeflateEffort{1 + data[1] % 32, 4 + data[1] % 255, data[1] % 64};
    // The frame repeats the input to at least 40 KiB, so windows and segments fill.
    std::vector<std::uint8_t> first(data + 2, data + size);
    while (!first.empty() && first.size() < 40 * 1024) first.insert(first.end(), data + 2, data + size);
    std::vector<std::uint8_t> second = first;
    for (std::size_t i = second.size() / 3; i < second.size() / 2; ++i) second[i] = static_cast<std::uint8_t>(second[i] * 7 + 1);

    static framelot::RowDeflater carried;  // kept between inputs, as a writer thread keeps its own
    framelot::RowDeflater fresh;
    std::vector<std::uint8_t> a, b, alone;
    framelot::DeflateRows(carried, first, rowBytes, effort, a);
    framelot::DeflateRows(carried, second, rowBytes, effort, b);
    framelot::DeflateRows(fresh, second, rowBytes, effort, alone);
    CheckInflates(a, first);
    CheckInflates(b, second);
    if (b != alone) __builtin_trap();
    return 0;
}
