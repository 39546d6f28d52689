#include "output/files/FreeSpace.h"

namespace framelot {

// The page's files are in memory, bounded by the module's own limits: there
// is no disk to ask.
std::optional<std::uint64_t> FreeBytes(const std::string&)
{
    return std::nullopt;
}

}  // namespace framelot
