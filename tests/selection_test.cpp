#include "player/selection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

// The 100 Hz file of 900 frames, nudged by 50.
constexpr uint64_t kLength = 900;
constexpr int64_t kNudge = 50;
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

Selection Apply(Edit e, Selection s) { return ApplyEdit(e, s, kLength, kNudge); }

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
    const Selection got = Apply(r.edit, r.before);
    EXPECT_EQ(got.start, r.after.start) << static_cast<int>(r.edit) << " from " << r.before.start;
    EXPECT_EQ(got.stop, r.after.stop) << static_cast<int>(r.edit) << " from " << r.before.start;
  }
}

TEST(Selection, JumpSequences) {
  Selection s{300, 500};
  for (Selection want : {Selection{500, 700}, Selection{700, 900}, Selection{900, 900}}) {
    s = Apply(Edit::JumpAhead, s);
    EXPECT_EQ(s.start, want.start);
    EXPECT_EQ(s.stop, want.stop);
  }
  s = {300, 500};
  for (Selection want : {Selection{100, 300}, Selection{0, 100}}) {
    s = Apply(Edit::JumpBack, s);
    EXPECT_EQ(s.start, want.start);
    EXPECT_EQ(s.stop, want.stop);
  }
}

TEST(Selection, ArithmeticSaturates) {
  const Selection far{kMax - 10, kMax};
  EXPECT_EQ(ApplyEdit(Edit::BothForward, far, ~uint64_t{0}, kMax).start, kMax);
  EXPECT_EQ(ApplyEdit(Edit::JumpBack, {-kMax, kMax}, 900, 50).start, 0);
  EXPECT_EQ(ApplyEdit(Edit::JumpAhead, {-kMax, kMax}, ~uint64_t{0}, 50).stop, kMax);
}

TEST(Selection, TypedTimes) {
  EXPECT_EQ(InFrameFor(100, 900, 2.5f), 250);
  EXPECT_EQ(InFrameFor(100, 900, 9.0f), 0);  // at the end: back to the start
  EXPECT_EQ(InFrameFor(100, 900, -1.0f), 0);
  EXPECT_EQ(OutFrameFor(100, 900, 12.0f), 900);
  EXPECT_EQ(OutFrameFor(100, 900, 9.0f), 900);
  EXPECT_EQ(OutFrameFor(100, 900, -1.0f), -100);
  for (float bad : {NAN, INFINITY, -INFINITY, -1e30f}) {
    EXPECT_EQ(InFrameFor(100, 900, bad), 0);
    EXPECT_EQ(OutFrameFor(100, 900, bad), 900);
  }
}

TEST(Selection, SecondsToFramesSaturate) {
  EXPECT_EQ(FramesFromSeconds(200, 1.5f), 300);
  EXPECT_EQ(FramesFromSeconds(200, 4.0f), 800);
  EXPECT_EQ(FramesFromSeconds(44100, 1e30f), kMax);
  EXPECT_EQ(FramesFromSeconds(44100, -1e30f), std::numeric_limits<int64_t>::min());
  EXPECT_EQ(FramesFromSeconds(44100, NAN), 0);
}

}  // namespace
