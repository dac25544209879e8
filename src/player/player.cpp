#include "player/player.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "player/command_loop.h"
#include "player/interrupt.h"
#include "player/play_pass.h"
#include "player/selection.h"

namespace {

// Null when memory is short or the size does not fit.
PeriodBuffer AllocatePeriod(snd_pcm_uframes_t frames, size_t frameBytes) {
  constexpr size_t kPage = 4096;
  size_t bytes;
  if (__builtin_mul_overflow(frames, frameBytes, &bytes) || bytes > SIZE_MAX - kPage) return nullptr;
  bytes = (bytes + kPage - 1) / kPage * kPage;  // aligned_alloc wants whole pages here
  return PeriodBuffer(static_cast<unsigned char*>(std::aligned_alloc(kPage, bytes ? bytes : kPage)));
}

void SetUp(PlayerState* s, const std::string& deviceName, float inSeconds, float outSeconds) {
  GetAttributes(s->path, &s->initial);
  std::string why;
  if (!ChooseEncoding(s->initial, &s->encoding, &why)) {
    std::puts(why.c_str());
    std::exit(2);
  }
  s->current = s->initial;
  s->file = OpenRegularFile(s->path.c_str());
  if (!s->file.Valid()) FileNotFound(s->path);

  const uint64_t rate = s->initial.sampleRate;
  s->startFrame = inSeconds == 0 ? 0 : std::max<int64_t>(FramesFromSeconds(rate, inSeconds), 0);
  s->stopFrame = outSeconds == 0 ? LengthAsFrame(s->initial.lengthFrames)
                                 : FramesFromSeconds(rate, outSeconds);

  DeviceError error;
  if (!OpenDevice(deviceName, s->encoding, static_cast<uint32_t>(rate), &s->pcm, &s->periodFrames,
                  &error)) {
    std::fprintf(stderr, error.format, snd_strerror(error.code));
    std::exit(1);
  }
  const size_t sampleBytes = s->initial.bytesPerSample;
  s->outBuffer = AllocatePeriod(s->periodFrames, 2 * sampleBytes);
  if (s->initial.channels == 1) s->readBuffer = AllocatePeriod(s->periodFrames, sampleBytes);
  if (!s->outBuffer || (s->initial.channels == 1 && !s->readBuffer)) {
    std::puts("Unable to allocate the playback buffers!");
    std::exit(1);
  }
  s->fileLength = s->initial.lengthFrames;
}

void Release(PlayerState* s) {
  std::putchar('\n');
  std::fflush(stdout);
  snd_pcm_drain(s->pcm.get());
  s->pcm.reset();
  s->readBuffer.reset();
  s->outBuffer.reset();
  s->file.Reset();
}

// Menu and passes until a word or the end of a pass ends the run.
void RunPlayer(PlayerState* s) {
  for (;;) {
    RunCommandLoop(s);
    // Ctrl-C stops only a pass that comes back to the menu; elsewhere it ends the process
    const bool interruptible = s->action == kPlay && s->exitMode != kEndAfterPass;
    if (interruptible) CatchInterrupts();
    const PassEnd end = PlayPass(s);
    if (interruptible) {
      if (StopRequested()) {
        snd_pcm_drop(s->pcm.get());  // silence what is queued at once
        snd_pcm_prepare(s->pcm.get());
      }
      DefaultInterrupts();
    }
    if (end == PassEnd::EndRun) return;
    s->action = kStay;
    s->exitMode = kBackToMenu;
  }
}

}  // namespace

void PLAY(const std::string& path, const std::string& deviceName, float inSeconds,
          float outSeconds, const std::string& commandText, int autoCommand, int loopCount) {
  PlayerState s;
  s.path = path;
  s.commandText = commandText;
  s.loopCount = loopCount;
  SetUp(&s, deviceName, inSeconds, outSeconds);
  s.action = autoCommand;
  RunPlayer(&s);
  Release(&s);
}
