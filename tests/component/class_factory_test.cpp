// The class factory handed out by DllGetClassObject, and the unload query.

#include <quorvel/quorvel.h>

#include <gtest/gtest.h>

namespace {

quorvel_class_factory* Factory(const quorvel_guid& clsid) {
    void* factory = nullptr;
    EXPECT_EQ(DllGetClassObject(&clsid, &QUORVEL_IID_IClassFactory, &factory), QUORVEL_S_OK);
    return static_cast<quorvel_class_factory*>(factory);
}

} // namespace

TEST(ClassFactory, CreatesEachClassByItsClsid) {
    quorvel_class_factory* recup = Factory(QUORVEL_CLSID_clsRecupLicence);
    ASSERT_NE(recup, nullptr);
    void* object = nullptr;
    ASSERT_EQ(recup->CreateInstance(recup, &QUORVEL_IID__clsRecupLicence, &object), QUORVEL_S_OK);
    auto* importer = static_cast<quorvel_clsRecupLicence*>(object);
    EXPECT_NE(importer->bImport_Licence, nullptr);
    EXPECT_EQ(quorvel_Release(&importer->object), 0u);
    // The object's identity interface gives the same class.
    ASSERT_EQ(recup->CreateInstance(recup, &QUORVEL_IID_IUnknown, &object), QUORVEL_S_OK);
    EXPECT_NE(static_cast<quorvel_clsRecupLicence*>(object)->bImport_Licence, nullptr);
    quorvel_Release(static_cast<quorvel_object*>(object));
    // A factory gives only its own class's interface.
    object = &object;
    EXPECT_EQ(recup->CreateInstance(recup, &QUORVEL_IID__clsMajIUF, &object), QUORVEL_E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);
    EXPECT_EQ(recup->CreateInstance(recup, &QUORVEL_IID__clsRecupLicence, nullptr), QUORVEL_E_POINTER);
    EXPECT_EQ(quorvel_Release(&recup->object), 0u);

    quorvel_class_factory* maj = Factory(QUORVEL_CLSID_clsMajIUF);
    ASSERT_EQ(maj->CreateInstance(maj, &QUORVEL_IID__clsMajIUF, &object), QUORVEL_S_OK);
    auto* updater = static_cast<quorvel_clsMajIUF*>(object);
    EXPECT_NE(updater->bImport_CodeIUF, nullptr);
    EXPECT_EQ(quorvel_AddRef(&updater->object), 2u);
    EXPECT_EQ(quorvel_Release(&updater->object), 1u);
    EXPECT_EQ(quorvel_Release(&updater->object), 0u);
    quorvel_Release(&maj->object);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_OK);
}

TEST(ClassFactory, RefusesUnknownClassesAndInterfaces) {
    void* factory = &factory;
    EXPECT_EQ(DllGetClassObject(&QUORVEL_IID__clsRecupLicence, &QUORVEL_IID_IClassFactory, &factory),
              QUORVEL_CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(DllGetClassObject(&QUORVEL_LIBID_quorvel, &QUORVEL_IID_IClassFactory, &factory),
              QUORVEL_CLASS_E_CLASSNOTAVAILABLE);
    factory = &factory;
    EXPECT_EQ(DllGetClassObject(&QUORVEL_CLSID_clsMajIUF, &QUORVEL_IID__clsMajIUF, &factory),
              QUORVEL_E_NOINTERFACE);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(DllGetClassObject(&QUORVEL_CLSID_clsMajIUF, &QUORVEL_IID_IClassFactory, nullptr),
              QUORVEL_E_POINTER);
    EXPECT_EQ(DllGetClassObject(nullptr, &QUORVEL_IID_IClassFactory, &factory), QUORVEL_E_INVALIDARG);
    // The factory is also reachable as IUnknown.
    ASSERT_EQ(DllGetClassObject(&QUORVEL_CLSID_clsMajIUF, &QUORVEL_IID_IUnknown, &factory), QUORVEL_S_OK);
    quorvel_Release(static_cast<quorvel_object*>(factory));
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_OK);
}

TEST(ClassFactory, TheLibraryStaysInUseWhileAnObjectOrALockIsAlive) {
    ASSERT_EQ(DllCanUnloadNow(), QUORVEL_S_OK);
    quorvel_class_factory* factory = Factory(QUORVEL_CLSID_clsRecupLicence);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_FALSE); // the factory itself

    void* object = nullptr;
    ASSERT_EQ(factory->CreateInstance(factory, &QUORVEL_IID__clsRecupLicence, &object), QUORVEL_S_OK);
    EXPECT_EQ(factory->LockServer(factory, 1), QUORVEL_S_OK);
    EXPECT_EQ(factory->LockServer(factory, 1), QUORVEL_S_OK);
    quorvel_Release(&factory->object);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_FALSE); // the object and the locks

    auto* importer = static_cast<quorvel_clsRecupLicence*>(object);
    quorvel_Release(&importer->object);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_FALSE); // two locks

    factory = Factory(QUORVEL_CLSID_clsMajIUF);
    EXPECT_EQ(factory->LockServer(factory, 0), QUORVEL_S_OK);
    EXPECT_EQ(factory->LockServer(factory, 0), QUORVEL_S_OK);
    EXPECT_EQ(factory->LockServer(factory, 0), QUORVEL_E_UNEXPECTED); // no lock left to release
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_FALSE);                    // the factory
    quorvel_Release(&factory->object);
    EXPECT_EQ(DllCanUnloadNow(), QUORVEL_S_OK);
}
