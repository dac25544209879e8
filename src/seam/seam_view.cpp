#include "seam/seam_view.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "seam/seam.h"

namespace {

constexpr int kRows = 4;             // text rows per strip
constexpr int kColumnsPerSide = 32;  // text columns each side of the mark
constexpr float kLeastHeight = 0.05f;

// The dots one character holds, and how frames fall on them.
struct Grid {
  int dotsAcross;  // dot columns per character
  int dotsDown;    // dot rows per character
  int FramesPerDot() const { return kSeamSpan / (kColumnsPerSide * dotsAcross); }
  int Levels() const { return kRows * dotsDown; }
};
constexpr Grid kBraille{2, 4};
constexpr Grid kAscii{1, 3};

// The frames one strip draws, left to right; `drawn` is false where a side ran short.
struct Strip {
  std::vector<float> value = std::vector<float>(2 * kSeamSpan, 0.0f);
  std::vector<bool> drawn = std::vector<bool>(2 * kSeamSpan, false);
};

// The strip of one channel; raises `peak` to the largest magnitude drawn.
Strip StripOf(const std::vector<float>& before, const std::vector<float>& after, float* peak) {
  Strip s;
  const auto put = [&](size_t at, float v) {
    s.value[at] = v;
    s.drawn[at] = true;
    *peak = std::max(*peak, std::fabs(v));
  };
  for (size_t k = 0; k < before.size() && k < kSeamSpan; ++k)
    put(kSeamSpan - 1 - k, before[before.size() - 1 - k]);
  for (size_t k = 0; k < after.size() && k < kSeamSpan; ++k) put(kSeamSpan + k, after[k]);
  return s;
}

// The dot row of `v`, counted from the top, for a strip `height` high each way.
int LevelOf(float v, float height, int levels) {
  const float x = (1.0f - v / height) * static_cast<float>(levels) / 2.0f;
  if (!(x > 0.0f)) return 0;  // not-a-number stays off the integer conversion
  return x >= static_cast<float>(levels) ? levels - 1 : static_cast<int>(x);
}

// For each dot column, the first and last dot row its frames reach; first > last when none.
struct Reach {
  int top, bottom;
};

std::vector<Reach> ReachOfDots(const Strip& s, const Grid& g, float height) {
  const int perDot = g.FramesPerDot();
  std::vector<Reach> dots(static_cast<size_t>(2 * kSeamSpan / perDot), Reach{1, 0});
  for (int f = 0; f < 2 * kSeamSpan; ++f) {
    if (!s.drawn[f]) continue;
    Reach& r = dots[static_cast<size_t>(f / perDot)];
    const int level = LevelOf(s.value[f], height, g.Levels());
    if (r.top > r.bottom) r = {level, level};
    r.top = std::min(r.top, level);
    r.bottom = std::max(r.bottom, level);
  }
  return dots;
}

bool Lit(const Reach& r, int level) { return r.top <= level && level <= r.bottom; }

void AppendBraille(const std::vector<Reach>& dots, int row, int column, std::string* out) {
  // dot bits by dot row, for the left and the right dot column
  static const int kLeft[4] = {0x01, 0x02, 0x04, 0x40};
  static const int kRight[4] = {0x08, 0x10, 0x20, 0x80};
  int bits = 0;
  for (int d = 0; d < 4; ++d) {
    if (Lit(dots[static_cast<size_t>(2 * column)], 4 * row + d)) bits |= kLeft[d];
    if (Lit(dots[static_cast<size_t>(2 * column + 1)], 4 * row + d)) bits |= kRight[d];
  }
  *out += '\xE2';  // U+2800 + bits in UTF-8
  *out += static_cast<char>(0xA0 | bits >> 6);
  *out += static_cast<char>(0x80 | (bits & 0x3F));
}

// A character holds three heights: ' at the top, - in the middle, . at the
// bottom; where the wave passes through more than one of them, a :.
void AppendAscii(const std::vector<Reach>& dots, int row, int column, std::string* out) {
  static const char kMark[] = "'-.";
  int lit = 0, which = 0;
  for (int d = 0; d < 3; ++d) {
    if (Lit(dots[static_cast<size_t>(column)], 3 * row + d)) {
      ++lit;
      which = d;
    }
  }
  *out += lit == 0 ? ' ' : lit > 1 ? ':' : kMark[which];
}

void AppendStrip(const Strip& s, bool utf8, float height, std::string* out) {
  const Grid& g = utf8 ? kBraille : kAscii;
  const std::vector<Reach> dots = ReachOfDots(s, g, height);
  for (int row = 0; row < kRows; ++row) {
    for (int column = 0; column < 2 * kColumnsPerSide; ++column) {
      if (column == kColumnsPerSide) *out += utf8 ? "\xE2\x94\x82" : "|";  // the seam
      if (utf8) {
        AppendBraille(dots, row, column, out);
      } else {
        AppendAscii(dots, row, column, out);
      }
    }
    *out += '\n';
  }
}

// The program plays mono and stereo only.
const char* ChannelName(size_t c, size_t channels) {
  return channels == 1 ? "mono" : c == 0 ? "left" : "right";
}

}  // namespace

std::string SeamViewText(const ChannelSamples& before, const ChannelSamples& after, bool utf8) {
  const size_t channels = std::min(before.size(), after.size());
  std::vector<Strip> strips;
  float peak = 0.0f;
  for (size_t c = 0; c < channels; ++c) strips.push_back(StripOf(before[c], after[c], &peak));
  const float height = std::max(peak, kLeastHeight);

  char line[160];
  std::snprintf(line, sizeof line,
                "seam: %d frames before the stop | %d from the start, scaled to %.2f\n", kSeamSpan,
                kSeamSpan, static_cast<double>(height));
  std::string out = line;
  for (size_t c = 0; c < channels; ++c) {
    out += ChannelName(c, channels);
    out += '\n';
    AppendStrip(strips[c], utf8, height, &out);
  }
  return out + SeamVerdictText(before, after);
}

std::string SeamVerdictText(const ChannelSamples& before, const ChannelSamples& after) {
  const size_t channels = std::min(before.size(), after.size());
  std::string out;
  for (size_t c = 0; c < channels; ++c) {
    const SeamMeasure m = MeasureSeam(before[c], after[c]);
    char line[160];
    std::snprintf(line, sizeof line, ": seam step = %.3f, typical step = %.3f, %s\n",
                  static_cast<double>(m.step), static_cast<double>(m.typical),
                  m.click ? "likely to click" : "smooth");
    out += ChannelName(c, channels);
    out += line;
  }
  return out;
}
