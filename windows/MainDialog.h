// The Framelot window on Windows: dialog IDD_MAIN. Files dropped on it are
// converted one after another on the batch runner's worker thread while the
// window keeps answering; the count of converted files is shown when a drop is
// done, each file's outcome as the result text's tooltip. A dropped folder
// stands for the animations directly inside it. A right click opens the popup:
// the placement switch, "Open files..." (the file dialog, its choice converted
// as a drop) and, once a drop has converted a file, "Show frames" (the folder
// of the last converted file's frames in the file manager). Esc or the close
// box asks before it ends a drop, and the setting is saved when the window
// closes.
//
// The window and everything of it belong to the thread that created it; the
// runner's events reach that thread as posted messages.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "convert/BatchRunner.h"

namespace framelot {

struct MainWindowOptions {
    std::wstring SettingsPath;              // read now, written when the window closes
    BatchConvertFunction Convert;           // empty: the dispatch of a drop
    std::function<bool(HWND)> AskForceExit;  // empty: "Now processing...\nForce exit?" Yes/No
    std::function<std::vector<std::string>(HWND)> ChooseFiles;  // empty: ChooseAnimationFiles
    std::function<bool(HWND, const std::string&)> ShowFolder;     // empty: ShowFolderInFileManager
    bool ShellAvailable = true;  // false: COM could not start; "Open files..." is greyed
};

// Creates the window (hidden, titled "Framelot", with its icons) from the
// resources of `instance`. Null when it cannot be created.
HWND CreateMainWindow(HINSTANCE instance, MainWindowOptions options);

// Converts the files as one drop, after any drop still waiting: what a drop
// does, and what the files named on the command line get.
void ConvertFiles(HWND window, std::vector<std::string> files);

// The message loop of the window's thread until the window is gone; Esc is
// command IDM_ESCAPE through an accelerator table. Returns the quit code.
int RunMessageLoop(HWND window);

}  // namespace framelot
