// The selection's arithmetic where the menu cannot reach: sums that saturate, and times that
// are no number. Every edit, as the menu shows it, is in golden/menu.txt.
#include "player/selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max(), kMin = std::numeric_limits<int64_t>::min();

TEST(Selection, ArithmeticSaturates) {
  EXPECT_EQ(ApplyEdit(Edit::BothForward, {kMax - 10, kMax}, ~uint64_t{0}, kMax).start, kMax);
  EXPECT_EQ(ApplyEdit(Edit::JumpBack, {-kMax, kMax}, 900, 50).start, 0);
  EXPECT_EQ(ApplyEdit(Edit::JumpAhead, {-kMax, kMax}, ~uint64_t{0}, 50).stop, kMax);
  EXPECT_EQ(FramesFromSeconds(44100, 1e30f), kMax);
  EXPECT_EQ(FramesFromSeconds(44100, -1e30f), kMin);
  EXPECT_EQ(FramesFromSeconds(44100, NAN), 0);
  EXPECT_EQ(InFrameFor(100, 900, -1e30f), 0);
  EXPECT_EQ(OutFrameFor(100, 900, -1e30f), 900);
  EXPECT_EQ(OutFrameFor(1, 900, -9223372036854775808.0f), kMin);  // -2^63 still fits
}

}  // namespace
