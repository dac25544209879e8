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

std::optional<int64_t> FindUpwardCrossing(int64_t point, int64_t reach, int64_t length, const FrameReader& read) {
  constexpr int64_t kWindow = 65536;
  std::optional<int64_t> best;
  for (int64_t near = 0; near <= reach && !best; near += kWindow) {
    const int64_t far = std::min(reach, near + kWindow - 1);
    for (const bool before : {true, false}) {
      // the frames near..far away on this side, and the one ahead of them
      const int64_t lo = std::max<int64_t>(before ? point - far - 1 : point + near - 1, 0);
      const int64_t hi = std::min(before ? point - near : point + far, length - 1);
      if (hi <= lo) continue;
      const auto found = NearestUpwardCrossing(read(lo, hi - lo + 1), lo, point, far);
      if (found && (!best || Distance(*found, point) < Distance(*best, point))) best = found;
    }
    if (point - near <= 0 && point + near >= length) break;  // past both ends of the file
  }
  return best;
}
