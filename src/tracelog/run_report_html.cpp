// The run report as a page for the club's secretary: one self-contained HTML file in French
// (UTF-8, inline style, no script, nothing fetched), which also prints on A4.

#include <quorvel/run_report.hpp>
#include <quorvel/version.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string_view>

namespace quorvel {

namespace {

constexpr const char* kStyle = R"(
@page { size: A4; margin: 14mm; }
* { box-sizing: border-box; }
body { font: 14px/1.4 "DejaVu Sans", Arial, sans-serif; color: #222; max-width: 60rem;
       margin: 1.5rem auto; padding: 0 1rem; }
h1 { font-size: 1.5rem; margin: 0 0 .6rem; }
h2 { font-size: 1.15rem; margin: 1.6rem 0 .5rem; border-bottom: 1px solid #bbb; }
h2 small { font-weight: normal; color: #555; }
.preview { border: 3px dashed #b35c00; background: #fff3df; color: #6d3700; font-weight: bold;
           padding: .5rem .8rem; }
.status { border-left: 6px solid; padding: .4rem .8rem; }
.ok { border-color: #2e7d32; background: #edf7ee; }
.warn { border-color: #ef8f00; background: #fff6e5; }
.fail { border-color: #c62828; background: #fdecea; }
dl { display: grid; grid-template-columns: max-content 1fr; gap: .2rem 1rem; }
dt { font-weight: bold; }
dd { margin: 0; word-break: break-all; }
table { border-collapse: collapse; width: 100%; }
.counts th { text-align: left; font-weight: normal; width: 40%; padding: .15rem 0; }
.counts td.n { text-align: right; width: 5rem; padding-right: .8rem; font-weight: bold; }
.bar div { background: #eee; height: .9rem; }
.bar span { display: block; height: 100%; min-width: 2px; }
.lines { background: #9e9e9e; } .done { background: #2e7d32; } .known { background: #1565c0; }
.other { background: #f2a900; } .errors { background: #c62828; }
.entries th, .entries td { border: 1px solid #ccc; padding: .25rem .4rem; text-align: left;
                           vertical-align: top; }
.entries thead th { background: #f0f0f0; }
.entries tr.club th { background: #e3e8f4; }
.entries td.n { text-align: right; }
.entries tr.Erreur td.kind { color: #c62828; font-weight: bold; }
.msg { white-space: pre-line; }
footer { margin-top: 2rem; color: #666; font-size: .85em; }
@media print {
  body { margin: 0; max-width: none; padding: 0; font-size: 10pt; }
  * { -webkit-print-color-adjust: exact; print-color-adjust: exact; }
  section, tr { break-inside: avoid; }
  h2 { break-after: avoid; }
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
    {"", "errors", "En erreur", "errors"},
};

CountLabel LabelOf(std::string_view pass, std::string_view key) {
    for (const CountLabel& label : kLabels)
        if ((label.pass == pass || label.pass.empty()) && label.key == key) return label;
    return {pass, key, key, "other"};
}

void Text(std::string& out, std::string_view text) {
    for (char c : text) {
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
    return std::to_string(n) + " " + std::string(word) + (n > 1 ? "s" : "");
}

void Pass(std::string& out, const PassReport& p) {
    static constexpr std::pair<std::string_view, std::string_view> kTitles[] = {
        {"clubs", "Clubs"}, {"licences", "Licences"}, {"iuf", "Codes IUF"}};
    std::string_view title = p.pass;
    for (const auto& [pass, text] : kTitles)
        if (pass == p.pass) title = text;
    out += "<section>\n<h2>";
    Text(out, title);
    out += " <small>";
    Text(out, FileName(p.file));
    out += "</small></h2>\n";
    if (!p.completed)
        out += "<p class=\"status warn\">Interrompu : les nombres s'arrêtent à la ligne en erreur.</p>\n";
    // Each bar is measured against the largest count: the lines read.
    long whole = 0;
    for (const auto& count : p.counts)
        whole = std::max(whole, count.second);
    out += "<table class=\"counts\">\n";
    for (const auto& [key, value] : p.counts) {
        CountLabel label = LabelOf(p.pass, key);
        out += "<tr><th>";
        Text(out, label.text);
        out += "</th><td class=\"n\">" + std::to_string(value) + "</td><td class=\"bar\"><div>";
        if (value > 0 && whole > 0) {
            char width[16];
            std::snprintf(width, sizeof width, "%.1f%%", 100.0 * value / whole);
            out += "<span class=\"" + std::string(label.colour) + "\" style=\"width:" + width + "\"></span>";
        }
        out += "</div></td></tr>\n";
    }
    out += "</table>\n</section>\n";
}

void Entries(std::string& out, const std::vector<ReportEntry>& entries) {
    long errors = 0;
    std::map<std::string_view, std::vector<const ReportEntry*>> byClub; // entries of no club first
    for (const ReportEntry& e : entries) {
        errors += e.kind == "Erreur";
        byClub[e.club].push_back(&e);
    }
    out += "<section>\n<h2>Avertissements et erreurs</h2>\n";
    if (entries.empty()) {
        out += "<p>Aucun avertissement ni erreur.</p>\n</section>\n";
        return;
    }
    out += "<p>" + Plural(static_cast<long>(entries.size()) - errors, "avertissement") + ", " +
           Plural(errors, "erreur") + ".</p>\n";
    out += "<table class=\"entries\">\n<thead><tr><th>Fichier</th><th>Ligne</th><th>Type</th>"
           "<th>Licence</th><th>Message</th></tr></thead>\n";
    for (const auto& [club, group] : byClub) {
        out += "<tbody>\n<tr class=\"club\"><th colspan=\"5\">";
        if (club.empty()) {
            out += "Sans code club";
        } else {
            out += "Club ";
            Text(out, club);
        }
        out += "</th></tr>\n";
        for (const ReportEntry* e : group) {
            out += "<tr class=\"";
            Text(out, e->kind);
            out += "\"><td>";
            Text(out, FileName(e->file));
            out += "</td><td class=\"n\">" + (e->line > 0 ? std::to_string(e->line) : std::string("—"));
            out += "</td><td class=\"kind\">";
            Text(out, e->kind == "Warning" ? "Avertissement" : e->kind);
            out += "</td><td>";
            Text(out, e->licence);
            if (!e->selection.empty()) {
                out += " (sélection ";
                Text(out, e->selection);
                out += ")";
            }
            out += "</td><td class=\"msg\">";
            Text(out, e->message);
            out += "</td></tr>\n";
        }
        out += "</tbody>\n";
    }
    out += "</table>\n</section>\n";
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

    out += "<dl>\n";
    for (const auto& [name, value] :
         {std::pair{"Début", &started}, {"Dossier source", &source}, {"Base de données", &database}}) {
        if (value->empty()) continue;
        out += "<dt>" + std::string(name) + "</dt><dd>";
        Text(out, *value);
        out += "</dd>\n";
    }
    out += "</dl>\n";

    if (!returned) {
        out += "<p class=\"status fail\">Le traitement s'est arrêté sur une erreur : Erreur n° " +
               std::to_string(errorNumber) + " : ";
        Text(out, errorDescription);
        out += "</p>\n";
    } else if (!result) {
        out += "<p class=\"status fail\">Le traitement n'a pas abouti : voir les erreurs ci-dessous.</p>\n";
    } else if (std::any_of(passes.begin(), passes.end(), [](const PassReport& p) { return !p.completed; })) {
        out += "<p class=\"status warn\">Traitement interrompu : voir ci-dessous où il s'est arrêté.</p>\n";
    } else {
        out += "<p class=\"status ok\">Traitement terminé.</p>\n";
    }

    for (const PassReport& p : passes)
        Pass(out, p);
    Entries(out, entries);
    out += "<footer>Rapport produit par quorvel " QUORVEL_FILE_VERSION_TEXT ".</footer>\n</body>\n</html>\n";
    return out;
}

} // namespace quorvel
