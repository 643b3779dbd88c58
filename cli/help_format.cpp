#include "help_format.hpp"

#include "platform.hpp"

#include <cstdlib>
#include <sstream>

namespace quorvel::cli {

namespace {

// Columns taken by UTF-8 text: one per character.
std::size_t Columns(std::string_view text) {
    std::size_t n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// Where a line's text continues when wrapped: under an option's description (after a gap of two
// spaces or more), else under the line's own start.
std::size_t Hanging(const std::string& line, std::size_t width) {
    std::size_t start = line.find_first_not_of(' ');
    if (start == std::string::npos) return 0;
    std::size_t gap = line.find("  ", start);
    std::size_t text = gap == std::string::npos ? std::string::npos : line.find_first_not_of(' ', gap);
    std::size_t indent = text == std::string::npos ? start : Columns(line.substr(0, text));
    return indent + 20 > width ? std::min<std::size_t>(start + 4, width / 2) : indent;
}

void WrapLine(std::string& out, std::string line, std::size_t width) {
    // An example command (indented, unlike the program's description, which also opens with its
    // name) goes on after a backslash, so that it still runs when copied.
    const std::size_t start = line.find_first_not_of(' ');
    const bool command = start != std::string::npos && start > 0 && line.compare(start, 8, "quorvel ") == 0;
    const std::string indent(command ? start + 4 : Hanging(line, width), ' ');
    const std::string more = command ? " \\" : "";
    const std::size_t room = width - more.size();
    while (Columns(line) > width) {
        // The last space that leaves the line within the room, past the indentation.
        std::size_t cut = std::string::npos, columns = 0;
        for (std::size_t i = 0; i < line.size() && columns <= room; ++i) {
            if (line[i] == ' ' && columns > indent.size() &&
                line.find_first_not_of(' ', i) != std::string::npos)
                cut = i;
            columns += (static_cast<unsigned char>(line[i]) & 0xC0) != 0x80;
        }
        if (cut == std::string::npos) break; // one word longer than the width
        std::size_t end = line.find_last_not_of(' ', cut);
        out += line.substr(0, end + 1) + more + "\n";
        line = indent + line.substr(line.find_first_not_of(' ', cut));
    }
    out += line;
}

} // namespace

int TerminalColumns(int fd, int otherwise) {
    if (int width = TerminalWidth(fd, 0); width > 0) return width;
    // Without a terminal, COLUMNS when set (the manual page is written from unwrapped help).
    if (const char* columns = std::getenv("COLUMNS"); columns != nullptr && std::atoi(columns) > 0)
        return std::atoi(columns);
    return otherwise;
}

std::string Wrapped(const std::string& text, int width) {
    std::string out;
    std::istringstream in(text);
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (!first) out += "\n";
        first = false;
        WrapLine(out, line, static_cast<std::size_t>(std::max(width, 20)));
    }
    if (!text.empty() && text.back() == '\n') out += "\n";
    return out;
}

std::string WrappingFormatter::make_help(const CLI::App* app, std::string name,
                                         CLI::AppFormatMode mode) const {
    return Wrapped(CLI::Formatter::make_help(app, std::move(name), mode), TerminalColumns(1));
}

} // namespace quorvel::cli
