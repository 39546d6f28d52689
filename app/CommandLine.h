// The window's command line: --help, --version, and files to convert as a drop.
#pragma once

#include <string>
#include <vector>

namespace framelot {

struct WindowArguments {
    enum class Action { Open, Help, Version, Error };
    Action Do = Action::Open;
    std::vector<std::string> Files;  // to convert right after the window opens, in order
    std::string Error;               // what was wrong, for Action::Error
};

// Reads the arguments after the program name. "--" ends the options; "-"
// alone is a file name.
WindowArguments ParseWindowArguments(const std::vector<std::string>& args);

extern const char* const WindowUsage;

}  // namespace framelot
