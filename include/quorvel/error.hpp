#pragma once
// Failures that leave a public method: a number and a description, like every run-time error
// the import reports in its TraceLog ("Erreur n° " + number + ": " + description).

#include <quorvel/export.h>

#include <stdexcept>
#include <string>

namespace quorvel {

class QUORVEL_API Error : public std::runtime_error {
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

// The run-time error numbers the import raises itself (engine failures carry the engine's own
// result code). This is the one table: every error the library makes takes its number here.
namespace errnum {
inline constexpr long kBadArgument = 5;         // an argument the call cannot work with
inline constexpr long kOverflow = 6;            // a count or a name series that does not fit
inline constexpr long kOutOfMemory = 7;         // an allocation that failed
inline constexpr long kSubscriptOutOfRange = 9; // a row or column a result does not have
inline constexpr long kTypeMismatch = 13;       // a text that is not a date or a number where one is needed
inline constexpr long kCancelled = 18;          // a run stopped at the caller's request
inline constexpr long kInternal = 51;           // an unexpected failure inside the library
inline constexpr long kFileNotOpen = 52;        // a file used before it was opened
inline constexpr long kFileNotFound = 53;       // a file or folder that does not exist
inline constexpr long kDeviceIO = 57;           // a read that the device failed
inline constexpr long kFileExists = 58;         // a file that must not exist yet
inline constexpr long kDiskFull = 61;           // a write refused for lack of space
inline constexpr long kInputPastEnd = 62;       // a read past the end of a file
inline constexpr long kPermissionDenied = 70;   // a file or folder the user may not use
inline constexpr long kPathAccess = 75;         // a file or folder that cannot be read or written
inline constexpr long kPathNotFound = 76;       // a folder that does not exist
inline constexpr long kObjectNotSet = 91;       // a form that is not set (Nothing) where one is used
inline constexpr long kInvalidUseOfNull = 94;   // a database NULL where a text is needed
inline constexpr long kBadFileFormat = 321;     // a file in a format the import cannot read (UTF-16)
inline constexpr long kObjectRequired = 424;    // a form member that is not an object where one is needed
inline constexpr long kNotSupported = 438;      // a form without the function the run needs
inline constexpr long kDuplicateKey = 457;      // a key already present in a keyed set
inline constexpr long kNoCurrentRecord = 3021;  // a query that was expected to return a row returned none
inline constexpr long kObjectClosed = 3704;     // a statement on a closed connection
} // namespace errnum

} // namespace quorvel
