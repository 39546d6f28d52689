// The row encoder in three steps: the parse (tokens: literals and matches,
// by segment, reused where a segment and its window are as they were), the
// Huffman codes of each block (lengths by the in-place method of Moffat and
// Katajainen, capped at 15 bits by moving leaves down), and the bits.
#include "output/encoders/RowDeflate.h"

#include <libdeflate.h>

#include <algorithm>
#include <array>
#include <cstring>

namespace framelot {
namespace {

constexpr std::size_t Window = 32768;
constexpr std::size_t MinMatch = 4;  // a whole pixel; shorter ones go as literals
constexpr std::size_t MaxMatch = 258;
constexpr int HashBits = 16;
constexpr std::size_t PrevSize = 65536;  // positions by their low bits: twice the window, so none is overwritten while in it
constexpr std::size_t HashedBytes = 4;

constexpr int LitLenSymbols = 286;
constexpr int DistSymbols = 30;
constexpr int CodeLengthSymbols = 19;
constexpr int EndOfBlock = 256;
constexpr int MaxCodeBits = 15;
constexpr int MaxCodeLengthBits = 7;
constexpr std::size_t MaxStoredBytes = 65535;

// A token: a literal byte (below MatchFlag), or a match with its length in
// bits 16 to 24 and its distance less one in bits 0 to 14.
constexpr std::uint32_t MatchFlag = 1u << 31;

std::uint32_t MatchToken(std::size_t length, std::size_t distance)
{
    return MatchFlag | static_cast<std::uint32_t>(length << 16) | static_cast<std::uint32_t>(distance - 1);
}

// The length and distance codes of RFC 1951, 3.2.5.
constexpr std::uint16_t LengthBase[29] = {3,  4,  5,  6,  7,  8,  9,  10, 11,  13,  15,  17,  19,  23, 27,
                                          31, 35, 43, 51, 59, 67, 83, 99, 115, 131, 163, 195, 227, 258};
constexpr std::uint8_t LengthExtra[29] = {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 2, 2, 2,
                                          2, 3, 3, 3, 3, 4, 4, 4, 4, 5, 5, 5, 5, 0};
constexpr std::uint16_t DistBase[30] = {1,   2,   3,   4,   5,   7,    9,    13,   17,   25,   33,   49,   65,    97,    129,
                                        193, 257, 385, 513, 769, 1025, 1537, 2049, 3073, 4097, 6145, 8193, 12289, 16385, 24577};
constexpr std::uint8_t DistExtra[30] = {0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 7, 7, 8, 8, 9, 9, 10, 10, 11, 11, 12, 12, 13, 13};
constexpr std::uint8_t CodeLengthOrder[CodeLengthSymbols] = {16, 17, 18, 0, 8, 7, 9, 6, 10, 5, 11, 4, 12, 3, 13, 2, 14, 1, 15};

struct CodeTables {
    std::array<std::uint8_t, MaxMatch + 1> LengthCode{};  // length -> index into LengthBase
    std::array<std::uint8_t, 512> DistCodeLow{};          // distance - 1 below 256 -> code
    std::array<std::uint8_t, 256> DistCodeHigh{};         // (distance - 1) >> 7 -> code
    constexpr CodeTables()
    {
        for (int code = 0; code < 29; ++code) {
            const int last = code == 28 ? 258 : LengthBase[code] + (1 << LengthExtra[code]) - 1;
            for (int length = LengthBase[code]; length <= last && length <= 258; ++length) {
                LengthCode[static_cast<std::size_t>(length)] = static_cast<std::uint8_t>(code);
            }
        }
        LengthCode[258] = 28;
        for (int code = 0; code < 30; ++code) {
            for (int d = DistBase[code]; d < DistBase[code] + (1 << DistExtra[code]); ++d) {
                if (d <= 256) DistCodeLow[static_cast<std::size_t>(d - 1)] = static_cast<std::uint8_t>(code);
                if (d > 256) DistCodeHigh[static_cast<std::size_t>((d - 1) >> 7)] = static_cast<std::uint8_t>(code);
            }
        }
    }
    int Length(std::size_t length) const { return LengthCode[length]; }
    int Distance(std::size_t distance) const
    {
        return distance <= 256 ? DistCodeLow[distance - 1] : DistCodeHigh[(distance - 1) >> 7];
    }
};
constexpr CodeTables Codes;

// Where the rows lie: a row's bytes, and the segments of whole rows.
struct Shape {
    std::size_t RowBytes;
    std::size_t SegmentBytes;
    std::size_t Size;
};

std::uint32_t Load32(const std::uint8_t* p)
{
    std::uint32_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

std::uint64_t Load64(const std::uint8_t* p)
{
    std::uint64_t v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Eight bytes (two pixels) where the segment has them, else four: colours
// repeat too often for one pixel to tell places apart.
std::uint32_t HashAt(const std::uint8_t* p, bool wide)
{
    if (wide) return static_cast<std::uint32_t>((Load64(p) * 0x9E3779B97F4A7C15ull) >> (64 - HashBits));
    return (Load32(p) * 0x9E3779B1u) >> (32 - HashBits);
}

// How many bytes from `a` equal those from `b`, at most `limit`.
std::size_t MatchLength(const std::uint8_t* a, const std::uint8_t* b, std::size_t limit)
{
    std::size_t n = 0;
    while (n + 8 <= limit) {
        const std::uint64_t x = Load64(a + n) ^ Load64(b + n);
        if (x != 0) return n + static_cast<std::size_t>(__builtin_ctzll(x) >> 3);
        n += 8;
    }
    while (n < limit && a[n] == b[n]) ++n;
    return n;
}

struct Match {
    std::size_t Length = 0;
    std::size_t Distance = 0;
};

}  // namespace

struct RowDeflater::State {
    std::vector<std::uint32_t> Head;  // a hash's latest position + 1; 0: none
    std::vector<std::uint32_t> Prev;  // a position's previous one with its hash, + 1
    // The last frame: its rows, shape, effort, and its tokens by segment.
    std::vector<std::uint8_t> LastRows;
    std::size_t LastRowBytes = 0;
    RowDeflateEffort LastEffort;
    std::vector<std::uint32_t> LastTokens;
    std::vector<std::size_t> LastSegmentTokens;  // where each segment's tokens start; one more at the end
    // This frame's.
    std::vector<std::uint32_t> Tokens;
    std::vector<std::size_t> SegmentTokens;
    std::vector<std::uint8_t> Unchanged;  // a segment's bytes are the last frame's
};

namespace {

using State = RowDeflater::State;

class Parser {
public:
    Parser(State& state, const std::uint8_t* data, const Shape& shape, const RowDeflateEffort& effort)
        : state_(state), data_(data), shape_(shape), effort_(effort)
    {
    }

    // Forgets every position, then hashes the window before `start` (a row
    // start): the chains then hold what a parse from the first byte would
    // hold within reach of `start`.
    void Restart(std::size_t start)
    {
        std::fill(state_.Head.begin(), state_.Head.end(), 0u);
        std::size_t pos = start > Window ? start - Window : 0;
        while (pos < start) {
            const std::size_t end = std::min(shape_.Size, (pos / shape_.SegmentBytes + 1) * shape_.SegmentBytes);
            for (; pos < end; ++pos) {
                if (pos + HashedBytes <= end) Insert(pos, end);
            }
        }
    }

    // Parses [start, end), a segment, appending tokens. Every position
    // before `start` within the window is already hashed.
    void Segment(std::size_t start, std::size_t end)
    {
        std::vector<std::uint32_t>& tokens = state_.Tokens;
        std::size_t pos = start;
        const std::size_t lastStart = end >= HashedBytes ? end - HashedBytes : 0;  // matches start at or before
        while (pos < end) {
            if (pos > lastStart || end - pos < MinMatch) {
                tokens.push_back(data_[pos++]);
                continue;
            }
            Match match = Find(pos, end);
            Insert(pos, end);
            // Lazily: a longer match from the next byte wins over this one.
            while (match.Length >= MinMatch && match.Length < static_cast<std::size_t>(effort_.LazyBelow) &&
                   pos + 1 <= lastStart) {
                const Match next = Find(pos + 1, end);
                if (next.Length <= match.Length) break;
                tokens.push_back(data_[pos++]);
                Insert(pos, end);
                match = next;
            }
            if (match.Length < MinMatch) {
                tokens.push_back(data_[pos++]);
                continue;
            }
            tokens.push_back(MatchToken(match.Length, match.Distance));
            const std::size_t stop = pos + match.Length;
            for (++pos; pos < stop; ++pos) {
                if (pos <= lastStart) Insert(pos, end);
            }
        }
    }

private:
    // Hashes `pos` (whose segment ends at `end`).
    void Insert(std::size_t pos, std::size_t end)
    {
        // Inside a run of zeros (what filtered rows of a still backdrop
        // become), sixteen bytes long or more, the chain gains nothing the
        // pixel before does not give, and hashing every byte of it would cost
        // most of a flat frame's time. (Runs of other bytes are kept: in
        // dithered frames their ends start matches.)
        if (pos >= 2 * HashedBytes && pos + 2 * HashedBytes <= end && Load64(data_ + pos) == 0 &&
            Load64(data_ + pos - 2 * HashedBytes) == 0) {
            return;
        }
        const std::uint32_t h = HashAt(data_ + pos, pos + 2 * HashedBytes <= end);
        state_.Prev[pos & (PrevSize - 1)] = state_.Head[h];
        state_.Head[h] = static_cast<std::uint32_t>(pos + 1);
    }

    // The longest match for `pos` that ends by `end`: the pixel before, the
    // pixel above, then the chain of earlier starts with the same hash.
    Match Find(std::size_t pos, std::size_t end) const
    {
        Match best;
        const std::size_t limit = std::min(MaxMatch, end - pos);
        if (limit < MinMatch) return best;
        const std::uint8_t* here = data_ + pos;
        const auto consider = [&](std::size_t candidate) {
            // Only a candidate that also matches at the best length's end can be longer.
            if (best.Length > 0 && here[best.Length] != data_[candidate + best.Length]) return;
            const std::size_t length = MatchLength(data_ + candidate, here, limit);
            if (length > best.Length) best = {length, pos - candidate};
        };
        if (pos >= 4) consider(pos - 4);
        if (shape_.RowBytes <= Window && pos >= shape_.RowBytes && best.Length < limit) consider(pos - shape_.RowBytes);
        std::uint32_t link = state_.Head[HashAt(here, pos + 2 * HashedBytes <= end)];
        for (int depth = effort_.ChainDepth; link != 0 && depth > 0 && best.Length < limit; --depth) {
            const std::size_t candidate = link - 1;
            if (pos - candidate > Window) break;
            consider(candidate);
            if (best.Length >= static_cast<std::size_t>(effort_.NiceLength)) break;
            link = state_.Prev[candidate & (PrevSize - 1)];
        }
        return best;
    }

    State& state_;
    const std::uint8_t* data_;
    Shape shape_;
    RowDeflateEffort effort_;
};

// Canonical Huffman code lengths of at most `maxBits` for `freq` (symbols of
// frequency 0 get none). At least two symbols get a code, so every code is
// complete, which every inflater accepts.
void BuildLengths(const std::uint32_t* freq, int n, int maxBits, std::uint8_t* lengths)
{
    std::fill(lengths, lengths + n, std::uint8_t{0});
    struct Leaf {
        std::uint32_t Freq;
        int Symbol;
    };
    std::array<Leaf, LitLenSymbols> leaves{};
    int used = 0;
    for (int s = 0; s < n; ++s) {
        if (freq[s] != 0) leaves[static_cast<std::size_t>(used++)] = {freq[s], s};
    }
    for (int s = 0; used < 2; ++s) {  // a lone symbol, or none: add unused ones
        if (freq[s] == 0 && (used == 0 || leaves[0].Symbol != s)) leaves[static_cast<std::size_t>(used++)] = {1, s};
    }
    std::sort(leaves.begin(), leaves.begin() + used,
              [](const Leaf& a, const Leaf& b) { return a.Freq != b.Freq ? a.Freq < b.Freq : a.Symbol < b.Symbol; });
    // Moffat and Katajainen: code lengths in place, for weights in ascending order.
    std::array<std::uint32_t, LitLenSymbols> a{};
    for (int i = 0; i < used; ++i) a[static_cast<std::size_t>(i)] = leaves[static_cast<std::size_t>(i)].Freq;
    {
        int root = 0, leaf = 2, next;
        a[0] += a[1];
        for (next = 1; next < used - 1; ++next) {
            if (leaf >= used || a[static_cast<std::size_t>(root)] < a[static_cast<std::size_t>(leaf)]) {
                a[static_cast<std::size_t>(next)] = a[static_cast<std::size_t>(root)];
                a[static_cast<std::size_t>(root++)] = static_cast<std::uint32_t>(next);
            } else {
                a[static_cast<std::size_t>(next)] = a[static_cast<std::size_t>(leaf++)];
            }
            if (leaf >= used || (root < next && a[static_cast<std::size_t>(root)] < a[static_cast<std::size_t>(leaf)])) {
                a[static_cast<std::size_t>(next)] += a[static_cast<std::size_t>(root)];
                a[static_cast<std::size_t>(root++)] = static_cast<std::uint32_t>(next);
            } else {
                a[static_cast<std::size_t>(next)] += a[static_cast<std::size_t>(leaf++)];
            }
        }
        a[static_cast<std::size_t>(used - 2)] = 0;
        for (next = used - 3; next >= 0; --next) {
            a[static_cast<std::size_t>(next)] = a[a[static_cast<std::size_t>(next)]] + 1;
        }
        int available = 1, taken = 0, depth = 0;
        root = used - 2;
        next = used - 1;
        while (available > 0) {
            while (root >= 0 && static_cast<int>(a[static_cast<std::size_t>(root)]) == depth) {
                ++taken;
                --root;
            }
            while (available > taken) {
                a[static_cast<std::size_t>(next--)] = static_cast<std::uint32_t>(depth);
                --available;
            }
            available = 2 * taken;
            ++depth;
            taken = 0;
        }
    }
    // How many codes of each length, the longest moved up to maxBits and the
    // code made whole again by lengthening shorter ones.
    std::array<std::uint32_t, 64> count{};
    for (int i = 0; i < used; ++i) ++count[std::min<std::size_t>(a[static_cast<std::size_t>(i)], 63)];
    for (std::size_t l = static_cast<std::size_t>(maxBits) + 1; l < count.size(); ++l) {
        count[static_cast<std::size_t>(maxBits)] += count[l];
        count[l] = 0;
    }
    std::uint64_t kraft = 0;
    for (int l = 1; l <= maxBits; ++l) kraft += static_cast<std::uint64_t>(count[static_cast<std::size_t>(l)]) << (maxBits - l);
    while (kraft > (1ull << maxBits)) {
        --count[static_cast<std::size_t>(maxBits)];
        for (int l = maxBits - 1; l > 0; --l) {
            if (count[static_cast<std::size_t>(l)] != 0) {
                --count[static_cast<std::size_t>(l)];
                count[static_cast<std::size_t>(l + 1)] += 2;
                break;
            }
        }
        --kraft;
    }
    // The rarest symbols get the longest codes.
    int i = 0;
    for (int l = maxBits; l > 0; --l) {
        for (std::uint32_t k = 0; k < count[static_cast<std::size_t>(l)]; ++k) {
            lengths[leaves[static_cast<std::size_t>(i++)].Symbol] = static_cast<std::uint8_t>(l);
        }
    }
}

// Canonical codes for `lengths`, bit-reversed for writing least significant bit first.
void BuildCodes(const std::uint8_t* lengths, int n, std::uint16_t* codes)
{
    std::array<std::uint16_t, MaxCodeBits + 2> count{}, next{};
    for (int s = 0; s < n; ++s) ++count[lengths[s]];
    count[0] = 0;
    std::uint16_t code = 0;
    for (int l = 1; l <= MaxCodeBits; ++l) {
        code = static_cast<std::uint16_t>((code + count[static_cast<std::size_t>(l - 1)]) << 1);
        next[static_cast<std::size_t>(l)] = code;
    }
    for (int s = 0; s < n; ++s) {
        const int l = lengths[s];
        if (l == 0) {
            codes[s] = 0;
            continue;
        }
        std::uint16_t c = next[static_cast<std::size_t>(l)]++, reversed = 0;
        for (int b = 0; b < l; ++b) reversed = static_cast<std::uint16_t>((reversed << 1) | ((c >> b) & 1));
        codes[s] = reversed;
    }
}

class BitWriter {
public:
    explicit BitWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    // Room for `bits` more bits.
    void Reserve(std::uint64_t bits)
    {
        const std::size_t needed = out_.size() + static_cast<std::size_t>(bits / 8) + 16;
        if (needed > out_.capacity()) out_.reserve(std::max(needed, 2 * out_.capacity()));
    }

    void Put(std::uint32_t bits, int n)
    {
        acc_ |= static_cast<std::uint64_t>(bits) << count_;
        count_ += n;
        if (count_ >= 32) {
            const std::uint8_t bytes[4] = {static_cast<std::uint8_t>(acc_), static_cast<std::uint8_t>(acc_ >> 8),
                                           static_cast<std::uint8_t>(acc_ >> 16), static_cast<std::uint8_t>(acc_ >> 24)};
            out_.insert(out_.end(), bytes, bytes + 4);
            acc_ >>= 32;
            count_ -= 32;
        }
    }

    // Pads to a byte with zero bits and writes what is held.
    void Align()
    {
        while (count_ > 0) {
            out_.push_back(static_cast<std::uint8_t>(acc_));
            acc_ >>= 8;
            count_ = count_ > 8 ? count_ - 8 : 0;
        }
        acc_ = 0;
    }

    void Bytes(const std::uint8_t* data, std::size_t n) { out_.insert(out_.end(), data, data + n); }
    int Pending() const { return count_; }

private:
    std::vector<std::uint8_t>& out_;
    std::uint64_t acc_ = 0;
    int count_ = 0;
};

// One block's codes and what it costs.
struct BlockCode {
    std::array<std::uint32_t, LitLenSymbols> LitFreq{};
    std::array<std::uint32_t, DistSymbols> DistFreq{};
    std::array<std::uint8_t, LitLenSymbols> LitLengths{};
    std::array<std::uint8_t, DistSymbols> DistLengths{};
    std::array<std::uint16_t, LitLenSymbols> LitCodes{};
    std::array<std::uint16_t, DistSymbols> DistCodes{};
    // The code lengths' run-length symbols (each with its extra bits in the high byte) and their code.
    std::vector<std::uint16_t> Runs;
    std::array<std::uint32_t, CodeLengthSymbols> RunFreq{};
    std::array<std::uint8_t, CodeLengthSymbols> RunLengths{};
    std::array<std::uint16_t, CodeLengthSymbols> RunCodes{};
    int LitCount = 0, DistCount = 0, RunCodeCount = 0;
    std::uint64_t Bits = 0;  // the whole block, header included
};

void PlanBlock(const std::uint32_t* tokens, std::size_t count, BlockCode& block)
{
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t t = tokens[i];
        if (t < MatchFlag) {
            ++block.LitFreq[t];
        } else {
            ++block.LitFreq[static_cast<std::size_t>(257 + Codes.Length((t >> 16) & 0x1FF))];
            ++block.DistFreq[static_cast<std::size_t>(Codes.Distance((t & 0x7FFF) + 1))];
        }
    }
    block.LitFreq[EndOfBlock] = 1;
    BuildLengths(block.LitFreq.data(), LitLenSymbols, MaxCodeBits, block.LitLengths.data());
    BuildLengths(block.DistFreq.data(), DistSymbols, MaxCodeBits, block.DistLengths.data());
    BuildCodes(block.LitLengths.data(), LitLenSymbols, block.LitCodes.data());
    BuildCodes(block.DistLengths.data(), DistSymbols, block.DistCodes.data());
    block.LitCount = LitLenSymbols;
    while (block.LitCount > 257 && block.LitLengths[static_cast<std::size_t>(block.LitCount - 1)] == 0) --block.LitCount;
    block.DistCount = DistSymbols;
    while (block.DistCount > 1 && block.DistLengths[static_cast<std::size_t>(block.DistCount - 1)] == 0) --block.DistCount;

    // The lengths of both codes as one sequence, in runs: 16 repeats the
    // last length 3 to 6 times, 17 and 18 write 3 to 10 and 11 to 138 zeros.
    std::array<std::uint8_t, LitLenSymbols + DistSymbols> all{};
    std::copy_n(block.LitLengths.begin(), block.LitCount, all.begin());
    std::copy_n(block.DistLengths.begin(), block.DistCount, all.begin() + block.LitCount);
    const int total = block.LitCount + block.DistCount;
    block.Runs.clear();
    for (int i = 0; i < total;) {
        const std::uint8_t l = all[static_cast<std::size_t>(i)];
        int run = 1;
        while (i + run < total && all[static_cast<std::size_t>(i + run)] == l) ++run;
        if (l == 0 && run >= 3) {
            const int n = std::min(run, 138);
            block.Runs.push_back(n >= 11 ? static_cast<std::uint16_t>(18 | ((n - 11) << 8)) : static_cast<std::uint16_t>(17 | ((n - 3) << 8)));
            i += n;
            continue;
        }
        block.Runs.push_back(l);
        ++i;
        --run;
        while (l != 0 && run >= 3) {
            const int n = std::min(run, 6);
            block.Runs.push_back(static_cast<std::uint16_t>(16 | ((n - 3) << 8)));
            i += n;
            run -= n;
        }
    }
    for (std::uint16_t r : block.Runs) ++block.RunFreq[r & 0xFF];
    BuildLengths(block.RunFreq.data(), CodeLengthSymbols, MaxCodeLengthBits, block.RunLengths.data());
    BuildCodes(block.RunLengths.data(), CodeLengthSymbols, block.RunCodes.data());
    block.RunCodeCount = CodeLengthSymbols;
    while (block.RunCodeCount > 4 && block.RunLengths[CodeLengthOrder[block.RunCodeCount - 1]] == 0) --block.RunCodeCount;

    std::uint64_t bits = 3 + 5 + 5 + 4 + 3 * static_cast<std::uint64_t>(block.RunCodeCount);
    static constexpr int RunExtra[3] = {2, 3, 7};
    for (std::uint16_t r : block.Runs) {
        const int s = r & 0xFF;
        bits += block.RunLengths[static_cast<std::size_t>(s)] + (s >= 16 ? RunExtra[s - 16] : 0);
    }
    for (int s = 0; s < LitLenSymbols; ++s) {
        bits += static_cast<std::uint64_t>(block.LitFreq[static_cast<std::size_t>(s)]) *
                (block.LitLengths[static_cast<std::size_t>(s)] + (s > 256 ? LengthExtra[s - 257] : 0));
    }
    for (int s = 0; s < DistSymbols; ++s) {
        bits += static_cast<std::uint64_t>(block.DistFreq[static_cast<std::size_t>(s)]) *
                (block.DistLengths[static_cast<std::size_t>(s)] + DistExtra[s]);
    }
    block.Bits = bits;
}

void WriteDynamicBlock(const std::uint32_t* tokens, std::size_t count, const BlockCode& block, bool last, BitWriter& bits)
{
    bits.Put(last ? 1u : 0u, 1);
    bits.Put(2, 2);
    bits.Put(static_cast<std::uint32_t>(block.LitCount - 257), 5);
    bits.Put(static_cast<std::uint32_t>(block.DistCount - 1), 5);
    bits.Put(static_cast<std::uint32_t>(block.RunCodeCount - 4), 4);
    for (int i = 0; i < block.RunCodeCount; ++i) bits.Put(block.RunLengths[CodeLengthOrder[i]], 3);
    static constexpr int RunExtra[3] = {2, 3, 7};
    for (std::uint16_t r : block.Runs) {
        const int s = r & 0xFF;
        bits.Put(block.RunCodes[static_cast<std::size_t>(s)], block.RunLengths[static_cast<std::size_t>(s)]);
        if (s >= 16) bits.Put(r >> 8, RunExtra[s - 16]);
    }
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint32_t t = tokens[i];
        if (t < MatchFlag) {
            bits.Put(block.LitCodes[t], block.LitLengths[t]);
            continue;
        }
        const std::size_t length = (t >> 16) & 0x1FF, distance = (t & 0x7FFF) + 1;
        const int lc = Codes.Length(length), dc = Codes.Distance(distance);
        bits.Put(block.LitCodes[static_cast<std::size_t>(257 + lc)], block.LitLengths[static_cast<std::size_t>(257 + lc)]);
        bits.Put(static_cast<std::uint32_t>(length - LengthBase[lc]), LengthExtra[lc]);
        bits.Put(block.DistCodes[static_cast<std::size_t>(dc)], block.DistLengths[static_cast<std::size_t>(dc)]);
        bits.Put(static_cast<std::uint32_t>(distance - DistBase[dc]), DistExtra[dc]);
    }
    bits.Put(block.LitCodes[EndOfBlock], block.LitLengths[EndOfBlock]);
}

std::uint64_t StoredBits(std::size_t bytes, int pending)
{
    const std::uint64_t blocks = std::max<std::uint64_t>(1, (bytes + MaxStoredBytes - 1) / MaxStoredBytes);
    return blocks * (3 + 7 + 32) + 8 * static_cast<std::uint64_t>(bytes) + static_cast<std::uint64_t>(pending);
}

void WriteStoredBlocks(const std::uint8_t* data, std::size_t bytes, bool last, BitWriter& bits)
{
    do {
        const std::size_t n = std::min(bytes, MaxStoredBytes);
        bytes -= n;
        bits.Put(last && bytes == 0 ? 1u : 0u, 1);
        bits.Put(0, 2);
        bits.Align();
        const std::uint8_t header[4] = {static_cast<std::uint8_t>(n), static_cast<std::uint8_t>(n >> 8),
                                        static_cast<std::uint8_t>(~n), static_cast<std::uint8_t>(~n >> 8)};
        bits.Bytes(header, 4);
        bits.Bytes(data, n);
        data += n;
    } while (bytes > 0);
}

}  // namespace

RowDeflater::RowDeflater() : state_(new State) {}
RowDeflater::~RowDeflater() { delete state_; }

void RowDeflater::Release()
{
    delete state_;
    state_ = new State;
}

RowDeflateStats DeflateRows(RowDeflater& deflater, std::span<const std::uint8_t> rows, std::size_t rowBytes,
                            const RowDeflateEffort& effort, std::vector<std::uint8_t>& out)
{
    State& state = *deflater.state_;
    const std::size_t size = rows.size();
    const std::size_t row = std::clamp<std::size_t>(rowBytes, 1, std::max<std::size_t>(size, 1));
    const std::size_t segmentBytes = std::max<std::size_t>(1, SegmentBytes / row) * row;
    const Shape shape{row, segmentBytes, size};
    const std::size_t segments = size == 0 ? 0 : (size + segmentBytes - 1) / segmentBytes;
    if (state.Head.empty()) {
        state.Head.assign(std::size_t{1} << HashBits, 0u);
        state.Prev.assign(PrevSize, 0u);
    }

    // Which segments are as they were in the last frame.
    const bool comparable = state.LastRows.size() == size && state.LastRowBytes == shape.RowBytes &&
                            state.LastEffort == effort && state.LastSegmentTokens.size() == segments + 1;
    state.Unchanged.assign(segments, 0);
    if (comparable) {
        for (std::size_t s = 0; s < segments; ++s) {
            const std::size_t begin = s * segmentBytes, end = std::min(size, begin + segmentBytes);
            state.Unchanged[s] = std::memcmp(rows.data() + begin, state.LastRows.data() + begin, end - begin) == 0;
        }
    }
    RowDeflateStats stats;
    stats.Segments = segments;
    state.Tokens.clear();
    state.SegmentTokens.assign(1, 0);
    Parser parser(state, rows.data(), shape, effort);
    bool chained = false;  // the chains hold every start up to this segment
    for (std::size_t s = 0; s < segments; ++s) {
        const std::size_t begin = s * segmentBytes, end = std::min(size, begin + segmentBytes);
        // Reusable: this segment and every one its window reaches are unchanged.
        bool reusable = true;
        for (std::size_t w = begin > Window ? (begin - Window) / segmentBytes : 0; w <= s && reusable; ++w) {
            reusable = state.Unchanged[w] != 0;
        }
        if (reusable) {
            const std::size_t from = state.LastSegmentTokens[s], to = state.LastSegmentTokens[s + 1];
            state.Tokens.insert(state.Tokens.end(), state.LastTokens.begin() + static_cast<std::ptrdiff_t>(from),
                                state.LastTokens.begin() + static_cast<std::ptrdiff_t>(to));
            ++stats.Reused;
            chained = false;
        } else {
            if (!chained) parser.Restart(begin);
            parser.Segment(begin, end);
            chained = true;
        }
        state.SegmentTokens.push_back(state.Tokens.size());
    }

    // The zlib stream: header, blocks of whole segments, Adler-32.
    BitWriter bits(out);
    bits.Reserve(16);
    bits.Put(0x78, 8);
    bits.Put(0x9C, 8);
    BlockCode block;
    for (std::size_t s = 0; s < segments || s == 0;) {
        std::size_t e = s;
        while (e < segments && state.SegmentTokens[e + 1] - state.SegmentTokens[s] < BlockTokens) ++e;
        e = std::min(segments, std::max(e + 1, s + 1));
        const bool last = e >= segments;
        const std::size_t from = segments == 0 ? 0 : state.SegmentTokens[s], to = segments == 0 ? 0 : state.SegmentTokens[e];
        const std::size_t begin = s * segmentBytes, end = std::min(size, e * segmentBytes);
        block = BlockCode{};
        PlanBlock(state.Tokens.data() + from, to - from, block);
        const std::uint64_t stored = StoredBits(end - begin, bits.Pending());
        bits.Reserve(std::min(stored, block.Bits) + 64);
        if (block.Bits <= stored) {
            WriteDynamicBlock(state.Tokens.data() + from, to - from, block, last, bits);
        } else {
            WriteStoredBlocks(rows.data() + begin, end - begin, last, bits);
        }
        s = e;
        if (segments == 0) break;
    }
    bits.Align();
    const std::uint32_t adler = libdeflate_adler32(1, rows.data(), size);
    for (int shift = 24; shift >= 0; shift -= 8) bits.Put((adler >> shift) & 0xFF, 8);
    bits.Align();

    // Keep this frame for the next.
    state.LastRows.assign(rows.begin(), rows.end());
    state.LastRowBytes = shape.RowBytes;
    state.LastEffort = effort;
    state.LastTokens.swap(state.Tokens);
    state.LastSegmentTokens.swap(state.SegmentTokens);
    return stats;
}

}  // namespace framelot
