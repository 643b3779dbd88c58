// How a run ended, and texts as they may be shown.

#include "tracelog/number_text.hpp"

#include <quorvel/run_report.hpp>

#include <algorithm>
#include <cstdio>

namespace quorvel {

RunOutcome RunReport::Outcome() const {
    if (!returned) return RunOutcome::Failed;
    if (!result) return RunOutcome::NotStarted;
    if (std::any_of(passes.begin(), passes.end(), [](const PassReport& p) { return !p.completed; }))
        return RunOutcome::Interrupted;
    return errors > 0 ? RunOutcome::LinesInError : RunOutcome::Completed;
}

bool RunReport::NothingStored() const {
    if (errors == 0) return false;
    for (const PassReport& p : passes)
        for (const auto& [name, value] : p.counts)
            if (value > 0 && name != "lines" && name != "errors" && name != "relay" && name != "unknown")
                return false;
    return true;
}

int RunReport::StatusOfOutcome() const {
    switch (Outcome()) {
    case RunOutcome::Completed:
        return 0;
    case RunOutcome::LinesInError:
        return 4;
    case RunOutcome::Interrupted:
        return 3;
    case RunOutcome::NotStarted:
        return 1;
    case RunOutcome::Failed:
        break;
    }
    return 2;
}

std::string Printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        auto c = static_cast<unsigned char>(text[i]);
        unsigned code = c;
        // C1 controls arrive as UTF-8: C2 80 to C2 9F.
        if (c == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0 &&
            static_cast<unsigned char>(text[i + 1]) >= 0x80)
            code = static_cast<unsigned char>(text[++i]);
        else if ((c >= 0x20 && c != 0x7F) || c == '\n' || c >= 0x80) {
            out += text[i];
            continue;
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", code);
        out += escaped;
    }
    return out;
}

} // namespace quorvel

namespace quorvel {

namespace {

using tracelog::Grouped;

std::string OneLine(std::string text) {
    while (!text.empty() && text.back() == '\n')
        text.pop_back();
    for (char& c : text)
        if (c == '\n') c = ' ';
    return Printable(text);
}

std::string FileName(const std::string& path) {
    auto slash = path.find_last_of("/\\");
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Why the run could not start: its last error about no particular line.
std::string StartFailure(const RunReport& r) {
    const ReportEntry* e = r.StartFailureEntry();
    if (e == nullptr) return "voir le TraceLog";
    return OneLine(e->message) + (e->file.empty() ? "" : " — " + e->file);
}

} // namespace

const ReportEntry* RunReport::StartFailureEntry() const {
    for (auto g = groups.rbegin(); g != groups.rend(); ++g)
        for (auto e = g->first.rbegin(); e != g->first.rend(); ++e)
            if (e->kind == "Erreur" && e->line == 0) return &*e;
    return nullptr;
}

const PassReport* RunReport::InterruptedPass() const {
    for (const PassReport& p : passes)
        if (!p.completed) return &p;
    return nullptr;
}

std::string RunReport::OutcomeText() const {
    const bool iuf = method == "bImport_CodeIUF";
    const std::string run = preview ? "Aperçu" : iuf ? "Mise à jour des codes IUF" : "Import";
    const std::string ended = preview || !iuf ? " terminé" : " terminée";
    // Lines in error as the passes count them; other errors (a file left aside) otherwise.
    long lines = 0;
    for (const PassReport& p : passes)
        lines += p.Count("errors");
    const std::string errorsText =
        lines > 0 ? Grouped(lines) + (lines > 1 ? " lignes en erreur" : " ligne en erreur")
                  : Grouped(errors) + (errors > 1 ? " erreurs" : " erreur");
    switch (Outcome()) {
    case RunOutcome::Completed:
        return run + ended + " : aucune ligne en erreur.";
    case RunOutcome::LinesInError:
        if (NothingStored()) return run + ended + " sans rien enregistrer : " + errorsText + ".";
        return run + ended + " avec " + errorsText + " : les autres lignes sont " +
               (preview ? "acceptées." : "enregistrées.");
    case RunOutcome::Interrupted: {
        const PassReport& p = *InterruptedPass();
        std::string message = p.stopMessage.substr(p.stopMessage.find('\n') + 1);
        return run + (preview || !iuf ? " interrompu" : " interrompue") + " à la ligne " +
               Grouped(p.stoppedAt) + " de " + FileName(p.file) + " : " + OneLine(message);
    }
    case RunOutcome::NotStarted:
        return run + (preview || !iuf ? " non commencé : " : " non commencée : ") + StartFailure(*this);
    case RunOutcome::Failed:
        break;
    }
    return run + " arrêté par une erreur : Erreur n° " + std::to_string(errorNumber) + ": " +
           OneLine(errorDescription);
}

std::string RunReport::ResumeText() const {
    const PassReport* p = InterruptedPass();
    if (p == nullptr || !returned) return {};
    std::string text = p->stopNumber == 18 ? "Relancer la même commande"
                                           : "Une fois la cause corrigée, relancer "
                                             "la même commande";
    if (preview) return text + " refait l'aperçu.";
    if (method == "bImport_CodeIUF")
        return text + " refait la mise à jour : chaque code est réécrit à l'identique.";
    return text + " reprend l'import : les licences déjà enregistrées sont reconnues et passées.";
}

} // namespace quorvel
