// The run report as a page for the club's secretary: one self-contained HTML file in French
// (UTF-8, inline style, no script, nothing fetched), which also prints on A4.

#include "tracelog/number_text.hpp"

#include <quorvel/run_report.hpp>
#include <quorvel/version.h>

#include <cstdio>
#include <string_view>

namespace quorvel {

namespace {

using tracelog::Grouped;

constexpr const char* kStyle = R"(
@page { size: A4; margin: 14mm; }
* { box-sizing: border-box; }
body { font: 14px/1.4 "DejaVu Sans", Arial, sans-serif; color: #222; max-width: 60rem;
       margin: 1.5rem auto; padding: 0 1rem; }
h1 { font-size: 1.5rem; margin: 0 0 .6rem; }
h2 { font-size: 1.15rem; margin: 1.6rem 0 .5rem; border-bottom: 1px solid #bbb; }
h2 small { font-weight: normal; color: #555; }
h3 { font-size: 1rem; margin: 1.2rem 0 .3rem; }
.preview { border: 3px dashed #b35c00; background: #fff3df; color: #6d3700; font-weight: bold;
           padding: .5rem .8rem; }
.status { border-left: 6px solid; padding: .4rem .8rem; font-weight: bold; }
.status span { display: block; font-weight: normal; }
.ok { border-color: #2e7d32; background: #edf7ee; }
.warn { border-color: #ef8f00; background: #fff6e5; }
.fail { border-color: #c62828; background: #fdecea; }
dl { display: grid; grid-template-columns: max-content 1fr; gap: .2rem 1rem; }
dt { font-weight: bold; }
dd { margin: 0; word-break: break-all; }
table { border-collapse: collapse; width: 100%; }
.counts th { text-align: left; font-weight: normal; width: 40%; padding: .15rem 0; }
.counts td.n { text-align: right; width: 6rem; padding-right: .8rem; font-weight: bold; }
.bar div { background: #eee; height: .9rem; }
.bar span { display: block; height: 100%; min-width: 2px; }
.lines { background: #9e9e9e; } .done { background: #2e7d32; } .known { background: #1565c0; }
.other { background: #f2a900; } .errors { background: #c62828; }
.time { color: #555; margin: .3rem 0 0; }
.entries th, .entries td { border: 1px solid #ccc; padding: .25rem .4rem; text-align: left;
                           vertical-align: top; }
.entries thead th { background: #f0f0f0; }
.entries td.n { text-align: right; }
.tag { font-weight: bold; }
.tag.Erreur { color: #c62828; }
.more { color: #555; margin: .2rem 0 0; }
.msg { white-space: pre-line; }
footer { margin-top: 2rem; color: #666; font-size: .85em; }
@media print {
  body { margin: 0; max-width: none; padding: 0; font-size: 10pt; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  section.pass, section.group, tr { break-inside: avoid; }
  h2, h3 { break-after: avoid; }
  thead { display: table-header-group; }
}
)";

// The summary's wording for each count, by pass; "lines" and "errors" read the same everywhere.
struct CountLabel {
    std::string_view pass, key, text, colour;
};
constexpr CountLabel kLabels[] = {
    {"clubs", "created", "Clubs récupérés", "done"},
    {"clubs", "known", "Déjà connus", "known"},
    {"clubs", "knownOtherName", "Déjà connus sous un autre libellé", "known"},
    {"clubs", "updated", "Mis à jour", "done"},
    {"licences", "imported", "Licences récupérées", "done"},
    {"licences", "known", "Déjà connues", "known"},
    {"licences", "relay", "De type relais", "other"},
    {"licences", "errors", "Entrées en erreur", "errors"},
    {"licences", "clubsAdded", "Clubs ajoutés avec le libellé Null", "other"},
    {"iuf", "updated", "Licences mises à jour", "done"},
    {"iuf", "unknown", "Licences inconnues", "other"},
    {"", "lines", "Lignes lues", "lines"},
    {"", "uncounted", "Autres lignes (entrées de sélection, lignes répétées…)", "lines"},
    {"", "errors", "En erreur", "errors"},
};

CountLabel LabelOf(std::string_view pass, std::string_view key) {
    for (const CountLabel& label : kLabels)
        if ((label.pass == pass || label.pass.empty()) && label.key == key) return label;
    return {pass, key, key, "other"};
}

// Text as page content: markup characters escaped, control characters shown as "\x1B".
void Text(std::string& out, std::string_view text) {
    for (char c : Printable(text)) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '"':
            out += "&quot;";
            break;
        case '\'':
            out += "&#39;";
            break;
        default:
            out += c;
        }
    }
}

std::string_view FileName(std::string_view path) {
    std::size_t slash = path.find_last_of("/\\");
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

std::string Plural(long n, std::string_view word) {
    return Grouped(n, "\u00a0") + " " + std::string(word) + (n > 1 ? "s" : "");
}

// "1,2 s — 25 000 lignes/s".
std::string Speed(double seconds, long lines) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", seconds);
    std::string out = text;
    for (char& c : out)
        if (c == '.') c = ',';
    out += " s";
    if (seconds > 0 && lines > 0)
        out += " — " + Grouped(static_cast<long>(lines / seconds), "\u00a0") + " lignes/s";
    return out;
}

// "2026-12-06T10:15:02" as "06/12/2026 10:15:02".
std::string FrenchDate(const std::string& iso) {
    if (iso.size() != 19) return iso;
    return iso.substr(8, 2) + "/" + iso.substr(5, 2) + "/" + iso.substr(0, 4) + " " + iso.substr(11);
}

void CountRow(std::string& out, const CountLabel& label, long value, long whole) {
    out += "<tr><th>";
    Text(out, label.text);
    out += "</th><td class=\"n\">" + Grouped(value, "\u00a0") + "</td><td class=\"bar\"><div>";
    if (value > 0 && whole > 0) {
        char width[16];
        std::snprintf(width, sizeof width, "%.1f%%", 100.0 * value / whole);
        out += "<span class=\"" + std::string(label.colour) + "\" style=\"width:" + width + "\"></span>";
    }
    out += "</div></td></tr>\n";
}

void Pass(std::string& out, const PassReport& p) {
    static constexpr std::pair<std::string_view, std::string_view> kTitles[] = {
        {"clubs", "Clubs"}, {"licences", "Licences"}, {"iuf", "Codes IUF"}};
    std::string_view title = p.pass;
    for (const auto& [pass, text] : kTitles)
        if (pass == p.pass) title = text;
    out += "<section class=\"pass\">\n<h2>";
    Text(out, title);
    out += " <small>";
    Text(out, FileName(p.file));
    out += "</small></h2>\n";
    if (!p.completed) {
        out += "<p class=\"status fail\">Interrompu à la ligne " + Grouped(p.stoppedAt, "\u00a0") +
               " : les nombres s'arrêtent là.<span>";
        Text(out, p.stopMessage);
        out += "</span></p>\n";
    }
    // Each bar is measured against the lines read.
    const long whole = p.Count("lines");
    out += "<table class=\"counts\">\n";
    for (const auto& [key, value] : p.counts)
        CountRow(out, LabelOf(p.pass, key), value, whole);
    if (p.Uncounted() > 0) CountRow(out, LabelOf(p.pass, "uncounted"), p.Uncounted(), whole);
    out += "</table>\n<p class=\"time\">Durée : " + Speed(p.seconds, whole) + "</p>\n</section>\n";
}

void EntryRow(std::string& out, const ReportEntry& e) {
    out += "<tr><td>";
    Text(out, FileName(e.file));
    out +=
        "</td><td class=\"n\">" + (e.line > 0 ? Grouped(e.line, "\u00a0") : std::string("—")) + "</td><td>";
    Text(out, e.club);
    out += "</td><td>";
    Text(out, e.licence);
    if (!e.selection.empty()) {
        out += " (sélection ";
        Text(out, e.selection);
        out += ")";
    }
    out += "</td><td class=\"msg\">";
    Text(out, e.message);
    out += "</td></tr>\n";
}

void Group(std::string& out, const EntryGroup& g) {
    out += "<section class=\"group\">\n<h3><span class=\"tag ";
    Text(out, g.kind);
    out += "\">" + std::string(g.kind == "Warning" ? "Avertissement" : "Erreur") + "</span> × " +
           Grouped(g.count, "\u00a0") + " — ";
    Text(out, g.text);
    out += "</h3>\n<table class=\"entries\">\n<thead><tr><th>Fichier</th><th>Ligne</th><th>Club</th>"
           "<th>Licence</th><th>Message</th></tr></thead>\n<tbody>\n";
    for (const ReportEntry& e : g.first)
        EntryRow(out, e);
    out += "</tbody>\n</table>\n";
    if (g.count > static_cast<long>(g.first.size()))
        out += "<p class=\"more\">… et " + Grouped(g.count - static_cast<long>(g.first.size()), "\u00a0") +
               " autres de cette sorte : voir le TraceLog ou le rapport JSON.</p>\n";
    out += "</section>\n";
}

void Entries(std::string& out, const RunReport& r) {
    out += "<section>\n<h2>Avertissements et erreurs</h2>\n";
    if (r.groups.empty()) {
        out += "<p>Aucun avertissement ni erreur.</p>\n</section>\n";
        return;
    }
    out += "<p>" + Plural(r.warnings, "avertissement") + ", " + Plural(r.errors, "erreur") + ", en " +
           Plural(static_cast<long>(r.groups.size()), "sorte") + ". Les " +
           std::to_string(RunReport::kFirstOfGroup) +
           " premières lignes de chaque sorte sont montrées ; le TraceLog les donne toutes.</p>\n";
    out += "</section>\n";
    for (const EntryGroup& g : r.groups)
        Group(out, g);
}

void Banner(std::string& out, const RunReport& r) {
    RunOutcome outcome = r.Outcome();
    const char* colour = outcome == RunOutcome::Completed                            ? "ok"
                         : outcome == RunOutcome::LinesInError && !r.NothingStored() ? "warn"
                                                                                     : "fail";
    out += "<p class=\"status " + std::string(colour) + "\">";
    Text(out, r.OutcomeText());
    if (std::string resume = r.ResumeText(); !resume.empty()) {
        out += "<span>";
        Text(out, resume);
        out += "</span>";
    }
    out += "</p>\n";
}

void Facts(std::string& out, const RunReport& r) {
    char duration[32];
    std::snprintf(duration, sizeof duration, "%.1f s", r.durationSeconds);
    std::string shown = duration;
    for (char& c : shown)
        if (c == '.') c = ',';
    const std::string started = FrenchDate(r.started), finished = FrenchDate(r.finished);
    out += "<dl>\n";
    for (const auto& [name, value] : {std::pair{"Début", &started},
                                      {"Fin", &finished},
                                      {"Durée", &shown},
                                      {"Dossier source", &r.source},
                                      {"Base de données", &r.database}}) {
        if (value->empty()) continue;
        out += "<dt>" + std::string(name) + "</dt><dd>";
        Text(out, *value);
        out += "</dd>\n";
    }
    out += "</dl>\n";
}

} // namespace

std::string RunReport::ToHtml() const {
    const std::string title =
        method == "bImport_CodeIUF" ? "Mise à jour des codes IUF" : "Import des licences";
    std::string out = "<!DOCTYPE html>\n<html lang=\"fr\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
    Text(out, (preview ? "Aperçu – " : "") + title);
    out += "</title>\n<style>";
    out += kStyle;
    out += "</style>\n</head>\n<body>\n<h1>";
    Text(out, title);
    out += "</h1>\n";
    if (preview) out += "<p class=\"preview\">Aperçu : rien n'a été enregistré dans la base.</p>\n";
    Banner(out, *this);
    Facts(out, *this);
    for (const PassReport& p : passes)
        Pass(out, p);
    Entries(out, *this);
    out += "<footer>Rapport produit par quorvel " QUORVEL_FILE_VERSION_TEXT ".</footer>\n</body>\n</html>\n";
    return out;
}

} // namespace quorvel
