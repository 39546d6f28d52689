#include "app/CommandLine.h"

namespace framelot {

const char* const WindowUsage =
    "Usage: framelot [FILE...]\n"
    "\n"
    "Opens the Framelot window. Drop animated GIF, PNG/APNG, WebP, AVIF and JPEG XL\n"
    "files on it to split them into numbered PNG frames; files named here are converted as if\n"
    "dropped, right after the window opens. Right-click the window for the folder\n"
    "setting.\n"
    "\n"
    "  --help       show this text\n"
    "  --version    show the version\n"
    "  --           everything after this is a file name\n"
    "\n"
    "For a terminal, see framelot-cli.\n";

WindowArguments ParseWindowArguments(const std::vector<std::string>& args)
{
    WindowArguments parsed;
    bool optionsDone = false;
    for (const std::string& a : args) {
        const bool option = !optionsDone && a.size() > 1 && a[0] == '-';
        if (!option) {
            parsed.Files.push_back(a);
        } else if (a == "--") {
            optionsDone = true;
        } else if (a == "--help" || a == "-h") {
            parsed.Do = WindowArguments::Action::Help;
            return parsed;
        } else if (a == "--version") {
            parsed.Do = WindowArguments::Action::Version;
            return parsed;
        } else {
            parsed.Do = WindowArguments::Action::Error;
            parsed.Error = "unknown option " + a;
            return parsed;
        }
    }
    return parsed;
}

}  // namespace framelot
