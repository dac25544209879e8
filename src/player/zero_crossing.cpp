#include "player/zero_crossing.h"

#include <algorithm>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

int64_t Plus(int64_t a, int64_t b) {
  int64_t r;
  return __builtin_add_overflow(a, b, &r) ? (b > 0 ? kMax : kMin) : r;
}

// |a - b| without overflow: the difference of any two positions fits unsigned.
uint64_t Distance(int64_t a, int64_t b) {
  return a >= b ? static_cast<uint64_t>(a) - static_cast<uint64_t>(b)
                : static_cast<uint64_t>(b) - static_cast<uint64_t>(a);
}

}  // namespace

std::optional<int64_t> NearestUpwardCrossing(const ChannelSamples& frames, int64_t first,
                                             int64_t point, int64_t reach) {
  if (frames.empty()) return std::nullopt;
  size_t n = std::numeric_limits<size_t>::max();
  for (const auto& channel : frames) n = std::min(n, channel.size());
  const auto sum = [&](size_t k) {
    float s = 0.0f;
    for (const auto& channel : frames) s += channel[k];
    return s;
  };
  reach = std::max<int64_t>(reach, 0);
  std::optional<int64_t> best;
  // k indexes `frames`; frame k of it is frame first + k of the file
  for (size_t k = 1; k < n; ++k) {
    const int64_t frame = Plus(first, static_cast<int64_t>(k));
    if (Distance(frame, point) > static_cast<uint64_t>(reach)) continue;
    if (!(sum(k - 1) < 0.0f && sum(k) >= 0.0f)) continue;
    if (!best || Distance(frame, point) < Distance(*best, point)) best = frame;
  }
  return best;
}
