#pragma once
// The export's DOS accented letters and day-month-year dates.

#include <string>
#include <string_view>

namespace quorvel::base {

// Puts back the French accented lower-case letters that the export writes with their DOS
// (code page 850/437) bytes: ü é â ä à ç ê ë è ï î ô ö û ù. Works on the raw single-byte line
// and answers Windows-1252 bytes; one byte stays one byte, so field positions do not move.
// Every other byte, capitals included, is left as it is.
std::string strConversionDos(std::string_view strTexte);
void ConvertDosInPlace(std::string& line);

// An export saved again as UTF-8 (opened and saved by a text editor) holds each accented letter as
// two or three bytes, which would shift every fixed-width field after it. When `line` is valid
// UTF-8 and holds at least one character beyond ASCII, replaces it by its Windows-1252 form (a
// leading byte-order mark dropped) and returns true. Any other line (DOS or Windows-1252 bytes,
// plain ASCII) is left as it is and gives false.
bool Utf8LineToCp1252(std::string& line);

// `text` without its leading and trailing space characters (only the space: tabs and other
// blanks stay, as they are part of the field).
constexpr std::string_view TrimSpaces(std::string_view text) {
    std::size_t first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(' ') - first + 1);
}

// "ddmmyyyy" -> "yyyymmdd". Any text that is not exactly 8 characters long gives the empty
// text; the characters themselves are not checked.
std::string strDateInverse(std::string_view strDate);

} // namespace quorvel::base
