#include "player/play_pass.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/fatal.h"
#include "player/interrupt.h"
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

// Plays the selection once; false when an interrupt stopped it.
bool PlayOnce(const Selection& sel, const Source& source, Output* out) {
  const StreamAttributes& a = source.now;
  const bool mono = a.channels == 1;
  unsigned char* in = mono ? out->fileFrames.data() : out->deviceFrames.data();
  const int64_t end = std::min(sel.stop, LengthAsFrame(a.lengthFrames));
  // a start before the data would play the header as sound
  for (int64_t pos = std::max<int64_t>(sel.start, 0); pos < end;) {
    if (StopRequested()) return false;
    const uint64_t want = std::min<uint64_t>(out->periodFrames, static_cast<uint64_t>(end - pos));
    const uint64_t got = ReadFrames(source.file.Get(), a, static_cast<uint64_t>(pos), want, in);
    if (got == 0) break;
    if (mono) Interleave(got, a.bytesPerSample, in, out->deviceFrames.data());
    DeviceError error;
    switch (WriteFrames(out, got, &error)) {
      case WriteResult::Done: break;
      case WriteResult::Stopped: return false;
      case WriteResult::Failed: Fatal(1, stderr, DeviceErrorLine(error));
    }
    std::printf("\rclock = %.2f sec", static_cast<double>(SecondsFromFrames(pos, a.sampleRate)));
    pos += static_cast<int64_t>(got);
  }
  return true;
}

}  // namespace

PassEnd PlayPass(const Session& session, const Source& source, Output* out) {
  PrintSelection(session.selection, source.now.sampleRate);
  for (int i = 0; i < session.loopCount; ++i) {
    if (session.loopCount != 1) std::printf("\nLoops remaining: %i\n", session.loopCount - i - 1);
    if (!PlayOnce(session.selection, source, out)) return PassEnd::Stopped;
  }
  return PassEnd::Played;
}
