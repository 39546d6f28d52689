// A size in bytes as people read it.
#pragma once

#include <cstdint>
#include <string>

namespace framelot {

// "512 bytes", "3.4 MB", "1.2 GB" (decimal units, as file managers and df -H
// show them). Costs a few divisions.
std::string SizeInWords(std::uint64_t bytes);

}  // namespace framelot
