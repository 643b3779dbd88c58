#include "summary.hpp"

#include "progress_display.hpp"

#include <algorithm>
#include <cstdio>
#include <string_view>

namespace quorvel::cli {

namespace {

// How many kinds of warnings and errors are shown, and how many lines of each.
constexpr std::size_t kGroupsShown = 10;
constexpr std::size_t kShown = 3;

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

// The message on one line, control characters shown escaped.
std::string OneLine(const std::string& message) {
    std::string out;
    for (char c : Printable(message))
        out += c == '\n' ? ' ' : c;
    while (!out.empty() && out.back() == ' ')
        out.pop_back();
    return out;
}

std::string Plural(long count, const char* word) {
    return Grouped(count) + " " + word + (count > 1 ? "s" : "");
}

// "0,4 s, 62 500 lignes/s".
std::string Speed(double seconds, long lines) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", seconds);
    std::string out = text;
    std::replace(out.begin(), out.end(), '.', ',');
    if (seconds > 0 && lines > 0) out += ", " + Grouped(static_cast<long>(lines / seconds)) + " lignes/s";
    return out;
}

std::string PassLine(const PassReport& pass) {
    std::string title = pass.pass == "clubs" ? "Clubs" : pass.pass == "licences" ? "Licences" : "IUF";
    std::string counts;
    for (const auto& [name, value] : pass.counts)
        if (name != "lines") counts += (counts.empty() ? "" : ", ") + Words(pass.pass, name, value);
    if (pass.Uncounted() > 0)
        counts += ", " + Grouped(pass.Uncounted()) + " autre" + (pass.Uncounted() > 1 ? "s" : "") +
                  " (entrées de sélection, lignes répétées…)";
    const long lines = pass.Count("lines");
    return title + " (" + FileName(pass.file) + ") : " +
           (pass.completed ? Plural(lines, "ligne") : "interrompu à la ligne " + Grouped(pass.stoppedAt)) +
           " — " + counts + " — " + Speed(pass.seconds, lines) + "\n";
}

std::string Groups(const RunReport& report) {
    std::string out = Plural(report.warnings, "avertissement") + ", " + Plural(report.errors, "erreur") +
                      ", en " + Plural(static_cast<long>(report.groups.size()), "sorte") + " :\n";
    for (std::size_t g = 0; g < report.groups.size() && g < kGroupsShown; ++g) {
        const EntryGroup& group = report.groups[g];
        out += "  " + std::string(group.kind == "Erreur" ? "Erreur" : "Avertissement") + " × " +
               Grouped(group.count) + " : " + OneLine(group.text) + "\n";
        for (std::size_t i = 0; i < group.first.size() && i < kShown; ++i) {
            const ReportEntry& e = group.first[i];
            out += "    ";
            if (e.line > 0)
                out += FileName(e.file) + " ligne " + Grouped(e.line) + " : ";
            else if (!e.file.empty())
                out += FileName(e.file) + " : ";
            out += OneLine(e.message) + "\n";
        }
        if (group.count > static_cast<long>(kShown))
            out += "    (et " + Grouped(group.count - static_cast<long>(kShown)) + " autres)\n";
    }
    if (report.groups.size() > kGroupsShown)
        out += "  (et " + Plural(static_cast<long>(report.groups.size() - kGroupsShown), "autre sorte") +
               " : voir le TraceLog)\n";
    return out;
}

} // namespace

std::string Summary(const RunReport& report, const std::vector<std::string>& outputs) {
    std::string out = report.OutcomeText() + "\n";
    if (std::string resume = report.ResumeText(); !resume.empty()) out += resume + "\n";
    if (report.preview) out += "Aperçu : rien n'a été enregistré dans la base.\n";
    for (const PassReport& pass : report.passes)
        out += PassLine(pass);
    if (!report.groups.empty()) out += Groups(report);
    for (const std::string& line : outputs)
        out += line + "\n";
    return out;
}

std::string StartFailure(const RunReport& report) {
    for (auto g = report.groups.rbegin(); g != report.groups.rend(); ++g)
        for (auto e = g->first.rbegin(); e != g->first.rend(); ++e)
            if (e->kind == "Erreur" && e->line == 0)
                return OneLine(e->message) + (e->file.empty() ? "" : " — " + e->file);
    return {};
}

} // namespace quorvel::cli
