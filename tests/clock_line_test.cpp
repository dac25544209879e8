#include "player/clock_line.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>

namespace {

void ExpectSameAsPrintf(float seconds) {
  char want[128];
  std::snprintf(want, sizeof want, "\rclock = %.2f sec", static_cast<double>(seconds));
  char got[kClockLineSize];
  EXPECT_EQ(std::string(got, FormatClockLine(seconds, got)), want) << seconds;
}

TEST(ClockLine, SameTextAsPrintf) {
  for (float s : {0.0f, -0.0f, 0.005f, 0.125f, 0.375f, 1.005f, 9.995f, 59.999f, 1e14f, 1e15f,
                  3.4e38f, -1.5f, INFINITY})
    ExpectSameAsPrintf(s);
  std::mt19937 rng(7);
  for (int i = 0; i < 200000; ++i) {  // positions a pass reaches, at common rates
    const uint32_t rates[] = {8000, 22050, 44100, 48000, 96000};
    const auto frames = static_cast<int64_t>(rng() % 400000000);
    ExpectSameAsPrintf(static_cast<float>(frames) / static_cast<float>(rates[i % 5]));
  }
}

}  // namespace
