// What the window asks of the shell: the file dialog of "Open files..." and a
// folder shown in the file manager. Window thread, with COM initialised as a
// single-threaded apartment.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace framelot {

// The system's dialog for opening several files, filtered to the known
// extensions (with "All files" to choose): the chosen files as UTF-8 paths,
// in the dialog's order; empty when cancelled or when the dialog cannot be
// made. Modal to `owner` until the user answers.
std::vector<std::string> ChooseAnimationFiles(HWND owner);

// Opens the folder (a UTF-8 path) in the file manager and returns at once.
// Only a folder that is there is handed on, as a shell item of its own, so no
// name is ever looked up as a program. False when it is not a folder or
// cannot be opened.
bool ShowFolderInFileManager(HWND owner, const std::string& folder);

}  // namespace framelot
