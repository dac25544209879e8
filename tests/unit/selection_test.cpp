// The selection's arithmetic at its edges (tests/e2e/menu.test has each word's plain move): edits
// that reach the ends, typed times past them or no number, sums that saturate.
#include "player/selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();

TEST(Selection, EditsStopAtTheEnds) {  // on a file of 900 frames, with a nudge of 50
  using E = Edit;
  const struct { Edit edit; int64_t start, stop, wantStart, wantStop; } kRows[] = {
      {E::JumpAhead, 700, 900, 900, 900}, {E::JumpBack, 100, 300, 0, 100}, {E::StartForward, 100, 120, 120, 120},
      {E::StartBack, 30, 500, 0, 500}, {E::BothForward, 870, 900, 920, 900}, {E::BothBack, 30, 40, 0, 0},
      {E::StopForward, 100, 880, 100, 900}, {E::StopForward, 100, -100, 100, 900}, {E::StopBack, 100, 120, 100, 100},
      {E::WholeFile, 300, 100, 0, 900}};
  for (const auto& r : kRows) {
    const Selection got = ApplyEdit(r.edit, {r.start, r.stop}, 900, 50);
    EXPECT_EQ(std::pair(got.start, got.stop), std::pair(r.wantStart, r.wantStop)) << static_cast<int>(r.edit) << " on " << r.start;
  }
  EXPECT_EQ(ApplyEdit(Edit::BothForward, {kMax, kMax}, ~uint64_t{0}, 1).start, kMax);
  EXPECT_EQ(ApplyEdit(Edit::JumpBack, {-kMax, kMax}, 900, 50).start, 0);
  EXPECT_EQ(ApplyEdit(Edit::JumpAhead, {-kMax, kMax}, ~uint64_t{0}, 50).stop, kMax);
}

// Typed times (tests/e2e has them through the menu) that reach the ends: -2^63 frames still fits.
TEST(Selection, TypedTimes) {
  EXPECT_EQ(OutFrameFor(1, 900, -9223372036854775808.0f), kMin);
  EXPECT_EQ(InFrameFor(100, 900, 9), 0);  // an in-time at the end is the start
  EXPECT_EQ(FramesFromSeconds(44100, 1e30f), kMax);
  EXPECT_EQ(FramesFromSeconds(44100, NAN), 0);
}

}  // namespace
