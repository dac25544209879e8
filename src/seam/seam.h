// How the loop's seam looks: the step from the last frame before the stop to
// the first frame at the start, against the steps just around it. The same
// measure tells a jump in a signal from a smooth passage.
#pragma once
#include <cstddef>
#include <vector>

// Steps on each side of the seam that make the typical step around it: near
// enough to follow the signal at the seam, enough to even out noise.
constexpr int kStepsAround = 16;

struct SeamMeasure {
  float step = 0.0f;     // |first frame after - last frame before|
  float typical = 0.0f;  // mean size of the kStepsAround steps on each side, the seam left out
  bool click = false;    // likely to be heard as a click
};

// Measures the step from s[at - 1] to s[at] against up to kStepsAround steps
// on each side of it within `s`; a side nearer an end of `s` adds fewer. With
// no frame on a side (`at` is 0 or past the last frame) there is no step, and
// the seam is smooth.
SeamMeasure MeasureStep(const std::vector<float>& s, size_t at);

// Measures one channel of a seam. `before` ends with the frame just before the
// stop and `after` begins with the frame at the start.
SeamMeasure MeasureSeam(const std::vector<float>& before, const std::vector<float>& after);
