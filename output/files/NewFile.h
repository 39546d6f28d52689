// Creating a file that did not exist, whole or not at all.
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace framelot {

enum class SaveStatus { Written, AlreadyExists, Failed };

struct SaveOutcome {
    SaveStatus Status = SaveStatus::Failed;
    std::string Reason;  // why it failed, in words a user understands
    bool NoRoom = false; // it failed because the file system (or the user's quota) is full
    bool OverCap = false; // it was not written because --max-output would be passed
};

// Writes `bytes` to a new file at `path` (UTF-8). The data goes to a temporary
// file in the same folder, which is then given the name `path` only if nothing
// is there: an existing file is never replaced, and a crash or a full disk
// never leaves a partial file under `path`.
// - POSIX: the temporary is unnamed (O_TMPFILE) and linked under `path`; it
//   vanishes with the process whatever happens. Where the file system cannot
//   make one, a hidden ".framelot-XXXXXX" file is linked and removed.
// - Windows: a hidden ".framelot-*.tmp" file is moved to `path` by
//   MoveFileExW without replacing; paths of any length.
// In both fallbacks the temporary is removed on every error path, but a
// process killed between creating and removing it leaves it behind.
// Costs one file creation and one write of `bytes`; no fsync.
SaveOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

// True when anything (a file, a folder, a dangling link) is at `path`.
bool PathTaken(const std::string& path);

}  // namespace framelot
