// The files of a drop on a window (WM_DROPFILES). Window thread.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

namespace framelot {

// Every file of the drop as a UTF-8 path, in the drop's order, however long
// (each path is asked for its length first, so none is cut). The drop is not
// released.
std::vector<std::string> DroppedFiles(HDROP drop);

}  // namespace framelot
