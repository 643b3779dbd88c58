#include "summary.hpp"

#include "i18n.hpp"
#include "outcome_text.hpp"
#include "progress_display.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace quorvel::cli {

namespace {

// How many kinds of warnings and errors are shown, and how many lines of each.
constexpr std::size_t kGroupsShown = 10;
constexpr std::size_t kShown = 3;

// The words of a count, by pass (empty: any pass); the first that fits is taken. The context
// tells the translation what is counted (a licence, a club: their words agree in gender).
struct CountWords {
    const char* context;
    const char* one;
    const char* many;
};
// Marks the words for translation (xgettext's keyword NC_); PC_ translates them when used.
constexpr CountWords NC_(const char* context, const char* one, const char* many) {
    return {context, one, many};
}
struct Label {
    std::string_view pass;
    std::string_view name;
    CountWords words;
};
constexpr Label kLabels[] = {
    {"clubs", "created", NC_("club", "{1} created", "{1} created")},
    {"licences", "known", NC_("licence", "{1} already known", "{1} already known")},
    {"", "known", NC_("club", "{1} already known", "{1} already known")},
    {"", "knownOtherName", NC_("club", "{1} known under another name", "{1} known under another name")},
    {"iuf", "updated", NC_("licence", "{1} updated", "{1} updated")},
    {"", "updated", NC_("club", "{1} updated", "{1} updated")},
    {"", "imported", NC_("licence", "{1} imported", "{1} imported")},
    {"", "relay", NC_("licence", "{1} relay", "{1} relay")},
    {"", "errors", NC_("line", "{1} in error", "{1} in error")},
    {"", "clubsAdded", NC_("club", "{1} club added", "{1} clubs added")},
    {"", "unknown", NC_("licence", "{1} unknown", "{1} unknown")},
};

std::string Words(std::string_view pass, std::string_view name, long count) {
    for (const Label& label : kLabels)
        if ((label.pass.empty() || label.pass == pass) && label.name == name)
            return Fill(PC_(label.words.context, label.words.one, label.words.many, count), {Grouped(count)});
    return Grouped(count) + " " + std::string(name);
}

std::string FileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The message on one line, control characters shown escaped.
std::string OneLine(const std::string& message) {
    std::string out;
    for (char c : Printable(message))
        out += c == '\n' ? ' ' : c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

// "0,4 s, 62 500 lines/s" (numbers written alike in every language).
std::string Speed(double seconds, long lines) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    std::string out = text;
    std::replace(out.begin(), out.end(), '.', ',');
    if (seconds > 0 && lines > 0)
        out += ", " + Fill(_("{1} lines/s"), {Grouped(static_cast<long>(lines / seconds))});
    return out;
}

std::string PassLine(const PassReport& pass) {
    std::string title = pass.pass == "clubs" ? _("Clubs") : pass.pass == "licences" ? _("Licences") : "IUF";
    std::string counts;
    for (const auto& [name, value] : pass.counts)
        if (name != "lines") counts += (counts.empty() ? "" : ", ") + Words(pass.pass, name, value);
    if (pass.Uncounted() > 0)
        counts += ", " + Fill(P_("{1} other (selection entries, repeated lines…)",
                                 "{1} others (selection entries, repeated lines…)", pass.Uncounted()),
                              {Grouped(pass.Uncounted())});
    const long lines = pass.Count("lines");
    const std::string read = pass.completed ? Fill(P_("{1} line", "{1} lines", lines), {Grouped(lines)})
                                            : Fill(_("interrupted at line {1}"), {Grouped(pass.stoppedAt)});
    // TRANSLATORS: a pass's line: its title, file, lines read, counts and time.
    return Fill(_("{1} ({2}): {3} — {4} — {5}"),
                {title, FileName(pass.file), read, counts, Speed(pass.seconds, lines)}) +
           "\n";
}

std::string Groups(const RunReport& report) {
    const long kinds = static_cast<long>(report.groups.size());
    std::string out =
        Fill(_("{1}, {2}, in {3}:"),
             {Fill(P_("{1} warning", "{1} warnings", report.warnings), {Grouped(report.warnings)}),
              Fill(P_("{1} error", "{1} errors", report.errors), {Grouped(report.errors)}),
              Fill(P_("{1} kind", "{1} kinds", kinds), {Grouped(kinds)})}) +
        "\n";
    for (std::size_t g = 0; g < report.groups.size() && g < kGroupsShown; ++g) {
        const EntryGroup& group = report.groups[g];
        // TRANSLATORS: a kind of entries: "Warning × 12: the message".
        out += "  " +
               Fill(_("{1} × {2}: {3}"), {group.kind == "Erreur" ? _("Error") : _("Warning"),
                                          Grouped(group.count), OneLine(group.text)}) +
               "\n";
        for (std::size_t i = 0; i < group.first.size() && i < kShown; ++i) {
            const ReportEntry& e = group.first[i];
            out += "    ";
            if (e.line > 0)
                out += Fill(_("{1} line {2}: "), {FileName(e.file), Grouped(e.line)});
            else if (!e.file.empty())
                out += Fill(_("{1}: "), {FileName(e.file)});
            out += OneLine(e.message) + "\n";
        }
        if (const long more = group.count - static_cast<long>(kShown); more > 0)
            out += "    " + Fill(P_("(and {1} more)", "(and {1} more)", more), {Grouped(more)}) + "\n";
    }
    if (const long more = kinds - static_cast<long>(kGroupsShown); more > 0)
        out += "  " +
               Fill(P_("(and {1} other kind: see the TraceLog)", "(and {1} other kinds: see the TraceLog)",
                       more),
                    {Grouped(more)}) +
               "\n";
    return out;
}

} // namespace

std::string Summary(const RunReport& report, const std::vector<std::string>& outputs) {
    std::string out = OutcomeLine(report) + "\n";
    if (std::string resume = ResumeLine(report); !resume.empty()) out += resume + "\n";
    if (report.preview) out += _("Preview: nothing was stored in the database.") + "\n";
    for (const PassReport& pass : report.passes)
        out += PassLine(pass);
    if (!report.groups.empty()) out += Groups(report);
    for (const std::string& line : outputs)
        out += line + "\n";
    return out;
}

std::string StartFailure(const RunReport& report) {
    const ReportEntry* e = report.StartFailureEntry();
    if (e == nullptr) return {};
    return OneLine(e->message) + (e->file.empty() ? "" : " — " + e->file);
}

} // namespace quorvel::cli
