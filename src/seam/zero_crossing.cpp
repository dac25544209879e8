#include "seam/zero_crossing.h"

#include <algorithm>
#include <limits>
#include <vector>

#include "seam/seam.h"
#include "wave/frames.h"

namespace {

// |a - b| without overflow: the difference of any two positions fits unsigned.
uint64_t Distance(int64_t a, int64_t b) {
  return a >= b ? static_cast<uint64_t>(a) - static_cast<uint64_t>(b)
                : static_cast<uint64_t>(b) - static_cast<uint64_t>(a);
}

// Left plus right (or the one channel), over the frames every channel has.
std::vector<float> Summed(const ChannelSamples& frames) {
  if (frames.empty()) return {};
  size_t n = std::numeric_limits<size_t>::max();
  for (const auto& channel : frames) n = std::min(n, channel.size());
  std::vector<float> sum(n, 0.0f);
  for (const auto& channel : frames)
    for (size_t k = 0; k < n; ++k) sum[k] += channel[k];
  return sum;
}

// The frame of [lo, hi] nearest `point` where the sum of `frames` crosses zero
// going up and steps no more than a smooth signal does: a jump through zero is
// heard as a click, as at a seam, so it is no crossing.
std::optional<int64_t> Nearest(const ChannelSamples& frames, int64_t first, int64_t point, int64_t lo, int64_t hi) {
  const std::vector<float> s = Summed(frames);
  std::optional<int64_t> best;
  // k indexes `s`; frame k of it is frame first + k of the file
  for (size_t k = 1; k < s.size(); ++k) {
    const int64_t frame = AddFrames(first, static_cast<int64_t>(k));
    if (frame < lo || frame > hi || !(s[k - 1] < 0.0f && s[k] >= 0.0f)) continue;
    if (best && Distance(frame, point) >= Distance(*best, point)) continue;
    if (!MeasureStep(s, k).click) best = frame;
  }
  return best;
}

}  // namespace

std::optional<int64_t> NearestUpwardCrossing(const ChannelSamples& frames, int64_t first,
                                             int64_t point, int64_t reach) {
  reach = std::max<int64_t>(reach, 0);
  return Nearest(frames, first, point, AddFrames(point, -reach), AddFrames(point, reach));
}

std::optional<int64_t> FindUpwardCrossing(int64_t point, int64_t reach, int64_t length, const FrameReader& read) {
  constexpr int64_t kWindow = 65536;
  std::optional<int64_t> best;
  for (int64_t near = 0; near <= reach && !best; near += kWindow) {
    const int64_t far = std::min(reach, near + kWindow - 1);
    for (const bool before : {true, false}) {
      // the frames near..far away on this side, read with the steps around them that judge a crossing
      const int64_t lo = before ? point - far : point + near;
      const int64_t hi = before ? point - near : point + far;
      if (std::max<int64_t>(lo, 1) > std::min(hi, length - 1)) continue;  // no frame with one before it
      const int64_t from = std::max<int64_t>(lo - kStepsAround - 1, 0);
      const int64_t to = std::min(hi + kStepsAround, length - 1);
      const auto found = Nearest(read(from, to - from + 1), from, point, lo, hi);
      if (found && (!best || Distance(*found, point) < Distance(*best, point))) best = found;
    }
    if (point - near <= 0 && point + near >= length) break;  // past both ends of the file
  }
  return best;
}
