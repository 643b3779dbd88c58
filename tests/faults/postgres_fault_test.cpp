// Imports into a PostgreSQL database (QUORVEL_TEST_PG_URI, see scripts/pg-cluster.sh): two at once
// take turns, a connection dropped in the middle of a batch or just after a COMMIT went through
// loses nothing the counts tell, and a write sent without waiting that fails is blamed on the line
// that sent it.

#include "session/pass.hpp"
#include "storage/postgres_engine.hpp"
#include "storage/queries.hpp"
#include "support/support.hpp"

#include <quorvel/clsMajIUF.hpp>
#include <quorvel/clsRecupLicence.hpp>
#include <quorvel/database.hpp>
#include <quorvel/database_tools.hpp>
#include <quorvel/run_report.hpp>

#include <gtest/gtest.h>
#include <libpq-fe.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <regex>
#include <set>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

bool Import(Workspace& w, const std::string& work, ImportOptions options = {}) {
    std::filesystem::create_directories(work);
    options.server = w.db;
    return clsRecupLicence(FixedClock(2026, 12, 6))
        .bImport_Licence(w.db, w.source, work, w.trace, nullptr, options);
}

// A relay between the import and the server, on which a test plays the network's faults: a
// COMMIT whose answer never comes back, every connection cut at once, a server that refuses the
// next connections as one restarting does.
class Relay {
public:
    explicit Relay(int serverPort) : serverPort_(serverPort) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Loopback(0);
        socklen_t size = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        accepter_ = std::thread([this] { Accept(); });
    }
    ~Relay() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        accepter_.join();
        CutAll(0);
        std::lock_guard lock(mutex_);
        for (auto& t : relays_)
            t.join();
        for (int fd : fds_)
            ::close(fd);
    }
    // `uri` with this relay in place of the server.
    std::string Through(const std::string& uri) const {
        auto colon = uri.rfind(':');
        auto slash = uri.find('/', colon);
        return uri.substr(0, colon + 1) + std::to_string(port_) + uri.substr(slash);
    }
    // The next COMMIT goes through; its answer does not come back (the connection is cut), and
    // the next `refusals` connections are refused (-1: every one).
    void ArmCommitDrop(int refusals = 0) {
        refusalsAfterDrop_ = refusals;
        armed_ = true;
    }
    bool Dropped() const { return dropped_; }
    // Cuts every connection, and refuses the next `refusals` ones (-1: every one).
    void CutAll(int refusals) {
        refusals_ = refusals;
        std::lock_guard lock(mutex_);
        for (int fd : fds_)
            ::shutdown(fd, SHUT_RDWR);
    }
    int Refused() const { return refused_; }

private:
    static sockaddr_in Loopback(int port) {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(static_cast<uint16_t>(port));
        return a;
    }
    void Accept() {
        for (;;) {
            int client = ::accept(listener_, nullptr, nullptr);
            if (client < 0) return;
            if (refusals_ != 0) {
                if (refusals_ > 0) --refusals_;
                ++refused_;
                ::close(client);
                continue;
            }
            int server = ::socket(AF_INET, SOCK_STREAM, 0);
            sockaddr_in a = Loopback(serverPort_);
            if (::connect(server, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            auto commitSent = std::make_shared<std::atomic<bool>>(false);
            std::lock_guard lock(mutex_);
            fds_.insert(fds_.end(), {client, server});
            relays_.emplace_back([=, this] { Pass(client, server, commitSent, true); });
            relays_.emplace_back([=, this] { Pass(server, client, commitSent, false); });
        }
    }
    void Pass(int from, int to, std::shared_ptr<std::atomic<bool>> commitSent, bool towardServer) {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n <= 0) break;
            if (!towardServer && *commitSent) {
                // The COMMIT's answer: stored on the server, never seen by the import.
                refusals_ = refusalsAfterDrop_.load();
                dropped_ = true;
                break;
            }
            if (towardServer && armed_ &&
                std::string_view(buffer, n).find("COMMIT") != std::string_view::npos) {
                armed_ = false;
                *commitSent = true;
            }
            // (a side that closed first must not stop the test with SIGPIPE)
            if (::send(to, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL) != n) break;
        }
        ::shutdown(from, SHUT_RDWR);
        ::shutdown(to, SHUT_RDWR);
    }

    int serverPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> armed_{false};
    std::atomic<bool> dropped_{false};
    std::atomic<int> refusals_{0};
    std::atomic<int> refusalsAfterDrop_{0};
    std::atomic<int> refused_{0};
    std::thread accepter_;
    std::mutex mutex_;
    std::vector<int> fds_;
    std::vector<std::thread> relays_;
};

int ServerPort(const std::string& uri) {
    auto colon = uri.rfind(':');
    return std::stoi(uri.substr(colon + 1, uri.find('/', colon) - colon - 1));
}

// Runs `sql` on a connection of its own, in a thread, and returns once the statement has ended
// or is waiting for a lock another transaction holds.
class Writer {
public:
    Writer(const std::string& uri, std::string sql) {
        conn_ = PQconnectdb(uri.c_str());
        pid_ = std::to_string(PQbackendPID(conn_));
        thread_ = std::thread([this, sql] {
            PQclear(PQexec(conn_, sql.c_str()));
            done_ = true;
        });
        while (!done_ && ServerSql(uri, "select count(*) from pg_stat_activity where pid = " + pid_ +
                                            " and wait_event_type = 'Lock'") != "1") {
        }
    }
    ~Writer() {
        thread_.join();
        PQfinish(conn_);
    }
    // True when the statement had to wait for the import.
    bool waited() const { return !doneAtStart_; }
    void MarkStart() { doneAtStart_ = done_; }

private:
    PGconn* conn_;
    std::string pid_;
    std::atomic<bool> done_{false};
    bool doneAtStart_ = false;
    std::thread thread_;
};

// Makes batches short for one test, so that a commit falls where the test wants one.
struct ShortBatches {
    explicit ShortBatches(long lines) { SetBatchLines(lines); }
    ~ShortBatches() { SetBatchLines(100000); }
};

// The TraceLog with the run's own folders taken out, so that two runs compare.
std::vector<std::string> TraceOf(const Workspace& w, const std::string& work) {
    auto lines = ReadTrace(w.trace);
    for (auto& line : lines)
        for (const std::string& path : {w.source, work, w.db})
            for (auto at = line.find(path); !path.empty() && at != std::string::npos; at = line.find(path))
                line.replace(at, path.size(), "$");
    return lines;
}

std::string Rows(const std::string& uri) {
    return ServerSql(
        uri, "select string_agg(r, '|' order by r) from ("
             "select 'C' || Num || Code_federal || Intitule as r from Club union all "
             "select 'L' || Num || Code_club || licence || Nom || coalesce(Code_unique, '-') from Licence "
             "union all select 'S' || Num || Code_Sel || Num_Lic from Selection) t");
}

// Writes the export `licences` into both workspaces, whose databases then refuse every licence
// line that `fileWhen` and `serverWhen` (one condition in each dialect) name. The server counts
// its refusals in the sequence tries, which no rollback takes back.
void ExportRefusingOnBoth(const Workspace& file, const Workspace& server, const std::string& licences,
                          const std::string& fileWhen, const std::string& serverWhen) {
    WriteFile(file.source + "/licence.txt", licences);
    WriteFile(server.source + "/licence.txt", licences);
    Exec(file.db, "CREATE TRIGGER refuse BEFORE INSERT ON Licence WHEN " + fileWhen +
                      " BEGIN SELECT RAISE(ABORT, 'refus'); END");
    ServerSql(server.db,
              "CREATE SEQUENCE tries; CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS "
              "$$ BEGIN PERFORM nextval('tries'); RAISE EXCEPTION 'refus'; END $$; CREATE TRIGGER "
              "refuse BEFORE INSERT ON Licence FOR EACH ROW WHEN (" +
                  serverWhen + ") EXECUTE FUNCTION refuse()");
}

// Imports `file`'s export into its file database and `server`'s into its server (through
// `onServer`), and expects the same TraceLog and licences of both.
void ImportOnBothAndCompare(Workspace& file, Workspace& server, const ImportOptions& onServer) {
    for (auto [w, options] : {std::pair{&file, ImportOptions{}}, std::pair{&server, onServer}}) {
        std::filesystem::create_directories(w->work);
        EXPECT_TRUE(clsRecupLicence(FixedClock(2026, 12, 6))
                        .bImport_Licence(w->db, w->source, w->work, w->trace, nullptr, options));
    }
    EXPECT_EQ(TraceOf(server, server.work), TraceOf(file, file.work));
    EXPECT_EQ(ServerSql(server.db, "select count(*) || ' ' || max(Num) from Licence"),
              Scalar(file.db, "select count(*) || ' ' || max(Num) from Licence"));
}

// Connects `c` to `db` and runs the write `sql` for lines 1 to `lines`, with the values
// `values(line)` (two at most; an empty second is left out).
void WriteLines(storage::Connection& c, const std::string& db, std::string_view sql, long lines,
                const std::function<std::pair<std::string, std::string>(long)>& values) {
    storage::Connect(c, storage::DatabaseName::Server(db));
    for (long line = 1; line <= lines; ++line) {
        c.SetItem(line);
        const auto [first, second] = values(line);
        if (second.empty())
            c.Execute(sql, {first});
        else
            c.Execute(sql, {first, second});
    }
}

} // namespace

TEST(ServerFaults, TwoImportsAtOnceStoreWhatTwoInTurnWould) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_two_at_once")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    EXPECT_TRUE(BothAtOnce([&](int k) {
        w.trace = w.dir / ("t" + std::to_string(k) + ".log");
        return Import(w, w.dir / ("work" + std::to_string(k)));
    }));
    EXPECT_EQ(ServerSql(w.db, "select count(*) || ' ' || count(distinct (Code_club, licence)) from Licence"),
              "6000 6000");
    EXPECT_EQ(ServerSql(w.db, "select count(*) from Club"), "1")
        << "the second import found the club the first created";
    for (int k = 0; k < 2; ++k)
        for (const auto& line : ReadTrace(w.dir / ("t" + std::to_string(k) + ".log")))
            EXPECT_EQ(line.find("interrompu"), std::string::npos) << line;
}

TEST(ServerFaults, AConnectionDroppedMidBatchIsMadeAgainAndTheCountsEqualTheRows) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_dropped")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    w.db.insert(w.db.find('@'), ":secret"); // the test cluster trusts any password
    RunReport report;
    ImportOptions options;
    options.report = &report;
    bool dropped = false;
    options.progress = [&](const ProgressStep& s) {
        if (s.pass != "licences" || s.line != 3000 || dropped) return;
        dropped = true;
        ServerSql(w.db, "select count(pg_terminate_backend(pid)) from pg_stat_activity "
                        "where datname = current_database() and pid <> pg_backend_pid()");
    };
    EXPECT_TRUE(Import(w, w.work, options));
    ASSERT_TRUE(dropped);
    LicenceCounts n = report.passes.back().Licences();
    EXPECT_EQ(std::to_string(n.imported), ServerSql(w.db, "select count(*) from Licence"));
    EXPECT_EQ(n.imported, 6000) << "the batch was done again on the new connection";
    EXPECT_EQ(ServerSql(w.db, "select count(*) || ' ' || max(Num) from Licence"), "6000 6000")
        << "no number lost";
    EXPECT_EQ(ServerSql(w.db, "select LastClose from Info"), "1");
    EXPECT_EQ(report.database.find(":secret@"), std::string::npos) << "the password never shows";
}

TEST(ServerFaults, AWriteSentWithoutWaitingThatFailsIsBlamedOnItsOwnLine) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_sent")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ServerSql(
        w.db,
        "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'refus'; "
        "END $$; CREATE TRIGGER refuse BEFORE INSERT ON Licence FOR EACH ROW WHEN (NEW.licence = 'X') "
        "EXECUTE FUNCTION refuse()");
    constexpr std::string_view kInsert = "INSERT INTO Licence (Code_club, licence) VALUES ('A', ?1)";
    storage::Connection c;
    WriteLines(c, w.db, kInsert, 5, [](long line) {
        return std::pair<std::string, std::string>(line == 3 ? "X" : std::to_string(line), "");
    });
    EXPECT_FALSE(c.TransactionLost()) << "the writes were only sent";
    long number = 0;
    try {
        c.Flush();
    } catch (const Error& e) {
        number = e.number();
    }
    EXPECT_EQ(number, 19);
    ASSERT_TRUE(c.TransactionLost());
    EXPECT_EQ(c.LostItem(), 3) << "line 3 sent the failing write, though line 5 was under way";
    c.Rollback();

    // A query answers after what was sent before it; a commit stores it.
    c.SetItem(6);
    c.Execute(kInsert, {"6"});
    EXPECT_EQ(storage::lngRequeteValeur(c, "select count(*) from Licence"), 1);
    storage::Disconnect(c);
    EXPECT_EQ(ServerSql(w.db, "select string_agg(licence, ',') from Licence"), "6");
}

TEST(ServerFaults, AConnectionDroppedJustAfterItsCommitWentThroughCountsTheBatchAsStored) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_commit_dropped")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    const std::string direct = w.db;
    Relay relay(ServerPort(direct));
    w.db = relay.Through(direct);
    RunReport report;
    ImportOptions options;
    options.report = &report;
    // The last line's batch is the next to commit; the server then refuses the next connections
    // for a while, as one restarting does.
    options.progress = [&](const ProgressStep& s) {
        if (s.pass == "licences" && s.line == 6000 && !s.finished) relay.ArmCommitDrop(3);
    };
    EXPECT_TRUE(Import(w, w.work, options));
    ASSERT_TRUE(relay.Dropped());
    LicenceCounts n = report.passes.back().Licences();
    EXPECT_TRUE(report.passes.back().completed);
    EXPECT_EQ(n.imported, 6000) << "the lines of the batch stored were not read again as known";
    EXPECT_EQ(n.known, 0);
    EXPECT_EQ(relay.Refused(), 3) << "the server was asked once it was back";
    EXPECT_EQ(ServerSql(direct, "select count(*) || ' ' || max(Num) from Licence"), "6000 6000");
    EXPECT_EQ(ServerSql(direct, "select LastClose from Info"), "1");
}

TEST(ServerFaults, ACommitWhoseOutcomeCannotBeLearnedStopsThePassNamingItsLines) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_commit_unknown")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    const std::string direct = w.db;
    Relay relay(ServerPort(direct));
    w.db = relay.Through(direct);
    storage::SetReconnectLimit(std::chrono::milliseconds(300));
    ShortBatches batches(2500);
    RunReport report;
    ImportOptions options;
    options.report = &report;
    // The second batch (lines 2501 to 5000) is the next to commit; the server never comes back.
    options.progress = [&](const ProgressStep& s) {
        if (s.pass == "licences" && s.line == 4000 && !s.finished) relay.ArmCommitDrop(-1);
    };
    EXPECT_TRUE(Import(w, w.work, options));
    storage::SetReconnectLimit(std::chrono::seconds(60));
    ASSERT_TRUE(relay.Dropped());
    EXPECT_FALSE(report.passes.back().completed) << "the pass stopped";
    auto lines = ReadTrace(w.trace);
    std::string all;
    for (const auto& line : lines)
        all += line + "\n";
    EXPECT_NE(all.find("Import des licences interrompu."), std::string::npos) << all;
    // The batch that was committing ends where the pass stopped (a batch lasts at most a second,
    // so where it began depends on the machine's speed).
    std::smatch m;
    std::regex unknown(
        "lignes ([0-9]+) à ([0-9]+) : la connexion au serveur a été perdue pendant la validation");
    ASSERT_TRUE(std::regex_search(all, m, unknown)) << all;
    const long last = std::stol(m[2]);
    EXPECT_GE(last, 4000);
    EXPECT_LE(std::stol(m[1]), last);
    EXPECT_EQ(report.passes.back().Licences().imported, last)
        << "the lines of the batch are not counted lost";
    EXPECT_EQ(ServerSql(direct, "select count(*) from Licence"), std::to_string(last))
        << "the server had stored the batch";
    EXPECT_EQ(all.find("Récupération de"), std::string::npos) << "no summary pretends the pass ended";
}

TEST(ServerFaults, OtherWritersWaitForTheBatchAndNoAnswerOutlivesItsTransaction) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_other_writer")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ShortBatches batches(300);
    // At line 300, a workstation stores licences that lines 601 to 700 of the export bring too;
    // it waits for the import's batch to commit, then the import finds them stored.
    std::string values;
    for (int i = 600; i < 700; ++i)
        values += std::string(values.empty() ? "" : ",") + "('FRA5110750012', '85" + (i < 1000 ? "0" : "") +
                  std::to_string(i) + "', 'POSTE', 'Prenom')";
    std::unique_ptr<Writer> writer;
    RunReport report;
    ImportOptions options;
    options.report = &report;
    options.progress = [&](const ProgressStep& s) {
        if (s.pass != "licences" || s.line != 300 || writer) return;
        writer = std::make_unique<Writer>(
            w.db, "INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES " + values);
        writer->MarkStart();
    };
    EXPECT_TRUE(Import(w, w.work, options));
    ASSERT_TRUE(writer);
    EXPECT_TRUE(writer->waited()) << "the workstation waited for the batch under way";
    writer.reset();
    EXPECT_EQ(ServerSql(w.db, "select count(*) || ' ' || count(distinct (Code_club, licence)) from Licence"),
              "6000 6000")
        << "no licence stored twice";
    LicenceCounts n = report.passes.back().Licences();
    EXPECT_EQ(n.known, 100);
    EXPECT_EQ(n.imported, 5900);
}

TEST(ServerFaults, AnIufUpdateCountsOnlyWhatItChangesBesideADeleter) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_iuf_deleter")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ASSERT_TRUE(Import(w, w.work));
    std::filesystem::remove_all(w.source);
    std::filesystem::create_directories(w.source);
    std::string iuf;
    for (int i = 0; i < 6000; ++i) {
        char line[64];
        std::snprintf(line, sizeof line, "110750012%02d%04d%-30s\r\n", 85 + i / 10000 % 10, i % 10000,
                      ("IUF" + std::to_string(i)).c_str());
        iuf += line;
    }
    WriteFile(w.source + "/codes.txt", iuf);
    ShortBatches batches(300);
    std::unique_ptr<Writer> deleter;
    RunReport report;
    ImportOptions options;
    options.report = &report;
    options.server = w.db;
    options.progress = [&](const ProgressStep& s) {
        if (s.line != 300 || deleter) return;
        // Every second licence without a code yet goes.
        deleter = std::make_unique<Writer>(
            w.db, "DELETE FROM Licence WHERE coalesce(Code_unique, '') NOT LIKE 'IUF%' AND Num % 2 = 0");
        deleter->MarkStart();
    };
    EXPECT_TRUE(clsMajIUF(FixedClock(2026, 12, 6))
                    .bImport_CodeIUF(w.source, w.db, w.trace, nullptr, false, "", options));
    ASSERT_TRUE(deleter);
    EXPECT_TRUE(deleter->waited());
    deleter.reset();
    IufCounts n = report.passes.back().Iuf();
    EXPECT_EQ(std::to_string(n.updated),
              ServerSql(w.db, "select count(*) from Licence where Code_unique like 'IUF%'"));
    EXPECT_EQ(n.updated + n.unknown, 6000);
    EXPECT_GT(n.unknown, 0);
}

TEST(ServerFaults, ADozenDropsAcrossEveryPassCostNoLineItsTruth) {
    Workspace calm, rough;
    if (!ServerWorkspace(calm, "quorvel_calm") || !ServerWorkspace(rough, "quorvel_rough"))
        GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    for (Workspace* w : {&calm, &rough})
        for (const char* name : {"club.txt", "licence.txt", "origine.txt", "codes_iuf.txt"})
            std::filesystem::copy_file(std::string(QUORVEL_SAMPLE_DIR) + "/" + name, w->source + "/" + name,
                                       std::filesystem::copy_options::overwrite_existing);
    ShortBatches batches(4);
    auto run = [](Workspace& w, const std::string& uri, ImportOptions options) {
        options.server = uri;
        bool imported = clsRecupLicence(FixedClock(2026, 12, 6))
                            .bImport_Licence(uri, w.source, w.work, w.trace, nullptr, options);
        auto trace = TraceOf(w, w.work);
        w.trace += "2";
        bool updated = clsMajIUF(FixedClock(2026, 12, 6))
                           .bImport_CodeIUF(w.source, uri, w.trace, nullptr, false, "", options);
        for (const auto& line : TraceOf(w, w.work))
            trace.push_back(line);
        EXPECT_TRUE(imported && updated);
        return trace;
    };
    auto expected = run(calm, calm.db, {});

    // A connection cut at these lines of each pass (in a batch, at its last line, or when lines go
    // one by one), the server then refusing the next two connections as a restart does.
    Relay relay(ServerPort(rough.db));
    std::set<std::pair<std::string, long>> cuts{
        {"clubs", 2},     {"clubs", 5}, {"licences", 1}, {"licences", 4}, {"licences", 9}, {"licences", 13},
        {"licences", 22}, {"iuf", 2},   {"iuf", 8},      {"iuf", 12},     {"iuf", 19},     {"iuf", 20}};
    std::size_t made = 0;
    ImportOptions options;
    options.progress = [&](const ProgressStep& s) {
        if (s.finished || cuts.erase({std::string(s.pass), s.line}) == 0) return;
        ++made;
        relay.CutAll(2);
    };
    auto got = run(rough, relay.Through(rough.db), options);
    EXPECT_EQ(made, 12u);
    EXPECT_EQ(got, expected);
    EXPECT_EQ(Rows(rough.db), Rows(calm.db));
}

TEST(ServerFaults, ManyRefusedLinesTellWhatTheyTellOnTheFileDatabase) {
    Workspace file, server;
    if (!ServerWorkspace(server, "quorvel_many_refused")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    // Every tenth licence is refused, some of them in a row, some alone in a batch. Some lines are
    // said again two lines later, before the server has told how the line between went: the line
    // before a refused one is then known, a refused one is refused again.
    std::vector<std::string> said;
    const std::string lines = LicenceLines(3000);
    for (std::size_t at = 0; at < lines.size(); at = lines.find('\n', at) + 1)
        said.push_back(lines.substr(at, lines.find('\n', at) + 1 - at));
    std::string repeated;
    for (std::size_t n = 0; n < said.size(); ++n) {
        repeated += said[n];
        // (its club code in small letters: the same licence to the database, not to the run)
        if (n % 10 == 7 || n % 10 == 8) repeated += "fra" + said[n - 1].substr(3);
    }
    ExportRefusingOnBoth(file, server, repeated,
                         "substr(NEW.licence, -1) = '7' OR NEW.licence BETWEEN '850100' AND '850120'",
                         "right(NEW.licence, 1) = '7' OR NEW.licence BETWEEN '850100' AND '850120'");
    ShortBatches batches(1000);
    ImportOptions onServer;
    onServer.server = server.db;
    ImportOnBothAndCompare(file, server, onServer);
    long refused = 0;
    for (std::size_t at = 0; at < repeated.size(); at = repeated.find('\n', at) + 1) {
        const std::string licence = repeated.substr(at + 13, 6);
        refused += licence.back() == '7' || (licence >= "850100" && licence <= "850120");
    }
    // A refused line reaches the server once or twice: done again, what the server ran already is
    // not sent again. Only a line said again after a refused one, which then no longer sends what
    // it sent, takes the work back to the last savepoint, and the lines since go to the server
    // again. (Every failure redoing its batch would send each refused line dozens of times.)
    const long tries = std::stol(ServerSql(server.db, "select last_value from tries"));
    EXPECT_GE(tries, refused);
    EXPECT_LE(tries, 2 * refused);
}

TEST(ServerFaults, AnImportThatWaitsForAnotherSaysSoBeforeItWaitsAndAReaderDoesNotWait) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_waiting")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    // Another import's turn, held on a connection of the test; the import lets it go when told
    // that the run waits, so the run goes on only if it said so first.
    PGconn* other = PQconnectdb(w.db.c_str());
    PQclear(PQexec(other, "SELECT pg_advisory_lock(7238633396597645)"));
    // A reader does not wait for the turn.
    DatabaseSummary held = DescribeDatabase(w.db);
    EXPECT_TRUE(held.server);
    EXPECT_EQ(held.tables[4].name + " " + std::to_string(held.tables[4].rows), "Pays 12");
    std::vector<std::string> passes;
    ImportOptions options;
    options.progress = [&](const ProgressStep& step) {
        if (passes.empty() || passes.back() != step.pass) passes.emplace_back(step.pass);
        if (step.pass == "waiting") PQclear(PQexec(other, "SELECT pg_advisory_unlock(7238633396597645)"));
    };
    EXPECT_TRUE(Import(w, w.work, options));
    PQfinish(other);
    ASSERT_FALSE(passes.empty());
    EXPECT_EQ(passes.front(), "waiting");
    EXPECT_EQ(passes.back(), "licences");
    EXPECT_EQ(ServerSql(w.db, "select count(*) from Licence"), "6000");
}

TEST(ServerFaults, APasswordInTheUriShowsNowhere) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_secret")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    // libpq reads "pw@rd" as the password "pw" and "rd@host" as the host: the connection fails
    // with a message that quotes that host.
    std::string atSign = w.db, parameter = w.db + "?password=s3cret";
    atSign.insert(atSign.find('@'), ":pw@rd");
    Outcome run = Quorvel({"import-licences", "--db", atSign, "--source", w.source, "--work", w.work,
                           "--trace", w.trace, "--report", w.dir / "r.json", "--html", w.dir / "r.html"});
    EXPECT_EQ(run.status, 1) << run.err;
    Outcome init = Quorvel({"init-db", parameter}); // refused: the tables are there
    EXPECT_EQ(init.status, 2);
    Outcome info = Quorvel({"info", "--db", parameter});
    EXPECT_EQ(info.status, 0) << info.err;
    std::string everything = run.out + run.err + ReadFile(w.trace) + ReadFile(w.dir / "r.json") +
                             ReadFile(w.dir / "r.html") + init.err + info.out;
    for (const char* secret : {"pw@", "rd@", "s3cret"})
        EXPECT_EQ(everything.find(secret), std::string::npos) << secret << " in:\n" << everything;
    EXPECT_NE(everything.find(":***@"), std::string::npos);
    EXPECT_NE(everything.find("password=***"), std::string::npos);
}

TEST(ServerFaults, ACommitTheServerRefusesLosesItsTransactionAndTheNextOneStartsClean) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_commit_refused")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    // A check the server makes only at COMMIT: the whole transaction is refused there.
    ServerSql(w.db, "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION "
                    "'refus'; END $$; CREATE CONSTRAINT TRIGGER refuse AFTER INSERT ON Licence DEFERRABLE "
                    "INITIALLY DEFERRED FOR EACH ROW WHEN (NEW.licence = 'X') EXECUTE FUNCTION refuse()");
    constexpr std::string_view kInsert = "INSERT INTO Licence (Code_club, licence) VALUES ('A', ?1)";
    storage::Connection c;
    storage::Connect(c, storage::DatabaseName::Server(w.db));
    c.SetItem(1);
    c.Execute(kInsert, {"1"});
    c.SetItem(2);
    c.Execute(kInsert, {"X"});
    c.Flush();
    EXPECT_NE(c.Transaction(), 0u);
    long number = 0;
    try {
        c.Commit();
    } catch (const Error& e) {
        number = e.number();
    }
    EXPECT_EQ(number, 19);
    EXPECT_TRUE(c.TransactionLost()) << "the refused commit ended the transaction";
    EXPECT_EQ(c.LostItem(), 2);
    EXPECT_EQ(c.Transaction(), 0u) << "no transaction stays open after it";
    c.Rollback();
    c.SetItem(3);
    c.Execute(kInsert, {"3"});
    c.Commit();
    storage::Disconnect(c);
    EXPECT_EQ(ServerSql(w.db, "select string_agg(licence, ',') from Licence"), "3");
}

// The server's failures carry the file engine's numbers, and its words where the file engine's
// are known, so that a TraceLog reads the same on both.
TEST(ServerFaults, TheServersFailuresReadAsTheFileEnginesDo) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_error_mapping")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    std::string file = w.dir / "file.db";
    CreateDatabase(file);
    ServerSql(w.db, "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION "
                    "'refus'; END $$; CREATE TRIGGER refuse BEFORE INSERT ON Club FOR EACH ROW "
                    "EXECUTE FUNCTION refuse()");
    struct Failure {
        const char* sql;
        int number;
        const char* description; // "" when the engines word it each their own way
        bool bothEngines;
    };
    const Failure failures[] = {
        {"INSERT INTO Pays (code, Libelle) VALUES ('FRA', 'x')", 19, "", true},
        {"INSERT INTO Club (Code_federal) VALUES ('x')", 19, "", false},
        {"SELECT * FROM Nowhere", 1, "no such table: Nowhere", true},
        {"SELECT Nothing FROM Pays", 1, "no such column: Nothing", true},
        {"INSERT INTO Pays (Nothing) VALUES (1)", 1, "table Pays has no column named Nothing", true},
        {"SELECT CAST('x' AS INTEGER)", 20, "", false},
        {"SELEC 1", 1, "", true},
    };
    auto failureOf = [](storage::Connection& c, const char* sql) -> std::pair<long, std::string> {
        try {
            c.Execute(sql);
            c.Flush();
        } catch (const Error& e) {
            c.Rollback();
            return {e.number(), e.description()};
        }
        c.Rollback();
        return {0, "no failure"};
    };
    storage::Connection server, local;
    storage::Connect(server, storage::DatabaseName::Server(w.db));
    storage::Connect(local, storage::DatabaseName::File(file));
    for (const Failure& f : failures) {
        auto [number, description] = failureOf(server, f.sql);
        EXPECT_EQ(number, f.number) << f.sql << ": " << description;
        if (*f.description != '\0') {
            EXPECT_EQ(description, f.description) << f.sql;
        }
        if (!f.bothEngines) continue;
        auto [fileNumber, fileDescription] = failureOf(local, f.sql);
        EXPECT_EQ(fileNumber, f.number) << f.sql << ": " << fileDescription;
        if (*f.description != '\0') {
            EXPECT_EQ(fileDescription, f.description) << f.sql;
        }
    }

    // A table another session holds locked past the wait reads as a busy file.
    PGconn* other = PQconnectdb(w.db.c_str());
    PQclear(PQexec(other, "BEGIN; LOCK TABLE Pays IN ACCESS EXCLUSIVE MODE"));
    server.ExecuteScript("SET lock_timeout = '50ms'");
    auto [number, description] = failureOf(server, "SELECT count(*) FROM Pays");
    EXPECT_EQ(number, 5);
    EXPECT_EQ(description, "database is locked");
    PQfinish(other);
    storage::Disconnect(server);
    storage::Disconnect(local);
}

TEST(ServerFaults, TheGeographicCheckReadsEachReferenceAnswerOncePerRun) {
    // Pays becomes a view that counts the queries that read it; club.txt repeats a code whose
    // country is unknown, which every line checks again.
    auto readsFor = [](int clubLines) -> std::string {
        Workspace w;
        if (!ServerWorkspace(w, "quorvel_reference_once")) return "";
        ServerSql(w.db, "ALTER TABLE Pays RENAME TO Pays_rows; CREATE SEQUENCE reads; CREATE VIEW Pays AS "
                        "SELECT code, Libelle FROM Pays_rows WHERE (SELECT nextval('reads')) > 0");
        std::string clubs;
        for (int i = 0; i < clubLines; ++i)
            clubs += "ZZZ0000000001Club " + std::to_string(i) +
                     std::string(25 - std::to_string(i).size(), ' ') + "\r\n";
        WriteFile(w.source + "/club.txt", clubs);
        WriteFile(w.source + "/licence.txt", LicenceLines(1));
        EXPECT_TRUE(Import(w, w.work));
        EXPECT_EQ(ServerSql(w.db, "select count(*) from Club where Code_federal = 'ZZZ0000000001'"), "0");
        return ServerSql(w.db, "select case when is_called then last_value else 0 end from reads");
    };
    const std::string once = readsFor(1);
    if (once.empty()) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    EXPECT_EQ(once, "2") << "the unknown country, then the licence's own club";
    EXPECT_EQ(readsFor(40), once) << "forty lines asked what one line asked";
}

TEST(ServerFaults, AnIufFileAsksTheLicencesOfEveryLineAheadWhateverItsRegion) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_iuf_ahead")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    // Licence becomes a view that counts the queries that read it; no line's licence is stored,
    // so the update writes nothing through it.
    ServerSql(w.db, "ALTER TABLE Licence RENAME TO Licence_rows; CREATE SEQUENCE reads; CREATE VIEW Licence "
                    "AS SELECT * FROM Licence_rows WHERE (SELECT nextval('reads')) > 0");
    // Each window meets regions no line has looked up yet, one of them unknown to the Region
    // table (its lines' club codes have no inter-region).
    std::string iuf;
    char line[64];
    for (int i = 0; i < 2000; ++i) {
        const char* region = i < 700 ? "11" : i < 1400 ? "08" : i < 1800 ? "99" : "11";
        std::snprintf(line, sizeof line, "%s0750012%06d%-30s\r\n", region, 900000 + i, "IUF");
        iuf += line;
    }
    WriteFile(w.source + "/codes.txt", iuf);
    RunReport report;
    ImportOptions options;
    options.report = &report;
    options.server = w.db;
    EXPECT_TRUE(clsMajIUF(FixedClock(2026, 12, 6))
                    .bImport_CodeIUF(w.source, w.db, w.trace, nullptr, false, "", options));
    ASSERT_EQ(report.passes.size(), 1u);
    EXPECT_EQ(report.passes[0].Iuf().unknown, 2000);
    // One query per window of 1,024 lines (a batch that ends early on a slow machine starts a
    // window sooner, one query more): no line asks alone.
    EXPECT_LE(std::stol(ServerSql(w.db, "select last_value from reads")), 8) << "lines asked alone";
}

TEST(ServerFaults, ClubCodesAreAskedAheadAndALaterLineFindsWhatAnEarlierOneStored) {
    // Club becomes a view that counts the queries that read it; every club of club.txt and every
    // licence's club is refused by the geography, which on the server each line asked alone.
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_club_ahead")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ServerSql(w.db, "ALTER TABLE Club RENAME TO Club_rows; CREATE SEQUENCE reads; CREATE VIEW Club AS "
                    "SELECT * FROM Club_rows WHERE (SELECT nextval('reads')) > 0");
    std::string clubs, licences = LicenceLines(500);
    char code[16];
    for (int i = 0; i < 500; ++i) {
        std::snprintf(code, sizeof code, "ZZZ0000%06d", i);
        clubs += std::string(code) + "Club" + std::string(26, ' ') + "\r\n";
        std::snprintf(code, sizeof code, "ZZZ1000%06d", i % 50);
        licences.replace(static_cast<std::size_t>(i) * 250, 13, code);
    }
    WriteFile(w.source + "/club.txt", clubs);
    WriteFile(w.source + "/licence.txt", licences);
    RunReport report;
    ImportOptions options;
    options.report = &report;
    EXPECT_TRUE(Import(w, w.work, options));
    ASSERT_EQ(report.passes.size(), 2u);
    EXPECT_EQ(report.passes[0].Clubs().errors, 500);
    EXPECT_EQ(report.passes[1].Licences().errors, 500);
    EXPECT_LE(std::stol(ServerSql(w.db, "select last_value from reads")), 10)
        << "a thousand lines asked in a few windows";

    // The second line's code is the first one's with its last letter in capitals, which only the
    // server's collation holds equal: the club the first line stored answers it, not the window
    // asked before.
    Workspace accents;
    if (!ServerWorkspace(accents, "quorvel_club_stored_in_window")) GTEST_SKIP();
    WriteFile(accents.source + "/club.txt", "FRA101035000\u00e9Rennes                        \r\n"
                                            "FRA101035000\u00c9Rennes                        \r\n");
    WriteFile(accents.source + "/licence.txt", "");
    RunReport second;
    options.report = &second;
    EXPECT_TRUE(Import(accents, accents.work, options));
    ASSERT_FALSE(second.passes.empty());
    EXPECT_EQ(second.passes[0].Clubs().created, 1);
    EXPECT_EQ(second.passes[0].Clubs().known, 1);
    EXPECT_EQ(ServerSql(accents.db, "select count(*) from Club"), "1");
}

TEST(ServerFaults, AFirstImportSeesALicenceStoredByATransactionOlderThanItsBatches) {
    // A first import answers "not stored" without asking while nobody else writes. A workstation
    // whose transaction began before the import, and stores a licence of the export between two
    // of its batches, must still be seen, though it takes no new transaction number then.
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_first_import_older")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    WriteFile(w.source + "/licence.txt", LicenceLines(400));
    ServerSql(w.db, "CREATE TABLE Notes (x INTEGER)");
    PGconn* workstation = PQconnectdb(w.db.c_str());
    PQclear(PQexec(workstation, "BEGIN; INSERT INTO Notes VALUES (1)"));
    ShortBatches batches(100);
    int after = 0;
    SetAfterBatch([&] {
        if (++after == 2)
            PQclear(PQexec(workstation, "INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES "
                                        "('fra5110750012', '850349', 'AUTRE', 'Prenom'); COMMIT"));
    });
    bool imported = Import(w, w.work);
    SetAfterBatch({});
    PQfinish(workstation);
    ASSERT_TRUE(imported);
    ASSERT_GE(after, 3);
    EXPECT_EQ(ServerSql(w.db, "select count(*) from Licence where licence = '850349'"), "1");
    EXPECT_EQ(ServerSql(w.db, "select count(*) from Licence"), "400");
}

TEST(ServerFaults, LicenceNumbersTheServerHoldsEqualInOtherCharactersAreFoundInAFirstImport) {
    // The server's collation holds "85²234" and "852234" equal (the file database does not): the
    // later line finds the licence the earlier one stored, whichever is written in plain digits,
    // in the same window or a later one.
    auto numbered = [](std::initializer_list<const char*> numbers) {
        std::string lines = LicenceLines(static_cast<int>(numbers.size()));
        std::size_t at = 13;
        for (const char* number : numbers) {
            lines.replace(at, 6, number);
            at += 250;
        }
        return lines;
    };
    Workspace later;
    if (!ServerWorkspace(later, "quorvel_other_digits_later"))
        GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    WriteFile(later.source + "/licence.txt", numbered({"85\xb2"
                                                       "234",
                                                       "851111", "852234", "851112"}));
    {
        ShortBatches batches(2);
        ASSERT_TRUE(Import(later, later.work));
    }
    EXPECT_EQ(ServerSql(later.db, "select count(*) from Licence"), "3");

    Workspace same;
    if (!ServerWorkspace(same, "quorvel_other_digits_same")) GTEST_SKIP();
    WriteFile(same.source + "/licence.txt", numbered({"853234", "85\xb3"
                                                                "234"}));
    ASSERT_TRUE(Import(same, same.work));
    EXPECT_EQ(ServerSql(same.db, "select count(*) from Licence"), "1");

    // A licence column of numbers holds "085000" and "85000" as one.
    Workspace numeric;
    if (!ServerWorkspace(numeric, "quorvel_numeric_licence")) GTEST_SKIP();
    ServerSql(numeric.db, "ALTER TABLE Licence ALTER COLUMN licence TYPE numeric USING licence::numeric");
    WriteFile(numeric.source + "/licence.txt", numbered({"085000", "85000 "}));
    ASSERT_TRUE(Import(numeric, numeric.work));
    EXPECT_EQ(ServerSql(numeric.db, "select count(*) from Licence"), "1");
}

TEST(ServerFaults, AnswersAskedAheadGiveWayToWhatIsStoredSince) {
    // The table holds others' licences, so every key is asked ahead, a window of 1,024 lines at
    // a time, the next window asked while this one is handled. The licence the 100th line stores
    // was answered "not stored" for the 200th line (same window, in small letters) and for the
    // 1,500th (the next window, asked before the 100th line stored it): both find it. (Spaces
    // around the number keep the lines apart until the lookup, which trims them; the lines before
    // the 100th and the 200th are known, and store nothing.)
    Workspace cased;
    if (!ServerWorkspace(cased, "quorvel_found_after")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ServerSql(cased.db,
              "INSERT INTO Licence (Code_club, licence, Nom) SELECT 'FRA5110750099', 'X' || i, "
              "'AUTRE' FROM generate_series(1, 100) i; INSERT INTO Licence (Code_club, licence, Nom, "
              "Prenom) VALUES ('FRA5110750012', '850098', 'NOM98', 'Prenom'), ('FRA5110750012', '850198', "
              "'NOM198', 'Prenom')");
    std::string lines = LicenceLines(2500);
    for (auto [line, number] : {std::pair{99, "85AB  "}, {199, " 85ab "}, {1499, "  85Ab"}})
        lines.replace(static_cast<std::size_t>(line) * 250 + 13, 6, number);
    WriteFile(cased.source + "/licence.txt", lines);
    ASSERT_TRUE(Import(cased, cased.work));
    EXPECT_EQ(ServerSql(cased.db, "select count(*) || ' ' || count(*) filter (where lower(licence) = '85ab') "
                                  "from Licence"),
              "2598 1");

    // The database holds the licences of lines 1 to 1,024, which store nothing: the second window
    // is asked while the first batch (those lines) runs. Between the two batches a workstation
    // stores the licence of line 1,100: the second batch asks again, and finds it.
    Workspace between;
    ASSERT_TRUE(ServerWorkspace(between, "quorvel_window_next_batch"));
    ServerSql(between.db,
              "INSERT INTO Licence (Code_club, licence, Nom, Prenom) SELECT 'FRA5110750012', "
              "'85' || lpad(i::text, 4, '0'), 'NOM' || i, 'Prenom' FROM generate_series(0, 1023) i");
    WriteFile(between.source + "/licence.txt", LicenceLines(2500));
    ShortBatches batches(1024);
    bool first = true;
    SetAfterBatch([&] {
        if (std::exchange(first, false))
            ServerSql(between.db, "INSERT INTO Licence (Code_club, licence, Nom, Prenom) VALUES "
                                  "('FRA5110750012', '851099', 'NOM1099', 'Prenom')");
    });
    bool imported = Import(between, between.work);
    SetAfterBatch({});
    ASSERT_TRUE(imported);
    EXPECT_EQ(ServerSql(between.db, "select count(*) || ' ' || count(*) filter (where licence = '851099') "
                                    "from Licence"),
              "2500 1");
}

TEST(ServerFaults, TwoWorkstationsStoringAtOnceNumberTheirLicencesInTurn) {
    // Neither takes the import's table locks: the numbering alone makes the second wait for the
    // first's commit, then number after it.
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_numbers_in_turn")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    PGconn* first = PQconnectdb(w.db.c_str());
    PQclear(
        PQexec(first, "BEGIN; INSERT INTO Licence (Code_club, licence) VALUES ('FRA5110750012', '850001')"));
    {
        Writer second(w.db, "INSERT INTO Licence (Code_club, licence) VALUES ('FRA5110750012', '850002')");
        PQclear(PQexec(first, "COMMIT"));
    }
    PQfinish(first);
    EXPECT_EQ(ServerSql(w.db, "select string_agg(licence || ':' || Num, ' ' order by Num) from Licence"),
              "850001:1 850002:2");
}

TEST(ServerFaults, AnIufFileNamingALicenceTwiceLeavesItsLastCodeAsTheFileDatabaseDoes) {
    // Updates of consecutive lines go to the server together, where a row two of them find would
    // take either code: the later line's must stay, however the key is spelt.
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_iuf_twice")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ASSERT_TRUE(Import(w, w.work));
    ServerSql(w.db,
              "INSERT INTO Licence (Code_club, licence, Nom) SELECT 'FRA5110750012', '859' || i || 'A', "
              "'CASSE' FROM generate_series(10, 49) i; ANALYZE Licence");
    std::filesystem::remove_all(w.source);
    std::filesystem::create_directories(w.source);
    std::string iuf;
    auto line = [&](const std::string& licence, const std::string& code) {
        char text[64];
        std::snprintf(text, sizeof text, "110750012%s%-30s\r\n", licence.c_str(), code.c_str());
        iuf += text;
    };
    // Pairs of keys the server's collation holds equal, each amid other keys so that it would go
    // in one statement of many rows: spelt alike, in small letters and capitals, in superscript
    // digits and plain ones.
    for (int i = 10; i < 50; ++i) {
        const std::string n = std::to_string(i);
        line("85" + n + "77", "SEUL");
        line("859" + n + "a", "PREMIER");
        line("85" + n + "78", "SEUL");
        line("859" + n + "A", "DERNIER");
        line("852" + n + "\xb9", "PREMIER");
        line("85" + n + "79", "SEUL");
        line("852" + n + "1", "DERNIER");
        line("851" + n + "5", "PREMIER");
        line("851" + n + "5", "DERNIER");
    }
    WriteFile(w.source + "/codes.txt", iuf);
    ImportOptions options;
    options.server = w.db;
    ASSERT_TRUE(clsMajIUF(FixedClock(2026, 12, 6))
                    .bImport_CodeIUF(w.source, w.db, w.trace, nullptr, false, "", options));
    EXPECT_EQ(ServerSql(w.db, "select count(*) from Licence where Code_unique = 'DERNIER'"), "120");
    EXPECT_EQ(ServerSql(w.db, "select count(*) from Licence where Code_unique = 'PREMIER'"), "0");
}

TEST(ServerFaults, UpdatesSentTogetherFindTheirRowsByANumberColumnAsEachWould) {
    // Consecutive updates go as one statement of many rows: its list of values compares with the
    // number column as the statement of one row does, and nothing fails.
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_updates_together")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ServerSql(w.db,
              "INSERT INTO Club (Code_federal, Intitule, Selection) SELECT 'FRA51107500' || lpad(i::text, 2, "
              "'0'), 'Null', 0 FROM generate_series(1, 8) i");
    constexpr std::string_view kName = "Update Club set Intitule = ?1 where Num = ?2";
    storage::Connection c;
    WriteLines(c, w.db, kName, 8, [](long line) {
        return std::pair<std::string, std::string>("Club " + std::to_string(line), std::to_string(line));
    });
    EXPECT_NO_THROW(c.Flush());
    EXPECT_FALSE(c.TransactionLost());
    storage::Disconnect(c);
    EXPECT_EQ(ServerSql(w.db, "select string_agg(Intitule, ',' order by Num) from Club"),
              "Club 1,Club 2,Club 3,Club 4,Club 5,Club 6,Club 7,Club 8");
}

TEST(ServerFaults, AConnectionCutWhileNothingIsOnItsWayLosesTheTransactionItWasIn) {
    // Line 1's row was sent and confirmed; the link is then cut while nothing is on its way. The
    // next statement finds it dropped: the transaction, line 1's row with it, is gone, and the
    // connection says so rather than go on outside any transaction.
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_cut_idle")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    const std::string direct = w.db;
    Relay relay(ServerPort(direct));
    storage::Connection c;
    WriteLines(c, relay.Through(direct), "INSERT INTO Licence (Code_club, licence) VALUES ('A', ?1)", 1,
               [](long) { return std::pair<std::string, std::string>("1", ""); });
    c.Flush();
    relay.CutAll(0);
    c.SetItem(2);
    try {
        // A statement not prepared on the connection yet.
        c.Execute("INSERT INTO Licence (Code_club, licence) VALUES ('B', ?1)", {"2"});
        c.Flush();
    } catch (const Error&) {
    }
    EXPECT_TRUE(c.TransactionLost());
    c.Rollback();
    storage::Disconnect(c);
    EXPECT_EQ(ServerSql(direct, "select count(*) from Licence"), "0");
}

// Once a line has failed, the writes of the lines run caught. Done again, a line sends nothing the
// server ran already; one that no longer sends what it sent takes the work back to the last
// savepoint, where the lines before it fail again without being sent.
TEST(ServerFaults, LinesDoneAgainSendOnlyWhatTheServerHasNotRun) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_caught")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    // The server counts the rows it is asked to store, in a sequence that no rollback takes back.
    ServerSql(w.db, "CREATE TABLE t (a text CHECK (a <> 'bad')); CREATE SEQUENCE runs; "
                    "CREATE FUNCTION count_run() RETURNS trigger LANGUAGE plpgsql AS "
                    "$$ BEGIN PERFORM nextval('runs'); RETURN NEW; END $$; CREATE TRIGGER count_run "
                    "BEFORE INSERT ON t FOR EACH ROW EXECUTE FUNCTION count_run()");
    const std::string insert = "INSERT INTO t (a) VALUES (?1)";
    for (const auto [third, stored] : {std::pair{"y3", "x y3 y4"}, std::pair{"z3", "x y4 z3"}}) {
        storage::Connection c;
        storage::Connect(c, storage::DatabaseName::Server(w.db));
        auto line = [&](long item, const char* value) {
            c.Savepoint(item - 1);
            c.SetItem(item);
            c.Execute(insert, {value});
        };
        c.SetItem(1);
        c.Execute(insert, {"x"});
        c.Flush();
        // Line 2 reads first, the first time only: a query changes nothing the lines after expect.
        c.Savepoint(1);
        c.SetItem(2);
        EXPECT_EQ(storage::lngRequeteValeur(c, "SELECT count(*) FROM t", {}), 1);
        c.Execute(insert, {"bad"});
        line(3, "y3");
        line(4, "y4");
        // The failure of line 2 comes back with the outcomes, lines 3 and 4 having run.
        EXPECT_THROW(c.Flush(), Error);
        EXPECT_TRUE(c.LostToSavepoint());
        EXPECT_EQ(c.LostItem(), 2);
        c.ForgetLossToSavepoint();
        EXPECT_THROW(line(2, "bad"), Error);
        EXPECT_FALSE(c.TransactionLost());
        if (std::string(third) == "z3") {
            // Line 3 now sends another value: back to the savepoint after line 1, line 2 failing
            // again unsent, and the lines from 3 sent anew.
            EXPECT_THROW(line(3, third), Error);
            EXPECT_TRUE(c.LostToSavepoint());
            EXPECT_EQ(c.LostItem(), 2);
            c.ForgetLossToSavepoint();
            EXPECT_THROW(line(2, "bad"), Error);
        }
        line(3, third);
        line(4, "y4");
        c.Commit();
        EXPECT_FALSE(c.TransactionLost());
        c.Close();
        EXPECT_EQ(ServerSql(w.db, "select string_agg(a, ' ' order by a) from t"), stored);
        ServerSql(w.db, "TRUNCATE t");
    }
    // x, bad, y3, y4 the first time; x, bad, y3, y4, then z3 and y4 again the second.
    EXPECT_EQ(ServerSql(w.db, "select last_value from runs"), "10");
}

// A server that refuses temporary functions to the import's role: lines that fail take savepoints,
// and tell what they tell on the file database.
TEST(ServerFaults, ARoleWithoutTemporaryFunctionsHasRefusedLinesTellTheSame) {
    Workspace file, server;
    if (!ServerWorkspace(server, "quorvel_no_temp")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    ExportRefusingOnBoth(file, server, LicenceLines(400), "substr(NEW.licence, -1) = '7'",
                         "right(NEW.licence, 1) = '7'");
    ServerSql(server.db,
              "DO $$ BEGIN CREATE ROLE quorvel_no_temp LOGIN; EXCEPTION WHEN duplicate_object THEN END $$; "
              "REVOKE TEMPORARY ON DATABASE quorvel_no_temp FROM PUBLIC; "
              "GRANT ALL ON ALL TABLES IN SCHEMA public TO quorvel_no_temp; "
              "GRANT ALL ON ALL SEQUENCES IN SCHEMA public TO quorvel_no_temp");
    ImportOptions onServer;
    onServer.server = std::regex_replace(server.db, std::regex("//[^@/]*@"), "//quorvel_no_temp@");
    ShortBatches batches(100);
    ImportOnBothAndCompare(file, server, onServer);
}
