#pragma once
// The terminal the program writes to and the program's own file: the only platform knowledge of
// the program (its POSIX and Windows answers live in platform_posix.cpp and platform_windows.cpp).

#include <filesystem>

namespace quorvel::cli {

// The running program's file, or an empty path when the system does not tell.
std::filesystem::path ProgramFile();

// True when standard error is a terminal (progress is drawn there only then).
bool StderrIsTerminal();
// The width of the terminal on file descriptor `fd` (1 standard output, 2 standard error), or
// `otherwise` when it is not a terminal.
int TerminalWidth(int fd, int otherwise);

} // namespace quorvel::cli
