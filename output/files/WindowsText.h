// UTF-8 and UTF-16 at the Windows edge, and the system's words for an error.
// Windows builds only.
#pragma once

#include <string>
#include <string_view>

namespace framelot {

// Invalid input is replaced by U+FFFD, never dropped silently.
std::wstring WideFromUtf8(std::string_view utf8);
std::string Utf8FromWide(std::wstring_view wide);

// The system's message for a GetLastError code, in UTF-8 without the
// trailing line break: "Access is denied."
std::string WindowsErrorText(unsigned long code);

}  // namespace framelot
