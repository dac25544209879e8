#include "seam/seam.h"

#include <cmath>

namespace {

// A step under this (about -60 dB of full scale) lies at the level of a
// recording's own hiss: nobody hears it, whatever the steps around it are.
constexpr float kFloor = 0.001f;

// A continuous signal steps across the seam about as much as beside it: a
// sine's largest step is pi/2 times its mean one, so a sine cut at a whole
// period stays under 3 times the mean. Past 3 times lies a jump, or a sine
// whose ends miss each other by two or three frames; white noise gets there
// by chance at about one seam in fifty.
constexpr float kClickRatio = 3.0f;

}  // namespace

SeamMeasure MeasureStep(const std::vector<float>& s, size_t at) {
  SeamMeasure m;
  if (at == 0 || at >= s.size()) return m;
  m.step = std::fabs(s[at] - s[at - 1]);
  float sum = 0.0f;
  int count = 0;
  // the steps before the seam, nearest first, then those after it
  for (size_t i = at - 1; i >= 1 && at - i <= kStepsAround; --i, ++count) sum += std::fabs(s[i] - s[i - 1]);
  for (size_t i = at + 1; i < s.size() && i - at <= kStepsAround; ++i, ++count) sum += std::fabs(s[i] - s[i - 1]);
  if (count > 0) m.typical = sum / static_cast<float>(count);
  m.click = m.step >= kFloor && m.step > kClickRatio * m.typical;
  return m;
}

SeamMeasure MeasureSeam(const std::vector<float>& before, const std::vector<float>& after) {
  std::vector<float> joined = before;
  joined.insert(joined.end(), after.begin(), after.end());
  return MeasureStep(joined, before.size());
}
