#include "storage/postgres_schema.hpp"

namespace quorvel::storage {

// A sequence would keep the numbers that an undone batch took, and the batch done again would
// store other numbers than the file database does. A new row's number is one more than the
// table's highest number, or than the highest number a deleted row ever had (kept in
// Num_Sequence), as the file database counts; both are read in the inserting transaction and go
// back with it. Inserting writers take turns on a per-table lock held to their commit, so that
// two of them never read the same highest number, and a transaction reads it only once.
const char* const kPostgresSchema = R"sql(
CREATE COLLATION IF NOT EXISTS nocase (provider = icu, locale = 'und-u-ks-level2', deterministic = false);

CREATE TABLE Num_Sequence (
    name TEXT PRIMARY KEY,
    seq  BIGINT NOT NULL
);
INSERT INTO Num_Sequence (name, seq) VALUES ('club', 0), ('licence', 0), ('selection', 0);

CREATE FUNCTION Next_Num() RETURNS trigger LANGUAGE plpgsql AS $$
DECLARE
    top BIGINT;
    known TEXT;
BEGIN
    -- The highest number is read once per transaction, then kept in a setting that goes back with
    -- the transaction (or the savepoint) that set it, as does the lock taken with it: no other
    -- writer inserts meanwhile.
    known := current_setting('quorvel.top_' || TG_TABLE_NAME, true);
    IF known IS NULL OR known = '' THEN
        PERFORM pg_advisory_xact_lock(7238633, hashtext(TG_TABLE_NAME));
        CASE TG_TABLE_NAME
            WHEN 'licence' THEN SELECT max(Num) INTO top FROM Licence;
            WHEN 'club' THEN SELECT max(Num) INTO top FROM Club;
            ELSE SELECT max(Num) INTO top FROM Selection;
        END CASE;
        SELECT greatest(seq, coalesce(top, 0)) INTO top FROM Num_Sequence WHERE name = TG_TABLE_NAME;
    ELSE
        top := known::bigint;
    END IF;
    IF NEW.Num IS NULL THEN
        NEW.Num := top + 1;
    END IF;
    PERFORM set_config('quorvel.top_' || TG_TABLE_NAME, greatest(top, NEW.Num)::text, true);
    RETURN NEW;
END
$$;

CREATE FUNCTION Keep_Top_Num() RETURNS trigger LANGUAGE plpgsql AS $$
BEGIN
    UPDATE Num_Sequence SET seq = greatest(seq, (SELECT max(Num) FROM gone)) WHERE name = TG_TABLE_NAME;
    RETURN NULL;
END
$$;

CREATE TABLE Info (
    LastClose INTEGER NOT NULL DEFAULT 1
);
INSERT INTO Info (LastClose) VALUES (1);

CREATE TABLE Club (
    Num          INTEGER PRIMARY KEY,
    Code_federal TEXT COLLATE nocase,
    Intitule     TEXT,
    Selection    INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX Club_Code_federal ON Club (Code_federal);
CREATE TRIGGER Club_Num BEFORE INSERT ON Club FOR EACH ROW EXECUTE FUNCTION Next_Num();
CREATE TRIGGER Club_Gone AFTER DELETE ON Club REFERENCING OLD TABLE AS gone
    FOR EACH STATEMENT EXECUTE FUNCTION Keep_Top_Num();

CREATE TABLE Licence (
    Num               INTEGER PRIMARY KEY,
    Code_club         TEXT COLLATE nocase,
    licence           TEXT COLLATE nocase,
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
-- Num last: the first licence stored under a key is the index's first entry for it, no sort.
CREATE INDEX Licence_Club_Licence ON Licence (Code_club, licence, Num);
CREATE TRIGGER Licence_Num BEFORE INSERT ON Licence FOR EACH ROW EXECUTE FUNCTION Next_Num();
CREATE TRIGGER Licence_Gone AFTER DELETE ON Licence REFERENCING OLD TABLE AS gone
    FOR EACH STATEMENT EXECUTE FUNCTION Keep_Top_Num();

CREATE TABLE Selection (
    Num      INTEGER PRIMARY KEY,
    Code_Sel TEXT COLLATE nocase,
    Num_Lic  INTEGER
);
CREATE INDEX Selection_Sel_Lic ON Selection (Code_Sel, Num_Lic);
CREATE TRIGGER Selection_Num BEFORE INSERT ON Selection FOR EACH ROW EXECUTE FUNCTION Next_Num();
CREATE TRIGGER Selection_Gone AFTER DELETE ON Selection REFERENCING OLD TABLE AS gone
    FOR EACH STATEMENT EXECUTE FUNCTION Keep_Top_Num();

CREATE TABLE Pays (
    code    TEXT COLLATE nocase PRIMARY KEY,
    Libelle TEXT
);

CREATE TABLE Inter_Region (
    Code    INTEGER PRIMARY KEY,
    Libelle TEXT
);

CREATE TABLE Region (
    Code      TEXT COLLATE nocase PRIMARY KEY,
    CodeInter INTEGER,
    Libelle   TEXT
);

CREATE TABLE Departement (
    Code    TEXT COLLATE nocase PRIMARY KEY,
    Region  TEXT COLLATE nocase,
    Libelle TEXT
);
)sql";

const char* const kPostgresTablesPresent =
    "SELECT count(*) FROM information_schema.tables WHERE table_schema = current_schema() AND "
    "lower(table_name) IN ('info', 'club', 'licence', 'selection', 'pays', 'inter_region', 'region', "
    "'departement', 'num_sequence')";

} // namespace quorvel::storage
