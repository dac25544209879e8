#include "player/zero_crossing.h"

#include <gtest/gtest.h>

#include <limits>

namespace {

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

TEST(ZeroCrossing, StereoLooksAtLeftPlusRight) {
  const ChannelSamples leftOnly = {{-0.5f, 0.3f}, {0.4f, -0.5f}};  // left goes up, the sum down
  const ChannelSamples sumUp = {{-0.5f, 0.3f}, {0.4f, 0.0f}};
  EXPECT_EQ(NearestUpwardCrossing(leftOnly, 7, 8, 1), kNone);
  EXPECT_EQ(NearestUpwardCrossing(sumUp, 7, 8, 1), 8);
}

TEST(ZeroCrossing, SilenceHasNone) {
  const ChannelSamples silence = {std::vector<float>(1000, 0.0f), std::vector<float>(1000, 0.0f)};
  EXPECT_EQ(NearestUpwardCrossing(silence, 0, 500, 500), kNone);
  EXPECT_EQ(NearestUpwardCrossing({}, 0, 0, 10), kNone);
}

TEST(ZeroCrossing, FileEdgesAreNeverCrossings) {
  // A file of 6 frames that starts on 0.5 and ends below zero.
  const std::vector<float> file = {0.5f, 0.5f, -0.5f, -0.5f, -0.5f, -0.5f};
  const auto search = [&](int64_t point, int64_t reach) { return NearestUpwardCrossing({file}, 0, point, reach); };
  EXPECT_EQ(search(0, 0), kNone);  // frame 0 has no frame before it
  EXPECT_EQ(search(6, 3), kNone);  // a stop at the length has no frame at it
  EXPECT_EQ(search(0, 6), kNone);
}

}  // namespace
