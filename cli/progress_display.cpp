#include "progress_display.hpp"
#include "i18n.hpp"

#include "help_format.hpp"
#include "platform.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace quorvel::cli {

namespace {

// Columns taken by UTF-8 text: one per character.
int Columns(const std::string& text) {
    int n = 0;
    for (char c : text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

// `text` one character shorter, ending with "…".
std::string Shortened(std::string text) {
    auto drop = [&text] {
        while (!text.empty() && (static_cast<unsigned char>(text.back()) & 0xC0) == 0x80)
            text.pop_back();
        if (!text.empty()) text.pop_back();
    };
    if (text.ends_with("…")) drop();
    drop();
    return text.empty() ? text : text + "…";
}

std::string Title(const ProgressStep& step) {
    if (step.pass == "clubs") return _("Clubs");
    if (step.pass == "licences") return _("Licences");
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

ProgressDisplay::ProgressDisplay() : enabled_(StderrIsTerminal()) {}

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
    // is done, then shows 100 % with the true count of lines; an interrupted pass's bar stays
    // where it stopped.
    int percent = step.finished && !step.interrupted ? 100
                  : step.estimate > 0 ? static_cast<int>(std::min<long>(99, step.line * 100 / step.estimate))
                                      : 0;
    // Redrawn at each new percent, and every 1 000 lines for the count.
    if (percent == shownPercent_ && !step.finished && step.line / 1000 == shownLine_ / 1000) return;
    Draw(step, percent);
    if (step.finished) Finish();
}

void ProgressDisplay::Draw(const ProgressStep& step, int percent) {
    std::string count = Grouped(step.line);
    if ((!step.finished || step.interrupted) && step.estimate > 0) count += " / " + Grouped(step.estimate);
    count = Fill(_("{1} lines"), {count});
    if (step.interrupted) count += " — " + _("interrupted");
    std::string line = ProgressLine(Title(step), percent, count, TerminalColumns(2) - 1);
    std::fprintf(stderr, "\r%s\033[K", line.c_str());
    std::fflush(stderr);
    open_ = true;
    shownPercent_ = percent;
    shownLine_ = step.line;
}

std::string ProgressLine(const std::string& title, int percent, const std::string& count, int width) {
    auto fits = [width](const std::string& line) { return Columns(line) <= width; };
    auto bar = [percent](int size) {
        std::string filled(static_cast<std::size_t>(percent * size / 100), '#');
        return " [" + filled.append(static_cast<std::size_t>(size - percent * size / 100), '.') + "] ";
    };
    char number[8];
    std::snprintf(number, sizeof number, "%3d %%", percent);
    std::string name = title;
    while (Columns(name) < 16)
        name += ' ';
    // Narrower terminals first lose bar, then name, then the bar and the count.
    for (int size = 30; size >= 10; --size)
        if (std::string line = name + bar(size) + number + "   " + count; fits(line)) return line;
    name = title;
    for (;;) {
        if (std::string line = name + bar(10) + number + "   " + count; fits(line)) return line;
        if (Columns(name) <= 8) break;
        name = Shortened(name);
    }
    if (std::string line = name + " " + number + "   " + count; fits(line)) return line;
    std::string line = name + " " + number;
    while (!fits(line) && !line.empty())
        line = Shortened(line);
    return line;
}

void ProgressDisplay::Finish() {
    if (open_) {
        std::fputc('\n', stderr);
        std::fflush(stderr);
        open_ = false;
    }
}

} // namespace quorvel::cli
