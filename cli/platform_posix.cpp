#include "platform.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

namespace quorvel::cli {

std::filesystem::path ProgramFile() {
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::filesystem::path() : exe;
}

bool StderrIsTerminal() {
    return ::isatty(STDERR_FILENO) == 1;
}

int TerminalWidth(int fd, int otherwise) {
    winsize size{};
    if (::isatty(fd) == 1 && ::ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
    return otherwise;
}

} // namespace quorvel::cli
