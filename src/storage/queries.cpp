#include "storage/queries.hpp"

#include <limits>

namespace quorvel::storage {

namespace {
constexpr std::string_view kMajLastClose = "Update Info Set LastClose = ?1";

Error InvalidUseOfNull() {
    return Error(errnum::kInvalidUseOfNull, "Utilisation incorrecte de Null");
}
} // namespace

void MajLastClose(Connection& connection, bool value) {
    connection.Execute(kMajLastClose, {value ? 1 : 0});
}

void Disconnect(Connection& connection) {
    if (connection.State() > 0) {
        MajLastClose(connection, true);
        connection.Close();
    }
}

void Connect(Connection& connection, const DatabaseName& database) {
    Disconnect(connection);
    connection.Open(database);
    MajLastClose(connection, false);
    connection.Commit();
}

std::int32_t lngRequeteValeur(Connection& connection, std::string_view sql, Params params) {
    bool found = false;
    bool isNull = false;
    long long value = 0;
    connection.Query(sql, params, [&](const Row& row) {
        if (found) return;
        found = true;
        isNull = row.IsNull(0);
        value = row.Integer(0);
    });
    if (!found)
        throw Error(errnum::kNoCurrentRecord,
                    "BOF ou EOF est égal à True, ou l'enregistrement actuel a été supprimé.");
    if (isNull) throw InvalidUseOfNull();
    if (value > std::numeric_limits<std::int32_t>::max() || value < std::numeric_limits<std::int32_t>::min())
        throw Error(errnum::kOverflow, "Dépassement de capacité");
    return static_cast<std::int32_t>(value);
}

void RequeteTableau(Connection& connection, ResultTable& table, std::string_view sql, Params params) {
    bool started = false;
    int columns = connection.Query(sql, params, [&](const Row& row) {
        int n = row.ColumnCount();
        if (!started) {
            table.Reset(n);
            started = true;
        }
        for (int c = 0; c < n; ++c) {
            if (row.IsNull(c)) throw InvalidUseOfNull();
            table.Append(c, row.Text(c));
        }
    });
    if (!started) {
        // No row: the table still has one empty column per selected column.
        table.Reset(columns);
    }
}

} // namespace quorvel::storage
