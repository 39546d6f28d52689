// Reading the dropped file whole into memory.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace framelot {

struct SourceFile {
    bool Ok = false;
    std::vector<std::uint8_t> Bytes;
    std::string Error;  // why it could not be read
};

// Reads the whole file, refusing anything that is not a regular file or is
// larger than the source size limit.
SourceFile ReadSourceFile(const std::string& path);

}  // namespace framelot
