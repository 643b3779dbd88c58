// Imports into a PostgreSQL database (QUORVEL_TEST_PG_URI, see scripts/pg-cluster.sh): two at once
// take turns, a connection dropped in the middle of a batch or just after a COMMIT went through
// loses nothing the counts tell, and a write sent without waiting that fails is blamed on the line
// that sent it.

#include "storage/queries.hpp"
#include "support/support.hpp"

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
#include <mutex>
#include <thread>

using namespace quorvel;
using namespace quorvel::test;

namespace {

std::string Sql(const std::string& uri, const std::string& sql) {
    PGconn* c = PQconnectdb(uri.c_str());
    PGresult* r = PQexec(c, sql.c_str());
    EXPECT_TRUE(PQresultStatus(r) == PGRES_TUPLES_OK || PQresultStatus(r) == PGRES_COMMAND_OK)
        << PQerrorMessage(c);
    std::string value = PQntuples(r) > 0 ? PQgetvalue(r, 0, 0) : "";
    PQclear(r);
    PQfinish(c);
    return value;
}

// A new database with the application's tables, its URI in w.db.
bool ServerWorkspace(Workspace& w, const std::string& name) {
    const char* maintenance = std::getenv("QUORVEL_TEST_PG_URI");
    if (maintenance == nullptr) return false;
    Sql(maintenance, "DROP DATABASE IF EXISTS " + name + " WITH (FORCE)");
    Sql(maintenance, "CREATE DATABASE " + name);
    w.db = std::string(maintenance).substr(0, std::string(maintenance).rfind('/') + 1) + name;
    CreateHostDatabase(w.db, QUORVEL_REFERENCE_FILE);
    WriteFile(w.source + "/licence.txt", LicenceLines(6000));
    return true;
}

bool Import(Workspace& w, const std::string& work, ImportOptions options = {}) {
    std::filesystem::create_directories(work);
    options.server = w.db;
    return clsRecupLicence(FixedClock(2026, 12, 6))
        .bImport_Licence(w.db, w.source, work, w.trace, nullptr, options);
}

// A relay between the import and the server. Once armed, it lets the next COMMIT through, waits
// for the server's answer (the transaction is stored by then) and drops the connection instead of
// passing the answer on.
class CommitDropper {
public:
    explicit CommitDropper(int serverPort) : serverPort_(serverPort) {
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a = Loopback(0);
        socklen_t size = sizeof a;
        ::bind(listener_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size);
        port_ = ntohs(a.sin_port);
        accepter_ = std::thread([this] { Accept(); });
    }
    ~CommitDropper() {
        ::shutdown(listener_, SHUT_RDWR);
        ::close(listener_);
        accepter_.join();
        std::lock_guard lock(mutex_);
        for (int fd : fds_)
            ::shutdown(fd, SHUT_RDWR);
        for (auto& t : relays_)
            t.join();
        for (int fd : fds_)
            ::close(fd);
    }
    int Port() const { return port_; }
    void Arm() { armed_ = true; }
    bool Dropped() const { return dropped_; }

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
            relays_.emplace_back([=, this] { Relay(client, server, commitSent, true); });
            relays_.emplace_back([=, this] { Relay(server, client, commitSent, false); });
        }
    }
    void Relay(int from, int to, std::shared_ptr<std::atomic<bool>> commitSent, bool towardServer) {
        char buffer[65536];
        for (;;) {
            ssize_t n = ::read(from, buffer, sizeof buffer);
            if (n <= 0) break;
            if (!towardServer && *commitSent) {
                // The COMMIT's answer: stored on the server, never seen by the import.
                dropped_ = true;
                break;
            }
            if (towardServer && armed_ &&
                std::string_view(buffer, n).find("COMMIT") != std::string_view::npos) {
                armed_ = false;
                *commitSent = true;
            }
            if (::write(to, buffer, n) != n) break;
        }
        ::shutdown(from, SHUT_RDWR);
        ::shutdown(to, SHUT_RDWR);
    }

    int serverPort_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> armed_{false};
    std::atomic<bool> dropped_{false};
    std::thread accepter_;
    std::mutex mutex_;
    std::vector<int> fds_;
    std::vector<std::thread> relays_;
};

} // namespace

TEST(ServerFaults, TwoImportsAtOnceStoreWhatTwoInTurnWould) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_two_at_once")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    EXPECT_TRUE(BothAtOnce([&](int k) {
        w.trace = w.dir / ("t" + std::to_string(k) + ".log");
        return Import(w, w.dir / ("work" + std::to_string(k)));
    }));
    EXPECT_EQ(Sql(w.db, "select count(*) || ' ' || count(distinct (Code_club, licence)) from Licence"),
              "6000 6000");
    EXPECT_EQ(Sql(w.db, "select count(*) from Club"), "1")
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
        Sql(w.db, "select count(pg_terminate_backend(pid)) from pg_stat_activity "
                  "where datname = current_database() and pid <> pg_backend_pid()");
    };
    EXPECT_TRUE(Import(w, w.work, options));
    ASSERT_TRUE(dropped);
    LicenceCounts n = report.passes.back().Licences();
    EXPECT_EQ(std::to_string(n.imported), Sql(w.db, "select count(*) from Licence"));
    EXPECT_EQ(n.imported, 6000) << "the batch was done again on the new connection";
    EXPECT_EQ(Sql(w.db, "select count(*) || ' ' || max(Num) from Licence"), "6000 6000") << "no number lost";
    EXPECT_EQ(Sql(w.db, "select LastClose from Info"), "1");
    EXPECT_EQ(report.database.find(":secret@"), std::string::npos) << "the password never shows";
}

TEST(ServerFaults, AWriteSentWithoutWaitingThatFailsIsBlamedOnItsOwnLine) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_sent")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    Sql(w.db,
        "CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE EXCEPTION 'refus'; "
        "END $$; CREATE TRIGGER refuse BEFORE INSERT ON Licence FOR EACH ROW WHEN (NEW.licence = 'X') "
        "EXECUTE FUNCTION refuse()");
    constexpr std::string_view kInsert = "INSERT INTO Licence (Code_club, licence) VALUES ('A', ?1)";
    storage::Connection c;
    storage::Connexion(c, w.db, true);
    for (long line = 1; line <= 5; ++line) {
        c.SetItem(line);
        c.Execute(kInsert, {line == 3 ? std::string("X") : std::to_string(line)});
    }
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
    storage::Deconnexion(c);
    EXPECT_EQ(Sql(w.db, "select string_agg(licence, ',') from Licence"), "6");
}

TEST(ServerFaults, AConnectionDroppedJustAfterItsCommitWentThroughCountsTheBatchAsStored) {
    Workspace w;
    if (!ServerWorkspace(w, "quorvel_commit_dropped")) GTEST_SKIP() << "QUORVEL_TEST_PG_URI is not set";
    // The import reaches the server through the relay.
    const std::string direct = w.db;
    auto colon = direct.rfind(':');
    auto slash = direct.find('/', colon);
    CommitDropper relay(std::stoi(direct.substr(colon + 1, slash - colon - 1)));
    w.db = direct.substr(0, colon + 1) + std::to_string(relay.Port()) + direct.substr(slash);
    RunReport report;
    ImportOptions options;
    options.report = &report;
    // The last line's batch is the next to commit.
    options.progress = [&](const ProgressStep& s) {
        if (s.pass == "licences" && s.line == 6000 && !s.finished) relay.Arm();
    };
    EXPECT_TRUE(Import(w, w.work, options));
    ASSERT_TRUE(relay.Dropped());
    LicenceCounts n = report.passes.back().Licences();
    EXPECT_EQ(n.imported, 6000) << "the lines of the batch stored were not read again as known";
    EXPECT_EQ(n.known, 0);
    EXPECT_EQ(Sql(direct, "select count(*) || ' ' || max(Num) from Licence"), "6000 6000");
    EXPECT_EQ(Sql(direct, "select LastClose from Info"), "1");
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
    EXPECT_EQ(Sql(w.db, "select count(*) from Licence"), "6000");
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
