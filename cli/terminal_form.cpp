#include "terminal_form.hpp"

#include <cstdio>
#include <unistd.h>

namespace quorvel::cli {

TerminalForm::TerminalForm() : enabled_(::isatty(STDERR_FILENO) == 1) {}

TerminalForm::~TerminalForm() {
    Finish();
}

void TerminalForm::SetProgressValue(double value) {
    value_ = value;
    int percent = static_cast<int>(value);
    if (percent != shownPercent_) {
        shownPercent_ = percent;
        Draw();
    }
}

void TerminalForm::SetLabelCaption(int index, const std::string& caption) {
    if (index == 2) label_ = caption;
}

void TerminalForm::Refresh() {
    Draw();
}

void TerminalForm::Draw() {
    if (!enabled_) return;
    constexpr int kWidth = 40;
    int percent = static_cast<int>(value_);
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    int filled = percent * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::fprintf(stderr, "\r[%s] %3d %% %s\033[K", bar.c_str(), percent, label_.c_str());
    std::fflush(stderr);
    drawn_ = true;
}

void TerminalForm::Finish() {
    if (enabled_ && drawn_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        drawn_ = false;
    }
}

} // namespace quorvel::cli
