#pragma once
// A whole licence import through the public method: an export folder, a working folder, a fresh
// database and the TraceLog, all in one temporary folder.

#include "support/test_support.hpp"

#include <quorvel/clock.hpp>
#include <quorvel/host_form.hpp>

#include <string>
#include <vector>

namespace quorvel::test {

class ImportRun {
public:
    // A fresh database with the French reference data, and empty export and working folders.
    ImportRun();

    // Writes export/licence.txt, club.txt or origine.txt, one CR LF after each line.
    void Licences(const std::vector<std::string>& lines);
    void Clubs(const std::vector<std::string>& lines);
    void Origine(const std::string& line);

    // Runs bImport_Licence on the export folder; today is 15 June 2026 unless `clock` says otherwise.
    bool Run(Clock clock = FixedClock(2026, 6, 15), HostForm* form = nullptr);

    // The TraceLog with its dates and times replaced by "<date>".
    std::vector<std::string> Trace() const;
    // The lines the licence pass wrote: after "Traitement des licences depuis fichier Licence.txt",
    // up to (not including) the closing "Fin importation" line.
    std::vector<std::string> LicenceSection() const;
    // The lines the club pass wrote, its closing empty line included: after "Vérification des
    // clubs depuis fichier Club.txt", up to the empty line that opens the licence section.
    std::vector<std::string> ClubSection() const;

    std::vector<std::vector<std::string>> Rows(const std::string& sql) const { return Query(db, sql); }
    std::string Value(const std::string& sql) const { return Scalar(db, sql); }
    void Change(const std::string& sql) const { Exec(db, sql); }

    TempDir dir;
    std::string db;
    std::string source;
    std::string work;
    std::string trace;
};

} // namespace quorvel::test
