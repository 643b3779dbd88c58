// Creation of a new host database: the club application's tables, and the French reference
// data (countries, inter-regions, regions, departments) read from a data file.

#include <quorvel/database.hpp>

#include "base/data_file.hpp"
#include "base/file_system.hpp"

#include "storage/connection.hpp"
#include "storage/postgres_schema.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <string_view>
#include <vector>

namespace quorvel {

namespace {

// Code columns compare without regard to letter case, as the club application expects.
constexpr const char* kSchema = R"sql(
CREATE TABLE Info (
    LastClose INTEGER NOT NULL DEFAULT 1
);
INSERT INTO Info (LastClose) VALUES (1);

CREATE TABLE Club (
    Num          INTEGER PRIMARY KEY AUTOINCREMENT,
    Code_federal TEXT COLLATE NOCASE,
    Intitule     TEXT,
    Selection    INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX Club_Code_federal ON Club (Code_federal);

CREATE TABLE Licence (
    Num               INTEGER PRIMARY KEY AUTOINCREMENT,
    Code_club         TEXT COLLATE NOCASE,
    licence           TEXT COLLATE NOCASE,
    Nom               TEXT,
    Prenom            TEXT,
    sexe              TEXT,
    Date_Naissance    TEXT,
    Nationalite       TEXT,
    Adresse           TEXT,
    Suite_adresse     TEXT,
    Code_Postal       TEXT,
    Localite          TEXT,
    Telephone         TEXT,
    Sportive          TEXT,
    Synchro           TEXT,
    Water_Polo        TEXT,
    Plongeon          TEXT,
    Dirigeant         TEXT,
    Maitre            TEXT,
    Date_Depot        TEXT,
    Date_obliteration TEXT,
    Type_licence      TEXT,
    Nature            TEXT,
    Code_unique       TEXT,
    Date_suppr        TEXT
);
CREATE INDEX Licence_Club_Licence ON Licence (Code_club, licence);

CREATE TABLE Selection (
    Num      INTEGER PRIMARY KEY AUTOINCREMENT,
    Code_Sel TEXT COLLATE NOCASE,
    Num_Lic  INTEGER
);
CREATE INDEX Selection_Sel_Lic ON Selection (Code_Sel, Num_Lic);

CREATE TABLE Pays (
    code    TEXT COLLATE NOCASE PRIMARY KEY,
    Libelle TEXT
);

CREATE TABLE Inter_Region (
    Code    INTEGER PRIMARY KEY,
    Libelle TEXT
);

CREATE TABLE Region (
    Code      TEXT COLLATE NOCASE PRIMARY KEY,
    CodeInter INTEGER,
    Libelle   TEXT
);

CREATE TABLE Departement (
    Code    TEXT COLLATE NOCASE PRIMARY KEY,
    Region  TEXT COLLATE NOCASE,
    Libelle TEXT
);
)sql";

std::vector<std::string> SplitFields(std::string_view line) {
    std::vector<std::string> fields;
    std::size_t from = 0;
    for (;;) {
        auto at = line.find(';', from);
        std::string_view f =
            line.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from);
        while (!f.empty() && (f.front() == ' ' || f.front() == '\t'))
            f.remove_prefix(1);
        while (!f.empty() && (f.back() == ' ' || f.back() == '\t'))
            f.remove_suffix(1);
        fields.emplace_back(f);
        if (at == std::string_view::npos) break;
        from = at + 1;
    }
    return fields;
}

void LoadReference(storage::Connection& db, const std::string& referenceFile) {
    struct Section {
        std::string_view name;
        std::string_view insert;
        std::size_t fields;
    };
    static const Section kSections[] = {
        {"Pays", "INSERT INTO Pays (code, Libelle) VALUES (?1, ?2)", 2},
        {"Inter_Region", "INSERT INTO Inter_Region (Code, Libelle) VALUES (CAST(?1 AS INTEGER), ?2)", 2},
        {"Region", "INSERT INTO Region (Code, CodeInter, Libelle) VALUES (?1, CAST(?2 AS INTEGER), ?3)", 3},
        {"Departement", "INSERT INTO Departement (Code, Region, Libelle) VALUES (?1, ?2, ?3)", 3},
    };
    base::DataFile file;
    file.Open(referenceFile);
    const Section* current = nullptr;
    long lineNumber = 0;
    while (!file.AtEnd()) {
        std::string line(file.ReadLine());
        ++lineNumber;
        std::string_view v = line;
        while (!v.empty() && (v.front() == ' ' || v.front() == '\t'))
            v.remove_prefix(1);
        if (v.empty() || v.front() == '#') continue;
        if (v.front() == '[') {
            auto close = v.find(']');
            std::string_view name = v.substr(1, close == std::string_view::npos ? 0 : close - 1);
            current = nullptr;
            for (const auto& s : kSections)
                if (s.name == name) current = &s;
            if (current == nullptr)
                throw Error(errnum::kBadArgument, referenceFile + ", ligne " + std::to_string(lineNumber) +
                                                      " : section inconnue [" + std::string(name) + "]");
            continue;
        }
        auto fields = SplitFields(v);
        if (current == nullptr || fields.size() != current->fields)
            throw Error(errnum::kBadArgument, referenceFile + ", ligne " + std::to_string(lineNumber) +
                                                  " : ligne de données mal formée");
        if (fields.size() == 2)
            db.Execute(current->insert, {fields[0], fields[1]});
        else
            db.Execute(current->insert, {fields[0], fields[1], fields[2]});
    }
}

} // namespace

namespace {

// Creates the tables in the empty PostgreSQL database `uri`, in one transaction.
void CreateServerDatabase(const std::string& uri, const std::string& referenceFile) {
    storage::Connection db;
    db.Create(uri);
    bool present = false;
    db.Query(storage::kPostgresTablesPresent, {},
             [&](const storage::Row& row) { present = row.Integer(0) > 0; });
    if (present) {
        db.Rollback();
        throw Error(errnum::kFileExists,
                    "La base contient déjà les tables de l'application : " + ShownDatabase(uri));
    }
    try {
        db.ExecuteScript(storage::kPostgresSchema);
        if (!referenceFile.empty()) LoadReference(db, referenceFile);
        db.Close();
    } catch (...) {
        db.Rollback();
        throw;
    }
}

} // namespace

void CreateHostDatabase(const std::string& path, const std::string& referenceFile) {
    if (IsServerUri(path)) return CreateServerDatabase(path, referenceFile);
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0) throw Error(errnum::kFileExists, "Le fichier existe déjà : " + path);
    try {
        storage::Connection db;
        db.Create(path);
        db.ExecuteScript(kSchema);
        if (!referenceFile.empty()) LoadReference(db, referenceFile);
        db.Close();
    } catch (...) {
        ::unlink(path.c_str());
        throw;
    }
}

} // namespace quorvel
