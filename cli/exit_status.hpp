#pragma once
// The program's exit statuses, as the README, the help and the manual page list them.

namespace quorvel::cli {

constexpr int kExitTrue = 0;         // the run got through
constexpr int kExitFalse = 1;        // the run could not start
constexpr int kExitError = 2;        // an error stopped it, or the command line was refused
constexpr int kExitInterrupted = 3;  // it got through, but a pass was interrupted
constexpr int kExitLinesInError = 4; // it got through, with lines in error
// Ctrl-C and SIGTERM: 128 + the signal's number (130, 143).

} // namespace quorvel::cli
