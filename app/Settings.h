// The program's one setting, kept in an INI file beside the program.
#pragma once

#include <QString>

namespace framelot {

// The program's own path with its extension replaced by ".ini".
QString SettingsPathFor(const QString& programPath);

// "folder" in section "SystemSetting": "ON" in any letter case is on, any other
// value off; a missing file, section or key gives the default "ON".
bool ReadMakeFolder(const QString& settingsPath);

// Writes "ON" or "OFF".
void WriteMakeFolder(const QString& settingsPath, bool makeFolder);

}  // namespace framelot
