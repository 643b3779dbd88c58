#include "fuzz_support.hpp"

#include "session/source_paths.hpp"
#include "storage/queries.hpp"

#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <filesystem>
#include <unistd.h>

namespace quorvel::fuzz {

namespace fs = std::filesystem;

// The table Watch and its triggers (see SampleDatabase() in fuzz_support.hpp).
constexpr const char* kWatch = R"(CREATE TABLE Watch (changed TEXT, clubs INTEGER, licences INTEGER);
INSERT INTO Watch VALUES ('', 0, 0);
CREATE TRIGGER W1 AFTER INSERT ON Club BEGIN UPDATE Watch SET clubs = clubs + 1; END;
CREATE TRIGGER W2 AFTER INSERT ON Licence BEGIN UPDATE Watch SET licences = licences + 1; END;
CREATE TRIGGER W3 AFTER UPDATE OF Num, Code_federal, Selection ON Club
  BEGIN UPDATE Watch SET changed = changed || 'Club '; END;
CREATE TRIGGER W4 AFTER UPDATE OF Num, Code_club, licence, Nom, Prenom, Date_Naissance ON Licence
  BEGIN UPDATE Watch SET changed = changed || 'Licence '; END;
CREATE TRIGGER W5 AFTER UPDATE ON Selection BEGIN UPDATE Watch SET changed = changed || 'Selection '; END;
CREATE TRIGGER W6 AFTER DELETE ON Club BEGIN UPDATE Watch SET changed = changed || 'Club '; END;
CREATE TRIGGER W7 AFTER DELETE ON Licence BEGIN UPDATE Watch SET changed = changed || 'Licence '; END;
CREATE TRIGGER W8 AFTER DELETE ON Selection BEGIN UPDATE Watch SET changed = changed || 'Selection '; END;)";

const std::string& Folder() {
    static const std::string folder = [] {
        fs::path path = fs::temp_directory_path() / ("quorvel-fuzz-" + std::to_string(::getpid()));
        fs::remove_all(path);
        fs::create_directories(path / "work");
        return path.string();
    }();
    return folder;
}

const std::string& SampleDatabase() {
    static const std::string db = [] {
        std::string path = Folder() + "/sample.db";
        CreateHostDatabase(path, QUORVEL_REFERENCE_FILE);
        if (!clsRecupLicence(FixedClock(2026, 6, 15))
                 .bImport_Licence(path, QUORVEL_SAMPLE_DIR, Folder() + "/work", Folder() + "/sample.log",
                                  nullptr))
            Finding("the sample export does not import");
        storage::Connection c;
        c.Open(storage::DatabaseName::File(path));
        c.ExecuteScript(kWatch);
        c.Close();
        return path;
    }();
    return db;
}

ImportSession& Session() {
    static ImportSession session{.database = storage::DatabaseName::File(SampleDatabase()),
                                 .strFileTrace = Folder() + "/session.log",
                                 .clock = FixedClock(2026, 6, 15),
                                 .recorder = tracelog::RunRecorder()};
    if (session.objConnexion.State() == 0) storage::Connect(session.objConnexion, session.database);
    session.trace.Open(session.strFileTrace);
    ViderCollections(session);
    return session;
}

std::string Rows(storage::Connection& c, std::string_view sql) {
    std::string rows;
    c.Query(sql, {}, [&](const storage::Row& row) {
        for (int i = 0; i < row.ColumnCount(); ++i)
            (rows += row.IsNull(i) ? "NULL" : row.Text(i)) += '|';
        rows += '\n';
    });
    return rows;
}

void Finding(std::string_view what) {
    std::fprintf(stderr, "FINDING: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

} // namespace quorvel::fuzz
