#pragma once
// How many lines a data file holds, estimated from its size and the length of its first line,
// and the check of that first line against the record length the file should have.

#include "tracelog/trace_log.hpp"

#include <cstdint>
#include <string>

namespace quorvel {

// Size of the file in bytes; 0 when the file does not exist (or the path is empty).
std::uint64_t varTailleFichier(const std::string& strFichier);

// Length of the file's first line plus 2 for its line end; 0 when the file does not exist or is
// empty. Throws when the file cannot be read.
std::int64_t intLongueurLigne(const std::string& strFichier);

// size / (first line length + 2), rounded to the nearest whole number (halves to even); 0 for a
// missing or empty file. When the first line (plus its line end) is shorter than
// `intLongueurRequise`, writes the "Warning ... n'ont pas la longueur requise." entry.
std::int32_t lngNombreLignes(tracelog::TraceLog& trace, const std::string& strFichier,
                             std::int64_t intLongueurRequise);

} // namespace quorvel
