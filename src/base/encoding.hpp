#pragma once
// Conversions between the single-byte Windows-1252 text of the export files and the TraceLog,
// and the UTF-8 text used everywhere inside the program and in the database.

#include <cstddef>
#include <string>
#include <string_view>

namespace quorvel::base {

// Appends the UTF-8 form of the Windows-1252 bytes `cp1252` to `out`. Every byte maps to one
// character (the five bytes Windows-1252 leaves undefined map to U+0081, U+008D, U+008F, U+0090
// and U+009D), so nothing is lost.
void AppendCp1252AsUtf8(std::string& out, std::string_view cp1252);
std::string Cp1252ToUtf8(std::string_view cp1252);
// Replaces the content of `out` by the UTF-8 form of `cp1252`, reusing its storage.
inline void AssignCp1252AsUtf8(std::string& out, std::string_view cp1252) {
    out.clear();
    AppendCp1252AsUtf8(out, cp1252);
}

// Where the first byte of `text` from `from` on that is not plain ASCII lies (or its size): most
// export lines are ASCII from end to end, and are passed over eight bytes at a time.
std::size_t NextNonAscii(std::string_view text, std::size_t from) noexcept;

// The Windows-1252 bytes of the UTF-8 text `utf8`. A character with no Windows-1252 byte, or a
// malformed UTF-8 sequence, becomes "?".
std::string Utf8ToCp1252(std::string_view utf8);
// The same, appended to `out`.
void AppendUtf8AsCp1252(std::string& out, std::string_view utf8);

// Letter case of single Windows-1252 bytes, as a Windows ANSI text function changes it
// (accented letters included: É <-> é, Œ <-> œ, Ÿ <-> ÿ; ß and µ have no other case).
char Cp1252Lower(char c);
char Cp1252Upper(char c);

} // namespace quorvel::base
