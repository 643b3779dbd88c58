#include "progress_display.hpp"

#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace quorvel::cli {

namespace {

std::string Title(const ProgressStep& step) {
    if (step.pass == "clubs") return "Clubs";
    if (step.pass == "licences") return "Licences";
    std::string name(step.file);
    auto slash = name.find_last_of('/');
    return "IUF " + (slash == std::string::npos ? name : name.substr(slash + 1));
}

} // namespace

std::string Grouped(long value) {
    std::string digits = std::to_string(value < 0 ? -value : value);
    std::string out;
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
        out += digits[i];
    }
    return value < 0 ? "-" + out : out;
}

ProgressDisplay::ProgressDisplay() : enabled_(::isatty(STDERR_FILENO) == 1) {}

ProgressDisplay::~ProgressDisplay() {
    Finish();
}

void ProgressDisplay::Step(const ProgressStep& step) {
    if (!enabled_) return;
    if (step.line == 0 && !step.finished) {
        // A new file starts on a line of its own.
        Finish();
        shownPercent_ = -1;
    }
    // An estimate is a guess from the first line's length: the bar waits at 99 % until the file
    // is done, then shows 100 % with the true count of lines.
    int percent = step.finished       ? 100
                  : step.estimate > 0 ? static_cast<int>(std::min<long>(99, step.line * 100 / step.estimate))
                                      : 0;
    // Redrawn at each new percent, and every 1 000 lines for the count.
    if (percent == shownPercent_ && !step.finished && step.line / 1000 == shownLine_ / 1000) return;
    Draw(step, percent);
    if (step.finished) Finish();
}

void ProgressDisplay::Draw(const ProgressStep& step, int percent) {
    constexpr int kWidth = 30;
    int filled = percent * kWidth / 100;
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.append(static_cast<std::size_t>(kWidth - filled), '.');
    std::string count = Grouped(step.line);
    if (!step.finished && step.estimate > 0) count += " / " + Grouped(step.estimate);
    std::fprintf(stderr, "\r%-16s [%s] %3d %%   %s lignes\033[K", Title(step).c_str(), bar.c_str(), percent,
                 count.c_str());
    std::fflush(stderr);
    open_ = true;
    shownPercent_ = percent;
    shownLine_ = step.line;
}

void ProgressDisplay::Finish() {
    if (open_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        open_ = false;
    }
}

} // namespace quorvel::cli
