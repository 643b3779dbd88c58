// A whole licence import then an IUF update of arbitrary files into a copy of a database that
// already holds the sample export. The input is licence.txt, then club.txt, the IUF file
// codes_iuf.txt and origine.txt, separated by the line "-----8<-----" (a file the input does not
// reach is absent). Both calls must end normally; the database must then pass integrity_check,
// read LastClose true, have changed no stored row, and hold as many new clubs and licences as the
// import's summaries count.

#include "fuzz_support.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>

#include <filesystem>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    constexpr std::string_view kSeparator = "\n-----8<-----\n";
    static const std::string dir = fuzz::Folder() + "/run", source = dir + "/export", db = dir + "/club.db";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(source);
    std::filesystem::copy_file(fuzz::SampleDatabase(), db);
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const char* name : {"licence.txt", "club.txt", "codes_iuf.txt", "origine.txt"}) {
        auto at = input.find(kSeparator);
        fuzz::WriteFile(source + "/" + name, input.substr(0, at));
        if (at == std::string_view::npos) break;
        input.remove_prefix(at + kSeparator.size());
    }

    RunReport report;
    try {
        clsRecupLicence(FixedClock(2026, 6, 15))
            .bImport_Licence(db, source, dir, dir + "/import.log", nullptr, {.report = &report});
        clsMajIUF(FixedClock(2026, 6, 15)).bImport_CodeIUF(source, db, dir + "/iuf.log", nullptr, false, "");
    } catch (const Error& e) {
        fuzz::Finding("a call failed: Erreur n° " + std::to_string(e.number()) + ": " + e.description());
    }
    long added[2] = {}; // clubs, licences, as the summaries count them
    for (const PassReport& pass : report.passes)
        for (const auto& [name, n] : pass.counts)
            if (name == "created" || name == "clubsAdded" || name == "imported")
                added[name == "imported"] += n;

    // integrity_check's answer, then LastClose | tables with a stored row changed | clubs and licences added
    const std::string expected =
        "ok|\n1||" + std::to_string(added[0]) + "|" + std::to_string(added[1]) + "|\n";
    storage::Connection c;
    c.Open(storage::DatabaseName::File(db));
    std::string found = fuzz::Rows(c, "PRAGMA integrity_check") +
                        fuzz::Rows(c, "select LastClose, changed, clubs, licences from Info, Watch");
    if (found != expected) fuzz::Finding("expected " + expected + "found " + found);
    return 0;
}
