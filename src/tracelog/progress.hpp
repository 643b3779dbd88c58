#pragma once
// The progress bar on the caller's form.

#include <quorvel/host_form.hpp>

namespace quorvel::tracelog {

// Advances the bar by one step of `dblPas` points, stopping at exactly 100: when the current
// value is above 100 - dblPas the bar is set to 100. No form, no display.
void AvanceProgression(HostForm* form, double dblPas);

// Sets the bar to `value` (the runs reset it to 0 before a pass). No form, no display.
void MetProgression(HostForm* form, double value);

} // namespace quorvel::tracelog
