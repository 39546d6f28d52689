#include <unistd.h>

#include <csignal>

#include "cli/Console.h"

int main(int argc, char** argv)
{
    // A full disk or a file size limit must come back as a write error with a
    // reason, not end the process.
    std::signal(SIGXFSZ, SIG_IGN);
    return framelot::RunCommandLine(std::vector<std::string>(argv + 1, argv + argc), ::isatty(STDERR_FILENO) == 1);
}

void framelot::UseBinaryStandardOutput() {}  // POSIX output is bytes already
