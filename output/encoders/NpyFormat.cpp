#include "output/encoders/NpyFormat.h"

namespace framelot {
namespace {

constexpr char Magic[] = "\x93NUMPY";
constexpr std::size_t MagicBytes = 6;
constexpr std::size_t PreambleBytes = MagicBytes + 2 + 2;  // magic, version 1.0, the dictionary's length

}  // namespace

std::string NpyHeader(const std::vector<std::uint64_t>& shape)
{
    std::string dict = "{'descr': '|u1', 'fortran_order': False, 'shape': (";
    for (std::size_t i = 0; i < shape.size(); ++i) dict += (i > 0 ? ", " : "") + std::to_string(shape[i]);
    dict += shape.size() == 1 ? ",), }" : "), }";
    const std::size_t length = NpyHeaderBytes - PreambleBytes;
    if (dict.size() + 1 < length) dict.append(length - 1 - dict.size(), ' ');
    dict += '\n';
    std::string header(Magic, MagicBytes);
    header += '\x01';
    header += '\x00';
    header += static_cast<char>(length & 0xFF);
    header += static_cast<char>(length >> 8);
    return header + dict;
}

}  // namespace framelot
