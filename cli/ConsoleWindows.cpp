#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "cli/Console.h"
#include "output/files/WindowsText.h"

namespace {

// True when standard error is a console; then it also takes the control
// sequences that redraw and erase the progress line.
bool PrepareStandardError()
{
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (error == INVALID_HANDLE_VALUE || !::GetConsoleMode(error, &mode)) return false;
    return ::SetConsoleMode(error, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING | ENABLE_PROCESSED_OUTPUT) != 0;
}

}  // namespace

// The arguments come as UTF-16 and go on as UTF-8; everything printed is
// UTF-8, which the console shows as such once its output code page says so
// (a redirected file gets the UTF-8 bytes). The console's own code page is
// given back at the end, so the shell that ran us prints as before.
int wmain(int argc, wchar_t** argv)
{
    const UINT consolePage = ::GetConsoleOutputCP();
    ::SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) arguments.push_back(framelot::Utf8FromWide(argv[i]));
    const bool terminal = PrepareStandardError();
    const int status = framelot::RunCommandLine(arguments, terminal);
    std::fflush(stdout);
    std::fflush(stderr);
    if (consolePage != 0) ::SetConsoleOutputCP(consolePage);
    return status;
}

void framelot::UseBinaryStandardOutput()
{
    _setmode(_fileno(stdout), _O_BINARY);
}
