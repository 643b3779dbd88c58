#pragma once
// The command line's stand-in for the caller's form: a progress bar drawn on stderr.

#include <quorvel/host_form.hpp>

#include <string>

namespace quorvel::cli {

// Draws "[######....]  42 % label" on stderr, redrawn only when the whole percentage or the
// label changes. Draws nothing when stderr is not a terminal, but still keeps the value (the
// import reads it back to advance).
class TerminalForm : public HostForm {
public:
    TerminalForm();
    ~TerminalForm() override;

    double ProgressValue() const override { return value_; }
    void SetProgressValue(double value) override;
    void SetLabelCaption(int index, const std::string& caption) override;
    void Refresh() override;

    // Ends the bar's line so later output starts on a fresh line.
    void Finish();

private:
    void Draw();

    bool enabled_;
    bool drawn_ = false;
    double value_ = 0;
    int shownPercent_ = -1;
    std::string label_;
};

} // namespace quorvel::cli
