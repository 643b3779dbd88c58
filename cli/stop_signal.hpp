#pragma once
// Ctrl-C and SIGTERM: the run stops after its current line, and the program exits with 128 + the
// signal's number once the TraceLog and the report are written.

#include <atomic>

namespace quorvel::cli {

// The flag handed to the library as ImportOptions::cancel.
const std::atomic<bool>* StopFlag();
// From now on SIGINT and SIGTERM set the flag.
void CatchStopSignals();
// The signal that asked the run to stop, or 0.
int StopSignal();

} // namespace quorvel::cli
