// The text conversions on arbitrary bytes: Windows-1252 -> UTF-8 -> Windows-1252 gives the bytes
// back, any UTF-8 (even malformed) converts to Windows-1252 without failing and settles after one
// round, a line saved as UTF-8 is recognised and no other, the DOS letters keep every field in
// place, and a reversed date keeps its 8 characters.

#include "fuzz_support.hpp"

#include "base/encoding.hpp"
#include "base/text_conversion.hpp"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace quorvel::base;
    using quorvel::fuzz::Finding;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    if (Utf8ToCp1252(Cp1252ToUtf8(bytes)) != bytes) Finding("Windows-1252 did not come back from UTF-8");
    std::string cp = Utf8ToCp1252(bytes);
    if (cp.size() > size || Utf8ToCp1252(Cp1252ToUtf8(cp)) != cp)
        Finding("UTF-8 -> Windows-1252 grows or does not settle");

    std::string dos = strConversionDos(bytes), inPlace(bytes);
    ConvertDosInPlace(inPlace);
    if (dos.size() != size || dos != inPlace) Finding("the DOS conversion moved the fields");
    for (std::size_t i = 0; i < size; ++i)
        if (static_cast<unsigned char>(bytes[i]) < 0x80 && dos[i] != bytes[i])
            Finding("the DOS conversion changed a plain ASCII byte");

    // A line saved as UTF-8 comes back as the text conversion gives it (without a byte-order mark);
    // any other line is left alone.
    std::string line(bytes);
    if (Utf8LineToCp1252(line) ? line != Utf8ToCp1252(bytes.substr(bytes.starts_with("\xEF\xBB\xBF") ? 3 : 0))
                               : line != bytes)
        Finding("a UTF-8 line is not converted, or another line is");
    if (strDateInverse(bytes).size() != (size == 8 ? 8u : 0u))
        Finding("a reversed date is not 8 long or empty");
    return 0;
}
