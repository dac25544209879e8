#include "player/play_pass.h"

#include <algorithm>
#include <cfloat>
#include <cstdio>
#include <cstring>

#include "app/fatal.h"
#include "player/interrupt.h"
#include "player/wait.h"
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

void PrintSelection(const Selection& sel, uint64_t rate) {
  std::puts("Playing...");
  std::printf("start = %.2f sec\n", static_cast<double>(SecondsFromFrames(sel.start, rate)));
  std::printf("stop  = %.2f sec\n", static_cast<double>(SecondsFromFrames(sel.stop, rate)));
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
  const StreamAttributes& a = source.now;
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

// Where the loop's frames end: the stop, or the end of the data if sooner.
int64_t LoopEnd(const Selection& sel, const Source& source) {
  return std::min(sel.stop, LengthAsFrame(source.now.lengthFrames));
}

PassEnd FromWrite(WriteResult result, const DeviceError& error) {
  switch (result) {
    case WriteResult::Done: break;
    case WriteResult::Stopped: return PassEnd::Stopped;
    case WriteResult::Saved: return PassEnd::Saved;
    case WriteResult::Failed: Fatal(1, stderr, DeviceErrorLine(error));
  }
  return PassEnd::Played;
}

// Plays the selection once from `start`; Played when it ran to its end.
PassEnd PlayOnce(int64_t start, Session* session, Source* source, Output* out) {
  Watch* watch = &source->watch;
  for (int64_t pos = start;;) {
    if (StopRequested()) return PassEnd::Stopped;
    // the watch is looked at every period, for devices that never make us wait
    if (Following(*watch) && TakeSaves(watch)) return PassEnd::Saved;
    RecheckUnderPass(source, &session->selection);
    if (!source->complete && Following(*watch)) {
      // a rewrite caught half way: its save comes when it is done
      const Wake wake = Sleep(watch, -1);
      if (wake == Wake::Save) return PassEnd::Saved;
      if (wake == Wake::Stop) return PassEnd::Stopped;
      continue;
    }
    const int64_t end = LoopEnd(session->selection, *source);
    if (pos >= end) return PassEnd::Played;
    const uint64_t want = std::min<uint64_t>(out->periodFrames, static_cast<uint64_t>(end - pos));
    const uint64_t got = ReadPeriod(*source, out, pos, want);
    if (got == 0) return PassEnd::Played;
    DeviceError error;
    const PassEnd written = FromWrite(WriteFrames(out, watch, got, &error), error);
    if (written != PassEnd::Played) return written;
    std::printf("\rclock = %.2f sec", static_cast<double>(SecondsFromFrames(pos, source->now.sampleRate)));
    pos += static_cast<int64_t>(got);
  }
}

}  // namespace

PassEnd PlayPass(Session* session, Source* source, Output* out) {
  const Selection& sel = session->selection;
  PrintSelection(sel, source->now.sampleRate);
  // a start before the data would play the header as sound
  const int64_t start = std::max<int64_t>(sel.start, 0);
  if (start >= LoopEnd(sel, *source)) return PassEnd::Played;  // nothing to loop over, however many loops
  for (int i = 0; i < session->loopCount; ++i) {
    if (session->loopCount != 1) std::printf("\nLoops remaining: %i\n", session->loopCount - i - 1);
    const PassEnd end = PlayOnce(start, session, source, out);
    if (end != PassEnd::Played) return end;
  }
  return PassEnd::Played;
}
