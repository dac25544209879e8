#include "player/seam.h"

#include <cmath>
#include <cstddef>

namespace {

// Steps on each side of the seam that make the typical step around it: near
// enough to follow the signal at the seam, enough to even out noise.
constexpr int kStepsAround = 16;

// A step under this (about -60 dB of full scale) lies at the level of a
// recording's own hiss: nobody hears it, whatever the steps around it are.
constexpr float kFloor = 0.001f;

// A continuous signal steps across the seam about as much as beside it: a
// sine's largest step is pi/2 times its mean one, so a sine cut at a whole
// period stays under 3 times the mean. Past 3 times lies a jump, or a sine
// whose ends miss each other by two or three frames; white noise gets there
// by chance at about one seam in fifty.
constexpr float kClickRatio = 3.0f;

// Adds the sizes of up to kStepsAround steps between neighbours of `s`,
// those nearest its end when `fromEnd`, else nearest its start.
void AddSteps(const std::vector<float>& s, bool fromEnd, float* sum, int* count) {
  for (int k = 0; k < kStepsAround && static_cast<size_t>(k) + 1 < s.size(); ++k) {
    const size_t i = fromEnd ? s.size() - 1 - static_cast<size_t>(k) : static_cast<size_t>(k) + 1;
    *sum += std::fabs(s[i] - s[i - 1]);
    ++*count;
  }
}

}  // namespace

SeamMeasure MeasureSeam(const std::vector<float>& before, const std::vector<float>& after) {
  SeamMeasure m;
  if (before.empty() || after.empty()) return m;
  m.step = std::fabs(after.front() - before.back());
  float sum = 0.0f;
  int count = 0;
  AddSteps(before, true, &sum, &count);
  AddSteps(after, false, &sum, &count);
  if (count > 0) m.typical = sum / static_cast<float>(count);
  m.click = m.step >= kFloor && m.step > kClickRatio * m.typical;
  return m;
}
