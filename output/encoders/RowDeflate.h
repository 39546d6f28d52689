// Our own deflate encoder for filtered PNG rows of 4-byte pixels, written for
// what animation frames hold: runs of one pixel, rows equal to the row above,
// colours seen a few pixels or rows before, and frames that differ from the
// one before in a band of rows.
//
// The match search: the pixel before and the pixel above are tried first, so
// runs and repeated rows are found at once, at their full length (up to 258
// bytes a match); then a chain of earlier places with the same eight bytes
// (two pixels: one pixel's colour repeats too often to tell places apart),
// walked to a fixed depth, lazily (a longer match from the next byte wins).
// Matches are at least four bytes. Long runs of zeros are not hashed inside.
//
// The rows are parsed in segments of whole rows (about SegmentBytes each). No
// match crosses a segment's end, and a segment's parse depends only on its
// own bytes and the 32 KiB before it: so a segment whose bytes and window are
// those of the last frame this encoder wrote, at the same place, takes that
// frame's parse as it was instead of parsing again. The bytes written are the
// same either way: what a frame encodes to never depends on the frames before
// it, on the thread or on the order in which frames come.
//
// The parse is then coded in blocks of whole segments (a block ends at the
// first segment end after BlockTokens), each with its own dynamic Huffman
// codes of at most 15 bits, and wrapped as a zlib stream (RFC 1950) that
// every inflater reads.
//
// Threads: a RowDeflater belongs to one thread at a time. Encoders on
// different threads share nothing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace framelot {

// Rows are parsed in segments of at least this many bytes (one row when a
// row is longer), and coded in blocks of at least BlockTokens tokens.
inline constexpr std::size_t SegmentBytes = 16 * 1024;
inline constexpr std::size_t BlockTokens = 16 * 1024;

// How hard the match search works: candidates walked a pixel, the match
// length that stops the walk, and the length below which the next pixel is
// tried for a longer match before this one is taken.
struct RowDeflateEffort {
    int ChainDepth = 16;
    int NiceLength = 128;
    int LazyBelow = 16;
    friend bool operator==(const RowDeflateEffort&, const RowDeflateEffort&) = default;
};

// What one call did, in segments: parsed anew, or taken from the last frame.
struct RowDeflateStats {
    std::size_t Segments = 0;
    std::size_t Reused = 0;
};

// A thread's encoder: hash chains of the current window, the last frame's
// filtered rows and its parse by segment. Grows to about three times the
// largest frame's filtered bytes and keeps that until Release.
class RowDeflater {
public:
    RowDeflater();
    ~RowDeflater();
    RowDeflater(const RowDeflater&) = delete;
    RowDeflater& operator=(const RowDeflater&) = delete;

    // Forgets the last frame and gives its memory back.
    void Release();

    struct State;

private:
    State* state_;
    friend RowDeflateStats DeflateRows(RowDeflater& deflater, std::span<const std::uint8_t> rows,
                                       std::size_t rowBytes, const RowDeflateEffort& effort,
                                       std::vector<std::uint8_t>& out);
};

// Appends the zlib stream of `rows` to `out`: rows of `rowBytes` bytes each,
// a filter byte and then 4-byte pixels (rowBytes = 1 + 4 * width). Bytes that
// do not fit that shape (a size that is not a whole number of rows, a row
// length that is not 1 plus a multiple of 4) are still encoded exactly, as
// rows of literals and matches found byte by byte over the pixels' places.
// The stream is a pure function of `rows`, `rowBytes` and `effort`.
//
// Costs one pass of hashing a pixel and walking at most ChainDepth
// candidates for each pixel of the segments that are parsed; a segment
// taken from the last frame costs one comparison of its bytes and its
// window. Coding costs one pass over the parse. `out` grows by at most the
// rows' size plus 5 bytes a block (a block is stored when that is smaller;
// there are at most size / BlockTokens + 1 blocks) and 6 bytes of zlib's.
RowDeflateStats DeflateRows(RowDeflater& deflater, std::span<const std::uint8_t> rows, std::size_t rowBytes,
                            const RowDeflateEffort& effort, std::vector<std::uint8_t>& out);

}  // namespace framelot
