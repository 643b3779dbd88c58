// The text conversions on arbitrary bytes: Windows-1252 -> UTF-8 -> Windows-1252 gives the bytes
// back, any UTF-8 (even malformed) converts to Windows-1252 without failing and settles after one
// round, a line saved as UTF-8 is recognised and no other, the DOS letters keep every field in
// place, and letter case goes there and back.

#include "fuzz_support.hpp"

#include "base/encoding.hpp"
#include "base/text_conversion.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::base;
    using quorvel::fuzz::Finding;
    std::string_view bytes(reinterpret_cast<const char*>(data), size);

    std::string utf8 = Cp1252ToUtf8(bytes);
    if (Utf8ToCp1252(utf8) != bytes) Finding("Windows-1252 -> UTF-8 -> Windows-1252 changed the bytes");

    std::string cp = Utf8ToCp1252(bytes);
    if (cp.size() > bytes.size()) Finding("UTF-8 -> Windows-1252 made the text longer");
    if (Utf8ToCp1252(Cp1252ToUtf8(cp)) != cp) Finding("UTF-8 -> Windows-1252 does not settle");

    std::string dos = strConversionDos(bytes);
    std::string inPlace(bytes);
    ConvertDosInPlace(inPlace);
    if (dos.size() != bytes.size() || dos != inPlace) Finding("the DOS conversion moved the fields");
    for (std::size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(bytes[i]) < 0x80 && dos[i] != bytes[i])
            Finding("the DOS conversion changed a plain ASCII byte");

    for (char c : bytes) {
        char lower = Cp1252Lower(c);
        char upper = Cp1252Upper(c);
        if (Cp1252Lower(lower) != lower || Cp1252Upper(upper) != upper) Finding("letter case is not settled");
        if (lower != c && Cp1252Upper(lower) != c)
            Finding("a capital does not come back from its lower case");
        if (upper != c && Cp1252Lower(upper) != c)
            Finding("a lower case does not come back from its capital");
    }

    // A line saved as UTF-8 comes back as one byte per character, never longer; any other line is
    // left alone.
    std::string line(bytes);
    if (Utf8LineToCp1252(line)) {
        if (line.size() >= bytes.size()) Finding("a UTF-8 line did not get shorter");
    } else if (line != bytes) {
        Finding("a line that is not UTF-8 was changed");
    }

    std::string date = strDateInverse(bytes);
    if (!(date.empty() || (size == 8 && date.size() == 8))) Finding("a reversed date is not 8 characters");
    std::string_view trimmed = TrimSpaces(bytes);
    if (!trimmed.empty() && (trimmed.front() == ' ' || trimmed.back() == ' '))
        Finding("trimmed text keeps an outer space");
    return 0;
}
