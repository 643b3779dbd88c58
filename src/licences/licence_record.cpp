#include "licences/licence_record.hpp"

#include "base/encoding.hpp"
#include "base/fixed_fields.hpp"
#include "base/text_conversion.hpp"

#include <quorvel/error.hpp>

#include <cstdio>

namespace quorvel::licences {

namespace {

// The two parts of Origine: the swimmer's own club code, then their licence number.
constexpr std::array<int, 2> kOriginWidths = {13, 6};

// Surname folding, byte by byte on Windows-1252 text: lower-case, the French accented lower-case
// letters become their plain capital, then upper-case. Letters without an entry keep their accent.
struct SurnameFolding {
    std::array<char, 256> table{};
    SurnameFolding() {
        static constexpr std::pair<unsigned char, char> kAccents[] = {
            {0xE9, 'E'}, {0xE8, 'E'}, {0xEA, 'E'}, {0xEB, 'E'}, {0xE0, 'A'}, {0xE4, 'A'}, {0xE2, 'A'},
            {0xEE, 'I'}, {0xEF, 'I'}, {0xF4, 'O'}, {0xF6, 'O'}, {0xFC, 'U'}, {0xFB, 'U'}, {0xE7, 'C'},
        };
        for (int b = 0; b < 256; ++b) {
            char lower = base::Cp1252Lower(static_cast<char>(b));
            char folded = base::Cp1252Upper(lower);
            for (auto [accent, plain] : kAccents)
                if (static_cast<unsigned char>(lower) == accent) folded = plain;
            table[b] = folded;
        }
    }
};

// The year that "01/01/" + `yy` names, read as a short date: one or two digits, 00-29 in the
// 2000s and 30-99 in the 1900s. Any other text is not a date.
int YearOf(std::string_view yy) {
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    if (yy.empty() || !digit(yy[0]) || (yy.size() == 2 && !digit(yy[1])))
        throw Error(errnum::kTypeMismatch, "Incompatibilité de type");
    int n = yy[0] - '0';
    if (yy.size() == 2) n = n * 10 + (yy[1] - '0');
    return n < 30 ? 2000 + n : 1900 + n;
}

} // namespace

void AppendStoredSurname(std::string& out, std::string_view raw) {
    static const SurnameFolding folding;
    for (char c : raw) {
        char f = folding.table[static_cast<unsigned char>(c)];
        if (static_cast<unsigned char>(f) < 0x80)
            out.push_back(f);
        else
            base::AppendCp1252AsUtf8(out, std::string_view(&f, 1));
    }
}

std::string_view RawField(std::string_view line, std::size_t index) {
    return base::FieldAt(line, kLongueursLicence, index);
}

void ReadOrigin(std::string_view line, LicenceOrigin& origin) {
    std::string_view raw = RawField(line, kOrigine);
    base::AssignCp1252AsUtf8(origin.club, base::TrimSpaces(base::FieldAt(raw, kOriginWidths, 0)));
    base::AssignCp1252AsUtf8(origin.licence, base::TrimSpaces(base::FieldAt(raw, kOriginWidths, 1)));
}

void SelectionLookupKey(std::string_view selCode, std::string_view selLicence, const LicenceOrigin& origin,
                        bool ownClubAccepted, std::string& club, std::string& licence) {
    const bool namesBoth = !origin.club.empty() && !origin.licence.empty();
    if (namesBoth && ownClubAccepted) {
        club = origin.club;
        licence = origin.licence;
        return;
    }
    // (Copies first: the two views may be into `club` and `licence`.)
    club = !namesBoth && !origin.club.empty() ? origin.club : std::string(base::TrimSpaces(selCode));
    licence = std::string(base::TrimSpaces(selLicence));
}

void Remplir_Licence(std::string_view line, std::string_view todayYmd, LicenceRecord& record) {
    std::array<std::string_view, kFieldCount> raw;
    base::CutFields(line, kLongueursLicence, raw);
    for (std::size_t i = 0; i < kFieldCount; ++i) {
        raw[i] = base::TrimSpaces(raw[i]);
        std::string& field = record[i];
        field.clear();
        switch (i) {
        case kNom:
            AppendStoredSurname(field, raw[i]);
            break;
        case kDateNaissance:
        case kDateDepot:
        case kDateObliteration:
            // ddmmyyyy -> yyyymmdd on the raw characters (short enough to need no allocation).
            base::AppendCp1252AsUtf8(field, base::strDateInverse(raw[i]));
            break;
        default:
            base::AppendCp1252AsUtf8(field, raw[i]);
        }
    }
    ReadOrigin(line, record.origin);

    // The birth year must be the one the licence number opens with.
    std::string_view yy = raw[kLicence].substr(0, 2);
    std::string_view birth = raw[kDateNaissance];
    // The last two digits of the birth year (ddmmyyyy in the file), none for an empty date.
    std::string_view birthYy = birth.size() == 8 ? birth.substr(6, 2) : std::string_view();
    if (yy == birthYy) return;
    int year = YearOf(yy);
    char ymd[16];
    std::snprintf(ymd, sizeof ymd, "%04d0101", year);
    // A 1 January still to come belongs to the previous century.
    if (std::string_view(ymd) > todayYmd) std::snprintf(ymd, sizeof ymd, "%04d0101", year - 100);
    record[kDateNaissance] = ymd;
}

} // namespace quorvel::licences
