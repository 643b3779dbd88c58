#include "support/import_run.hpp"

#include <quorvel/clsRecupLicence.hpp>

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace quorvel::test {

ImportRun::ImportRun()
    : db(dir / "club.db"), source(dir / "export"), work(dir / "work"), trace(dir / "trace.txt") {
    CreateDatabase(db);
    std::filesystem::create_directories(source);
    std::filesystem::create_directories(work);
}

void ImportRun::Licences(const std::vector<std::string>& lines) {
    WriteFile(source + "/licence.txt", CrLfLines(lines));
}
void ImportRun::Clubs(const std::vector<std::string>& lines) {
    WriteFile(source + "/club.txt", CrLfLines(lines));
}
void ImportRun::Origine(const std::string& line) {
    WriteFile(source + "/origine.txt", CrLfLines({line}));
}

bool ImportRun::Run(Clock clock, HostForm* form) {
    clsRecupLicence importer(std::move(clock));
    return importer.bImport_Licence(db, source, work, trace, form);
}

std::vector<std::string> ImportRun::Trace() const {
    return ReadTraceNoDates(trace);
}

namespace {
std::vector<std::string> Section(const std::vector<std::string>& lines, const std::string& opening,
                                 const std::string& closing) {
    auto begin = std::find(lines.begin(), lines.end(), opening);
    if (begin == lines.end()) throw std::runtime_error("no line \"" + opening + "\" in the TraceLog");
    ++begin;
    auto end = std::find(begin, lines.end(), closing);
    return {begin, end};
}
} // namespace

std::vector<std::string> ImportRun::LicenceSection() const {
    return Section(Trace(), "Traitement des licences depuis fichier Licence.txt", "Fin importation : <date>");
}

std::vector<std::string> ImportRun::ClubSection() const {
    auto lines = Section(Trace(), "Vérification des clubs depuis fichier Club.txt",
                         "Traitement des licences depuis fichier Licence.txt");
    // The pass ends with an empty line and the run adds one before the licence section.
    if (lines.size() >= 1) lines.pop_back();
    return lines;
}

} // namespace quorvel::test
