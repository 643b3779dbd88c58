#pragma once
// A server's failures read as the file engine's: its result codes, and its words where they are
// known, so that a TraceLog reads the same on both.

#include <quorvel/error.hpp>

#include <string>
#include <string_view>

namespace quorvel::storage {

// The file engine's result codes that the failures are reported with.
inline constexpr int kSqlError = 1;
inline constexpr int kBusy = 5;
inline constexpr int kIoError = 10;
inline constexpr int kFull = 13;
inline constexpr int kCantOpen = 14;
inline constexpr int kConstraint = 19;
inline constexpr int kMismatch = 20;

// The failure of SQLSTATE `state` and primary message `message`, met by statement `sql` (whose
// spelling of a table or column it quotes).
Error ServerFailure(std::string_view state, std::string message, std::string_view sql);

} // namespace quorvel::storage
