// framelot-cli --info: what each file says about its animation, as a table or
// as one JSON document.
#pragma once

#include <string>
#include <vector>

namespace framelot {

// Prints every file's description to standard output; true when no file
// failed (could not be read, or is over a limit).
bool PrintInfo(const std::vector<std::string>& files, bool json, bool mergeHeld = false);

}  // namespace framelot
