#include "fuzz_support.hpp"

#include "storage/queries.hpp"
#include "base/file_system.hpp"

#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace quorvel::fuzz {

namespace fs = std::filesystem;

namespace {

void RemoveProcessFolder() {
    std::error_code ec;
    fs::remove_all(ProcessFolder(), ec);
}

// The sample's rows are those numbered up to these; `rows` is their text once imported.
struct SampleExtent {
    long long clubs = 0;
    long long licences = 0;
    long long selections = 0;
    std::string rows;
};

SampleExtent& Extent() {
    static SampleExtent extent;
    return extent;
}

long long MaxNum(storage::Connection& c, std::string_view sql) {
    long long n = 0;
    c.Query(sql, {}, [&](const storage::Row& row) { n = row.Integer(0); });
    return n;
}

void AppendRows(storage::Connection& c, std::string_view sql, long long upTo, std::string& out) {
    c.Query(sql, {upTo}, [&](const storage::Row& row) {
        for (int i = 0; i < row.ColumnCount(); ++i) {
            out += row.IsNull(i) ? std::string_view("NULL") : row.Text(i);
            out += '|';
        }
        out += '\n';
    });
}

std::string RowsWithin(storage::Connection& c, const SampleExtent& e) {
    std::string rows;
    AppendRows(c, "select Num, Code_federal, Selection from Club where Num <= ?1 order by Num", e.clubs,
               rows);
    AppendRows(c,
               "select Num, Code_club, licence, Nom, Prenom, Date_Naissance from Licence where Num <= ?1 "
               "order by Num",
               e.licences, rows);
    AppendRows(c, "select Num, Code_Sel, Num_Lic from Selection where Num <= ?1 order by Num", e.selections,
               rows);
    return rows;
}

} // namespace

const std::string& ProcessFolder() {
    static const std::string folder = [] {
        // A memory file system when there is one: every run commits, and disk syncs would dominate.
        std::error_code ec;
        fs::path base = fs::is_directory("/dev/shm", ec) && ::access("/dev/shm", W_OK) == 0
                            ? fs::path("/dev/shm")
                            : fs::temp_directory_path();
        // A process that stopped on a finding could not remove its folder: the first one to start
        // afterwards does.
        const std::string prefix = "quorvel-fuzz-";
        for (const auto& entry : fs::directory_iterator(base, ec)) {
            std::string name = entry.path().filename().string();
            if (name.rfind(prefix, 0) != 0) continue;
            long pid = std::strtol(name.c_str() + prefix.size(), nullptr, 10);
            if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH)
                fs::remove_all(entry.path(), ec);
        }
        std::string path = (base / (prefix + std::to_string(::getpid()))).string();
        fs::remove_all(path);
        fs::create_directories(path);
        return path;
    }();
    static const bool registered = std::atexit(RemoveProcessFolder) == 0;
    (void)registered;
    return folder;
}

void WriteBytes(const std::string& path, const std::uint8_t* data, std::size_t size) {
    WriteBytes(path, std::string_view(reinterpret_cast<const char*>(data), size));
}

void WriteBytes(const std::string& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) Finding("cannot write " + path);
}

const std::string& SampleDatabase() {
    static const std::string db = [] {
        std::string folder = ProcessFolder() + "/sample";
        fs::create_directories(folder + "/work");
        std::string path = folder + "/club.db";
        CreateHostDatabase(path, QUORVEL_REFERENCE_FILE);
        clsRecupLicence importer(FixedClock(2026, 6, 15));
        if (!importer.bImport_Licence(path, QUORVEL_SAMPLE_DIR, folder + "/work", folder + "/trace.log",
                                      nullptr))
            Finding("the sample export does not import");
        storage::Connection c;
        c.Open(storage::ConnectionString(path));
        SampleExtent& e = Extent();
        e.clubs = MaxNum(c, "select coalesce(max(Num), 0) from Club");
        e.licences = MaxNum(c, "select coalesce(max(Num), 0) from Licence");
        e.selections = MaxNum(c, "select coalesce(max(Num), 0) from Selection");
        e.rows = RowsWithin(c, e);
        c.Close();
        return path;
    }();
    return db;
}

std::string Rows(storage::Connection& c, std::string_view sql) {
    std::string out;
    c.Query(sql, {}, [&](const storage::Row& row) {
        for (int i = 0; i < row.ColumnCount(); ++i) {
            out += row.IsNull(i) ? std::string_view("NULL") : row.Text(i);
            out += '|';
        }
        out += '\n';
    });
    return out;
}

void CheckSampleRows(storage::Connection& c) {
    SampleDatabase();
    if (RowsWithin(c, Extent()) != Extent().rows) Finding("rows stored before the import changed or went");
}

void CheckDatabase(const std::string& path) {
    storage::Connection c;
    c.Open(storage::ConnectionString(path));
    std::string integrity = Rows(c, "PRAGMA integrity_check");
    if (integrity != "ok|\n") Finding("integrity_check: " + integrity);
    if (Rows(c, "select LastClose from Info") != "1|\n") Finding("LastClose is not true after the calls");
    CheckSampleRows(c);
    c.Close();
}

OpenSession::OpenSession(const std::string& name)
    : db_(ProcessFolder() + "/" + name + ".db"), trace_(ProcessFolder() + "/" + name + ".log") {
    base::CopyFile(SampleDatabase(), db_);
    session_.clock = FixedClock(2026, 6, 15);
    session_.strFileBase = db_;
    session_.strFileTrace = trace_;
    std::string error;
    if (!storage::bConnexion(session_.objConnexion, db_, error)) Finding("cannot connect: " + error);
    session_.trace.Open(trace_);
}

void OpenSession::Restart() {
    session_.trace.Open(trace_);
    session_.colClubsTraites.Clear();
    session_.colLicencesTraitees.Clear();
}

void Finding(std::string_view what) {
    std::fprintf(stderr, "FINDING: %.*s\n", static_cast<int>(what.size()), what.data());
    std::abort();
}

} // namespace quorvel::fuzz
