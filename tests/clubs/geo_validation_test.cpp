// Geographic validation of federal club codes against the reference tables, at each depth.

#include "support/session.hpp"

#include "clubs/geo_validation.hpp"

#include <gtest/gtest.h>

namespace quorvel::test {
namespace {

class GeoValidation : public ::testing::Test {
protected:
    TempDir dir;
    OpenSession s{dir};
    bool Valid(const std::string& code) { return clubs::bVerif_CodeClub(*s, code); }
};

TEST_F(GeoValidation, ACodeOfAnyOtherLengthIsInvalidWithoutAQuery) {
    s.Change("DROP TABLE Pays");
    EXPECT_FALSE(Valid("FRA101035000"));
    EXPECT_FALSE(Valid("FRA10103500071"));
    EXPECT_FALSE(Valid(""));
}

TEST_F(GeoValidation, AFrenchCodeWithoutInterRegionNeedsNoRegionOrDepartment) {
    s.Change("DROP TABLE Region");
    s.Change("DROP TABLE Departement");
    EXPECT_TRUE(Valid("FRA0000000012"));
    EXPECT_FALSE(Valid("FRA0010000012")); // region 01 exists, but not without its inter-region
    EXPECT_FALSE(Valid("FRA0000350012"));
}

TEST_F(GeoValidation, AnInterRegionAloneIsValidWhenItExists) {
    EXPECT_TRUE(Valid("FRA1000000012"));
    EXPECT_FALSE(Valid("FRA9000000012"));
    EXPECT_FALSE(Valid("FRA1000350012")); // a department needs its region
}

TEST_F(GeoValidation, ARegionMustBelongToTheInterRegion) {
    EXPECT_TRUE(Valid("FRA1010000012"));
    EXPECT_FALSE(Valid("FRA2010000012"));
    EXPECT_FALSE(Valid("FRA1990000012"));
}

TEST_F(GeoValidation, ADepartmentMustBelongToTheRegion) {
    EXPECT_TRUE(Valid("FRA1010350007"));
    EXPECT_TRUE(Valid("FRA7149710003"));
    EXPECT_TRUE(Valid("FRA41002A0001"));
    EXPECT_FALSE(Valid("FRA1010750007"));
    EXPECT_FALSE(Valid("FRA1019990007"));
}

TEST_F(GeoValidation, AForeignCodeIsValidOnlyWithoutInterRegion) {
    EXPECT_TRUE(Valid("BEL0XYZ123456"));
    EXPECT_FALSE(Valid("BEL1000000001"));
    EXPECT_FALSE(Valid("ZZZ0000000001"));
    // The country is found whatever its letter case, but only "FRA" itself is France.
    EXPECT_TRUE(Valid("fra0990990001"));
    EXPECT_FALSE(Valid("fra1010350007"));
}

TEST_F(GeoValidation, AnInterRegionThatIsNotADigitIsInvalid) {
    EXPECT_FALSE(Valid("FRAX010350007"));
    EXPECT_FALSE(Valid("FRA'010350007"));
}

TEST_F(GeoValidation, WithoutInterRegionZeroNoCodeMayLackAnInterRegion) {
    s.Change("DELETE FROM Inter_Region WHERE Code = 0");
    EXPECT_FALSE(Valid("FRA0000000012"));
    EXPECT_FALSE(Valid("BEL0000000001"));
    EXPECT_TRUE(Valid("FRA1010350007"));
}

TEST_F(GeoValidation, AFailingQueryReachesTheCaller) {
    s.Change("DROP TABLE Departement");
    EXPECT_TRUE(Valid("FRA1010000007"));
    EXPECT_THROW(Valid("FRA1010350007"), Error);
}

TEST_F(GeoValidation, TheInterRegionOfARegion) {
    EXPECT_EQ(clubs::vCodeInter_Region(*s, "11"), "5");
    EXPECT_EQ(clubs::vCodeInter_Region(*s, "01"), "1");
    EXPECT_EQ(clubs::vCodeInter_Region(*s, "99"), "");
}

} // namespace
} // namespace quorvel::test
