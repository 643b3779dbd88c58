// The installed package: what `cmake --install` puts in place, and programs built against it with
// find_package and with pkg-config.

#include "process_helpers.hpp"
#include "support/test_support.hpp"

#include <gtest/gtest.h>

#include <filesystem>

using quorvel::test::RunProgram;
using quorvel::test::TempDir;
namespace fs = std::filesystem;

namespace {

void ExpectRuns(const std::string& program, const std::string& folder, const std::string& greeting,
                const std::vector<std::pair<std::string, std::optional<std::string>>>& environment = {}) {
    auto run = RunProgram({program, folder}, environment);
    EXPECT_EQ(run.exitCode, 0) << program << "\n" << run.output;
    EXPECT_EQ(run.output, greeting + " 1.01.0002: ok\n") << program;
}

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text + " ") {
        if (c == ' ' || c == '\n') {
            if (!word.empty()) words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

} // namespace

TEST(Package, InstallsALibraryThatOtherProgramsBuildAgainst) {
    TempDir dir;
    const std::string prefix = dir / "prefix";
    auto install = RunProgram({QUORVEL_CMAKE_COMMAND, "--install", QUORVEL_BUILD_DIR, "--prefix", prefix});
    ASSERT_EQ(install.exitCode, 0) << install.output;

    const fs::path root(prefix);
    const fs::path lib = root / QUORVEL_INSTALL_LIBDIR;
    for (const fs::path& file :
         {lib / "libquorvel.so", lib / "libquorvel.so.1", lib / "libquorvel.a", lib / "pkgconfig/quorvel.pc",
          lib / "cmake/quorvel/quorvelConfig.cmake", lib / "cmake/quorvel/quorvelConfigVersion.cmake",
          root / QUORVEL_INSTALL_INCLUDEDIR / "quorvel/quorvel.h",
          root / QUORVEL_INSTALL_INCLUDEDIR / "quorvel/identity.h",
          root / QUORVEL_INSTALL_INCLUDEDIR / "quorvel/clsRecupLicence.hpp",
          root / QUORVEL_INSTALL_DATADIR / "quorvel/reference/france.txt"})
        EXPECT_TRUE(fs::exists(file)) << file;

    auto version = RunProgram({(root / QUORVEL_INSTALL_BINDIR / "quorvel").string(), "--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_NE(version.output.find("1.01.0002"), std::string::npos) << version.output;

    const std::string work = dir / "work";
    fs::create_directories(work);

    // find_package(quorvel): shared, static and C++ consumers.
    const std::string build = dir / "consumer";
    auto configure = RunProgram(
        {QUORVEL_CMAKE_COMMAND, "-S", QUORVEL_PACKAGE_CONSUMER, "-B", build, "-DCMAKE_PREFIX_PATH=" + prefix,
         "-DCMAKE_C_COMPILER=" QUORVEL_C_COMPILER, "-DCMAKE_CXX_COMPILER=" QUORVEL_CXX_COMPILER,
         "-DCMAKE_C_FLAGS=" QUORVEL_CONSUMER_FLAGS, "-DCMAKE_CXX_FLAGS=" QUORVEL_CONSUMER_FLAGS,
         "-DCMAKE_EXE_LINKER_FLAGS=" QUORVEL_CONSUMER_FLAGS});
    ASSERT_EQ(configure.exitCode, 0) << configure.output;
    auto compile = RunProgram({QUORVEL_CMAKE_COMMAND, "--build", build});
    ASSERT_EQ(compile.exitCode, 0) << compile.output;
    ExpectRuns(build + "/consumer_c", work, "consumer");
    ExpectRuns(build + "/consumer_c_static", work, "consumer");
    ExpectRuns(build + "/consumer_cxx", work, "consumer_cxx");

    // pkg-config: the flags of the installed quorvel.pc, wherever the tree was installed.
    const std::pair<std::string, std::optional<std::string>> pcPath{"PKG_CONFIG_PATH",
                                                                    (lib / "pkgconfig").string()};
    auto flags = RunProgram({QUORVEL_PKG_CONFIG, "--cflags", "--libs", "quorvel"}, {pcPath});
    ASSERT_EQ(flags.exitCode, 0) << flags.output;
    auto modversion = RunProgram({QUORVEL_PKG_CONFIG, "--modversion", "quorvel"}, {pcPath});
    EXPECT_EQ(modversion.output, "1.1.0.2\n");
    std::vector<std::string> cc = {QUORVEL_C_COMPILER, std::string(QUORVEL_PACKAGE_CONSUMER) + "/consumer.c",
                                   "-o", dir / "consumer_pc"};
    for (const auto& word : Words(flags.output))
        cc.push_back(word);
    for (const auto& word : Words(QUORVEL_CONSUMER_FLAGS))
        cc.push_back(word);
    auto link = RunProgram(cc);
    ASSERT_EQ(link.exitCode, 0) << link.output;
    ExpectRuns(dir / "consumer_pc", work, "consumer", {{"LD_LIBRARY_PATH", lib.string()}});
}
