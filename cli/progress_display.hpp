#pragma once
// The run's progress on stderr, when stderr is a terminal: one line per file, redrawn as it goes,
// "Licences   [########........]  42 %   126 000 / 300 000 lignes", ending at 100 %.

#include <quorvel/run_report.hpp>

#include <string>

namespace quorvel::cli {

class ProgressDisplay {
public:
    ProgressDisplay();
    ~ProgressDisplay();
    ProgressDisplay(const ProgressDisplay&) = delete;
    ProgressDisplay& operator=(const ProgressDisplay&) = delete;

    // The library's progress callback.
    void Step(const ProgressStep& step);
    // Ends a line left open (a run stopped by an error).
    void Finish();

private:
    void Draw(const ProgressStep& step, int percent);

    bool enabled_;
    bool open_ = false;
    int shownPercent_ = -1;
    long shownLine_ = -1;
};

// The progress line within `width` columns: "Licences         [####......]  42 %   126 000 /
// 300 000 lignes", its bar, then its title, then its count given up as the width shrinks.
std::string ProgressLine(const std::string& title, int percent, const std::string& count, int width);

// "126 000": thousands apart, as a French reader expects.
std::string Grouped(long value);

} // namespace quorvel::cli
