// The command line's contract: exit status 0 / 1 / 2, one clear stderr line on an error, help with
// an example for every command.

#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

using quorvel::test::TempDir;

namespace {

struct Outcome {
    int status = -1;
    std::string out;
    std::string err;
};

Outcome Quorvel(const TempDir& dir, const std::string& args) {
    std::string out = dir / "stdout.txt";
    std::string err = dir / "stderr.txt";
    std::string cmd = std::string(QUORVEL_CLI) + " " + args + " > " + out + " 2> " + err;
    int raw = std::system(cmd.c_str());
    Outcome o;
    o.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    o.out = quorvel::test::ReadFile(out);
    o.err = quorvel::test::ReadFile(err);
    return o;
}

long LineCount(const std::string& text) {
    long n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

} // namespace

TEST(Cli, ExitStatusFollowsTheRunsResult) {
    TempDir dir;
    std::string db = dir / "club.db";
    ASSERT_EQ(Quorvel(dir, "init-db " + db).status, 0);
    std::filesystem::create_directories(dir / "work");
    std::string common =
        " --db " + db + " --work " + (dir / "work") + " --trace " + (dir / "t.log") + " --today 2026-12-06";

    Outcome ok = Quorvel(dir, "import-licences --source " + std::string(QUORVEL_SAMPLE_DIR) + common);
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_NE(ok.out.find(dir / "t.log"), std::string::npos) << "says where the TraceLog is";
    EXPECT_EQ(quorvel::test::ReadTrace(dir / "t.log")[0], "Début de l'import : 06/12/2026 00:00:00");

    std::filesystem::create_directories(dir / "empty");
    EXPECT_EQ(Quorvel(dir, "import-licences --source " + (dir / "empty") + common).status,
              1); // no licence.txt

    Outcome failed = Quorvel(dir, "import-licences --source " + (dir / "missing") + common);
    EXPECT_EQ(failed.status, 2);
    EXPECT_EQ(LineCount(failed.err), 1) << failed.err;
    EXPECT_NE(failed.err.find("Erreur n° 76"), std::string::npos) << failed.err;
    EXPECT_NE(failed.err.find(dir / "missing"), std::string::npos) << failed.err;

    Outcome iuf =
        Quorvel(dir, "update-iuf --db " + db + " --source " + std::string(QUORVEL_SAMPLE_DIR) + " --trace " +
                         (dir / "i.log") + " --club FRA5110750012 --today 2026-12-06");
    EXPECT_EQ(iuf.status, 0) << iuf.err;
}

TEST(Cli, BadArgumentsAreRefusedClearly) {
    TempDir dir;
    std::string db = dir / "club.db";
    ASSERT_EQ(Quorvel(dir, "init-db " + db).status, 0);
    Outcome again = Quorvel(dir, "init-db " + db);
    EXPECT_EQ(again.status, 2);
    EXPECT_NE(again.err.find("existe déjà"), std::string::npos) << again.err;

    Outcome date =
        Quorvel(dir, "import-licences --db " + db + " --source x --work y --trace z --today 06/12/2026");
    EXPECT_EQ(date.status, 2);
    EXPECT_NE(date.err.find("YYYY-MM-DD"), std::string::npos) << date.err;

    EXPECT_EQ(Quorvel(dir, "import-licences --db " + db).status, 2); // required options missing
    EXPECT_EQ(Quorvel(dir, "").status, 2);                           // no command
}

TEST(Cli, EveryCommandExplainsItselfWithAnExample) {
    TempDir dir;
    for (const char* command : {"import-licences", "update-iuf", "init-db"}) {
        Outcome help = Quorvel(dir, std::string(command) + " --help");
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_NE(help.out.find("Example:"), std::string::npos) << command;
    }
    Outcome version = Quorvel(dir, "--version");
    EXPECT_EQ(version.status, 0);
    EXPECT_NE(version.out.find("1.01.0002"), std::string::npos);
}
