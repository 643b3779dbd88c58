#pragma once
// What the test programs share: temporary folders, real files, a real encrypted database, other
// programs run as a user runs them, and a form that records what a run does to it.

#include <quorvel/host_form.hpp>

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace quorvel::test {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    // The folder / name, as text.
    std::string operator/(const std::string& name) const { return (path_ / name).string(); }

private:
    std::filesystem::path path_;
};

// A fresh database with the French reference data, an export folder, a working folder and a
// TraceLog path, all in one temporary folder.
struct Workspace {
    Workspace();
    TempDir dir;
    std::string db, source, work, trace;
};

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
// The TraceLog decoded from Windows-1252, one element per CR LF line.
std::vector<std::string> ReadTrace(const std::string& path);

// Creates a database at `path`, with the bundled French reference data when `reference`.
void CreateDatabase(const std::string& path, bool reference = true);
// Runs `sql` on the encrypted database; every row as text ("NULL" for NULL).
std::vector<std::vector<std::string>> Query(const std::string& db, const std::string& sql);
// The first value of the first row ("" when there is none).
std::string Scalar(const std::string& db, const std::string& sql);
void Exec(const std::string& db, const std::string& sql);

// Runs `sql` on the PostgreSQL database `uri`; the first value of the first row ("" when none).
std::string ServerSql(const std::string& uri, const std::string& sql);
// Makes `w.db` a new PostgreSQL database `name` with the application's tables (in the test
// cluster named by QUORVEL_TEST_PG_URI) and writes 6,000 licence lines in w.source; false
// without a cluster.
bool ServerWorkspace(Workspace& w, const std::string& name);

// `count` valid licence.txt lines of club FRA5110750012, each CR LF ended, numbers from
// `first` on (the licence number opens with the birth year, as the import checks).
std::string LicenceLines(int count, int first = 0);

// Runs `work(0)` and `work(1)` at the same time, each in a child process of its own; true when
// both returned true.
bool BothAtOnce(const std::function<bool(int)>& work);

// A program run to its end: exit status (-1 when killed), standard output and standard error.
struct Outcome {
    int status = -1;
    std::string out, err;
};
// Runs `args` through the shell (each argument quoted), with `environment` ("NAME=value" words)
// set for it.
Outcome RunProgram(const std::vector<std::string>& args, const std::vector<std::string>& environment = {});
// The environment that makes the program speak French.
inline const std::vector<std::string> kFrench{"LANGUAGE=", "LC_ALL=fr_FR.UTF-8"};
// Runs the quorvel program, in French (the users' language, and the TraceLog's) unless
// `environment` says otherwise ("LC_ALL=C.UTF-8").
Outcome Quorvel(const std::vector<std::string>& args, const std::vector<std::string>& environment = {});

// Records what a run does to the caller's form.
class RecordingForm : public HostForm {
public:
    double ProgressValue() const override { return value; }
    void SetProgressValue(double v) override { value = v, values.push_back(v); }
    void SetLabelCaption(int index, const std::string& caption) override {
        labels.push_back(std::to_string(index) + " " + caption);
    }
    void Refresh() override { ++refreshes; }

    double value = 0;
    std::vector<double> values;
    std::vector<std::string> labels;
    int refreshes = 0;
};

} // namespace quorvel::test
