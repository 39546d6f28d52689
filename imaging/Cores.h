// How many threads the machine runs at once.
#pragma once

namespace framelot {

// The number of hardware threads the system reports, at least 1 (when it
// reports none). Cheap; callable from any thread.
unsigned CoreCount();

}  // namespace framelot
