#include "player/play_pass.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstring>

#include "wave/wave_file.h"

namespace {

// The width is a constant here, so each copy compiles to a plain move.
template <size_t W>
void Widen(uint64_t frames, const unsigned char* in, unsigned char* out) {
  for (uint64_t k = 0; k < frames; ++k, in += W, out += 2 * W) {
    std::memcpy(out, in, W);
    std::memcpy(out + W, in, W);
  }
}

// Copies each of `frames` mono samples of `width` bytes into both channels.
void Interleave(uint64_t frames, size_t width, const unsigned char* in, unsigned char* out) {
  switch (width) {
    case 1: Widen<1>(frames, in, out); break;
    case 2: Widen<2>(frames, in, out); break;
    case 3: Widen<3>(frames, in, out); break;
    case 4: Widen<4>(frames, in, out); break;
    case 8: Widen<8>(frames, in, out); break;
  }
}

// The frame a loop ends at: the stop, or the end of the file if sooner.
int64_t LoopEnd(const Selection& sel, const Source& source) {
  return std::min(sel.stop, LengthAsFrame(source.latest.lengthFrames));
}

void PrintSelection(int64_t start, int64_t end, uint64_t rate) {
  std::puts("Playing...");
  std::printf("start = %.2f sec\n", static_cast<double>(SecondsFromFrames(start, rate)));
  std::printf("stop  = %.2f sec\n", static_cast<double>(SecondsFromFrames(end, rate)));
}

// Narrows `count` 64-bit float samples to 32-bit, each written `copies` times
// (twice to widen mono); values beyond the float range are clamped, not undefined.
void NarrowFloats(uint64_t count, int copies, const unsigned char* in, unsigned char* out) {
  static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "wave samples are little-endian");
  for (uint64_t i = 0; i < count; ++i, in += 8) {
    double d;
    std::memcpy(&d, in, 8);
    const float f = static_cast<float>(std::clamp<double>(d, -FLT_MAX, FLT_MAX));
    for (int c = 0; c < copies; ++c, out += 4) std::memcpy(out, &f, 4);
  }
}

// Reads up to `want` frames from `pos` into the device's buffer, widening mono
// and converting where the device needs it; returns the frames read.
uint64_t ReadPeriod(const Source& source, Output* out, int64_t pos, uint64_t want) {
  const StreamAttributes& a = source.latest;
  const bool convert = out->encoding != source.encoding;
  const bool mono = a.channels == 1;
  unsigned char* in = mono || convert ? out->fileFrames.data() : out->deviceFrames.data();
  const uint64_t got = ReadFrames(source.file.Get(), a, static_cast<uint64_t>(pos), want, in);
  if (convert)
    NarrowFloats(got * a.channels, mono ? 2 : 1, in, out->deviceFrames.data());
  else if (mono)
    Interleave(got, a.bytesPerSample, in, out->deviceFrames.data());
  return got;
}

// The file changed under the pass. When the open file itself was written, it
// is waited out in silence, and no loop counted: in follow mode the pass then
// starts again from the file as saved; otherwise it plays on, through the
// header as it is now, so that no byte plays through a stale layout.
Outcome FollowChange(Source* s, Waiter* w) {
  if (!Touched(s)) {
    s->watch.changed = false;  // another file under its name, which the next pass opens
    return {};
  }
  const uint64_t before = s->latest.lengthFrames;
  Found found;
  const Event e = s->watch.follow ? Settle(s, w, kSave) : Reread(s, w, &found);
  if (e != Event::Ready || s->watch.follow) return {e == Event::Ready ? Event::Save : e};
  if (found == Found::Missing || found == Found::NoData) {
    s->latest.lengthFrames = 0;  // nothing left to play in this pass; the next one says why
    return {};
  }
  if (auto failure = Take(s, before, "\n")) return {Event::Failed, *failure};
  return {};
}

// Plays the selection once from `start`: Ready when it ran to its end.
Outcome PlayOnce(int64_t start, const Session& session, Source* s, Output* out, Waiter* w) {
  const unsigned wants = s->watch.follow ? kSave : 0u;
  for (int64_t pos = start;;) {
    // without a watch, every period looks at the file itself
    if (s->watch.changed || !s->watch.fd.Valid()) {
      const Outcome o = FollowChange(s, w);
      if (o.event != Event::Ready) return o;
    }
    const int64_t end = LoopEnd(session.selection, *s);
    if (pos >= end) return {};
    const uint64_t want = std::min<uint64_t>(out->periodFrames, static_cast<uint64_t>(end - pos));
    const uint64_t got = ReadPeriod(*s, out, pos, want);
    if (got == 0) return {};  // the file ends sooner than its header says
    Event e = Feed(out, w, got, wants);
    if (e == Event::Failed) return {e, DeviceFailure(out->error)};
    if (e != Event::Ready) return {e};
    std::printf("\rclock = %.2f sec", static_cast<double>(SecondsFromFrames(pos, s->latest.sampleRate)));
    pos += static_cast<int64_t>(got);
    // for a device that never makes us wait
    e = Glance(w, wants);
    if (e == Event::Stop || e == Event::Save) return {e};
  }
}

}  // namespace

bool PlaysNothing(const Session& session, const Source& source) {
  // a start before the data would play the header as sound
  return session.loopCount > 0 && std::max<int64_t>(session.selection.start, 0) >= LoopEnd(session.selection, source);
}

Outcome PlayPass(const Session& session, Source* source, Output* out, Waiter* w) {
  const Selection& sel = session.selection;
  const int64_t start = std::max<int64_t>(sel.start, 0);
  PrintSelection(sel.start, LoopEnd(sel, *source), source->latest.sampleRate);
  for (int i = 0; i < session.loopCount; ++i) {
    // a file shorter than the start has nothing to loop over: no loop is counted
    if (PlaysNothing(session, *source)) {
      // "p" said why a reversed selection plays nothing; "w" of an empty file did not
      if (sel.start < sel.stop) std::puts("Start time is past the end of the file!");
      if (sel.start == sel.stop) std::puts(NothingBetween(sel));
      return {};
    }
    if (session.loopCount != 1) std::printf("\nLoops remaining: %i\n", session.loopCount - i - 1);
    const Outcome o = PlayOnce(start, session, source, out, w);
    if (o.event != Event::Ready) return o;
  }
  return {};
}
