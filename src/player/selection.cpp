#include "player/selection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace {

// A stop past the end (a negative one counts as past it) is pulled back to the end.
int64_t ClipToLength(int64_t stop, uint64_t length) {
  return static_cast<uint64_t>(stop) > length ? LengthAsFrame(length) : stop;
}

// A frame count given as START or STOP: one past the end says so, and counts as not given (`unset`).
int64_t GivenFrame(int64_t frame, const char* name, int64_t unset, uint64_t length, std::string* outside) {
  if (static_cast<uint64_t>(frame) <= length) return frame;
  if (!outside->empty()) *outside += '\n';
  *outside += std::string(name) + " " + std::to_string(frame) + "s is past the end of the file (" +
              std::to_string(length) + "s)";
  return unset;
}

}  // namespace

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

std::optional<TypedTime> TimeFromText(const std::string& text) {
  // digits, then "s"
  if (text.size() > 1 && text.back() == 's' && text.find_first_not_of("0123456789") == text.size() - 1)
    return TypedTime{0, std::strtoll(text.c_str(), nullptr, 10), true};
  char* end;
  const double seconds = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || *end != '\0' || !std::isfinite(seconds)) return std::nullopt;
  return TypedTime{seconds, 0, false};
}

Selection ArgumentSelection(const TypedTime& in, const TypedTime& out, uint64_t rate, uint64_t length,
                            std::string* outside) {
  const int64_t end = LengthAsFrame(length);
  Selection sel{0, end};
  if (in.frames)
    sel.start = GivenFrame(in.frame, "START", 0, length, outside);
  else if (in.seconds != 0)
    sel.start = std::max<int64_t>(FramesFromSeconds(rate, in.seconds), 0);
  if (out.frames)
    sel.stop = GivenFrame(out.frame, "STOP", end, length, outside);
  else if (out.seconds != 0)
    sel.stop = FramesFromSeconds(rate, out.seconds);
  return sel;
}
