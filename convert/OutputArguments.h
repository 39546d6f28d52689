// The output options as the front ends take them: where the files go
// (--folder, --no-folder, -o DIR), the frames (--frames, --every N, --at
// TIMES, --count N), their names (--name TEMPLATE, --start N), their canvas
// (--canvas grown|declared), size and file format (--scale, --fit, --filter,
// --format, --quality, --background), the room they may take (--max-output),
// a sheet (--sheet) or an array (--npy) instead of frame files, and the
// sprite sheet's layout (--columns N, --rows N, --strip, --padding N,
// --margin N, --extrude N, --pot, --max-size WxH, --trim, --atlas FORMAT).
// One reader for the command line, the page and the Python module, so that
// they accept and refuse the same things in the same words.
#pragma once

#include <string>
#include <vector>

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

// Reads `words`, options and their values and nothing else ("--frames",
// "0-9", "--trim", ...), into `options`: empty, or why they are refused
// (an unknown option, a missing or wrong value, options that conflict), in
// the command line's words. The page and the Python module read theirs so.
std::string ReadOutputArguments(const std::vector<std::string>& words, OutputOptions& options);

}  // namespace framelot
