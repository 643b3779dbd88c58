// The identity a host application binds to: these values never change from one build to the next.

#include "automation/identity.hpp"
#include "process_helpers.hpp"
#include "support/test_support.hpp"

#include <quorvel/identity.h>

#include <gtest/gtest.h>

using quorvel::automation::Classes;
using quorvel::automation::FindClass;
using quorvel::automation::GuidToString;
using quorvel::automation::ParseGuid;

TEST(Identity, TheIdentifiersArePinned) {
    EXPECT_EQ(GuidToString(QUORVEL_LIBID_quorvel), "{826B4490-584B-4C0C-A8CE-83964FFE074D}");
    EXPECT_EQ(GuidToString(QUORVEL_CLSID_clsRecupLicence), "{FBE9A974-9666-4605-8692-46F3B3550979}");
    EXPECT_EQ(GuidToString(QUORVEL_CLSID_clsMajIUF), "{F6110953-769F-42A3-AFAE-12FBB186A21D}");
    EXPECT_EQ(GuidToString(QUORVEL_IID__clsRecupLicence), "{C407A8DB-01B1-4349-8520-26381A4E4159}");
    EXPECT_EQ(GuidToString(QUORVEL_IID__clsMajIUF), "{F6426CCC-26F3-4B59-8ED2-D04016E963EB}");
    EXPECT_EQ(GuidToString(QUORVEL_IID_IUnknown), "{00000000-0000-0000-C000-000000000046}");
    EXPECT_EQ(GuidToString(QUORVEL_IID_IClassFactory), "{00000001-0000-0000-C000-000000000046}");

    EXPECT_STREQ(QUORVEL_TYPELIB_NAME, "quorvel");
    EXPECT_EQ(QUORVEL_TYPELIB_VERSION_MAJOR, 1);
    EXPECT_EQ(QUORVEL_TYPELIB_VERSION_MINOR, 0);
    EXPECT_EQ(QUORVEL_TYPELIB_LCID, 0);
    EXPECT_STREQ(QUORVEL_PROGID_clsRecupLicence, "quorvel.clsRecupLicence");
    EXPECT_STREQ(QUORVEL_PROGID_clsMajIUF, "quorvel.clsMajIUF");
    EXPECT_EQ(QUORVEL_DISPID_bImport_Licence, 0x60030000);
    EXPECT_EQ(QUORVEL_DISPID_bImport_CodeIUF, 0x60030000);
    EXPECT_STREQ(QUORVEL_THREADING_MODEL, "Apartment");
    EXPECT_STREQ(QUORVEL_FILE_VERSION, "1.1.0.2");
    EXPECT_STREQ(QUORVEL_FILE_VERSION_TEXT, "1.01.0002");
    EXPECT_EQ(QUORVEL_TRUE, -1);
    EXPECT_EQ(QUORVEL_FALSE, 0);
}

TEST(Identity, EachClassIsFoundByItsOwnClsidOnly) {
    ASSERT_EQ(Classes().size(), 2u);
    EXPECT_EQ(FindClass(QUORVEL_CLSID_clsRecupLicence)->progId, "quorvel.clsRecupLicence");
    EXPECT_EQ(FindClass(QUORVEL_CLSID_clsRecupLicence)->iid, &QUORVEL_IID__clsRecupLicence);
    EXPECT_EQ(FindClass(QUORVEL_CLSID_clsMajIUF)->interfaceName, "_clsMajIUF");
    EXPECT_EQ(FindClass(QUORVEL_IID__clsRecupLicence), nullptr);
    EXPECT_EQ(FindClass(QUORVEL_LIBID_quorvel), nullptr);
    EXPECT_TRUE(quorvel_IsEqualGUID(&QUORVEL_CLSID_clsMajIUF, &QUORVEL_CLSID_clsMajIUF));
    EXPECT_FALSE(quorvel_IsEqualGUID(&QUORVEL_CLSID_clsMajIUF, &QUORVEL_CLSID_clsRecupLicence));
    EXPECT_FALSE(quorvel_IsEqualGUID(&QUORVEL_CLSID_clsMajIUF, nullptr));
}

TEST(Identity, GuidTextIsReadInEitherCaseAndRejectedWhenMalformed) {
    auto g = ParseGuid("{fbe9a974-9666-4605-8692-46f3b3550979}");
    ASSERT_TRUE(g);
    EXPECT_TRUE(quorvel_IsEqualGUID(&*g, &QUORVEL_CLSID_clsRecupLicence));
    for (const char* bad :
         {"", "FBE9A974-9666-4605-8692-46F3B3550979", "{FBE9A974-9666-4605-8692-46F3B355097}",
          "{FBE9A974-9666-4605-8692-46F3B35509790}", "{FBE9A974+9666-4605-8692-46F3B3550979}",
          "{FBE9A974-9666-4605-8692-46F3B355097G}", "(FBE9A974-9666-4605-8692-46F3B3550979)"})
        EXPECT_FALSE(ParseGuid(bad)) << bad;
}

TEST(Identity, TheCommandLinePrintsTheFileVersion) {
    auto run = quorvel::test::RunProgram({QUORVEL_CLI, "--version"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_NE(run.output.find(QUORVEL_FILE_VERSION_TEXT), std::string::npos) << run.output;
    EXPECT_NE(run.output.find(QUORVEL_FILE_VERSION), std::string::npos) << run.output;
}
