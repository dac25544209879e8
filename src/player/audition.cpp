#include "player/audition.h"

#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>

void NewRender(Renders* r, const FileMark& mark) {
  r->current = 1 - r->current;
  Render& now = r->render[r->current];
  now.filled = 0;
  now.kept = {};
  now.mark = mark;
}

void KeepFrames(Renders* r, const Selection& loop, const FileMark& mark, int64_t pos, const unsigned char* frames,
                uint64_t count, size_t frameBytes) {
  Render& now = r->render[r->current];
  const uint64_t length = static_cast<uint64_t>(SubFrames(loop.stop, loop.start));
  if (loop.start >= loop.stop || length > kMostKeptBytes / frameBytes) return;
  if (pos == loop.start && (now.kept.start != loop.start || now.kept.stop != loop.stop || now.filled == 0)) {
    // kept again from the loop's start: another selection, or not yet begun
    now.kept = loop;
    now.filled = 0;
    now.mark = mark;
    now.frames.resize(length * frameBytes);
  }
  const bool same = now.kept.start == loop.start && now.kept.stop == loop.stop;
  if (!same || pos != now.kept.start + now.filled || mark.inode != now.mark.inode) return;
  const uint64_t room = length - static_cast<uint64_t>(now.filled);
  const uint64_t n = std::min(count, room);
  std::memcpy(now.frames.data() + static_cast<size_t>(now.filled) * frameBytes, frames, n * frameBytes);
  now.filled += static_cast<int64_t>(n);
}

bool OtherHolds(const Renders& r, int64_t start, int64_t end) {
  const Render& other = r.render[1 - r.current];
  return start >= other.kept.start && end <= other.kept.start + other.filled && start < end;
}

const unsigned char* OtherFrames(const Renders& r, int64_t pos, size_t frameBytes) {
  const Render& other = r.render[1 - r.current];
  return other.frames.data() + static_cast<size_t>(pos - other.kept.start) * frameBytes;
}

std::string StatusLine(int loop, int64_t start, int64_t end, uint64_t rate, const Level& level, bool other) {
  char line[200];
  const double dbfs = level.peak > 0.0f ? 20.0 * std::log10(static_cast<double>(level.peak)) : -INFINITY;
  std::snprintf(line, sizeof line, "\rloop %i: %.2f to %.2f sec, peak %.1f dBFS, %" PRIu64 " samples at full scale, %s",
                loop, static_cast<double>(SecondsFromFrames(start, rate)),
                static_cast<double>(SecondsFromFrames(end, rate)), dbfs, level.fullScale,
                other ? "the previous render" : "the current render");
  return line;
}
