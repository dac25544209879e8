#include "wave/frames.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

// A millionth of a frame: far below one, and far above the rounding of rate × seconds in doubles
// for a time of up to a day at 48 kHz.
constexpr double kHair = 1e-6;

}  // namespace

int64_t AddFrames(int64_t a, int64_t b) {
  int64_t r;
  return __builtin_add_overflow(a, b, &r) ? (b > 0 ? kMax : kMin) : r;
}

int64_t SubFrames(int64_t a, int64_t b) {
  int64_t r;
  return __builtin_sub_overflow(a, b, &r) ? (b < 0 ? kMax : kMin) : r;
}

int64_t LengthAsFrame(uint64_t length) { return static_cast<int64_t>(std::min<uint64_t>(length, kMax)); }

int64_t FramesFromSeconds(uint64_t rate, double seconds) {
  const double x = static_cast<double>(rate) * seconds;
  if (std::isnan(x)) return 0;
  const double nudged = x + std::copysign(kHair, x);
  // 2^63 is exact in double; anything at or beyond it does not fit
  if (nudged >= 9223372036854775808.0) return kMax;
  if (nudged < -9223372036854775808.0) return kMin;
  return static_cast<int64_t>(nudged);
}

float SecondsFromFrames(int64_t frames, uint64_t rate) {
  return static_cast<float>(frames) / static_cast<float>(rate);
}
