// Paths as the core holds them: UTF-8 text, with "/" (and on Windows also
// "\") between the parts. Converted to the platform's own form only where a
// file is opened.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace framelot {

#ifdef _WIN32
inline constexpr bool BackslashSeparates = true;
#else
inline constexpr bool BackslashSeparates = false;
#endif

// True for a character that separates the parts of a path here.
constexpr bool IsPathSeparator(char c)
{
    return c == '/' || (BackslashSeparates && c == '\\');
}

// The platform's path for UTF-8 text, and back (NativePathPosix.cpp,
// NativePathWindows.cpp). POSIX: the same bytes. Windows: UTF-16, invalid
// UTF-8 replaced by U+FFFD; a path whose full form reaches MAX_PATH comes back
// in its extended form ("\?\C:\..."), so every call that takes it works at
// any length. Costs a copy of the text (and on Windows a full-path lookup).
std::filesystem::path PathFromUtf8(std::string_view utf8);
std::string Utf8FromPath(const std::filesystem::path& path);

// The path that names exactly the file `utf8` names, for opening a file that
// is there: on Windows the long form ("\\?\") of its folder's full path and
// then its file name as written, so that no trailing dot or space of the name
// is trimmed and no name is taken for a device ("CON.gif", "clip .gif");
// elsewhere the same as PathFromUtf8.
std::filesystem::path ExactPathFromUtf8(std::string_view utf8);

// The last part of the path: the text after its last separator.
std::string FileNameOf(std::string_view path);

// The folder that holds `path`: the text before its last separator ("/"
// for a file at the root, "Z:" for "Z:anim.gif"), "." for a name alone.
std::string FolderOfPath(std::string_view path);

// Position of the last separator, npos when there is none. On Windows the
// colon of a drive ("Z:anim.gif") counts as one when no other follows it.
std::size_t LastSeparator(std::string_view path);

// The path's text as this platform's file systems compare names: the same on
// POSIX; on Windows upper-cased (the invariant locale's mapping, as NTFS
// folds names), "\\" for "/" and without the long-path prefix, so that two
// spellings of one name give one key. For comparing only, never for opening.
std::string FileSystemCaseKey(std::string_view utf8);

}  // namespace framelot
