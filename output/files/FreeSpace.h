// How much room a folder's file system has left for this user, for the check
// before frames are written. One file a platform (FreeSpacePosix.cpp,
// FreeSpaceWindows.cpp, FreeSpaceWeb.cpp).
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace framelot {

// The bytes an unprivileged writer may still use on the file system that
// holds `folder` (UTF-8), or its nearest existing parent when it is not made
// yet; nothing when that cannot be told (then no check is made). One system
// call, and a look at each missing parent.
std::optional<std::uint64_t> FreeBytes(const std::string& folder);

}  // namespace framelot
