#include "summary.hpp"

#include "progress_display.hpp"

#include <string_view>

namespace quorvel::cli {

namespace {

// How many warnings and errors are shown before "see the TraceLog".
constexpr std::size_t kShown = 5;

// The words of a count, by pass (empty: any pass), "<s>" standing for the plural's "s"; the first
// that fits is taken.
struct Label {
    std::string_view pass;
    std::string_view name;
    std::string_view words;
};
constexpr Label kLabels[] = {
    {"clubs", "created", "créé<s>"},      {"licences", "known", "déjà connue<s>"},
    {"", "known", "déjà connu<s>"},       {"", "knownOtherName", "connu<s> sous un autre libellé"},
    {"iuf", "updated", "mise<s> à jour"}, {"", "updated", "mis à jour"},
    {"", "imported", "importée<s>"},      {"", "relay", "de type relais"},
    {"", "errors", "en erreur"},          {"", "clubsAdded", "club<s> ajouté<s>"},
    {"", "unknown", "inconnue<s>"},
};

std::string Words(std::string_view pass, std::string_view name, long count) {
    std::string_view words = name;
    for (const Label& label : kLabels)
        if ((label.pass.empty() || label.pass == pass) && label.name == name) {
            words = label.words;
            break;
        }
    std::string out = Grouped(count) + " ";
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words.substr(i, 3) == "<s>") {
            if (count > 1) out += 's';
            i += 2;
        } else {
            out += words[i];
        }
    }
    return out;
}

std::string FileName(const std::string& path) {
    auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The message on one line.
std::string OneLine(const std::string& message) {
    std::string out;
    for (char c : message)
        out += c == '\n' ? ' ' : c;
    return out;
}

std::string Plural(long count, const char* word) {
    return Grouped(count) + " " + word + (count > 1 ? "s" : "");
}

} // namespace

std::string Summary(const RunReport& report, const std::vector<std::string>& outputs) {
    std::string out;
    if (report.preview) out += "Aperçu : rien n'a été enregistré dans la base.\n";
    for (const PassReport& pass : report.passes) {
        std::string title = pass.pass == "clubs" ? "Clubs" : pass.pass == "licences" ? "Licences" : "IUF";
        out += title + " (" + FileName(pass.file) + ") : ";
        std::string counts;
        long lines = 0;
        for (const auto& [name, value] : pass.counts) {
            if (name == "lines") {
                lines = value;
                continue;
            }
            counts += (counts.empty() ? "" : ", ") + Words(pass.pass, name, value);
        }
        out += pass.completed ? Plural(lines, "ligne") : "interrompu à la ligne " + Grouped(lines);
        out += " — " + counts + "\n";
    }
    long warnings = 0, errors = 0;
    for (const ReportEntry& e : report.entries)
        ++(e.kind == "Erreur" ? errors : warnings);
    if (warnings + errors > 0) {
        out += Plural(warnings, "avertissement") + ", " + Plural(errors, "erreur") + " :\n";
        for (std::size_t i = 0; i < report.entries.size() && i < kShown; ++i) {
            const ReportEntry& e = report.entries[i];
            out += "  " + e.kind;
            if (e.line > 0) out += ", " + FileName(e.file) + " ligne " + Grouped(e.line);
            out += " : " + OneLine(e.message) + "\n";
        }
        if (report.entries.size() > kShown)
            out += "  (et " + Grouped(static_cast<long>(report.entries.size() - kShown)) +
                   " autres : voir le TraceLog)\n";
    }
    for (const std::string& line : outputs)
        out += line + "\n";
    return out;
}

std::string StartFailure(const RunReport& report) {
    for (auto e = report.entries.rbegin(); e != report.entries.rend(); ++e)
        if (e->kind == "Erreur" && e->line == 0)
            return OneLine(e->message) + (e->file.empty() ? "" : " — " + e->file);
    return {};
}

} // namespace quorvel::cli
