// Registration in the per-user registry file: what is written, and that unregistration takes
// away exactly that.

#include "automation/registration.hpp"
#include "automation/registry_file.hpp"
#include "process_helpers.hpp"
#include "support/test_support.hpp"

#include <quorvel/error.hpp>
#include <quorvel/quorvel.h>

#include <gtest/gtest.h>

#include <filesystem>

using quorvel::automation::RegisterServer;
using quorvel::automation::RegistryFile;
using quorvel::automation::UnregisterServer;
using quorvel::test::ReadFile;
using quorvel::test::ScopedEnvironment;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;
namespace fs = std::filesystem;

namespace {

const std::string kClsidRecup = "{FBE9A974-9666-4605-8692-46F3B3550979}";
const std::string kClsidMaj = "{F6110953-769F-42A3-AFAE-12FBB186A21D}";
const std::string kLibid = "{826B4490-584B-4C0C-A8CE-83964FFE074D}";

// Registers the library `module` into the file `path` and saves it.
void Register(const std::string& path, const std::string& module) {
    RegistryFile file = RegistryFile::Load(path);
    RegisterServer(file, module);
    file.Save();
}

void Unregister(const std::string& path) {
    RegistryFile file = RegistryFile::Load(path);
    UnregisterServer(file);
    file.Save();
}

} // namespace

TEST(Registration, WritesTheClassesProgIdsInterfacesAndTypeLibrary) {
    TempDir dir;
    std::string path = dir / "registry.ini";
    Register(path, "/opt/quorvel/lib/libquorvel.so.1");
    EXPECT_EQ(ReadFile(path), std::string(RegistryFile::kHeader) +
                                  "[CLSID\\{FBE9A974-9666-4605-8692-46F3B3550979}]\n"
                                  "@=quorvel.clsRecupLicence\n"
                                  "[CLSID\\{FBE9A974-9666-4605-8692-46F3B3550979}\\InprocServer32]\n"
                                  "@=/opt/quorvel/lib/libquorvel.so.1\n"
                                  "ThreadingModel=Apartment\n"
                                  "[CLSID\\{FBE9A974-9666-4605-8692-46F3B3550979}\\ProgID]\n"
                                  "@=quorvel.clsRecupLicence\n"
                                  "[CLSID\\{FBE9A974-9666-4605-8692-46F3B3550979}\\Programmable]\n"
                                  "[CLSID\\{FBE9A974-9666-4605-8692-46F3B3550979}\\TypeLib]\n"
                                  "@={826B4490-584B-4C0C-A8CE-83964FFE074D}\n"
                                  "[CLSID\\{FBE9A974-9666-4605-8692-46F3B3550979}\\VERSION]\n"
                                  "@=1.0\n"
                                  "[quorvel.clsRecupLicence]\n"
                                  "@=quorvel.clsRecupLicence\n"
                                  "[quorvel.clsRecupLicence\\Clsid]\n"
                                  "@={FBE9A974-9666-4605-8692-46F3B3550979}\n"
                                  "[Interface\\{C407A8DB-01B1-4349-8520-26381A4E4159}]\n"
                                  "@=_clsRecupLicence\n"
                                  "[Interface\\{C407A8DB-01B1-4349-8520-26381A4E4159}\\TypeLib]\n"
                                  "@={826B4490-584B-4C0C-A8CE-83964FFE074D}\n"
                                  "Version=1.0\n"
                                  "[CLSID\\{F6110953-769F-42A3-AFAE-12FBB186A21D}]\n"
                                  "@=quorvel.clsMajIUF\n"
                                  "[CLSID\\{F6110953-769F-42A3-AFAE-12FBB186A21D}\\InprocServer32]\n"
                                  "@=/opt/quorvel/lib/libquorvel.so.1\n"
                                  "ThreadingModel=Apartment\n"
                                  "[CLSID\\{F6110953-769F-42A3-AFAE-12FBB186A21D}\\ProgID]\n"
                                  "@=quorvel.clsMajIUF\n"
                                  "[CLSID\\{F6110953-769F-42A3-AFAE-12FBB186A21D}\\Programmable]\n"
                                  "[CLSID\\{F6110953-769F-42A3-AFAE-12FBB186A21D}\\TypeLib]\n"
                                  "@={826B4490-584B-4C0C-A8CE-83964FFE074D}\n"
                                  "[CLSID\\{F6110953-769F-42A3-AFAE-12FBB186A21D}\\VERSION]\n"
                                  "@=1.0\n"
                                  "[quorvel.clsMajIUF]\n"
                                  "@=quorvel.clsMajIUF\n"
                                  "[quorvel.clsMajIUF\\Clsid]\n"
                                  "@={F6110953-769F-42A3-AFAE-12FBB186A21D}\n"
                                  "[Interface\\{F6426CCC-26F3-4B59-8ED2-D04016E963EB}]\n"
                                  "@=_clsMajIUF\n"
                                  "[Interface\\{F6426CCC-26F3-4B59-8ED2-D04016E963EB}\\TypeLib]\n"
                                  "@={826B4490-584B-4C0C-A8CE-83964FFE074D}\n"
                                  "Version=1.0\n"
                                  "[TypeLib\\{826B4490-584B-4C0C-A8CE-83964FFE074D}\\1.0]\n"
                                  "@=quorvel\n"
                                  "[TypeLib\\{826B4490-584B-4C0C-A8CE-83964FFE074D}\\1.0\\0\\linux64]\n"
                                  "@=/opt/quorvel/lib/libquorvel.so.1\n"
                                  "[TypeLib\\{826B4490-584B-4C0C-A8CE-83964FFE074D}\\1.0\\FLAGS]\n"
                                  "@=0\n"
                                  "[TypeLib\\{826B4490-584B-4C0C-A8CE-83964FFE074D}\\1.0\\HELPDIR]\n"
                                  "@=/opt/quorvel/lib\n");
    // Unregistering leaves nothing but the header, so the file goes.
    Unregister(path);
    EXPECT_FALSE(fs::exists(path));
}

TEST(Registration, UnregisteringRemovesExactlyWhatRegisteringAdded) {
    TempDir dir;
    std::string path = dir / "registry.ini";
    // Someone else's keys around ours: look-alike names, another version of our type library,
    // comments, blank lines, CR LF line ends and no line end on the last line.
    const std::string others = "; kept by hand\r\n"
                               "[CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32]\r\n"
                               "@=/usr/lib/libother.so\r\n"
                               "\r\n"
                               "[quorvel.clsRecupLicenceExtra]\n"
                               "@=something\n"
                               "[TypeLib\\" +
                               kLibid +
                               "\\2.0]\n"
                               "@=a later version\n"
                               "[CLSID\\" +
                               kClsidRecup + "X]\n" + "@=not ours either";
    WriteFile(path, others);

    Register(path, "/first/libquorvel.so.1");
    Register(path, "/second/libquorvel.so.1"); // registering again replaces
    std::string registered = ReadFile(path);
    EXPECT_EQ(registered.substr(0, others.size()), others);
    RegistryFile file = RegistryFile::Load(path);
    EXPECT_EQ(file.Value("clsid\\" + kClsidRecup + "\\inprocserver32", "@"), "/second/libquorvel.so.1");
    EXPECT_EQ(file.Value("CLSID\\{00000000-1111-2222-3333-444444444444}\\InprocServer32", "@"),
              "/usr/lib/libother.so");
    EXPECT_EQ(registered.find("/first/"), std::string::npos);

    Unregister(path);
    EXPECT_EQ(ReadFile(path), others + "\n"); // only the line end that separated our keys remains
}

TEST(Registration, UnregisteringRemovesOurKeysInAnyCaseAndWhatWasAddedBelowThem) {
    TempDir dir;
    std::string path = dir / "registry.ini";
    WriteFile(path, "# mine\n"
                    "[clsid\\" +
                        kClsidMaj +
                        "\\inprocserver32]\n"
                        "@=/old/libquorvel.so\n"
                        "[CLSID\\" +
                        kClsidMaj +
                        "\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}]\n"
                        "[QUORVEL.CLSMAJIUF\\CurVer]\n"
                        "@=quorvel.clsMajIUF.1\n"
                        "[Other]\n"
                        "name=value\n");
    Unregister(path);
    EXPECT_EQ(ReadFile(path), "# mine\n[Other]\nname=value\n");
}

TEST(Registration, TheEntryPointsUseTheConfigurationFolderOfTheUser) {
    TempDir dir;
    const std::string config = dir / "config";
    std::string expected = config + "/quorvel/registry.ini";
    {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", config);
        ASSERT_EQ(DllRegisterServer(), QUORVEL_S_OK);
        ASSERT_TRUE(fs::exists(expected));
        // This test program holds the library, so it is the registered server.
        RegistryFile file = RegistryFile::Load(expected);
        auto server = file.Value("CLSID\\" + kClsidRecup + "\\InprocServer32", "@");
        ASSERT_TRUE(server);
        EXPECT_TRUE(fs::equivalent(*server, "/proc/self/exe"));
        EXPECT_EQ(file.Value("TypeLib\\" + kLibid + "\\1.0\\0\\linux64", "@"), server);
        EXPECT_EQ(DllUnregisterServer(), QUORVEL_S_OK);
        EXPECT_FALSE(fs::exists(expected));
        // Nothing registered: unregistering succeeds and creates no file.
        EXPECT_EQ(DllUnregisterServer(), QUORVEL_S_OK);
        EXPECT_FALSE(fs::exists(expected));
    }
    // Without XDG_CONFIG_HOME, or with a relative one, the file is under $HOME/.config.
    for (std::optional<std::string> xdgValue :
         {std::optional<std::string>(), std::optional<std::string>("relative")}) {
        ScopedEnvironment xdg("XDG_CONFIG_HOME", xdgValue);
        ScopedEnvironment home("HOME", dir / "home");
        ASSERT_EQ(DllRegisterServer(), QUORVEL_S_OK);
        EXPECT_TRUE(fs::exists(dir / "home/.config/quorvel/registry.ini"));
        EXPECT_EQ(DllUnregisterServer(), QUORVEL_S_OK);
        EXPECT_FALSE(fs::exists(dir / "home/.config/quorvel/registry.ini"));
    }
}

TEST(Registration, AFileThatCannotBeWrittenFailsTheRegistration) {
    TempDir dir;
    WriteFile(dir / "not-a-folder", "x");
    ScopedEnvironment xdg("XDG_CONFIG_HOME", dir / "not-a-folder");
    EXPECT_EQ(DllRegisterServer(), QUORVEL_SELFREG_E_CLASS);
    EXPECT_EQ(ReadFile(dir / "not-a-folder"), "x");

    // A server path that a line cannot hold is refused, and the file is left alone.
    std::string path = dir / "registry.ini";
    RegistryFile file = RegistryFile::Load(path);
    EXPECT_THROW(RegisterServer(file, "/lib/with\nnewline.so"), quorvel::Error);
    EXPECT_FALSE(fs::exists(path));
}
