// The running clock line of a pass, "\rclock = %.2f sec", without printf's cost per period.
#pragma once
#include <cstddef>

constexpr size_t kClockLineSize = 64;  // the longest float with two decimals fits

// Writes the clock line for `seconds` into `out`; returns its length. The text
// is exactly what printf("\rclock = %.2f sec", seconds) prints.
size_t FormatClockLine(float seconds, char (&out)[kClockLineSize]);
