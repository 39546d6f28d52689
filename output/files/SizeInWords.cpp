#include "output/files/SizeInWords.h"

#include <cstdio>
#include <iterator>

namespace framelot {

std::string SizeInWords(std::uint64_t bytes)
{
    constexpr std::uint64_t Kilo = 1000;
    if (bytes < Kilo) return std::to_string(bytes) + " bytes";
    const char* units[] = {"kB", "MB", "GB", "TB", "PB"};
    double value = static_cast<double>(bytes) / Kilo;
    std::size_t unit = 0;
    while (value >= Kilo && unit + 1 < std::size(units)) {
        value /= Kilo;
        ++unit;
    }
    char text[32];
    std::snprintf(text, sizeof text, value < 10 ? "%.1f %s" : "%.0f %s", value, units[unit]);
    return text;
}

}  // namespace framelot
