// The C interface and the class factory, on this program's own copy of the library.

#include "support/support.hpp"

#include <quorvel/quorvel.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

using namespace quorvel::test;

namespace {

using Form = RecordingForm;

quorvel_class_factory* Factory(const quorvel_guid& clsid) {
    void* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(&clsid, &QUORVEL_IID_IClassFactory, &factory), QUORVEL_S_OK);
    return static_cast<quorvel_class_factory*>(factory);
}

class CInterface : public ::testing::Test {
protected:
    void TearDown() override {
        quorvel_Release(&importer->object);
        quorvel_Release(&updater->object);
        EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_OK);
    }
    template <class Interface> static Interface* Create(const quorvel_guid& clsid, const quorvel_guid& iid) {
        void* object = nullptr;
        EXPECT_EQ(quorvel_CreateInstance(&clsid, &iid, &object), QUORVEL_S_OK);
        return static_cast<Interface*>(object);
    }
    quorvel_hresult ImportLicences(const std::string& source) {
        return quorvel_bImport_Licence(importer, ws.db.c_str(), source.c_str(), ws.work.c_str(),
                                       ws.trace.c_str(), &table, &result, &error);
    }
    quorvel_hresult ImportCodes(quorvel_bool onlyMyClub = QUORVEL_FALSE, const char* club = "") {
        return quorvel_bImport_CodeIUF(updater, QUORVEL_SAMPLE_DIR, ws.db.c_str(), ws.trace.c_str(), &table,
                                       onlyMyClub, club, &result, &error);
    }

    Workspace ws;
    RecordingForm form;
    quorvel_host_form table{
        &form, [](void* f) { return static_cast<Form*>(f)->ProgressValue(); },
        [](void* f, double v) { static_cast<Form*>(f)->SetProgressValue(v); },
        [](void* f, int i, const char* caption) { static_cast<Form*>(f)->SetLabelCaption(i, caption); },
        [](void* f) { static_cast<Form*>(f)->Refresh(); }};
    quorvel_bool result = 12;
    quorvel_error error{99, "left over from an earlier call"};
    quorvel_clsRecupLicence* importer =
        Create<quorvel_clsRecupLicence>(QUORVEL_CLSID_clsRecupLicence, QUORVEL_IID__clsRecupLicence);
    quorvel_clsMajIUF* updater = Create<quorvel_clsMajIUF>(QUORVEL_CLSID_clsMajIUF, QUORVEL_IID__clsMajIUF);
};

} // namespace

TEST_F(CInterface, BothMethodsRunWithAutomationBooleansAndTheCallbackForm) {
    ASSERT_EQ(ImportLicences(QUORVEL_SAMPLE_DIR), QUORVEL_S_OK);
    EXPECT_EQ(result, QUORVEL_TRUE);
    EXPECT_EQ(error.number, 0);
    EXPECT_NEAR(form.value, 100, 1e-9);

    // Only my club's licences get their codes, then (without a club) everyone's.
    const std::string coded = "select count(*) from Licence where Code_unique <> ''";
    result = 12;
    ASSERT_EQ(ImportCodes(QUORVEL_TRUE, "FRA3070340004"), QUORVEL_S_OK);
    EXPECT_EQ(result, QUORVEL_TRUE);
    EXPECT_EQ(Scalar(ws.db, coded), "3");
    ASSERT_EQ(ImportCodes(QUORVEL_FALSE, nullptr), QUORVEL_S_OK);
    EXPECT_EQ(Scalar(ws.db, coded), "19");
    EXPECT_EQ(std::count(form.labels.begin(), form.labels.end(), "2 Fichier codes_iuf.txt"), 2);
}

TEST_F(CInterface, ARunThatCannotStartAnswersFalseAndAnEscapedErrorFailsTheCall) {
    EXPECT_EQ(ImportLicences(ws.source), QUORVEL_S_OK); // no licence.txt there
    EXPECT_EQ(result, QUORVEL_FALSE);
    EXPECT_EQ(error.number, 0);

    const std::string missing = ws.dir / "no-such-folder";
    EXPECT_EQ(ImportLicences(missing), QUORVEL_DISP_E_EXCEPTION);
    EXPECT_EQ(error.number, 76);
    EXPECT_EQ(std::string(error.description), "Chemin d'accès introuvable : " + missing);
}

TEST_F(CInterface, AFormWithoutAnExpectedCallbackFailsTheCall) {
    table.set_label_caption = nullptr;
    EXPECT_EQ(ImportCodes(), QUORVEL_DISP_E_EXCEPTION);
    EXPECT_EQ(error.number, 438);
    EXPECT_EQ(result, QUORVEL_FALSE);
    // The failed run let go of its TraceLog and database: the next one opens them again.
    table.set_label_caption = [](void*, int, const char*) {};
    EXPECT_EQ(ImportCodes(), QUORVEL_S_OK);
    EXPECT_EQ(result, QUORVEL_TRUE);
}

TEST_F(CInterface, MissingOutParametersAreRefusedBeforeAnythingRuns) {
    EXPECT_EQ(importer->bImport_Licence(importer, "", QUORVEL_SAMPLE_DIR, "", "", nullptr, nullptr, &error),
              QUORVEL_E_POINTER);
    EXPECT_EQ(quorvel_bImport_CodeIUF(updater, "", "", ws.trace.c_str(), nullptr, 0, "", nullptr, nullptr),
              QUORVEL_E_POINTER);
    EXPECT_FALSE(std::filesystem::exists(ws.trace));
}

TEST(ClassFactory, ServesItsOwnClassesOnlyAndKeepsTheLibraryInUseWhileAnythingLives) {
    void* object = &object;
    EXPECT_EQ(DllGetClassObject(&QUORVEL_LIBID_quorvel, &QUORVEL_IID_IClassFactory, &object),
              QUORVEL_CLASS_E_CLASSNOTAVAILABLE);
    // Every byte of a class identifier counts, the first of its last eight as much as any.
    quorvel_guid near = QUORVEL_CLSID_clsMajIUF;
    near.data4[0] ^= 1;
    EXPECT_EQ(DllGetClassObject(&near, &QUORVEL_IID_IClassFactory, &object),
              QUORVEL_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(DllGetClassObject(&QUORVEL_CLSID_clsMajIUF, &QUORVEL_IID__clsMajIUF, &object),
              QUORVEL_E_NOINTERFACE);
    quorvel_class_factory* factory = Factory(QUORVEL_CLSID_clsMajIUF);
    EXPECT_EQ(factory->CreateInstance(factory, &QUORVEL_IID__clsRecupLicence, &object),
              QUORVEL_E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    ASSERT_EQ(factory->CreateInstance(factory, &QUORVEL_IID_IUnknown, &object), QUORVEL_S_OK);
    auto* instance = static_cast<quorvel_object*>(object);
    EXPECT_EQ(quorvel_AddRef(instance), 2u);
    EXPECT_EQ(quorvel_Release(instance), 1u);
    EXPECT_EQ(factory->LockServer(factory, 1), QUORVEL_S_OK);
    EXPECT_EQ(quorvel_Release(&factory->object), 0u);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_FALSE); // the object and the lock
    EXPECT_EQ(quorvel_Release(instance), 0u);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_FALSE); // the lock

    factory = Factory(QUORVEL_CLSID_clsRecupLicence);
    EXPECT_EQ(factory->LockServer(factory, 0), QUORVEL_S_OK);
    EXPECT_EQ(factory->LockServer(factory, 0), QUORVEL_E_UNEXPECTED); // no lock left
    quorvel_Release(&factory->object);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_OK);
}
