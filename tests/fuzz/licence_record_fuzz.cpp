// One licence.txt line of arbitrary bytes cut into its record: the only failure allowed is the
// run-time error of a licence number that names no year; every field comes out as valid UTF-8 and
// every date as yyyymmdd or nothing.

#include "fuzz_support.hpp"

#include "base/text_conversion.hpp"
#include "licences/licence_record.hpp"

#include <quorvel/error.hpp>

namespace {

bool ValidUtf8(std::string_view s) {
    std::size_t i = 0;
    while (i < s.size()) {
        auto c = static_cast<unsigned char>(s[i]);
        std::size_t n = c < 0x80 ? 1 : (c >> 5) == 0x6 ? 2 : (c >> 4) == 0xE ? 3 : (c >> 3) == 0x1E ? 4 : 0;
        if (n == 0 || i + n > s.size()) return false;
        for (std::size_t k = 1; k < n; ++k)
            if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return false;
        i += n;
    }
    return true;
}

// Dates are cut as 8 characters of the line; each character may take several bytes in UTF-8.
bool IsDateOrEmpty(const std::string& s) {
    std::size_t characters = 0;
    for (char c : s)
        characters += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return characters == 0 || characters == 8;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    static licences::LicenceRecord record;
    std::string line(reinterpret_cast<const char*>(data), size);
    base::ConvertDosInPlace(line);
    try {
        licences::Remplir_Licence(line, "20260615", record);
    } catch (const Error& e) {
        if (e.number() != errnum::kTypeMismatch)
            fuzz::Finding("unexpected error " + std::to_string(e.number()));
        return 0;
    }
    for (const std::string& field : record.fields)
        if (!ValidUtf8(field)) fuzz::Finding("a field is not valid UTF-8");
    if (!ValidUtf8(record.origin.club) || !ValidUtf8(record.origin.licence))
        fuzz::Finding("the origin is not valid UTF-8");
    if (!IsDateOrEmpty(record[licences::kDateNaissance]) || !IsDateOrEmpty(record[licences::kDateDepot]) ||
        !IsDateOrEmpty(record[licences::kDateObliteration]))
        fuzz::Finding("a date is neither yyyymmdd nor empty");
    return 0;
}
