// The output options as the command line and the web page take them: the
// frames (--frames, --every N, --at TIMES, --count N), their names (--name
// TEMPLATE, --start N), their canvas (--canvas grown|declared), size and
// file format (--scale, --fit, --filter, --format, --quality, --background),
// the room they may take (--max-output) and the
// sprite sheet's layout (--columns N, --rows N, --strip, --padding N,
// --margin N, --extrude N, --pot, --max-size WxH, --trim, --atlas FORMAT).
// One reader for both front ends, so that they accept and refuse the same
// things in the same words.
#pragma once

#include <string>

#include "convert/OutputOptions.h"

namespace framelot {

// True for the options here that take a value, and for those that do not.
bool OutputOptionTakesValue(const std::string& option);
bool OutputOptionIsFlag(const std::string& option);

// Sets a flag (OutputOptionIsFlag) in `options`.
void ReadOutputFlag(const std::string& option, OutputOptions& options);

// Sets an option with its value; false with the reason (naming the option
// and what it takes) when the value is not one it takes.
bool ReadOutputValue(const std::string& option, const std::string& value, OutputOptions& options, std::string& error);

// Why the options read so far do not go together (`firstSheetOption` is the
// first sheet option given, for the message); empty when they do.
std::string OutputOptionsConflict(const OutputOptions& options, const std::string& firstSheetOption);

// True for the options that lay out a sheet (and so go with --sheet).
bool IsSheetOption(const std::string& option);

}  // namespace framelot
