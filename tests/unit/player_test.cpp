// The selection's arithmetic at its edges and the times typed (tests/e2e/menu.test has each word's plain move);
// the seam tools' step, nearest zero crossing going up and picture.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <tuple>

#include "seam/seam.h"
#include "seam/seam_view.h"
#include "player/selection.h"
#include "seam/zero_crossing.h"

namespace {

using V = std::vector<float>;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();
constexpr auto kNone = std::nullopt;

// Edits that reach the ends of 900 frames with a nudge of 50; sums that saturate.
TEST(Selection, EditsStopAtTheEnds) {
  using E = Edit;
  const struct { Edit edit; int64_t start, stop, wantStart, wantStop; } kRows[] = {
      {E::JumpAhead, 700, 900, 900, 900}, {E::JumpBack, 100, 300, 0, 100}, {E::StartForward, 100, 120, 120, 120},
      {E::StartBack, 30, 500, 0, 500}, {E::BothForward, 870, 900, 920, 900}, {E::BothBack, 30, 40, 0, 0},
      {E::StopForward, 100, 880, 100, 900}, {E::StopForward, 100, -100, 100, 900}, {E::StopBack, 100, 120, 100, 100},
      {E::WholeFile, 300, 100, 0, 900}};
  for (const auto& r : kRows) {
    const Selection got = ApplyEdit(r.edit, {r.start, r.stop}, 900, 50);
    EXPECT_EQ(std::pair(got.start, got.stop), std::pair(r.wantStart, r.wantStop)) << &r - kRows;
  }
  EXPECT_EQ(ApplyEdit(Edit::BothForward, {kMax, kMax}, ~uint64_t{0}, 1).start, kMax);
  EXPECT_EQ(ApplyEdit(Edit::JumpBack, {-kMax, kMax}, 900, 50).start, 0);
  EXPECT_EQ(ApplyEdit(Edit::JumpAhead, {-kMax, kMax}, ~uint64_t{0}, 50).stop, kMax);
}

// Typed times: whole frames toward zero, a time that is an exact frame giving that frame; points on 900
// frames at 100 Hz.
TEST(Selection, TypedTimes) {
  const struct { uint64_t rate; double seconds; int64_t want; } kRows[] = {
      {3, 0.5, 1},         {3, -0.5, -1},      {1, 1 - 0.5e-6, 1}, {1, 1 - 2e-6, 0},
      {44100, 1e30, kMax}, {1, -1e30, kMin}, {1, NAN, 0}};
  for (const auto& r : kRows) EXPECT_EQ(FramesFromSeconds(r.rate, r.seconds), r.want) << r.seconds;
  for (int64_t rate : {8000, 11025, 44100, 48000})
    for (int n = 1; n <= 999; ++n) EXPECT_EQ(FramesFromSeconds(rate, n / 100.0), rate * n / 100) << n << " at " << rate;
  const struct { double seconds; int64_t in, out; } kPoints[] = {
      {9, 0, 900}, {8.99, 899, 899}, {-1.3, 0, -130}, {NAN, 0, 900}, {-1e30, 0, 900}};
  for (const auto& p : kPoints)
    EXPECT_EQ(std::pair(InFrameFor(100, 900, p.seconds), OutFrameFor(100, 900, p.seconds)), std::pair(p.in, p.out));
  EXPECT_EQ(OutFrameFor(1, 900, -9223372036854775808.0), kMin);
}

// START and STOP on 900 frames at 100 Hz: a frame count past the end counts as not given.
TEST(Selection, TimesOnTheCommandLine) {
  for (const char* bad : {"1.5s", "-5s", "s", "", "nan", "inf"}) EXPECT_FALSE(TimeFromText(bad)) << bad;
  const struct { const char *in, *out; int64_t start, stop; bool outside; } kRows[] = {
      {"0", "0", 0, 900, 0}, {"900s", "900s", 900, 900, 0}, {"901s", "0s", 0, 0, 1}, {"0", "901s", 0, 900, 1},
      {"-1.5", "-1.5", 0, -150, 0}, {"1", "96s", 100, 96, 0}};
  for (const auto& r : kRows) {
    std::string outside;
    const Selection got = ArgumentSelection(*TimeFromText(r.in), *TimeFromText(r.out), 100, 900, &outside);
    EXPECT_EQ(std::tuple(got.start, got.stop, !outside.empty()), std::tuple(r.start, r.stop, r.outside)) << r.in;
  }
}

// A loop plays the frame before the stop, then the start: a click past three typical steps (the
// 16 on each side, the seam left out), or from silence past 0.001.
TEST(Seam, ClickPastThreeTypicalSteps) {
  const struct { V before, after; float step, typical; bool click; } kRows[] = {
      // exactly three typical steps, just past them; no frame before, or after: no step
      {{0.0f, 0.25f}, {1.0f, 1.25f}, 0.75f, 0.25f, false},
      {{0.0f, 0.25f}, {1.0078125f, 1.2578125f}, 0.7578125f, 0.25f, true},
      {{}, {1.0f}, 0.0f, 0.0f, false}, {{1.0f}, {}, 0.0f, 0.0f, false},
      {{0.0f}, {0.5f, 0.75f}, 0.5f, 0.25f, false}, {{0.0f, 0.5f}, {0.5f, 0.5f}, 0.0f, 0.25f, false},
      {V(256, 0.0f), V(256, 0.0009f), 0.0009f, 0.0f, false}, {V(256, 0.0f), V(256, 0.0011f), 0.0011f, 0.0f, true}};
  for (const auto& r : kRows) {
    const SeamMeasure m = MeasureSeam(r.before, r.after);
    EXPECT_EQ(std::tuple(m.step, m.typical, m.click), std::tuple(r.step, r.typical, r.click)) << &r - kRows;
  }
  // steps of 1 just beyond the nearest 16 each side, then the 16th each side
  V before(40, 0.0f), after(40, 0.0f);
  before[40 - 18] = after[17] = 1.0f;
  EXPECT_EQ(MeasureSeam(before, after).typical, 0.0f);
  before[40 - 17] = after[16] = 1.0f;
  EXPECT_EQ(MeasureSeam(before, after).typical, 2.0f / 32);
}

// Frames 100 to 109 of a mono file: upward crossings at 102 (onto zero) and 106. Onto zero counts, from zero or
// going down not; 100 has no frame before it here; a tie: the earlier wins; a negative reach looks at the point;
// 102 lies kMax + 102 from -kMax.
TEST(ZeroCrossing, NearestUpwardCrossing) {
  const ChannelSamples signal = {{0.5f, -0.5f, 0.0f, 0.5f, 0.5f, -0.5f, 0.5f, 0.5f, -0.5f, -0.5f}};
  const struct { int64_t point, reach; std::optional<int64_t> want; } kRows[] = {
      {102, 0, 102}, {103, 0, kNone}, {105, 0, kNone}, {100, 5, 102},   {104, 1, kNone},  {104, 2, 102},
      {105, 3, 106}, {108, -4, kNone}, {102, -1, 102}, {40, 61, kNone}, {40, 62, 102},   {300, kMax, 106},
      {-5, 106, kNone}, {-kMax, kMax, kNone},
  };
  for (const auto& r : kRows) EXPECT_EQ(NearestUpwardCrossing(signal, 100, r.point, r.reach), r.want) << &r - kRows;
  // stereo: left plus right; silence has none; the edges of a file are none
  EXPECT_EQ(NearestUpwardCrossing({{-0.5f, 0.3f, 0.5f}, {0.4f, -0.5f, -0.6f}}, 7, 8, 1), kNone);
  EXPECT_EQ(NearestUpwardCrossing({{-0.5f, 0.3f, 0.5f}, {0.4f, 0.0f, 0.0f}}, 7, 8, 1), 8);
  EXPECT_EQ(NearestUpwardCrossing({V(1000, 0.0f), V(1000, 0.0f)}, 0, 500, 500), kNone);
  EXPECT_EQ(NearestUpwardCrossing({}, 0, 0, 10), kNone);
  const ChannelSamples file = {{0.5f, 0.5f, -0.5f, -0.5f, -0.5f, -0.5f}};
  EXPECT_EQ(NearestUpwardCrossing(file, 0, 0, 6), kNone);
  EXPECT_EQ(NearestUpwardCrossing(file, 0, 6, 3), kNone);
}

// A ramp rising 0.01 a frame to `last` at frame 19, going on from `first` at frame 20: the ramp itself, under three
// typical steps; over three, a jump through zero (tests/e2e/snap-jump.test has one onto zero) is no crossing.
TEST(ZeroCrossing, AJumpThroughZeroIsNoCrossing) {
  const struct { float last, first; bool crossing; } kRows[] = {
      {-0.005f, 0.005f, true}, {-0.015f, 0.014f, true}, {-0.016f, 0.015f, false}};
  for (const auto& r : kRows) {
    V s;
    for (int i = 19; i >= 0; --i) s.push_back(r.last - 0.01f * static_cast<float>(i));
    for (int i = 0; i < 20; ++i) s.push_back(r.first + 0.01f * static_cast<float>(i));
    EXPECT_EQ(NearestUpwardCrossing({s}, 0, 20, 5), r.crossing ? std::optional<int64_t>(20) : kNone) << r.last;
  }
}

// Below zero for 300000 frames but for two upward crossings, read a window at a time, never past the end and never
// more than a window and the steps around it. Each is a ramp of 16 frames up to 0 and 20 frames flat: smooth only
// with the ramp in sight, as for the last row, first in its window. Silence: at once, past both ends.
TEST(ZeroCrossing, FarCrossingsAreFoundAWindowAtATime) {
  V s(300000, -0.8f);
  for (int64_t at : {60000, 240000}) {
    for (int j = 1; j <= 16; ++j) s[at - j] = -0.05f * static_cast<float>(j);
    std::fill(s.begin() + at, s.begin() + at + 20, 0.0f);
  }
  int64_t most = 0;
  const FrameReader read = [&](int64_t first, int64_t count) {
    most = std::max(most, count);
    EXPECT_LE(first + count, 300000);
    return ChannelSamples{{s.begin() + first, s.begin() + std::min<int64_t>(first + count, 300000)}};
  };
  const struct { int64_t point, reach; std::optional<int64_t> want; } kRows[] = {
      {150000, 90000, 60000}, {150000, 89999, kNone}, {170000, 80000, 240000}, {170000, 69999, kNone},
      {0, kMax, 60000}, {300000, 60000, 240000}, {239990, 5, kNone}, {60000, 0, 60000},
      {240000 - 65536, kMax, 240000}};
  for (const auto& r : kRows) EXPECT_EQ(FindUpwardCrossing(r.point, r.reach, 300000, read), r.want) << r.point;
  EXPECT_LE(most, 65536 + 33);
  const FrameReader quiet = [](int64_t, int64_t count) { return ChannelSamples{V(count, 0.0f)}; };
  EXPECT_EQ(FindUpwardCrossing(5, kMax, 10, quiet), kNone);
  // up onto zero at the file's last frame
  const V tail = {-0.25f, -0.2f, -0.15f, -0.1f, -0.05f, 0.0f};
  const FrameReader last = [&](int64_t first, int64_t count) { return ChannelSamples{{tail.begin() + first, tail.begin() + first + count}}; };
  EXPECT_EQ(FindUpwardCrossing(2, 5, 6, last), 5);
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

// The mono seam above, in braille (tests/e2e/seam.test has ASCII).
TEST(SeamView, BrailleAndAscii) {
  EXPECT_EQ(SeamViewText(Before(), After(), true), R"(seam: 256 frames before the stop | 256 from the start, scaled to 0.50
mono
⡇⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠉⠤⠀⠀⠀⠀⠀⠀│⣿⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀
⡇⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠉⠤⠀⠀⠀⠀│⢹⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀
⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠉⠀⠀⠀⠀⠉⠤⠀⢸│⢸⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⣀⠀⠀⠀⠀⠀⠀⠀
⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠉⣸│⠸⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀⠀
mono: seam step = 0.500, typical step = 0.103, likely to click
)");
}

}  // namespace
