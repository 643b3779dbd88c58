#pragma once
// The caller's form on which a run shows its progress.

#include <quorvel/export.h>

#include <string>

namespace quorvel {

// What the import needs of the caller's window: a progress bar ranging from 0 to 100, a
// label (element 2 of the form's labels) and a repaint request. Every call happens on the
// caller's thread during a public method. A caller without a window passes no form at all.
class QUORVEL_API HostForm {
public:
    virtual ~HostForm() = default;

    // The progress bar's current value (0 to 100).
    virtual double ProgressValue() const = 0;
    // Sets the progress bar; the import never writes a value outside 0..100.
    virtual void SetProgressValue(double value) = 0;
    // Sets the caption of label `index` (the import uses index 2 for the current file name).
    // The text is UTF-8.
    virtual void SetLabelCaption(int index, const std::string& caption) = 0;
    // Asks the form to repaint after its label changed.
    virtual void Refresh() = 0;
};

} // namespace quorvel
