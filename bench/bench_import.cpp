// bench_import: measures the licence import and the IUF update at regional and national scale,
// and the database engine's own ceiling for the same work, in one run on fresh databases.
//
//   bench_import [--gen PATH_TO_gen_export] [--reference FILE] [--work DIR] [--small N] [--large N]
//
// Each measured phase runs in a child process, so its peak resident memory is its own. Prints one
// line per phase with its rate, then the ratios against the targets.

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>

#include <sqlite3.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <string>
#include <string_view>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Measure {
    double seconds = 0;
    long peakKiB = 0;
    bool ok = false;
};

// Runs `work` in a child process; returns its wall time and peak resident memory.
Measure InChild(const std::function<bool()>& work) {
    int pipefd[2];
    if (::pipe(pipefd) != 0) std::abort();
    auto start = std::chrono::steady_clock::now();
    pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipefd[0]);
        bool ok = false;
        try {
            ok = work();
        } catch (const std::exception& e) {
            std::cerr << "  failed: " << e.what() << "\n";
        }
        char c = ok ? '1' : '0';
        if (::write(pipefd[1], &c, 1) != 1) _exit(3);
        _exit(0);
    }
    ::close(pipefd[1]);
    char c = '0';
    if (::read(pipefd[0], &c, 1) != 1) c = '0';
    ::close(pipefd[0]);
    int status = 0;
    struct rusage ru {};
    ::wait4(pid, &status, 0, &ru);
    Measure m;
    m.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    m.peakKiB = ru.ru_maxrss;
    m.ok = c == '1' && WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return m;
}

long CountLines(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    long n = 0;
    while (std::getline(in, line))
        ++n;
    return n;
}

void Print(const char* name, long lines, const Measure& m) {
    std::printf("%-44s %8ld lines %8.2f s %10.0f lines/s %7.1f MiB peak%s\n", name, lines, m.seconds,
                lines / m.seconds, m.peakKiB / 1024.0, m.ok ? "" : "  (FAILED)");
    std::fflush(stdout);
}

void Run(const std::string& command) {
    if (std::system(command.c_str()) != 0) {
        std::cerr << "command failed: " << command << "\n";
        std::exit(2);
    }
}

// The engine's ceiling: one prepared indexed SELECT and one prepared INSERT per licence line in a
// single transaction, with the same page cache as the import, and no other logic.
bool Ceiling(const std::string& db, const std::string& licenceFile) {
    sqlite3* h = nullptr;
    if (sqlite3_open_v2(db.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK) return false;
    sqlite3_exec(h, "PRAGMA key = 'quenoril'", nullptr, nullptr, nullptr);
    sqlite3_exec(h, "PRAGMA cache_size = -32768", nullptr, nullptr, nullptr);
    sqlite3_exec(h, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt* sel = nullptr;
    sqlite3_stmt* ins = nullptr;
    sqlite3_prepare_v2(h, "SELECT Nom, Prenom, Num FROM Licence WHERE Code_Club = ?1 AND Licence = ?2", -1,
                       &sel, nullptr);
    sqlite3_prepare_v2(
        h,
        "INSERT INTO Licence (Code_club, licence, Nom, Prenom, sexe, Date_Naissance, Nationalite, "
        "Adresse, Suite_adresse, Code_Postal, Localite, Telephone, Sportive, Synchro, Water_Polo, "
        "Plongeon, Dirigeant, Maitre, Date_Depot, Date_obliteration, Type_licence, Nature, "
        "Code_unique, Date_suppr) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, "
        "?14, ?15, ?16, ?17, ?18, ?19, ?20, ?21, ?22, ?23, '')",
        -1, &ins, nullptr);
    static constexpr std::array<int, 24> kWidths = {13, 6, 25, 20, 1, 8, 3, 30, 30, 7, 26, 14,
                                                    1,  1, 1,  1,  1, 1, 8, 8,  1,  1, 19, 22};
    std::ifstream in(licenceFile, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::array<std::string_view, 24> f{};
        std::size_t p = 0;
        for (int i = 0; i < 24; ++i) {
            f[i] = p < line.size() ? std::string_view(line).substr(p, kWidths[i]) : std::string_view();
            p += kWidths[i];
        }
        sqlite3_bind_text(sel, 1, f[0].data(), static_cast<int>(f[0].size()), SQLITE_STATIC);
        sqlite3_bind_text(sel, 2, f[1].data(), static_cast<int>(f[1].size()), SQLITE_STATIC);
        bool found = sqlite3_step(sel) == SQLITE_ROW;
        sqlite3_reset(sel);
        if (found) continue;
        int k = 1;
        for (int i = 0; i < 24; ++i) {
            if (i == 22) continue;
            sqlite3_bind_text(ins, k++, f[i].data(), static_cast<int>(f[i].size()), SQLITE_STATIC);
        }
        if (sqlite3_step(ins) != SQLITE_DONE) return false;
        sqlite3_reset(ins);
    }
    sqlite3_finalize(sel);
    sqlite3_finalize(ins);
    bool ok = sqlite3_exec(h, "COMMIT", nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close_v2(h);
    return ok;
}

} // namespace

int main(int argc, char** argv) {
    std::string gen = QUORVEL_GEN_EXPORT;
    std::string reference = QUORVEL_REFERENCE;
    std::string work = (fs::temp_directory_path() / "quorvel-bench").string();
    long small = 30000, large = 300000;
    for (int i = 1; i + 1 < argc; i += 2) {
        std::string_view a = argv[i];
        if (a == "--gen")
            gen = argv[i + 1];
        else if (a == "--reference")
            reference = argv[i + 1];
        else if (a == "--work")
            work = argv[i + 1];
        else if (a == "--small")
            small = std::atol(argv[i + 1]);
        else if (a == "--large")
            large = std::atol(argv[i + 1]);
        else {
            std::cerr << "usage: bench_import [--gen PATH] [--reference FILE] [--work DIR] [--small N] "
                         "[--large N]\n";
            return 2;
        }
    }
    fs::remove_all(work);
    fs::create_directories(work);
    auto exportOf = [&](long n) {
        std::string dir = work + "/export" + std::to_string(n);
        Run(gen + " --out " + dir + " --licences " + std::to_string(n) + " --seed 7 --reference " +
            reference);
        fs::create_directories(dir + "-iuf");
        fs::rename(dir + "/iuf.txt", dir + "-iuf/iuf.txt");
        return dir;
    };
    auto freshDb = [&](const std::string& name) {
        std::string db = work + "/" + name + ".db";
        quorvel::CreateHostDatabase(db, reference);
        return db;
    };
    auto clock = quorvel::FixedClock(2026, 12, 6);
    auto import = [&](const std::string& db, const std::string& dir, const std::string& tag) {
        return InChild([&] {
            fs::create_directories(work + "/work-" + tag);
            quorvel::clsRecupLicence importer(clock);
            return importer.bImport_Licence(db, dir, work + "/work-" + tag, work + "/" + tag + ".log",
                                            nullptr);
        });
    };

    std::printf("quorvel benchmark: licence import, IUF update and the engine's ceiling (fresh databases)\n");
    std::string smallDir = exportOf(small);
    std::string largeDir = exportOf(large);
    long smallLines = CountLines(smallDir + "/licence.txt");
    long largeLines = CountLines(largeDir + "/licence.txt");
    long iufLines = CountLines(largeDir + "-iuf/iuf.txt");

    Measure ceiling = InChild([&] { return Ceiling(freshDb("ceiling"), largeDir + "/licence.txt"); });
    Print("engine ceiling (SELECT + INSERT, 1 transaction)", largeLines, ceiling);

    Measure m30 = import(freshDb("small"), smallDir, "small");
    Print("bImport_Licence, new database", smallLines, m30);

    std::string db = freshDb("large");
    Measure m300 = import(db, largeDir, "large");
    Print("bImport_Licence, new database", largeLines, m300);

    Measure again = import(db, largeDir, "again");
    Print("bImport_Licence, same file again (all known)", largeLines, again);

    Measure iuf = InChild([&] {
        quorvel::clsMajIUF updater(clock);
        return updater.bImport_CodeIUF(largeDir + "-iuf", db, work + "/iuf.log", nullptr, false, "");
    });
    Print("bImport_CodeIUF", iufLines, iuf);

    // Last, so that its writes do not weigh on the other phases: the same import on a database the host keeps
    // in write-ahead-log mode: grouped commits make the speed independent of the journal mode.
    std::string walDb = freshDb("wal");
    {
        sqlite3* h = nullptr;
        sqlite3_open_v2(walDb.c_str(), &h, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_exec(h, "PRAGMA key = 'quenoril'; PRAGMA journal_mode = WAL;", nullptr, nullptr, nullptr);
        sqlite3_close_v2(h);
    }
    Measure wal = import(walDb, largeDir, "wal");
    Print("bImport_Licence, new database, WAL journal", largeLines, wal);

    double perLineSmall = m30.seconds / smallLines;
    double perLineLarge = m300.seconds / largeLines;
    std::printf("\n");
    std::printf("import / ceiling (300k)          %6.2f x   (target <= 1.5)\n",
                m300.seconds / ceiling.seconds);
    std::printf("import rate (300k)               %8.0f /s (target >= 80000)\n", largeLines / m300.seconds);
    std::printf("re-import rate (300k)            %8.0f /s (target >= 150000)\n", largeLines / again.seconds);
    std::printf("IUF update rate (300k)           %8.0f /s (target >= 80000)\n", iufLines / iuf.seconds);
    std::printf("peak memory, 300k import         %8.1f MiB (target < 100)\n", m300.peakKiB / 1024.0);
    std::printf("per-line time 300k / 30k         %6.2f x   (target <= 1.3)\n", perLineLarge / perLineSmall);
    std::printf("WAL / rollback journal (300k)    %6.2f x\n", wal.seconds / m300.seconds);
    bool ok = ceiling.ok && m30.ok && m300.ok && wal.ok && again.ok && iuf.ok;
    if (!ok) std::printf("\nA phase failed: see the messages above and the TraceLogs in %s\n", work.c_str());
    return ok ? 0 : 1;
}
