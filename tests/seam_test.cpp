// The seam tools' pure parts: the step across the seam, the nearest zero crossing going up,
// and the picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "player/seam.h"
#include "player/seam_view.h"
#include "player/zero_crossing.h"

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
  EXPECT_EQ(MeasureSeam({0.0f}, {0.5f, 0.75f}).typical, 0.25f);  // one step around it
  EXPECT_TRUE(MeasureSeam({-1.0f}, {1.0f}).click);
  EXPECT_FALSE(MeasureSeam({0.0f, 0.25f}, {1.0f, 1.25f}).click);  // exactly three typical steps
}

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr auto kNone = std::nullopt;

// Frames 100 to 109 of a mono file: upward crossings at 102 (onto zero) and 106.
const ChannelSamples kSignal = {{0.5f, -0.5f, 0.0f, 0.5f, 0.5f, -0.5f, 0.5f, 0.5f, -0.5f, -0.5f}};

TEST(ZeroCrossing, NearestUpwardCrossing) {
  const struct {
    int64_t point, reach;
    std::optional<int64_t> want;
  } kRows[] = {
      {102, 0, 102}, {106, 0, 106}, {103, 0, kNone},  // 0 then 0.5 is not a crossing
      {101, 0, kNone}, {105, 0, kNone},               // going down
      {100, 5, 102},                                  // 100 has no frame before it here
      {104, 1, kNone}, {104, 2, 102},                 // a tie: the earlier wins
      {105, 3, 106},   {103, 2, 102},   {108, 1, kNone}, {109, 3, 106},
      {108, -4, kNone}, {102, -1, 102},               // a negative reach looks at the point
      {40, 61, kNone}, {40, 62, 102},   {300, kMax, 106}, {-5, 107, 102},   {-5, 106, kNone},
      {-kMax, kMax, kNone},  // 102 lies kMax + 102 away
  };
  for (const auto& r : kRows)
    EXPECT_EQ(NearestUpwardCrossing(kSignal, 100, r.point, r.reach), r.want)
        << r.point << " reach " << r.reach;
}

// A ramp rising 0.01 a frame to `last` at frame 19, going on from `first` at frame 20.
TEST(ZeroCrossing, AJumpThroughZeroIsNoCrossing) {
  const struct {
    float last, first;
    bool crossing;
  } kRows[] = {
      {-0.005f, 0.005f, true},   // the ramp itself
      {-0.015f, 0.014f, true},   // under three typical steps
      {-0.016f, 0.015f, false},  // over three: a click at a seam
      {-0.144f, 0.0f, false},    // a jump onto zero
  };
  for (const auto& r : kRows) {
    std::vector<float> s;
    for (int i = 19; i >= 0; --i) s.push_back(r.last - 0.01f * static_cast<float>(i));
    for (int i = 0; i < 20; ++i) s.push_back(r.first + 0.01f * static_cast<float>(i));
    EXPECT_EQ(NearestUpwardCrossing({s}, 0, 20, 5), r.crossing ? std::optional<int64_t>(20) : kNone) << r.last;
  }
}

TEST(ZeroCrossing, StereoLooksAtLeftPlusRight) {
  const ChannelSamples leftOnly = {{-0.5f, 0.3f, 0.5f}, {0.4f, -0.5f, -0.6f}};  // left goes up, the sum down
  const ChannelSamples sumUp = {{-0.5f, 0.3f, 0.5f}, {0.4f, 0.0f, 0.0f}};
  EXPECT_EQ(NearestUpwardCrossing(leftOnly, 7, 8, 1), kNone);
  EXPECT_EQ(NearestUpwardCrossing(sumUp, 7, 8, 1), 8);
}

TEST(ZeroCrossing, SilenceHasNone) {
  const ChannelSamples silence = {std::vector<float>(1000, 0.0f), std::vector<float>(1000, 0.0f)};
  EXPECT_EQ(NearestUpwardCrossing(silence, 0, 500, 500), kNone);
  EXPECT_EQ(NearestUpwardCrossing({}, 0, 0, 10), kNone);
  const FrameReader quiet = [](int64_t, int64_t count) { return ChannelSamples{std::vector<float>(count, 0.0f)}; };
  EXPECT_EQ(FindUpwardCrossing(5, kMax, 10, quiet), kNone);  // at once, past both ends
}

// Below zero for 300000 frames but for two upward crossings, read a window at a time. Each is
// a ramp of 16 frames up to 0 and 20 frames flat: smooth only with the ramp in sight.
TEST(ZeroCrossing, FarCrossingsAreFoundAWindowAtATime) {
  std::vector<float> s(300000, -0.8f);
  for (int64_t at : {60000, 240000}) {
    for (int j = 1; j <= 16; ++j) s[at - j] = -0.05f * static_cast<float>(j);
    std::fill(s.begin() + at, s.begin() + at + 20, 0.0f);
  }
  int64_t most = 0;
  const FrameReader read = [&](int64_t first, int64_t count) {
    most = std::max(most, count);
    EXPECT_LE(first + count, 300000);  // never past the end of the file
    return ChannelSamples{{s.begin() + first, s.begin() + std::min<int64_t>(first + count, 300000)}};
  };
  const struct {
    int64_t point, reach;
    std::optional<int64_t> want;
  } kRows[] = {{150000, 90000, 60000}, {150000, 89999, kNone}, {170000, 80000, 240000}, {170000, 69999, kNone},
               {0, kMax, 60000},       {300000, 60000, 240000}, {239990, 5, kNone},
               {240000 - 65536, kMax, 240000}};  // first in its window, judged with the ramp before it
  for (const auto& r : kRows) EXPECT_EQ(FindUpwardCrossing(r.point, r.reach, 300000, read), r.want) << r.point;
  EXPECT_LE(most, 65536 + 33);  // never more than a window and the steps around it
}

TEST(ZeroCrossing, FileEdgesAreNeverCrossings) {
  // A file of 6 frames that starts on 0.5 and ends below zero.
  const std::vector<float> file = {0.5f, 0.5f, -0.5f, -0.5f, -0.5f, -0.5f};
  const auto search = [&](int64_t point, int64_t reach) { return NearestUpwardCrossing({file}, 0, point, reach); };
  EXPECT_EQ(search(0, 0), kNone);  // frame 0 has no frame before it
  EXPECT_EQ(search(6, 3), kNone);  // a stop at the length has no frame at it
  EXPECT_EQ(search(0, 6), kNone);
}

// Dot row L of 16 (0 at the top) holds 1 - (2L + 1) / 16 of the height; the top row also 1.
float AtDotRow(int row) { return row == 0 ? 1.0f : 1.0f - static_cast<float>(2 * row + 1) / 16; }

// A mono seam drawn to a height of 0.5. Before the stop: 44 frames beyond the
// picture at -1; then one frame at the top, 191 of silence, a staircase down
// from the top row, two dot rows a character, 7 frames at the bottom and the
// last one at zero.
// From the start: a frame at the top, 3 on row 4, then 4 that reach from the
// top to row 14, 192 frames on row 11, and nothing after.
ChannelSamples Before() {
  std::vector<float> s(44, -1.0f);
  s.push_back(0.5f);
  s.resize(44 + 192, 0.0f);
  for (int row = 0; row < 14; row += 2) s.resize(s.size() + 8, 0.5f * AtDotRow(row));
  s.resize(s.size() + 7, -0.5f);
  s.push_back(0.0f);
  return {s};
}

ChannelSamples After() {
  std::vector<float> s = {0.5f, 0.25f, 0.25f, 0.25f, -0.375f, 0.5f, 0.25f, 0.0f};
  s.resize(200, -0.2f);
  return {s};
}

// Three pictures, in tests/golden/seam_view.txt: the mono seam above in braille and in ASCII,
// then stereo silence, drawn flat at the least height.
TEST(SeamView, BrailleAsciiAndSilence) {
  std::ifstream f(std::string(GOLDEN_DIR) + "/seam_view.txt");
  const std::string want{std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>()};
  const std::vector<float> silence(300, 0.0f);
  EXPECT_EQ(SeamViewText(Before(), After(), true) + SeamViewText(Before(), After(), false) +
                SeamViewText({silence, silence}, {silence, silence}, false),
            want);
}

}  // namespace
