#include "player/seam_commands.h"

#include <langinfo.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "seam/seam.h"
#include "seam/seam_view.h"
#include "seam/zero_crossing.h"
#include "wave/sample_decode.h"
#include "wave/wave_file.h"

namespace {

// The file as the last pass found it, opened again, and the selection's frames in it.
struct Look {
  UniqueFd file;
  const Source* source;
  int64_t start, end;  // the frames a pass would loop over
};

// Frames [first, first + count) of the file, decoded; fewer at its end.
ChannelSamples ReadDecoded(const Look& look, int64_t first, int64_t count) {
  const StreamAttributes& a = look.source->played;
  std::vector<unsigned char> bytes(static_cast<size_t>(count) * FrameBytes(a));
  const uint64_t got = ReadFrames(look.file.Get(), a, static_cast<uint64_t>(first), static_cast<uint64_t>(count),
                                  bytes.data());
  return DecodeFrames(look.source->encoding, a.channels, bytes.data(), got);
}

// What both commands need: a selection that loops something, in a file that is
// as the last pass found it. False, after the line that says why, otherwise.
bool Prepare(const Selection& sel, Source* source, int64_t minimum, Look* look) {
  if (const char* nothing = NothingBetween(sel)) return std::puts(nothing), false;
  if (!ReadUnchanged(source, &look->file)) return false;
  look->source = source;
  look->start = std::max<int64_t>(sel.start, 0);
  look->end = std::min(sel.stop, LengthAsFrame(source->played.lengthFrames));
  if (look->end - look->start >= minimum) return true;
  std::printf("The selection is shorter than %" PRId64 " frames: too short for that.\n", minimum);
  return false;
}

// The frames the loop joins: up to kSeamSpan before the stop and from the start, within the selection.
void ReadSeam(const Look& look, ChannelSamples* before, ChannelSamples* after) {
  const int64_t span = std::min<int64_t>(kSeamSpan, look.end - look.start);
  *before = ReadDecoded(look, look.end - span, span);
  *after = ReadDecoded(look, look.start, span);
}

// When `z` left a point alone: if `v` would call the seam likely to click, the
// line that says so and why, for the first channel that would.
void SayIfStillClicks(const Look& look) {
  ChannelSamples before, after;
  ReadSeam(look, &before, &after);
  for (size_t c = 0; c < before.size() && c < after.size(); ++c) {
    const SeamMeasure m = MeasureSeam(before[c], after[c]);
    if (!m.click) continue;
    std::printf("The seam is still likely to click: %s jumps by %.3f across it, where the typical step is %.3f.\n",
                before.size() == 1 ? "the signal" : c == 0 ? "the left channel" : "the right channel",
                static_cast<double>(m.step), static_cast<double>(m.typical));
    return;
  }
}

void SayMoved(const char* which, int64_t from, int64_t to, uint64_t rate) {
  if (from == to) {
    std::printf("%s is at a zero crossing going up already.\n", which);
    return;
  }
  std::printf("%s moved by %+" PRId64 " frames (%+.3f sec) to a zero crossing going up.\n", which,
              to - from, static_cast<double>(SecondsFromFrames(to - from, rate)));
}

}  // namespace

void ViewSeam(const Session& session, Source* source) {
  Look look;
  if (!Prepare(session.selection, source, kSeamSpan, &look)) return;
  ChannelSamples before, after;
  ReadSeam(look, &before, &after);
  const bool utf8 = std::strcmp(nl_langinfo(CODESET), "UTF-8") == 0;
  std::fputs(SeamViewText(before, after, utf8).c_str(), stdout);
}

void SnapToCrossings(Session* session, Source* source) {
  Look look;
  if (!Prepare(session->selection, source, 1, &look)) return;
  const uint64_t rate = source->played.sampleRate;
  const int64_t reach = session->nudgeFrames;
  const int64_t length = LengthAsFrame(source->played.lengthFrames);
  const FrameReader read = [&look](int64_t first, int64_t count) { return ReadDecoded(look, first, count); };
  const auto start = FindUpwardCrossing(look.start, reach, length, read);
  const auto stop = FindUpwardCrossing(look.end, reach, length, read);
  Selection& sel = session->selection;
  // the start stays before the stop, whichever of them moves
  bool startMoved = false, stopMoved = false;
  if (!start) {
    std::printf("Start left alone: no zero crossing going up within %" PRId64 " frames.\n", reach);
  } else if (*start >= (stop ? *stop : look.end)) {
    std::puts("Start left alone: its nearest zero crossing going up is not before the stop.");
  } else {
    SayMoved("Start", look.start, *start, rate);
    startMoved = *start != look.start;
    sel.start = *start;
    look.start = *start;
  }
  if (!stop) {
    std::printf("Stop left alone: no zero crossing going up within %" PRId64 " frames.\n", reach);
  } else if (*stop <= sel.start) {
    std::puts("Stop left alone: its nearest zero crossing going up is not after the start.");
  } else {
    SayMoved("Stop", look.end, *stop, rate);
    stopMoved = *stop != look.end;
    sel.stop = *stop;
    look.end = *stop;
  }
  if (!startMoved || !stopMoved) SayIfStillClicks(look);
}

void SnapKeepingLength(Session* session, Source* source) {
  Look look;
  if (!Prepare(session->selection, source, 1, &look)) return;
  const int64_t reach = session->nudgeFrames;
  const int64_t length = LengthAsFrame(source->played.lengthFrames);
  const FrameReader read = [&look](int64_t first, int64_t count) { return ReadDecoded(look, first, count); };
  const auto start = FindUpwardCrossing(look.start, reach, length, read);
  Selection& sel = session->selection;
  const int64_t shift = start ? *start - look.start : 0;
  if (!start) {
    std::printf("Start left alone: no zero crossing going up within %" PRId64 " frames.\n", reach);
  } else if (AddFrames(look.end, shift) > length) {
    std::puts("Start left alone: the stop would go past the end of the file with it.");
  } else {
    SayMoved("Start", look.start, *start, source->played.sampleRate);
    if (shift != 0) std::printf("Stop moved by %+" PRId64 " frames with it: the length stays.\n", shift);
    sel = {*start, AddFrames(sel.stop, shift)};
    look.start = *start;
    look.end = AddFrames(look.end, shift);
  }
  // the seam as it now stands
  ChannelSamples before, after;
  ReadSeam(look, &before, &after);
  std::fputs(SeamVerdictText(before, after).c_str(), stdout);
}
