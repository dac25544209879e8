// How the loop's seam looks: the step from the last frame before the stop to
// the first frame at the start, against the steps just around it.
#pragma once
#include <vector>

struct SeamMeasure {
  float step = 0.0f;     // |first frame after - last frame before|
  float typical = 0.0f;  // mean size of the 16 steps on each side, the seam left out
  bool click = false;    // likely to be heard as a click
};

// Measures one channel. `before` ends with the frame just before the stop and
// `after` begins with the frame at the start. A side with fewer frames adds
// fewer steps; with no frame on a side there is no step and the seam is smooth.
SeamMeasure MeasureSeam(const std::vector<float>& before, const std::vector<float>& after);
