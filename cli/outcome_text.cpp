#include "outcome_text.hpp"

#include "i18n.hpp"
#include "progress_display.hpp"
#include "summary.hpp"

namespace quorvel::cli {

namespace {

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\n') c = ' ';
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    return Printable(text);
}

// "3 lines in error" as the passes count them; other errors (a file left aside) otherwise.
std::string ErrorsText(const RunReport& r) {
    long lines = 0;
    for (const PassReport& p : r.passes)
        lines += p.Count("errors");
    if (lines > 0) return Fill(P_("{1} line in error", "{1} lines in error", lines), {Grouped(lines)});
    return Fill(P_("{1} error", "{1} errors", r.errors), {Grouped(r.errors)});
}

std::string Interrupted(const RunReport& r, const std::string& form) {
    const PassReport& p = *r.InterruptedPass();
    const std::string name = p.file.substr(p.file.find_last_of("/\\") + 1);
    return Fill(form,
                {Grouped(p.stoppedAt), name, OneLine(p.stopMessage.substr(p.stopMessage.find('\n') + 1))});
}

} // namespace

std::string OutcomeLine(const RunReport& r) {
    const bool iuf = r.method == "bImport_CodeIUF", preview = r.preview;
    const std::string errors = ErrorsText(r);
    std::string why = StartFailure(r);
    if (why.empty()) why = _("see the TraceLog");
    const std::string failure =
        Fill(_("Error no. {1}: {2}"), {std::to_string(r.errorNumber), OneLine(r.errorDescription)});
    switch (r.Outcome()) {
    case RunOutcome::Completed:
        return preview ? _("Preview completed: no line in error.")
               : iuf   ? _("IUF code update completed: no line in error.")
                       : _("Import completed: no line in error.");
    case RunOutcome::LinesInError:
        if (r.NothingStored())
            return Fill(preview ? _("Preview completed without storing anything: {1}.")
                        : iuf   ? _("IUF code update completed without storing anything: {1}.")
                                : _("Import completed without storing anything: {1}."),
                        {errors});
        return Fill(preview ? _("Preview completed with {1}: the other lines are accepted.")
                    : iuf   ? _("IUF code update completed with {1}: the other lines are stored.")
                            : _("Import completed with {1}: the other lines are stored."),
                    {errors});
    case RunOutcome::Interrupted:
        return Interrupted(r, preview ? _("Preview interrupted at line {1} of {2}: {3}")
                              : iuf   ? _("IUF code update interrupted at line {1} of {2}: {3}")
                                      : _("Import interrupted at line {1} of {2}: {3}"));
    case RunOutcome::NotStarted:
        return Fill(preview ? _("Preview not started: {1}")
                    : iuf   ? _("IUF code update not started: {1}")
                            : _("Import not started: {1}"),
                    {why});
    case RunOutcome::Failed:
        break;
    }
    return Fill(preview ? _("Preview stopped by an error: {1}")
                : iuf   ? _("IUF code update stopped by an error: {1}")
                        : _("Import stopped by an error: {1}"),
                {failure});
}

std::string ResumeLine(const RunReport& r) {
    const PassReport* p = r.InterruptedPass();
    if (p == nullptr || !r.returned) return {};
    const bool asked = p->stopNumber == 18;
    if (r.preview)
        return asked ? _("Running the same command again redoes the preview.")
                     : _("Once the cause is mended, running the same command again redoes the preview.");
    if (r.method == "bImport_CodeIUF")
        return asked ? _("Running the same command again redoes the update: each code is written again "
                         "unchanged.")
                     : _("Once the cause is mended, running the same command again redoes the update: each "
                         "code is written again unchanged.");
    return asked ? _("Running the same command again goes on with the import: the licences already stored "
                     "are recognised and skipped.")
                 : _("Once the cause is mended, running the same command again goes on with the import: the "
                     "licences already stored are recognised and skipped.");
}

} // namespace quorvel::cli
