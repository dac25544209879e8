#include "player/selection.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int64_t kMax = std::numeric_limits<int64_t>::max();
constexpr int64_t kMin = std::numeric_limits<int64_t>::min();

// A stop past the end (a negative one counts as past it) is pulled back to the end.
int64_t ClipToLength(int64_t stop, uint64_t length) {
  return static_cast<uint64_t>(stop) > length ? LengthAsFrame(length) : stop;
}

// A millionth of a frame: far below one, and far above the rounding of rate × seconds in doubles
// for a time of up to a day at 48 kHz.
constexpr double kHair = 1e-6;

}  // namespace

int64_t AddFrames(int64_t a, int64_t b) {
  int64_t r;
  return __builtin_add_overflow(a, b, &r) ? (b > 0 ? kMax : kMin) : r;
}

int64_t SubFrames(int64_t a, int64_t b) {
  int64_t r;
  return __builtin_sub_overflow(a, b, &r) ? (b < 0 ? kMax : kMin) : r;
}

int64_t LengthAsFrame(uint64_t length) {
  return static_cast<int64_t>(std::min<uint64_t>(length, kMax));
}

const char* NothingBetween(const Selection& sel) {
  if (sel.start > sel.stop) return "Start time is set later than stop time!";
  if (sel.start == sel.stop) return "Start time and stop time are the same!";
  return nullptr;
}

Selection ApplyEdit(Edit edit, Selection sel, uint64_t fileLength, int64_t nudge) {
  const int64_t s = sel.start, e = sel.stop;
  switch (edit) {
    case Edit::WholeFile:
      return {0, LengthAsFrame(fileLength)};
    case Edit::JumpAhead:
      return {e, ClipToLength(AddFrames(e, SubFrames(e, s)), fileLength)};
    case Edit::JumpBack:
      return {std::max<int64_t>(SubFrames(s, SubFrames(e, s)), 0), s};
    case Edit::StartForward:
      return {std::min(AddFrames(s, nudge), e), e};
    case Edit::StartBack:
      return {std::max<int64_t>(SubFrames(s, nudge), 0), e};
    case Edit::BothForward:
      return {AddFrames(s, nudge), ClipToLength(AddFrames(e, nudge), fileLength)};
    case Edit::BothBack:
      return {std::max<int64_t>(SubFrames(s, nudge), 0), std::max<int64_t>(SubFrames(e, nudge), 0)};
    case Edit::StopForward:
      return {s, ClipToLength(AddFrames(e, nudge), fileLength)};
    case Edit::StopBack:
      return {s, std::max(SubFrames(e, nudge), s)};
  }
  return sel;
}

int64_t FramesFromSeconds(uint64_t rate, double seconds) {
  const double x = static_cast<double>(rate) * seconds;
  if (std::isnan(x)) return 0;
  const double nudged = x + std::copysign(kHair, x);
  // 2^63 is exact in double; anything at or beyond it does not fit
  if (nudged >= 9223372036854775808.0) return kMax;
  if (nudged < -9223372036854775808.0) return kMin;
  return static_cast<int64_t>(nudged);
}

float SecondsFromFrames(int64_t frames, uint64_t rate) {
  return static_cast<float>(frames) / static_cast<float>(rate);
}

int64_t InFrameFor(uint32_t rate, int64_t limit, double seconds) {
  return InFrameAt(limit, FramesFromSeconds(rate, seconds));
}

int64_t OutFrameFor(uint32_t rate, int64_t limit, double seconds) {
  // not a time, or one before the frame range: no point of the file
  if (!std::isfinite(seconds) || static_cast<double>(rate) * seconds < -9223372036854775808.0) return limit;
  return OutFrameAt(limit, FramesFromSeconds(rate, seconds));
}

int64_t InFrameAt(int64_t limit, int64_t frame) { return frame >= 0 && frame < limit ? frame : 0; }

int64_t OutFrameAt(int64_t limit, int64_t frame) { return frame <= limit ? frame : limit; }

