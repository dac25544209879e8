#include "player/selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

TEST(Selection, EditsClampAsDocumented) {
  const struct {
    Edit edit;
    Selection before, after;
  } kRows[] = {
      {Edit::WholeFile, {300, 500}, {0, 900}},     {Edit::JumpAhead, {300, 500}, {500, 700}},
      {Edit::JumpAhead, {700, 900}, {900, 900}},   {Edit::JumpBack, {300, 500}, {100, 300}},
      {Edit::JumpBack, {100, 300}, {0, 100}},      {Edit::StartForward, {100, 120}, {120, 120}},
      {Edit::StartForward, {100, 500}, {150, 500}}, {Edit::StartBack, {30, 500}, {0, 500}},
      {Edit::StartBack, {300, 500}, {250, 500}},   {Edit::BothForward, {870, 900}, {920, 900}},
      {Edit::BothForward, {100, 200}, {150, 250}}, {Edit::BothBack, {30, 40}, {0, 0}},
      {Edit::BothBack, {300, 500}, {250, 450}},    {Edit::StopForward, {100, 880}, {100, 900}},
      {Edit::StopForward, {100, -100}, {100, 900}},  // a negative stop counts as past the end
      {Edit::StopBack, {100, 120}, {100, 100}},    {Edit::StopBack, {100, 500}, {100, 450}},
  };
  for (const auto& r : kRows) {
    const Selection got = ApplyEdit(r.edit, r.before, 900, 50);  // 900 frames, nudged by 50
    EXPECT_EQ(got.start, r.after.start) << static_cast<int>(r.edit) << " from " << r.before.start;
    EXPECT_EQ(got.stop, r.after.stop) << static_cast<int>(r.edit) << " from " << r.before.start;
  }
}

TEST(Selection, ArithmeticSaturates) {
  const Selection far{kMax - 10, kMax};
  EXPECT_EQ(ApplyEdit(Edit::BothForward, far, ~uint64_t{0}, kMax).start, kMax);
  EXPECT_EQ(ApplyEdit(Edit::JumpBack, {-kMax, kMax}, 900, 50).start, 0);
  EXPECT_EQ(ApplyEdit(Edit::JumpAhead, {-kMax, kMax}, ~uint64_t{0}, 50).stop, kMax);
}

// A 100 Hz file of 900 frames: in-times at or past its end, negative or not finite give the
// start; out-times past its end or not finite give the end, negative ones are kept.
TEST(Selection, TypedTimes) {
  const struct {
    float seconds;
    int64_t in, out;
  } kRows[] = {{2.5f, 250, 250}, {9.0f, 0, 900}, {12.0f, 0, 900}, {-1.0f, 0, -100},
               {NAN, 0, 900},    {INFINITY, 0, 900}, {-INFINITY, 0, 900}, {-1e30f, 0, 900}};
  for (const auto& r : kRows) {
    EXPECT_EQ(InFrameFor(100, 900, r.seconds), r.in) << r.seconds;
    EXPECT_EQ(OutFrameFor(100, 900, r.seconds), r.out) << r.seconds;
  }
  EXPECT_EQ(FramesFromSeconds(200, 1.5f), 300);
  EXPECT_EQ(FramesFromSeconds(44100, 1e30f), kMax);
  EXPECT_EQ(FramesFromSeconds(44100, -1e30f), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(FramesFromSeconds(44100, NAN), 0);
}

}  // namespace
