// The C interface: both methods with automation Booleans, the callback form, the error
// out-parameter, and creation by ProgID through the registry file and the entry points.

#include "automation/registration.hpp"
#include "automation/registry_file.hpp"
#include "process_helpers.hpp"
#include "support/test_support.hpp"

#include <quorvel/quorvel.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

using quorvel::test::ClubLine;
using quorvel::test::CrLfLines;
using quorvel::test::LicenceLine;
using quorvel::test::RecordingForm;
using quorvel::test::Scalar;
using quorvel::test::ScopedEnvironment;
using quorvel::test::TempDir;
using quorvel::test::WriteFile;
namespace fs = std::filesystem;

namespace {

// A callback table that forwards to a RecordingForm.
quorvel_host_form CallbacksOf(RecordingForm& form) {
    quorvel_host_form table{};
    table.user_data = &form;
    table.get_progress_value = [](void* f) { return static_cast<RecordingForm*>(f)->ProgressValue(); };
    table.set_progress_value = [](void* f, double v) { static_cast<RecordingForm*>(f)->SetProgressValue(v); };
    table.set_label_caption = [](void* f, int index, const char* caption) {
        static_cast<RecordingForm*>(f)->SetLabelCaption(index, caption);
    };
    table.refresh = [](void* f) { static_cast<RecordingForm*>(f)->Refresh(); };
    return table;
}

template <class Interface> Interface* Create(const quorvel_guid& clsid, const quorvel_guid& iid) {
    void* object = nullptr;
    EXPECT_EQ(quorvel_CreateInstance(&clsid, &iid, &object), QUORVEL_S_OK);
    return static_cast<Interface*>(object);
}

// A quorvel_error holding leftovers from an earlier call.
quorvel_error StaleError() {
    quorvel_error error{};
    error.number = 99;
    std::strcpy(error.description, "stale");
    return error;
}

class CInterface : public ::testing::Test {
protected:
    void SetUp() override {
        quorvel::test::CreateDatabase(db);
        fs::create_directories(work);
        fs::create_directories(src);
    }
    void TearDown() override {
        quorvel_Release(&importer->object);
        quorvel_Release(&updater->object);
        EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_OK);
    }
    // Two clubs with one licence each, and an IUF file for both licences.
    void WriteExport() {
        WriteFile(src + "/club.txt",
                  CrLfLines({ClubLine("FRA1010350007", "Club A"), ClubLine("FRA3070340004", "Club B")}));
        LicenceLine a, b;
        a.club = "FRA1010350007";
        a.licence = "851234";
        a.codeUnique = "";
        b.club = "FRA3070340004";
        b.licence = "861235";
        b.naissance = "01011986";
        b.codeUnique = "";
        WriteFile(src + "/licence.txt", CrLfLines({a.Build(), b.Build()}));
        WriteFile(iuf + "/codes.txt",
                  CrLfLines({"010350007851234" + std::string("1111111") + std::string(23, ' '),
                             "070340004861235" + std::string("2222222") + std::string(23, ' ')}));
    }

    TempDir dir;
    std::string db = dir / "club.db";
    std::string src = dir / "export";
    std::string iuf = dir / "iuf";
    std::string work = dir / "work";
    std::string trace = dir / "trace.log";
    quorvel_clsRecupLicence* importer =
        Create<quorvel_clsRecupLicence>(QUORVEL_CLSID_clsRecupLicence, QUORVEL_IID__clsRecupLicence);
    quorvel_clsMajIUF* updater = Create<quorvel_clsMajIUF>(QUORVEL_CLSID_clsMajIUF, QUORVEL_IID__clsMajIUF);
};

} // namespace

TEST_F(CInterface, BothMethodsRunWithAutomationBooleansAndTheCallbackForm) {
    WriteExport();
    RecordingForm form;
    quorvel_host_form table = CallbacksOf(form);
    quorvel_bool result = 12;
    quorvel_error error = StaleError();

    ASSERT_EQ(quorvel_bImport_Licence(importer, db.c_str(), src.c_str(), work.c_str(), trace.c_str(), &table,
                                      &result, &error),
              QUORVEL_S_OK);
    EXPECT_EQ(result, -1);
    EXPECT_EQ(error.number, 0);
    EXPECT_STREQ(error.description, "");
    EXPECT_EQ(Scalar(db, "select count(*) from Licence"), "2");
    EXPECT_FALSE(form.values.empty());
    EXPECT_EQ(quorvel::test::ReadTrace(trace).back().rfind("Fin importation : ", 0), 0u);

    // Only the chosen club's licence gets its code; the parameter order starts with the folder.
    form.events.clear();
    ASSERT_EQ(quorvel_bImport_CodeIUF(updater, iuf.c_str(), db.c_str(), trace.c_str(), &table, QUORVEL_TRUE,
                                      "FRA3070340004", &result, &error),
              QUORVEL_S_OK);
    EXPECT_EQ(result, QUORVEL_TRUE);
    EXPECT_EQ(Scalar(db, "select Code_unique from Licence where licence='861235'"), "2222222");
    EXPECT_EQ(Scalar(db, "select count(*) from Licence where Code_unique='1111111'"), "0");
    EXPECT_NE(std::find(form.events.begin(), form.events.end(), "label 2 Fichier codes.txt"),
              form.events.end());

    // Any non-zero Boolean is true, and without a club (NULL text) every licence is updated.
    ASSERT_EQ(updater->bImport_CodeIUF(updater, iuf.c_str(), db.c_str(), trace.c_str(), nullptr, 0, nullptr,
                                       &result, nullptr),
              QUORVEL_S_OK);
    EXPECT_EQ(result, QUORVEL_TRUE);
    EXPECT_EQ(Scalar(db, "select Code_unique from Licence where licence='851234'"), "1111111");
}

TEST_F(CInterface, ARunThatCannotStartAnswersFalse) {
    quorvel_bool result = QUORVEL_TRUE;
    quorvel_error error = StaleError();
    ASSERT_EQ(quorvel_bImport_Licence(importer, db.c_str(), src.c_str(), work.c_str(), trace.c_str(), nullptr,
                                      &result, &error),
              QUORVEL_S_OK); // licence.txt is missing
    EXPECT_EQ(result, QUORVEL_FALSE);
    EXPECT_EQ(error.number, 0);

    std::string missingDb = dir / "missing.db";
    result = QUORVEL_TRUE;
    ASSERT_EQ(quorvel_bImport_CodeIUF(updater, src.c_str(), missingDb.c_str(), trace.c_str(), nullptr,
                                      QUORVEL_FALSE, "", &result, &error),
              QUORVEL_S_OK);
    EXPECT_EQ(result, QUORVEL_FALSE);
}

TEST_F(CInterface, AnEscapedErrorComesBackWithItsNumberAndDescription) {
    std::string missing = dir / "no-such-folder";
    quorvel_bool result = QUORVEL_TRUE;
    quorvel_error error{};
    EXPECT_EQ(quorvel_bImport_Licence(importer, db.c_str(), missing.c_str(), work.c_str(), trace.c_str(),
                                      nullptr, &result, &error),
              QUORVEL_DISP_E_EXCEPTION);
    EXPECT_EQ(result, QUORVEL_FALSE);
    EXPECT_EQ(error.number, 76);
    EXPECT_EQ(std::string(error.description), "Chemin d'accès introuvable : " + missing);

    // A description longer than the buffer is cut before the character that does not fit.
    std::string deep = dir.path().string();
    for (int i = 0; i < 12; ++i)
        deep += "/" + std::string(100, 'e') + "é";
    EXPECT_EQ(quorvel_bImport_CodeIUF(updater, deep.c_str(), db.c_str(), trace.c_str(), nullptr,
                                      QUORVEL_FALSE, "", &result, &error),
              QUORVEL_DISP_E_EXCEPTION);
    std::string expected = "Chemin d'accès introuvable : " + deep;
    std::string got = error.description;
    ASSERT_LT(got.size(), sizeof error.description);
    EXPECT_GE(got.size(), sizeof error.description - 2);
    EXPECT_EQ(expected.substr(0, got.size()), got);
    EXPECT_NE(static_cast<unsigned char>(expected[got.size()]) & 0xC0, 0x80); // cut between characters
}

TEST_F(CInterface, AFormWithoutAnExpectedCallbackFailsTheCall) {
    WriteExport();
    RecordingForm form;
    quorvel_host_form table = CallbacksOf(form);
    table.set_label_caption = nullptr;
    quorvel_bool result = QUORVEL_TRUE;
    quorvel_error error{};
    EXPECT_EQ(quorvel_bImport_CodeIUF(updater, iuf.c_str(), db.c_str(), trace.c_str(), &table, QUORVEL_FALSE,
                                      "", &result, &error),
              QUORVEL_DISP_E_EXCEPTION);
    EXPECT_EQ(error.number, 438);
    EXPECT_EQ(result, QUORVEL_FALSE);
    // Everything was released: the next call opens the same TraceLog and database again.
    EXPECT_EQ(quorvel_bImport_CodeIUF(updater, iuf.c_str(), db.c_str(), trace.c_str(), nullptr, QUORVEL_FALSE,
                                      "", &result, &error),
              QUORVEL_S_OK);
    EXPECT_EQ(result, QUORVEL_TRUE);
}

TEST_F(CInterface, MissingOutParametersAreRefusedBeforeAnythingRuns) {
    EXPECT_EQ(quorvel_bImport_Licence(importer, db.c_str(), src.c_str(), work.c_str(), trace.c_str(), nullptr,
                                      nullptr, nullptr),
              QUORVEL_E_POINTER);
    EXPECT_EQ(quorvel_bImport_CodeIUF(updater, src.c_str(), db.c_str(), trace.c_str(), nullptr, QUORVEL_FALSE,
                                      "", nullptr, nullptr),
              QUORVEL_E_POINTER);
    EXPECT_FALSE(fs::exists(trace));
    quorvel_bool result = 0;
    EXPECT_EQ(quorvel_bImport_Licence(nullptr, "", "", "", "", nullptr, &result, nullptr), QUORVEL_E_POINTER);
    EXPECT_EQ(quorvel_Release(nullptr), 0u);
    void* object = &object;
    EXPECT_EQ(quorvel_CreateInstance(&QUORVEL_IID__clsMajIUF, &QUORVEL_IID_IUnknown, &object),
              QUORVEL_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(object, nullptr);
}

// ---- Creation by ProgID ----------------------------------------------------------------------

namespace {

class ProgIdCreation : public ::testing::Test {
protected:
    // Registers `server` as the library of both classes in the user's registry file.
    void RegisterAs(const std::string& server) {
        auto file = quorvel::automation::RegistryFile::Load(registry);
        quorvel::automation::RegisterServer(file, server);
        file.Save();
    }
    quorvel_hresult Create(const char* progId, const quorvel_guid& iid) {
        object = &object;
        return quorvel_CreateInstanceByProgID(progId, &iid, &object);
    }
    // Runs bImport_Licence on the created object with an empty export folder: false, no error.
    void ExpectWorkingImporter() {
        ASSERT_NE(object, nullptr);
        auto* importer = static_cast<quorvel_clsRecupLicence*>(object);
        quorvel::test::CreateDatabase(dir / "club.db");
        fs::create_directories(dir / "export");
        std::string db = dir / "club.db", src = dir / "export", trace = dir / "trace.log";
        quorvel_bool result = QUORVEL_TRUE;
        quorvel_error error{};
        EXPECT_EQ(importer->bImport_Licence(importer, db.c_str(), src.c_str(), src.c_str(), trace.c_str(),
                                            nullptr, &result, &error),
                  QUORVEL_S_OK);
        EXPECT_EQ(result, QUORVEL_FALSE);
        EXPECT_EQ(quorvel::test::ReadTraceNoDates(trace).back(),
                  "Fichier licence.txt non trouvé dans le répertoire : " + src);
        EXPECT_EQ(quorvel_Release(&importer->object), 0u);
    }

    TempDir dir;
    ScopedEnvironment xdg{"XDG_CONFIG_HOME", dir / "config"};
    std::string registry = dir / "config/quorvel/registry.ini";
    void* object = nullptr;
};

} // namespace

TEST_F(ProgIdCreation, FindsTheLibraryThatRegisteredItself) {
    ASSERT_EQ(DllRegisterServer(), QUORVEL_S_OK);
    ASSERT_EQ(Create("quorvel.clsRecupLicence", QUORVEL_IID__clsRecupLicence), QUORVEL_S_OK);
    ExpectWorkingImporter();
    ASSERT_EQ(Create("QUORVEL.CLSMAJIUF", QUORVEL_IID__clsMajIUF), QUORVEL_S_OK); // any case, as keys are
    quorvel_Release(static_cast<quorvel_object*>(object));
    EXPECT_EQ(Create("quorvel.clsMajIUF", QUORVEL_IID__clsRecupLicence), QUORVEL_E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_OK); // the factory used on the way was released
    ASSERT_EQ(DllUnregisterServer(), QUORVEL_S_OK);
    EXPECT_EQ(Create("quorvel.clsRecupLicence", QUORVEL_IID__clsRecupLicence), QUORVEL_CO_E_CLASSSTRING);
}

TEST_F(ProgIdCreation, LoadsTheRegisteredSharedLibrary) {
    // This test program holds its own copy of the code; the object comes from the shared library.
    RegisterAs(QUORVEL_SHARED_LIBRARY);
    ASSERT_EQ(Create("quorvel.clsRecupLicence", QUORVEL_IID__clsRecupLicence), QUORVEL_S_OK);
    ExpectWorkingImporter();
}

TEST_F(ProgIdCreation, ReportsEachMissingLinkOfTheChain) {
    EXPECT_EQ(Create("quorvel.clsRecupLicence", QUORVEL_IID__clsRecupLicence),
              QUORVEL_CO_E_CLASSSTRING); // no file
    EXPECT_EQ(object, nullptr);

    RegisterAs(dir / "missing/libquorvel.so.1");
    EXPECT_EQ(Create("quorvel.unknown", QUORVEL_IID__clsRecupLicence), QUORVEL_CO_E_CLASSSTRING);
    EXPECT_EQ(Create("quorvel.clsRecupLicence", QUORVEL_IID__clsRecupLicence), QUORVEL_CO_E_DLLNOTFOUND);
    EXPECT_EQ(object, nullptr);

    RegisterAs("libm.so.6"); // loads, but serves no class
    EXPECT_EQ(Create("quorvel.clsRecupLicence", QUORVEL_IID__clsRecupLicence), QUORVEL_CO_E_ERRORINDLL);

    WriteFile(registry, "[bad.ProgId\\Clsid]\n@=not-a-guid\n"
                        "[orphan.ProgId\\Clsid]\n@={12345678-1234-1234-1234-123456789ABC}\n");
    EXPECT_EQ(Create("bad.ProgId", QUORVEL_IID_IUnknown), QUORVEL_CO_E_CLASSSTRING);
    EXPECT_EQ(Create("orphan.ProgId", QUORVEL_IID_IUnknown), QUORVEL_REGDB_E_CLASSNOTREG);
    EXPECT_EQ(quorvel_CreateInstanceByProgID("bad.ProgId", &QUORVEL_IID_IUnknown, nullptr),
              QUORVEL_E_POINTER);
}
