// Cutting a licence.txt line into its fields: the surname and the birth date that must agree with
// the year the licence number opens with. (Field positions are pinned by the end-to-end cases.)

#include "licences/licence_record.hpp"

#include <quorvel/error.hpp>

#include <gtest/gtest.h>

using namespace quorvel;
using namespace quorvel::licences;

namespace {

// A licence line with the given licence number, surname and birth date (ddmmyyyy).
std::string Line(const std::string& licence, const std::string& nom, const std::string& birth) {
    char line[256];
    std::snprintf(line, sizeof line, "FRA1750750001%-6s%-25s%-20sM%-8s%-175s", licence.c_str(), nom.c_str(),
                  "Jean", birth.c_str(), "");
    return line;
}

LicenceRecord Fill(const std::string& line, std::string_view today = "20260615") {
    LicenceRecord r;
    Remplir_Licence(line, today, r);
    return r;
}

struct BirthCase {
    const char* licence;
    const char* birth;
    const char* today;
    const char* stored;
};

} // namespace

TEST(LicenceRecord, TheSurnameIsFoldedToPlainCapitals) {
    // Windows-1252 letters: accents the French alphabet uses go, others stay; ù keeps its accent.
    EXPECT_EQ(Fill(Line("851234", "h\xE9l\xE8ne m\xFCller \xE7\xE0\xF9\xF1'x", "03051985"))[kNom],
              "HELENE MULLER CAÙÑ'X");
    EXPECT_EQ(Fill(Line("851234", "x", "03051985"))[kPrenom], "Jean");
}

TEST(LicenceRecord, TheBirthDateFollowsTheLicenceYearAndToday) {
    for (const BirthCase& c : {
             BirthCase{"851234", "03051985", "20260615", "19850503"}, // years agree
             BirthCase{"851234", "", "20260615", "19850101"},         // missing
             BirthCase{"851234", "03051986", "20260615", "19850101"}, // disagrees
             BirthCase{"851234", "0305198", "20260615", "19850101"},  // malformed
             BirthCase{"001234", "01012000", "20260615", "20000101"},
             BirthCase{"291234", "", "20260615", "19290101"}, // the 2000s end at 29 ...
             BirthCase{"301234", "", "20260615", "19300101"}, // ... and 30 is in the 1900s
             BirthCase{"261234", "", "20260615", "20260101"}, // today's year is not future
             BirthCase{"271234", "", "20261231", "19270101"}, // a future year is a century back
             BirthCase{"271234", "", "20270101", "20270101"}, // until that day comes
             BirthCase{"8", "", "20260615", "20080101"},      // a one-digit year
             BirthCase{"", "", "20260615", ""},               // nothing to compare
         })
        EXPECT_EQ(Fill(Line(c.licence, "X", c.birth), c.today)[kDateNaissance], c.stored)
            << c.licence << " " << c.birth;

    for (const char* licence : {"AB1234", "8A1234", "-11234"}) {
        try {
            Fill(Line(licence, "X", ""));
            ADD_FAILURE() << licence << " was accepted";
        } catch (const Error& e) {
            EXPECT_EQ(e.number(), errnum::kTypeMismatch) << licence;
        }
    }
}
