#pragma once
// Failures that leave a public method: a number and a description, like every run-time error
// the import reports in its TraceLog ("Erreur n° " + number + ": " + description).

#include <stdexcept>
#include <string>

namespace quorvel {

class Error : public std::runtime_error {
public:
    Error(long number, std::string description)
        : std::runtime_error(description), number_(number), description_(std::move(description)) {}

    // The error number: the database engine's result code for engine failures, or one of the
    // numbers below for the import's own run-time errors.
    long number() const noexcept { return number_; }
    // The description, in the language the failing layer reports it (UTF-8).
    const std::string& description() const noexcept { return description_; }

private:
    long number_;
    std::string description_;
};

// Run-time error numbers raised by the import itself (engine failures carry the engine's code).
namespace errnum {
inline constexpr long kTypeMismatch = 13;      // a text that is not a date where one is needed
inline constexpr long kInvalidUseOfNull = 94;  // a database NULL where a text is needed
inline constexpr long kDuplicateKey = 457;     // a key already present in a keyed set
inline constexpr long kFileNotFound = 53;      // a file or folder that does not exist
inline constexpr long kPathAccess = 75;        // a file or folder that cannot be read or written
inline constexpr long kBadArgument = 5;        // an argument the call cannot work with
inline constexpr long kPermissionDenied = 70;  // a file or folder the user may not use
inline constexpr long kPathNotFound = 76;      // a folder that does not exist
inline constexpr long kNoCurrentRecord = 3021; // a query that was expected to return a row returned none
} // namespace errnum

} // namespace quorvel
