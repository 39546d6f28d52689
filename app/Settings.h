// The program's one setting, kept in an INI file beside a program that runs
// from a folder of its own, or in the user's configuration folder.
#pragma once

#include <QString>

namespace framelot {

// The program's own path with its extension replaced by ".ini".
QString SettingsPathFor(const QString& programPath);

// Whether a folder is one where installed programs live: /usr (and so
// /usr/local), /bin, /sbin, /lib, /opt, /snap or below, after links are
// resolved.
bool InSystemLocation(const QString& folder);

// Where the setting is kept, decided once at start: beside the program when
// a settings file is already there, or when the program's folder can be
// written and is not a system location (a copy run from a folder of its own
// keeps its setting with it); otherwise framelot/framelot.ini in the user's
// configuration folder ($XDG_CONFIG_HOME, by default ~/.config). An installed
// program's folder is never the user's, even for root, who can write it.
QString ChooseSettingsPath(const QString& programPath);

// "folder" in section "SystemSetting": "ON" in any letter case is on, any other
// value off; a missing file, section or key gives the default "ON".
bool ReadMakeFolder(const QString& settingsPath);

// Writes "ON" or "OFF", making the file's folder when it is missing. False,
// with nothing else touched, when the file cannot be written.
bool WriteMakeFolder(const QString& settingsPath, bool makeFolder);

}  // namespace framelot
