#pragma once
// The source of "now" for a run: the TraceLog's time stamps and the birth-date check read it.

#include <quorvel/export.h>

#include <functional>

namespace quorvel {

// A local calendar date and time of day.
struct LocalDateTime {
    int year = 0;
    int month = 0; // 1..12
    int day = 0;   // 1..31
    int hour = 0;
    int minute = 0;
    int second = 0;
};

// Returns the current local date and time. Tests and the CLI's --today pin it.
using Clock = std::function<LocalDateTime()>;

// The machine's local time.
QUORVEL_API Clock SystemClock();

// A clock that always answers the given date at 00:00:00.
QUORVEL_API Clock FixedClock(int year, int month, int day);

} // namespace quorvel
