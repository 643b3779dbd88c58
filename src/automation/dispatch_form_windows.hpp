#pragma once
// The caller's form reached late-bound, as a compiled component reaches it: ProgressBar1 then
// its Value, lb_message(2) then its Caption, and Refresh, looked up by name on every use.

#include "automation/com_windows.hpp"

#include <quorvel/host_form.hpp>

namespace quorvel::automation {

// Any IDispatch as the HostForm: a script's object (through IDispatchEx, which script engines
// answer where they leave GetIDsOfNames out) or a compiled program's form (IDispatch). A
// member the form lacks raises error 438, a member that is not an object 424, and the form's
// own errors keep their number and description. A null form (Nothing) raises error 91 on use.
class DispatchForm final : public HostForm {
public:
    explicit DispatchForm(IDispatch* form); // AddRef'd; null stands for Nothing
    ~DispatchForm() override;
    DispatchForm(const DispatchForm&) = delete;
    DispatchForm& operator=(const DispatchForm&) = delete;

    double ProgressValue() const override;
    void SetProgressValue(double value) override;
    void SetLabelCaption(int index, const std::string& caption) override;
    void Refresh() override;

private:
    IDispatch* form_;
};

} // namespace quorvel::automation
