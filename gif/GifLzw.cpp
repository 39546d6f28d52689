#include "gif/GifLzw.h"

#include <algorithm>
#include <cstring>

namespace framelot {
namespace {

constexpr int MaxCode = 4095;  // codes are at most 12 bits
constexpr int MaxBits = 12;
constexpr int MinCodeSize = 2, MaxCodeSize = 8;

// Where a code's string was first written, and its length.
struct Entry {
    std::uint32_t Start;
    std::uint32_t Length;
};

}  // namespace

bool DecodeGifLzw(std::span<const std::uint8_t> data, int codeSize, std::span<std::uint8_t> out)
{
    if (codeSize < MinCodeSize || codeSize > MaxCodeSize) return false;
    const int clear = 1 << codeSize, end = clear + 1;
    Entry table[MaxCode + 1];
    // The code width grows as giflib grows it: a count of codes read since
    // the last clear, compared with the width's last code.
    int running = end + 1, bits = codeSize + 1, widthLimit = 1 << bits;
    int next = end + 1;  // the next code to define
    bool havePrevious = false;
    std::uint32_t previousStart = 0, previousLength = 0;
    std::uint64_t held = 0;
    int heldBits = 0;
    std::size_t in = 0, pos = 0;
    const std::size_t total = out.size();
    while (pos < total) {
        while (heldBits < bits) {
            if (in >= data.size()) return false;  // the data ends before the last pixel
            held |= static_cast<std::uint64_t>(data[in++]) << heldBits;
            heldBits += 8;
        }
        const int code = static_cast<int>(held & ((1u << bits) - 1));
        held >>= bits;
        heldBits -= bits;
        if (running < MaxCode + 2 && ++running > widthLimit && bits < MaxBits) {
            widthLimit <<= 1;
            ++bits;
        }
        if (code == clear) {
            running = end + 1;
            bits = codeSize + 1;
            widthLimit = 1 << bits;
            next = end + 1;
            havePrevious = false;
            continue;
        }
        if (code == end) return false;  // before the last pixel
        const std::uint32_t start = static_cast<std::uint32_t>(pos);
        std::uint32_t length = 1;
        if (code < clear) {
            out[pos] = static_cast<std::uint8_t>(code);
        } else if (!havePrevious) {
            return false;  // a string code with no string before it
        } else if (code < next) {
            const Entry e = table[code];
            length = e.Length;
            std::memcpy(&out[pos], &out[e.Start], std::min<std::size_t>(length, total - pos));
        } else if (code == next && next <= MaxCode) {
            // The code being defined: the previous string and its own first byte.
            length = previousLength + 1;
            std::memcpy(&out[pos], &out[previousStart], std::min<std::size_t>(previousLength, total - pos));
            if (pos + previousLength < total) out[pos + previousLength] = out[previousStart];
        } else {
            return false;  // not defined yet
        }
        if (havePrevious && next <= MaxCode) table[next++] = {previousStart, previousLength + 1};
        previousStart = start;
        previousLength = length;
        havePrevious = true;
        pos += std::min<std::size_t>(length, total - pos);
    }
    return true;
}

}  // namespace framelot
