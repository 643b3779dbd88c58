#include "platform.hpp"

#include <io.h>
#include <iterator>
#include <string>
#include <windows.h>

namespace quorvel::cli {

std::filesystem::path ProgramFile() {
    wchar_t path[MAX_PATH * 4];
    DWORD n = ::GetModuleFileNameW(nullptr, path, static_cast<DWORD>(std::size(path)));
    return n > 0 && n < std::size(path) ? std::filesystem::path(std::wstring(path, n))
                                        : std::filesystem::path();
}

bool StderrIsTerminal() {
    return ::_isatty(2) != 0;
}

int TerminalWidth(int fd, int otherwise) {
    HANDLE console = ::GetStdHandle(fd == 1 ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (::_isatty(fd) == 0 || !::GetConsoleScreenBufferInfo(console, &info)) return otherwise;
    int width = info.srWindow.Right - info.srWindow.Left + 1;
    return width > 0 ? width : otherwise;
}

} // namespace quorvel::cli
