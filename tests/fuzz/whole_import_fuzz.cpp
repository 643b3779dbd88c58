// A whole licence import then an IUF update of arbitrary files into a copy of a database that
// already holds the sample export. The input is licence.txt, then club.txt, the IUF file
// codes_iuf.txt and origine.txt, separated by the line "-----8<-----" (a file the input does not
// reach is absent). Both calls must end normally, and the database must pass integrity_check,
// read LastClose true and keep every row it held before.

#include "fuzz_support.hpp"

#include "base/file_system.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>

#include <array>
#include <filesystem>

namespace {
constexpr std::string_view kSeparator = "\n-----8<-----\n";
constexpr std::array<const char*, 4> kFiles = {"licence.txt", "club.txt", "codes_iuf.txt", "origine.txt"};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    namespace fs = std::filesystem;
    static const std::string root = fuzz::ProcessFolder() + "/import";
    static const std::string source = root + "/export";
    static const std::string work = root + "/work";
    static const std::string db = root + "/club.db";
    fs::remove_all(root);
    fs::create_directories(source);
    fs::create_directories(work);
    base::CopyFile(fuzz::SampleDatabase(), db);

    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const char* name : kFiles) {
        auto at = input.find(kSeparator);
        fuzz::WriteBytes(source + "/" + name, input.substr(0, at));
        if (at == std::string_view::npos) break;
        input.remove_prefix(at + kSeparator.size());
    }

    try {
        clsRecupLicence importer(FixedClock(2026, 6, 15));
        importer.bImport_Licence(db, source, work, root + "/import.log", nullptr);
        clsMajIUF updater(FixedClock(2026, 6, 15));
        updater.bImport_CodeIUF(source, db, root + "/iuf.log", nullptr, false, "");
    } catch (const Error& e) {
        fuzz::Finding("a call failed: Erreur n° " + std::to_string(e.number()) + ": " + e.description());
    }
    fuzz::CheckDatabase(db);
    return 0;
}
