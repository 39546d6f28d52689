// Where a source's frames go, how they are named, and when a source is passed
// over because its output is already there. One rule gives the name the skip
// test looks at, the names frames are written under, the name every line
// reports and the key that tells two sources of a batch apart.
//
// The rules, each named:
//
// - ExtensionIsTheLastDot: a path's extension is its last "." after which no
//   separator and no space follows; the stem is the file name without it.
// - TrailingDotsAndSpaces (Windows): a stem's trailing dots and spaces are
//   trimmed ("clip .gif" and "clip..gif" give "clip"). Windows drops them when
//   it makes a file or folder, so otherwise the folder made ("clip") would not
//   be the folder reported or tested ("clip "), and paths in the long form
//   ("\\?\"), which skip that trimming, would name another file.
// - DeviceNames (Windows): a stem whose first part (up to its first dot, any
//   trailing spaces ignored) is a device name (CON, PRN, AUX, NUL, COM1 to
//   COM9, LPT1 to LPT9, in any letter case) gets "_" after that part
//   ("CON.gif" gives "CON_", "nul.old.gif" gives "nul_.old"): Windows would
//   open the device instead of a file or folder of that name.
// - DriveColon (Windows): "X:" at the start of a path ends its drive part the
//   way a separator would ("Z:anim.gif" has the stem "anim", its folder is
//   "Z:anim", the folder "anim" in drive Z's current folder).
// - StreamColon (Windows): any other ":" in a stem becomes "_", since a colon
//   names a stream of a file and never a file of its own.
// - EmptyStem: a stem that is empty, "." or ".." (".gif", "..gif", "...gif")
//   becomes "_", so that its frames get a name and a folder of their own
//   instead of the source's folder or the one above it.
// - SharedOutput: two sources share an output when the folders their outputs
//   go to (the source's own, or the -o folder) are the same folder and their
//   stems are equal. Folders are compared as absolute, lexically normal paths,
//   through links where the folder exists; on Windows without letter case, as
//   its file systems compare names. Sources that share an output are never
//   converted side by side: the first converts, the later ones are skipped.
//
// On POSIX systems only ExtensionIsTheLastDot, EmptyStem and SharedOutput
// apply: any other byte but "/" is a name's own.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace framelot {

// Which platform's rules a name follows: the ones above marked Windows, or not.
enum class NamingRules { Posix, Windows };
#ifdef _WIN32
inline constexpr NamingRules PlatformNaming = NamingRules::Windows;
#else
inline constexpr NamingRules PlatformNaming = NamingRules::Posix;
#endif

// Position of the path's extension (ExtensionIsTheLastDot). npos when there
// is none.
std::size_t FindExtension(std::string_view path);

// The path without its extension, as it stands (no other rule applied).
std::string StripExtension(std::string_view path);

// The stem outputs of a file named `fileName` are named after: its name
// without the extension, with the rules above applied. Never empty.
std::string OutputStem(std::string_view fileName, NamingRules rules = PlatformNaming);

// The path every output of `source` is named from: the source's folder part as
// it stands, then OutputStem of its file name. With the switch on, it is also
// the folder frames go into.
std::string OutputBasePath(std::string_view source, NamingRules rules = PlatformNaming);

// The folder frames go into when the placement switch is on (OutputBasePath).
std::string OutputFolderPath(std::string_view source);

// The path of frame `index`: "<base>_%04d.png", placed inside
// OutputFolderPath when `makeFolder`.
std::string FrameFilePath(std::string_view source, bool makeFolder, std::uint64_t index);

// True when the source is to be passed over: with the switch on, when its output
// folder exists as a folder; with it off, when anything exists at the path of
// frame `firstFrame` (the first frame that would be written).
bool OutputExists(std::string_view source, bool makeFolder, std::uint64_t firstFrame = 0);

// The source's path as if it lay in `outputFolder` (its file name there): the
// functions above then give the places under that folder. `source` itself when
// `outputFolder` is empty.
std::string PlacedSource(std::string_view source, std::string_view outputFolder);

// The sprite sheet's path: "<base>_sheet" and `extension` (".png", ".json"),
// placed as FrameFilePath places frames.
std::string SheetFilePath(std::string_view source, bool makeFolder, std::string_view extension);

// Equal for two sources exactly when they share an output (SharedOutput),
// placed in `outputFolder` as PlacedSource does. Costs a look at the file
// system for the folder's links.
std::string SharedOutputKey(std::string_view source, std::string_view outputFolder = {});

}  // namespace framelot
