// NumPy's .npy format (version 1.0) for an array of unsigned bytes: the magic
// "\x93NUMPY", the version, and a header naming the type, the order and the
// shape, padded with spaces to a fixed size so that it can be written once
// the shape is known, in front of data already in place.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace framelot {

// The header's size: the magic, version, length and dictionary together, a
// multiple of 64 as the format asks, and room for any 64-bit shape of four
// sides.
inline constexpr std::size_t NpyHeaderBytes = 128;

// The header for C-ordered unsigned bytes of `shape`, NpyHeaderBytes long.
std::string NpyHeader(const std::vector<std::uint64_t>& shape);

}  // namespace framelot
