#include "player/seam.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

// Frames [from, from + count) of a sine of `period` frames and amplitude 0.8.
std::vector<float> Sine(double period, long from, long count) {
  std::vector<float> s;
  for (long i = from; i < from + count; ++i)
    s.push_back(static_cast<float>(0.8 * std::sin(2 * M_PI * static_cast<double>(i) / period)));
  return s;
}

TEST(Seam, SineCuts) {
  const struct {
    long start, stop;  // the loop plays stop - 1, then start
    bool click;
  } kRows[] = {
      {1000, 2000, false},  // whole periods, the seam at an upward crossing: the steepest step
      {1037, 2037, false},  // whole periods, elsewhere
      {1025, 2075, true},   // half a period more, the start at a peak: trough to peak
      {1000, 2002, false},  // 2 frames past a whole period, at the steepest point
      {1000, 2005, true},   // 5 frames past
  };
  for (const auto& r : kRows) {
    const SeamMeasure m = MeasureSeam(Sine(100, r.stop - 256, 256), Sine(100, r.start, 256));
    EXPECT_EQ(m.click, r.click) << r.start << " to " << r.stop;
  }
  const SeamMeasure m = MeasureSeam(Sine(100, 2075 - 256, 256), Sine(100, 1025, 256));
  EXPECT_NEAR(m.step, 1.6f, 0.01f);
  EXPECT_NEAR(m.typical, 0.0245f, 0.0005f);  // the gentle slopes beside a trough and a peak
}

// A ramp rising 0.01 a frame, the start `jump` above where the ramp would go on.
SeamMeasure Ramp(float jump) {
  std::vector<float> before, after;
  for (int i = 0; i < 40; ++i) before.push_back(0.01f * static_cast<float>(i));
  for (int i = 40; i < 80; ++i) after.push_back(0.01f * static_cast<float>(i) + jump - 0.01f);
  return MeasureSeam(before, after);
}

TEST(Seam, ClickPastThreeTypicalSteps) {
  EXPECT_FALSE(Ramp(0.029f).click);
  EXPECT_TRUE(Ramp(0.031f).click);
  const SeamMeasure m = Ramp(0.5f);
  EXPECT_NEAR(m.step, 0.5f, 1e-5f);
  EXPECT_NEAR(m.typical, 0.01f, 1e-5f);  // the seam left out
}

TEST(Seam, TypicalStepComesFromTheNearestSixteenEachSide) {
  std::vector<float> before(40, 0.0f), after(40, 0.0f);
  before[40 - 18] = 1.0f;  // two steps of 1 just beyond the nearest 16
  after[17] = 1.0f;        // and the 17th and 18th after
  EXPECT_EQ(MeasureSeam(before, after).typical, 0.0f);
  before[40 - 17] = 1.0f;  // now the 16th step before is 1
  after[16] = 1.0f;        // and the 16th after
  EXPECT_EQ(MeasureSeam(before, after).typical, 2.0f / 32);
}

TEST(Seam, QuietSeamsAreSmooth) {
  const std::vector<float> silence(256, 0.0f);
  const SeamMeasure m = MeasureSeam(silence, silence);
  EXPECT_EQ(m.step, 0.0f);
  EXPECT_EQ(m.typical, 0.0f);
  EXPECT_FALSE(m.click);
  // a step under the floor, from dead silence, is not heard
  EXPECT_FALSE(MeasureSeam(silence, std::vector<float>(256, 0.0009f)).click);
  EXPECT_TRUE(MeasureSeam(silence, std::vector<float>(256, 0.0011f)).click);
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> hiss(-0.0004f, 0.0004f);
  for (int seam = 0; seam < 100; ++seam) {
    std::vector<float> before(256), after(256);
    for (float& v : before) v = hiss(rng);
    for (float& v : after) v = hiss(rng);
    EXPECT_FALSE(MeasureSeam(before, after).click);
  }
  EXPECT_FALSE(MeasureSeam({}, {1.0f}).click);  // no frame before: no step
  EXPECT_TRUE(MeasureSeam({-1.0f}, {1.0f}).click);
}

}  // namespace
