// The sprite sheet's options as the command line and the web page take
// them: --columns N, --rows N, --strip, --padding N, --margin N, --extrude N,
// --pot, --max-size WxH, --trim, --atlas FORMAT. One reader for both front
// ends, so that they accept and refuse the same things in the same words.
#pragma once

#include <string>

#include "convert/OutputOptions.h"

namespace framelot {

// True for the sheet options that take a value, and for those that do not.
bool SheetOptionTakesValue(const std::string& option);
bool SheetOptionIsFlag(const std::string& option);

// Sets a flag (SheetOptionIsFlag) in `options`.
void ReadSheetFlag(const std::string& option, OutputOptions& options);

// Sets an option with its value; false with the reason (naming the option
// and what it takes) when the value is not one it takes.
bool ReadSheetValue(const std::string& option, const std::string& value, OutputOptions& options, std::string& error);

// Why the sheet options read so far do not go together, or with the rest
// (`firstSheetOption` is the first one given, for the message); empty when
// they do.
std::string SheetOptionsConflict(const OutputOptions& options, const std::string& firstSheetOption);

}  // namespace framelot
