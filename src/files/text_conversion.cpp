#include "files/text_conversion.hpp"

#include <array>

namespace quorvel::files {
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
    for (char& c : line) {
        unsigned char r = kDosTable[static_cast<unsigned char>(c)];
        if (r != 0) c = static_cast<char>(r);
    }
}

std::string strConversionDos(std::string_view strTexte) {
    std::string out(strTexte);
    ConvertDosInPlace(out);
    return out;
}

std::string strDateInverse(std::string_view strDate) {
    if (strDate.size() != 8) return {};
    std::string out;
    out.reserve(8);
    out.append(strDate.substr(4, 4)).append(strDate.substr(2, 2)).append(strDate.substr(0, 2));
    return out;
}

} // namespace quorvel::files
