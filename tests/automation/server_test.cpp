// The library as a server: registration in the per-user registry file, creation by ProgID through
// that file, the C example host, the installed package, and what the shared library exports.

#include "support/support.hpp"

#include <quorvel/quorvel.h>

#include <gtest/gtest.h>

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>

using namespace quorvel::test;
namespace fs = std::filesystem;

namespace {

const std::string kRecup = "{FBE9A974-9666-4605-8692-46F3B3550979}",
                  kMaj = "{F6110953-769F-42A3-AFAE-12FBB186A21D}";

// Sets the variable `name` to `value` (unsets it for null) until the end of the scope; one that
// was empty is then left unset, which means the same to the library.
struct ScopedVariable {
    ScopedVariable(const char* name, const char* value)
        : name(name), previous(std::getenv(name) != nullptr ? std::getenv(name) : "") {
        value != nullptr ? ::setenv(name, value, 1) : ::unsetenv(name);
    }
    ~ScopedVariable() { previous.empty() ? ::unsetenv(name) : ::setenv(name, previous.c_str(), 1); }
    const char* name;
    std::string previous;
};

// The registry file's lines that lead from `progId` to the class `id` served by the library `path`.
std::string Entry(const std::string& progId, const std::string& id, const std::string& path) {
    return "[" + progId + "\\Clsid]\n@=" + id + "\n[CLSID\\" + id + "\\InprocServer32]\n@=" + path + "\n";
}

class Registry : public ::testing::Test {
protected:
    quorvel_hresult Create(const char* progId, const quorvel_guid& iid = QUORVEL_IID__clsRecupLicence) {
        object = &object;
        return quorvel_CreateInstanceByProgID(progId, &iid, &object);
    }

    TempDir dir;
    ScopedVariable xdg{"XDG_CONFIG_HOME", (dir / "config").c_str()};
    const std::string file = dir / "config/quorvel/registry.ini";
    const bool folder = fs::create_directories(dir / "config/quorvel"); // made up front
    void* object = nullptr;
};

} // namespace

TEST_F(Registry, RegistrationWritesTheKeysAndUnregistrationRemovesExactlyThem) {
    // Someone else's lines, a look-alike key, and an earlier registration that registering replaces.
    const std::string others = "; kept by hand\r\n[quorvel.clsMajIUFOld]\n@=not ours\n";
    WriteFile(file, others + "[clsid\\" + kMaj + "\\inprocserver32]\n# by hand=kept\n@=/old/libquorvel.so\n");
    ASSERT_EQ(DllRegisterServer(), QUORVEL_S_OK);
    // This program holds its own copy of the library, so it is the registered server.
    const std::string text = ReadFile(file), self = fs::read_symlink("/proc/self/exe").string();
    EXPECT_EQ(text.find("/old/"), std::string::npos);
    for (const std::string& lines :
         {"[CLSID\\" + kRecup + "\\InprocServer32]\n@=" + self + "\nThreadingModel=Apartment\n",
          "[quorvel.clsMajIUF\\Clsid]\n@=" + kMaj + "\n", "\\1.0\\0\\linux64]\n@=" + self + "\n"})
        EXPECT_NE(text.find(lines), std::string::npos) << lines << "not in\n" << text;

    ASSERT_EQ(Create("QUORVEL.CLSRECUPLICENCE"), QUORVEL_S_OK); // keys in any case
    quorvel_Release(static_cast<quorvel_object*>(object));
    ASSERT_EQ(DllUnregisterServer(), QUORVEL_S_OK);
    EXPECT_EQ(ReadFile(file), others + "# by hand=kept\n") << "comments stay, even inside our keys";
}

TEST_F(Registry, WithoutAnAbsoluteXdgConfigHomeTheFileIsUnderHome) {
    ScopedVariable home("HOME", (dir / "home").c_str());
    const std::string inHome = dir / "home/.config/quorvel/registry.ini";
    for (const char* xdg : {static_cast<const char*>(nullptr), "relative/config"}) {
        ScopedVariable variable("XDG_CONFIG_HOME", xdg);
        ASSERT_EQ(DllRegisterServer(), QUORVEL_S_OK);
        EXPECT_TRUE(fs::exists(inHome));
        EXPECT_EQ(DllUnregisterServer(), QUORVEL_S_OK);
        EXPECT_FALSE(fs::exists(inHome)) << "a file left with its header only is deleted";
    }
}

TEST_F(Registry, CreationByProgIdLoadsTheRegisteredSharedLibrary) {
    WriteFile(file, Entry("quorvel.clsMajIUF", kMaj, QUORVEL_SHARED_LIBRARY));
    ASSERT_EQ(Create("quorvel.clsMajIUF", QUORVEL_IID__clsMajIUF), QUORVEL_S_OK);
    void* library = dlopen(QUORVEL_SHARED_LIBRARY, RTLD_NOW | RTLD_NOLOAD);
    ASSERT_NE(library, nullptr);
    auto canUnload = reinterpret_cast<quorvel_hresult (*)()>(dlsym(library, "DllCanUnloadNow"));
    EXPECT_EQ(canUnload(), QUORVEL_S_FALSE); // the object lives there, not in this program's copy
    EXPECT_EQ(quorvel_Release(static_cast<quorvel_object*>(object)), 0u);
    EXPECT_EQ(canUnload(), QUORVEL_S_OK); // the factory used on the way was released too
}

TEST_F(Registry, EachMissingLinkOfTheChainHasItsOwnResult) {
    const char* progId = "quorvel.clsRecupLicence";
    const std::pair<std::string, quorvel_hresult> cases[] = {
        {"", QUORVEL_CO_E_CLASSSTRING}, // no file
        {"[quorvel.clsRecupLicence\\Clsid]\n@={FBE9A974-9666-4605-8692-46F3B355097G}\n",
         QUORVEL_CO_E_CLASSSTRING},
        {"[quorvel.clsRecupLicence\\Clsid]\n@=" + kRecup + "\n", QUORVEL_REGDB_E_CLASSNOTREG},
        {Entry(progId, kRecup, dir / "missing/libquorvel.so.1"), QUORVEL_CO_E_DLLNOTFOUND},
        {Entry(progId, kRecup, "libm.so.6"), QUORVEL_CO_E_ERRORINDLL},        // loads, but is no server
        {Entry(progId, kMaj, QUORVEL_SHARED_LIBRARY), QUORVEL_E_NOINTERFACE}, // another class's interface
    };
    for (const auto& [registry, expected] : cases) {
        fs::remove_all(file);
        if (!registry.empty()) WriteFile(file, registry);
        EXPECT_EQ(Create(progId), expected) << registry;
        EXPECT_EQ(object, nullptr) << registry;
    }
}

TEST(CExample, ImportsTheSampleExportThroughTheRegistryFile) {
    Workspace ws;
    auto run =
        RunProgram({QUORVEL_C_EXAMPLE, ws.db, QUORVEL_SAMPLE_DIR, ws.work, ws.trace, ws.dir / "iuf.log"},
                   {"XDG_CONFIG_HOME=" + ws.dir / "config"});
    ASSERT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.out.find("bImport_CodeIUF: true\nDllCanUnloadNow: yes\n"), std::string::npos) << run.out;
    EXPECT_FALSE(fs::exists(ws.dir / "config/quorvel/registry.ini")); // unregistered again
}

TEST(Package, InstallsALibraryThatOtherProgramsBuildAgainst) {
    // Installs into a fresh prefix, builds the consumers with find_package (C on the shared and on
    // the static library, and C++) and with the installed quorvel.pc, then runs each of them. The
    // program, the library's file and quorvel.pc give one version; the manual page (when help2man
    // made one) and the bash completion are installed, and the completion completes.
    TempDir dir;
    auto run =
        RunProgram({"bash", "-c", R"sh(set -e
        "$CMAKE" --install "$BUILD_DIR" --prefix "$PREFIX"
        v=$(sed -n 's/^Version: //p' "$PREFIX/$LIBDIR/pkgconfig/quorvel.pc"); test -f "$PREFIX/$LIBDIR/libquorvel.so.$v"
        "$PREFIX/$BINDIR/quorvel" --version | grep -F "(file version $v)"; [ -z "$MAN" ] || test -s "$PREFIX/$MAN"
        grep -q '"enum": \[2\]' "$PREFIX/$DATADIR/quorvel/run-report.schema.json"
        completes() { bash -c '. "$0"; COMP_WORDS=(quorvel "$@"); COMP_CWORD=$#; _quorvel; echo "${COMPREPLY[*]}"' "$PREFIX/$COMPLETIONS/quorvel" "$@"; }
        test "$(completes imp)" = import-licences; test "$(completes update-iuf --db x --d)" = --dry-run
        "$CMAKE" -S "$CONSUMER" -B "$OUT" -DCMAKE_PREFIX_PATH="$PREFIX" -DCMAKE_C_COMPILER="$CC" \
            -DCMAKE_CXX_COMPILER="$CXX" -DCMAKE_{C,CXX,EXE_LINKER}_FLAGS="$FLAGS"
        "$CMAKE" --build "$OUT"
        export PKG_CONFIG_PATH="$PREFIX/$LIBDIR/pkgconfig" LD_LIBRARY_PATH="$PREFIX/$LIBDIR"
        "$CC" "$CONSUMER/consumer.c" -o "$OUT/consumer_pc" $("$PKG_CONFIG" --cflags --libs quorvel) $FLAGS
        for program in consumer_c consumer_c_static consumer_cxx consumer_pc; do "$OUT/$program" "$OUT"; done)sh"},
                   {"CMAKE=" QUORVEL_CMAKE_COMMAND, "BUILD_DIR=" QUORVEL_BUILD_DIR,
                    "PREFIX=" + dir / "prefix", "CONSUMER=" QUORVEL_PACKAGE_CONSUMER, "OUT=" + dir / "build",
                    "CC=" QUORVEL_C_COMPILER, "CXX=" QUORVEL_CXX_COMPILER, "FLAGS=" QUORVEL_CONSUMER_FLAGS,
                    "LIBDIR=" QUORVEL_INSTALL_LIBDIR, "PKG_CONFIG=" QUORVEL_PKG_CONFIG,
                    "BINDIR=" QUORVEL_INSTALL_BINDIR, "DATADIR=" QUORVEL_INSTALL_DATADIR,
                    "MAN=" QUORVEL_MAN_PAGE, "COMPLETIONS=" QUORVEL_BASH_COMPLETION_DIR});
    EXPECT_EQ(run.status, 0) << run.out << run.err; // each consumer checks its own run
}

TEST(Exports, TheSharedLibraryExportsThePublicInterfaceOnly) {
    // Leaves out the standard library's own template instances (emitted wherever they are used)
    // and the sanitizers' markers; prints what is exported but not listed, then (indented) what
    // is listed but not exported, except a vtable, which only exists where one is needed.
    auto check =
        RunProgram({"bash", "-c", R"sh(set -o pipefail; nm -D --defined-only "$0" |
        awk '$2 != "u" && $3 !~ /^(_Z(T[ISV])?N?K?St|__odr_asan[.])/ { print $3 }' | c++filt |
        LC_ALL=C sort -u | LC_ALL=C comm -3 - "$1" | awk '!/^\tvtable for /')sh",
                    QUORVEL_SHARED_LIBRARY, fs::path(__FILE__).parent_path() / "exported_symbols.txt"});
    EXPECT_EQ(check.status, 0) << check.err;
    EXPECT_EQ(check.out, "") << "exported but not listed, then (indented) listed but not exported";
}
