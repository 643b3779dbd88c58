#include "base/text_conversion.hpp"

#include "base/encoding.hpp"

#include <array>

namespace quorvel::base {
namespace {

// DOS byte -> Windows-1252 byte of the same letter, or 0 for bytes that stay as they are.
constexpr std::array<unsigned char, 256> MakeDosTable() {
    std::array<unsigned char, 256> t{};
    t[0x81] = 0xFC; // ü
    t[0x82] = 0xE9; // é
    t[0x83] = 0xE2; // â
    t[0x84] = 0xE4; // ä
    t[0x85] = 0xE0; // à
    t[0x87] = 0xE7; // ç
    t[0x88] = 0xEA; // ê
    t[0x89] = 0xEB; // ë
    t[0x8A] = 0xE8; // è
    t[0x8B] = 0xEF; // ï
    t[0x8C] = 0xEE; // î
    t[0x93] = 0xF4; // ô
    t[0x94] = 0xF6; // ö
    t[0x96] = 0xFB; // û
    t[0x97] = 0xF9; // ù
    return t;
}
constexpr auto kDosTable = MakeDosTable();

} // namespace

void ConvertDosInPlace(std::string& line) {
    for (std::size_t i = NextNonAscii(line, 0); i < line.size(); i = NextNonAscii(line, i + 1)) {
        unsigned char r = kDosTable[static_cast<unsigned char>(line[i])];
        if (r != 0) line[i] = static_cast<char>(r);
    }
}

std::string strConversionDos(std::string_view strTexte) {
    std::string out(strTexte);
    ConvertDosInPlace(out);
    return out;
}

bool Utf8LineToCp1252(std::string& line) {
    bool beyondAscii = false;
    for (std::size_t i = NextNonAscii(line, 0); i < line.size(); i = NextNonAscii(line, i)) {
        auto b = static_cast<unsigned char>(line[i]);
        // Lead bytes of 2-, 3- and 4-byte sequences without overlong forms (C0, C1, F5-FF never occur).
        std::size_t extra = b >= 0xC2 && b <= 0xDF   ? 1
                            : b >= 0xE0 && b <= 0xEF ? 2
                            : b >= 0xF0 && b <= 0xF4 ? 3
                                                     : 0;
        if (extra == 0 || i + extra >= line.size()) return false;
        for (std::size_t k = 1; k <= extra; ++k)
            if ((static_cast<unsigned char>(line[i + k]) & 0xC0) != 0x80) return false;
        beyondAscii = true;
        i += extra + 1;
    }
    if (!beyondAscii) return false;
    std::string_view text = line;
    constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
    if (text.substr(0, kByteOrderMark.size()) == kByteOrderMark) text.remove_prefix(kByteOrderMark.size());
    line = Utf8ToCp1252(text);
    return true;
}

std::string strDateInverse(std::string_view strDate) {
    if (strDate.size() != 8) return {};
    std::string out;
    out.reserve(8);
    out.append(strDate.substr(4, 4)).append(strDate.substr(2, 2)).append(strDate.substr(0, 2));
    return out;
}

} // namespace quorvel::base
