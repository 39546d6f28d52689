// The window's one setting, kept in an INI file beside a portable copy of the
// program or in %APPDATA%\Framelot. Read and written with
// the system's private-profile calls. Any thread; each call touches the file.
#pragma once

#include <string>

namespace framelot {

// The running program's own full path, however long.
std::wstring ProgramPath();

// The program's path with its extension replaced by ".ini" (no extension: one
// is added), as PathRenameExtensionW does.
std::wstring SettingsPathFor(const std::wstring& programPath);

// Whether a folder is Program Files (either of them), the Windows folder, or
// inside one, ignoring letter case.
bool InSystemLocation(const std::wstring& folder);

// Where the setting is kept, decided once at start: beside the program when a
// settings file is already there, or when the program's folder can be written
// and is not a system location (a portable copy keeps its setting with it);
// otherwise framelot.ini in %APPDATA%\Framelot. An installed program's folder
// is never the user's, even when an administrator can write it.
std::wstring ChooseSettingsPath(const std::wstring& programPath);

// "folder" in section "SystemSetting", read into 16 characters: "ON" in any
// letter case is on, anything else (a longer value too) off; a missing file,
// section or key gives the default "ON".
bool ReadMakeFolder(const std::wstring& settingsPath);

// Writes "ON" or "OFF", making the file's folder when it is missing. False
// when the file cannot be written.
bool WriteMakeFolder(const std::wstring& settingsPath, bool makeFolder);

}  // namespace framelot
