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
};

// Writes `bytes` to a new file at `path`. The data goes to an unnamed (or, where
// the file system cannot make one, a hidden temporary) file in the same folder,
// which is then linked under `path` only if nothing is there: an existing file
// is never replaced, a crash or a full disk never leaves a partial file under
// `path`, and no temporary file is left behind.
SaveOutcome WriteNewFile(const std::string& path, std::span<const std::uint8_t> bytes);

}  // namespace framelot
