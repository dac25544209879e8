#include "player/seam_view.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string Times(int n, const std::string& s) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
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

const char kTitle[] = "seam: 256 frames before the stop | 256 from the start, scaled to 0.50\n";
const char kVerdict[] = "mono: seam step = 0.500, typical step = 0.103, likely to click\n";

TEST(SeamView, Braille) {
  const std::string b = "\u2800";  // no dots
  const std::string want = std::string(kTitle) + "mono\n" +
      "⡇" + Times(23, b) + "⠉⠤" + Times(6, b) + "│⣿" + Times(31, b) + "\n" +
      "⡇" + Times(25, b) + "⠉⠤" + Times(4, b) + "│⢹" + Times(31, b) + "\n" +
      Times(24, "⠉") + Times(4, b) + "⠉⠤" + b + "⢸│⢸" + Times(24, "⣀") + Times(7, b) + "\n" +
      Times(30, b) + "⠉⣸│⠸" + Times(31, b) + "\n" + kVerdict;
  EXPECT_EQ(SeamViewText(Before(), After(), true), want);
}

TEST(SeamView, Ascii) {
  const std::string want = std::string(kTitle) + "mono\n" +
      ":" + Times(23, " ") + "'-" + Times(6, " ") + "|:" + Times(31, " ") + "\n" +
      ":" + Times(25, " ") + "'-" + Times(4, " ") + "|:" + Times(31, " ") + "\n" +
      Times(24, "'") + Times(4, " ") + "'-" + " :|:" + Times(24, ".") + Times(7, " ") + "\n" +
      Times(30, " ") + "':|:" + Times(31, " ") + "\n" + kVerdict;
  EXPECT_EQ(SeamViewText(Before(), After(), false), want);
}

TEST(SeamView, StereoSilenceIsDrawnFlatAtTheLeastHeight) {
  const std::vector<float> silence(300, 0.0f);
  const std::string blank = Times(32, " ") + "|" + Times(32, " ") + "\n";
  const std::string strip = blank + blank + Times(32, "'") + "|" + Times(32, "'") + "\n" + blank;
  EXPECT_EQ(SeamViewText({silence, silence}, {silence, silence}, false),
            "seam: 256 frames before the stop | 256 from the start, scaled to 0.05\n"
            "left\n" + strip + "right\n" + strip +
            "left: seam step = 0.000, typical step = 0.000, smooth\n"
            "right: seam step = 0.000, typical step = 0.000, smooth\n");
}

}  // namespace
