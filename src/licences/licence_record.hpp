#pragma once
// One line of licence.txt cut into its 24 fields.

#include <array>
#include <string>
#include <string_view>

namespace quorvel::licences {

// Indexes of the fields that the import gives a meaning to; the others are stored as they are.
enum LicenceField : std::size_t {
    kCodeClub = 0,
    kLicence = 1,
    kNom = 2,
    kPrenom = 3,
    kDateNaissance = 5,
    kDateDepot = 18,
    kDateObliteration = 19,
    kOrigine = 22,
    kCodeUnique = 23,
};
inline constexpr std::size_t kFieldCount = 24;

// Widths of the 24 fields of a licence.txt line (their sum is the 248 characters of a line).
inline constexpr std::array<int, kFieldCount> kLongueursLicence = {13, 6, 25, 20, 1, 8, 3, 30, 30, 7, 26, 14,
                                                                   1,  1, 1,  1,  1, 1, 8, 8,  1,  1, 19, 22};

// The swimmer's own club and licence number that a selection entry carries in its Origine field:
// characters 208-220 and 221-226 of the line, each without its surrounding spaces (UTF-8).
struct LicenceOrigin {
    std::string club;
    std::string licence;
};

// The fields of one licence.txt line (UTF-8), and the two parts of its Origine.
struct LicenceRecord {
    std::array<std::string, kFieldCount> fields;
    LicenceOrigin origin;

    std::string& operator[](std::size_t i) { return fields[i]; }
    const std::string& operator[](std::size_t i) const { return fields[i]; }
};

// Field `index` of the line as it stands (single-byte text, spaces kept): empty when the line
// ends before it, shorter when it ends inside it.
std::string_view RawField(std::string_view line, std::size_t index);

// Reads the Origine parts of the converted line `line` (single-byte text) into `origin`.
void ReadOrigin(std::string_view line, LicenceOrigin& origin);

// The key (club code, licence number, UTF-8, without surrounding spaces) that the licence of a
// selection entry (`selCode`, `selLicence`) is looked up by: the swimmer's own club and number
// when its Origine names both and that club was accepted (`ownClubAccepted`); the Origine's club
// with the selection's number when the Origine names only the club; otherwise the selection's
// own code and number. `club` and `licence` may be the very strings `selCode` and `selLicence`
// view.
void SelectionLookupKey(std::string_view selCode, std::string_view selLicence, const LicenceOrigin& origin,
                        bool ownClubAccepted, std::string& club, std::string& licence);

// Fills `record` from the converted line `line` (single-byte text, DOS letters already put back):
// each field is cut at its position and stripped of surrounding spaces; the surname is folded to
// capitals without accents (Hélène Müller -> HELENE MULLER; ù keeps its accent); the three dates
// go from ddmmyyyy to yyyymmdd (empty unless 8 characters long). Then the birth date is made to
// agree with the two-digit year that opens the licence number: when its year differs, it becomes
// 1 January of that year (00-29 -> 2000-2029, 30-99 -> 1930-1999), moved 100 years back when
// that day is after `todayYmd` (today as "yyyymmdd"). A short line leaves the missing fields
// empty.
//
// Throws quorvel::Error (type mismatch) when the birth date must be repaired and the licence
// number does not open with a year (one or two digits).
void Remplir_Licence(std::string_view line, std::string_view todayYmd, LicenceRecord& record);

// Appends the surname `raw` (Windows-1252, trimmed) as the database stores it, in UTF-8: in
// capitals, the French accented letters without their accent ("Hélène" -> "HELENE").
void AppendStoredSurname(std::string& out, std::string_view raw);

} // namespace quorvel::licences
