// framelot-cli's entry, one file a platform (ConsolePosix.cpp,
// ConsoleWindows.cpp): the arguments as UTF-8, the console set up for UTF-8
// text and the progress line's control sequences, then RunCommandLine.
#pragma once

#include <string>
#include <vector>

namespace framelot {

// Runs the command line (the arguments after the program's name, UTF-8) and
// returns the exit status. `standardErrorIsTerminal` turns the progress line on.
int RunCommandLine(const std::vector<std::string>& arguments, bool standardErrorIsTerminal);

// Makes standard output carry bytes as they are (no line-end translation),
// for an array written to it.
void UseBinaryStandardOutput();

}  // namespace framelot
