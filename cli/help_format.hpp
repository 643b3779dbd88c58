#pragma once
// Help that fits the terminal: every line wrapped at its width (80 columns without a terminal),
// an option's description continued under itself.

#include <CLI/CLI.hpp>

#include <string>

namespace quorvel::cli {

// The width of the terminal on `fd`; without a terminal, COLUMNS when set, else `otherwise`.
int TerminalColumns(int fd, int otherwise = 80);

// `text` with each line longer than `width` columns (UTF-8 characters) broken at spaces.
std::string Wrapped(const std::string& text, int width);

class WrappingFormatter : public CLI::Formatter {
public:
    std::string make_help(const CLI::App* app, std::string name, CLI::AppFormatMode mode) const override;
};

} // namespace quorvel::cli
