// One licence.txt line of arbitrary bytes, converted as the licence pass does and cut into its
// record: the only failure allowed is the run-time error of a licence number that names no year;
// every field is the UTF-8 form of single-byte text, and a licence number that opens with two
// digits gives the birth date (yyyymmdd) a year ending with them.

#include "fuzz_support.hpp"

#include "base/encoding.hpp"
#include "base/text_conversion.hpp"
#include "licences/licence_record.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel;
    using namespace quorvel::licences;
    static LicenceRecord record;
    std::string line(reinterpret_cast<const char*>(data), size);
    if (!base::Utf8LineToCp1252(line)) base::ConvertDosInPlace(line);
    try {
        Remplir_Licence(line, "20260615", record);
    } catch (const Error& e) {
        if (e.number() != errnum::kTypeMismatch) fuzz::Finding("error " + std::to_string(e.number()));
        return 0;
    }
    std::vector<std::string> texts(record.fields.begin(), record.fields.end());
    texts.insert(texts.end(), {record.origin.club, record.origin.licence});
    for (const std::string& text : texts)
        if (base::Cp1252ToUtf8(base::Utf8ToCp1252(text)) != text)
            fuzz::Finding("a field is not single-byte text");
    const std::string& licence = record[kLicence];
    const std::string birth = base::Utf8ToCp1252(record[kDateNaissance]);
    if (licence.size() >= 2 && licence.find_first_not_of("0123456789") >= 2 &&
        (birth.size() != 8 || birth.compare(2, 2, licence, 0, 2) != 0))
        fuzz::Finding("the birth year does not end with the licence number's first two digits");
    return 0;
}
