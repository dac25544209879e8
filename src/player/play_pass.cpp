#include "player/play_pass.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "player/clock_line.h"
#include "player/interleave.h"
#include "player/interrupt.h"
#include "player/selection.h"

namespace {

// A clock line waits in the output buffer at most this long, so the console
// sees each within a tenth of a second without a write per period.
constexpr int64_t kClockFlushNs = 50'000'000;

int64_t NowNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<int64_t>(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

const char* Warning(HeaderChange change) {
  switch (change) {
    case HeaderChange::SampleRate: return "WARNING: Wavefile samplerate has changed!  Restart the program.";
    case HeaderChange::BitDepth: return "WARNING: Wavefile bit depth has changed!  Restart the program.";
    case HeaderChange::Channels: return "WARNING: Wavefile channel number has changed!  Restart the program.";
    case HeaderChange::None: break;
  }
  return "";
}

// Re-reads the header and follows a file replaced under the same name.
void RecheckHeader(PlayerState* s) {
  GetAttributes(s->path, &s->current);
  const HeaderChange change = CompareHeaders(s->initial, s->current);
  if (change != HeaderChange::None) {
    std::puts(Warning(change));
    std::exit(1);
  }
  s->fileLength = s->current.lengthFrames;
  if (s->current.lengthFrames != s->initial.lengthFrames) {
    std::puts("WARNING: Wavefile length has changed!");
    if (static_cast<uint64_t>(s->stopFrame) > s->fileLength)
      s->stopFrame = LengthAsFrame(s->fileLength);
  }
  if (!NamesSameFile(s->path, s->file.Get())) {
    s->file = OpenRegularFile(s->path.c_str());
    if (!s->file.Valid()) FileNotFound(s->path);
  }
}

void PrintSelection(PlayerState* s) {
  if (s->current.sampleRate != 0) {
    s->startSeconds = SecondsFromFrames(s->startFrame, s->current.sampleRate);
    s->stopSeconds = SecondsFromFrames(s->stopFrame, s->current.sampleRate);
  }
  std::puts("Playing...");
  std::printf("start = %.2f sec\n", static_cast<double>(s->startSeconds));
  std::printf("stop  = %.2f sec\n", static_cast<double>(s->stopSeconds));
}

// When the clock line was last flushed, and how many more device writes are
// sure not to wait (the device only ever frees room), so that the device need
// not be asked before every one.
struct ClockFlush {
  int64_t lastNs;
  snd_pcm_sframes_t writesThatCannotWait = 0;
};

// Prints the clock line for the period at `pos`.
void ShowClock(const PlayerState& s, int64_t pos, ClockFlush* f) {
  char clock[kClockLineSize];
  // one thread writes standard output: no need for stdio's lock per period
  fwrite_unlocked(clock, 1, FormatClockLine(SecondsFromFrames(pos, s.current.sampleRate), clock), stdout);
  const int64_t now = NowNs();
  bool nextWriteWaits = false;
  if (--f->writesThatCannotWait < 0) {
    const snd_pcm_sframes_t room = snd_pcm_avail_update(s.pcm.get());
    const auto period = static_cast<snd_pcm_sframes_t>(s.periodFrames);
    nextWriteWaits = room < period;
    f->writesThatCannotWait = nextWriteWaits || period == 0 ? 0 : room / period - 1;
  }
  // flush when the text is due, or before a write that will wait for the device
  if (now - f->lastNs >= kClockFlushNs || nextWriteWaits) {
    std::fflush(stdout);
    f->lastNs = now;
  }
}

// Plays the selection once; returns false when an interrupt stopped it.
bool PlayOnce(PlayerState* s, ClockFlush* flush) {
  const StreamAttributes& a = s->current;
  const bool mono = a.channels == 1;
  const uint64_t fileFrameBytes = FrameBytes(a);
  const size_t deviceFrameBytes = 2 * size_t{a.bytesPerSample};
  unsigned char* in = mono ? s->readBuffer.get() : s->outBuffer.get();
  const int64_t end = PlayEnd(s->stopFrame, a.lengthFrames);
  // a start before the data would play the header as sound
  for (int64_t pos = std::max<int64_t>(s->startFrame, 0); pos < end;) {
    const uint64_t want = std::min<uint64_t>(s->periodFrames, static_cast<uint64_t>(end - pos));
    const uint64_t offset = a.dataOffset + static_cast<uint64_t>(pos) * fileFrameBytes;
    // only whole frames: a short read never sends stale bytes
    const uint64_t got = ReadAt(s->file.Get(), in, want * fileFrameBytes, offset) / fileFrameBytes;
    if (got == 0) break;
    if (mono)
      Interleave(static_cast<int>(got), static_cast<int>(a.bytesPerSample),
                 reinterpret_cast<const signed char*>(in), reinterpret_cast<const signed char*>(in),
                 reinterpret_cast<signed char*>(s->outBuffer.get()));
    int error = 0;
    switch (WriteFrames(s->pcm.get(), s->outBuffer.get(), got, deviceFrameBytes, &error)) {
      case WriteResult::Done: break;
      case WriteResult::Stopped: return false;
      case WriteResult::Failed:
        std::fprintf(stderr, "Unable to write to pcm device: %s\n", snd_strerror(error));
        std::exit(1);
    }
    ShowClock(*s, pos, flush);
    pos += static_cast<int64_t>(got);
  }
  return !StopRequested();
}

}  // namespace

HeaderChange CompareHeaders(const StreamAttributes& initial, const StreamAttributes& current) {
  if (current.sampleRate != initial.sampleRate) return HeaderChange::SampleRate;
  // the same width as float instead of integer is a different depth too
  if (current.bitsPerSample != initial.bitsPerSample || current.formatCode != initial.formatCode)
    return HeaderChange::BitDepth;
  if (current.channels != initial.channels) return HeaderChange::Channels;
  return HeaderChange::None;
}

int64_t PlayEnd(int64_t stopFrame, uint64_t lengthFrames) {
  return std::min(stopFrame, LengthAsFrame(lengthFrames));
}

PassEnd PlayPass(PlayerState* s) {
  RecheckHeader(s);
  if (s->action == kExit) return PassEnd::EndRun;
  PrintSelection(s);
  ClockFlush flush{NowNs()};
  for (int i = 0; i < s->loopCount; ++i) {
    if (s->loopCount != 1) std::printf("\nLoops remaining: %i\n", s->loopCount - i - 1);
    if (!PlayOnce(s, &flush)) break;
  }
  if (s->exitMode == kEndAfterPass) return PassEnd::EndRun;
  std::putchar('\n');
  return PassEnd::BackToMenu;
}
