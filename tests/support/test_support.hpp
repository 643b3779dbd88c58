#pragma once
// Shared helpers of the test suites: temporary folders, real files, a real encrypted database,
// a form that records what the import does to it.

#include <quorvel/clock.hpp>
#include <quorvel/host_form.hpp>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace quorvel::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }
    // path() / name, as text.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// Records every call the import makes on the caller's form.
class RecordingForm : public HostForm {
public:
    double ProgressValue() const override { return value; }
    void SetProgressValue(double v) override {
        value = v;
        values.push_back(v);
        events.push_back("value " + Format(v));
    }
    void SetLabelCaption(int index, const std::string& caption) override {
        events.push_back("label " + std::to_string(index) + " " + caption);
    }
    void Refresh() override { events.push_back("refresh"); }

    static std::string Format(double v);

    double value = 0;
    std::vector<double> values;
    std::vector<std::string> events;
};

// Writes `bytes` to `path` exactly (creating parent folders).
void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);

// Joins `lines` with CR LF after each one.
std::string CrLfLines(const std::vector<std::string>& lines);

// The TraceLog at `path`, decoded from Windows-1252 to UTF-8 and split at CR LF (the final CR LF
// does not make an extra line).
std::vector<std::string> ReadTrace(const std::string& path);
// The same lines with every "dd/mm/yyyy hh:mm:ss" replaced by "<date>".
std::vector<std::string> ReadTraceNoDates(const std::string& path);

// Creates a new database at `path`, with the bundled French reference data when `reference`.
void CreateDatabase(const std::string& path, bool reference = true);

// Runs `sql` on the encrypted database and returns every row as text ("NULL" for NULL).
std::vector<std::vector<std::string>> Query(const std::string& dbPath, const std::string& sql);
// Runs a statement that returns nothing.
void Exec(const std::string& dbPath, const std::string& sql);
// The single value of a one-row, one-column query.
std::string Scalar(const std::string& dbPath, const std::string& sql);

// A licence.txt line of 248 characters from the given fields (each padded or cut to its width).
struct LicenceLine {
    std::string club = "FRA1750750001";
    std::string licence = "851234";
    std::string nom = "DUPONT";
    std::string prenom = "Jean";
    std::string sexe = "M";
    std::string naissance = "03051985";
    std::string nationalite = "FRA";
    std::string adresse = "1 rue de la Paix";
    std::string suite;
    std::string codePostal = "75001";
    std::string localite = "PARIS";
    std::string telephone = "0102030405";
    std::string flags = "OOOOOO";
    std::string depot = "01092025";
    std::string obliteration = "15092025";
    std::string type = "C";
    std::string nature = "N";
    std::string origineClub;
    std::string origineLicence;
    std::string codeUnique = "1234567";
    std::string Build() const;
};

// A club.txt line of 43 characters.
std::string ClubLine(const std::string& code, const std::string& name);

} // namespace quorvel::test
