#include "player/clock_line.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

size_t FormatClockLine(float seconds, char (&out)[kClockLineSize]) {
  // a float times 100 is exact in a double, so rounding it to the nearest
  // integer, ties to even, is the rounding printf does on the decimal value
  const double scaled = static_cast<double>(seconds) * 100.0;
  if (std::signbit(seconds) || !(scaled < 1e15)) {
    const int n = std::snprintf(out, sizeof out, "\rclock = %.2f sec", static_cast<double>(seconds));
    return n < 0 ? 0 : std::min(static_cast<size_t>(n), sizeof out - 1);
  }
  // adding and taking away 1.5 * 2^52 rounds so, without a library call
  constexpr double kRounder = 6755399441055744.0;
  const double hundredths = (scaled + kRounder) - kRounder;
  char digits[24];
  size_t count = 0;
  for (uint64_t h = static_cast<uint64_t>(hundredths); h != 0 || count < 3; h /= 10)
    digits[count++] = static_cast<char>('0' + h % 10);
  static const char kPrefix[] = "\rclock = ";
  size_t n = sizeof kPrefix - 1;
  std::memcpy(out, kPrefix, n);
  while (count > 2) out[n++] = digits[--count];
  out[n++] = '.';
  out[n++] = digits[1];
  out[n++] = digits[0];
  std::memcpy(out + n, " sec", 4);
  return n + 4;
}
