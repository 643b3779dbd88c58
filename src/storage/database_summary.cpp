// What a host database holds, and its content's fingerprint, read without changing anything.

#include <quorvel/database_tools.hpp>

#include "storage/connection.hpp"

#include <cstdint>
#include <cstdio>

namespace quorvel {

namespace {

struct KnownTable {
    const char* name;
    bool reference;
};
constexpr KnownTable kTables[] = {{"Info", false},      {"Club", false},      {"Licence", false},
                                  {"Selection", false}, {"Pays", true},       {"Inter_Region", true},
                                  {"Region", true},     {"Departement", true}};

constexpr std::string_view kFileTablePresent =
    "SELECT count(*) FROM sqlite_master WHERE type = 'table' AND lower(name) = lower(?1)";
constexpr std::string_view kServerTablePresent =
    "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() AND "
    "lower(table_name) = lower(?1)";

// Opened for reading only: in preview nothing is ever committed.
void OpenForReading(storage::Connection& db, const std::string& database) {
    db.SetPreview(true);
    db.OpenToRead(storage::DatabaseName::Named(database));
}

long long Count(storage::Connection& db, std::string_view sql, storage::Params params = {}) {
    long long n = 0;
    db.Query(sql, params, [&n](const storage::Row& row) { n = row.Integer(0); });
    return n;
}

} // namespace

DatabaseSummary DescribeDatabase(const std::string& database) {
    storage::Connection db;
    OpenForReading(db, database);
    DatabaseSummary summary;
    summary.server = IsServerUri(database);
    const std::string_view present = summary.server ? kServerTablePresent : kFileTablePresent;
    for (const auto& known : kTables) {
        TableSummary table{known.name, Count(db, present, {known.name}) > 0, 0, known.reference};
        if (table.present) table.rows = Count(db, "SELECT count(*) FROM " + table.name);
        if (table.present && table.name == "Info" && table.rows > 0)
            db.Query("SELECT LastClose FROM Info", {},
                     [&](const storage::Row& row) { summary.lastClose = row.Integer(0) != 0; });
        summary.tables.push_back(std::move(table));
    }
    db.Close();
    return summary;
}

std::vector<std::string> LicenceClubCodes(const std::string& database) {
    storage::Connection db;
    OpenForReading(db, database);
    std::vector<std::string> codes;
    db.Query("SELECT DISTINCT Code_club FROM Licence WHERE Code_club IS NOT NULL ORDER BY 1", {},
             [&](const storage::Row& row) { codes.emplace_back(row.Text(0)); });
    db.Close();
    return codes;
}

std::string ContentFingerprint(const std::string& database) {
    storage::Connection db;
    OpenForReading(db, database);
    const std::string_view present = IsServerUri(database) ? kServerTablePresent : kFileTablePresent;
    // FNV-1a over each table's name and rows, every value's length before its bytes.
    std::uint64_t hash = 14695981039346656037ULL;
    auto add = [&hash](std::string_view bytes) {
        for (unsigned char c : bytes)
            hash = (hash ^ c) * 1099511628211ULL;
    };
    for (const auto& known : kTables) {
        if (Count(db, present, {known.name}) == 0) continue;
        add(known.name);
        std::string sql = std::string("SELECT * FROM ") + known.name + " ORDER BY 1";
        db.Query(sql, {}, [&](const storage::Row& row) {
            for (int c = 0; c < row.ColumnCount(); ++c) {
                std::string_view value = row.IsNull(c) ? std::string_view() : row.Text(c);
                add(row.IsNull(c) ? "N" : "V" + std::to_string(value.size()));
                add(value);
            }
        });
    }
    db.Close();
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
    return text;
}

} // namespace quorvel
