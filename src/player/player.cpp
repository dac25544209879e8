#include "player/player.h"

#include <algorithm>
#include <cstdio>

#include "app/fatal.h"
#include "player/command_loop.h"
#include "player/console.h"
#include "player/device.h"
#include "player/interrupt.h"
#include "player/play_pass.h"
#include "player/session.h"
#include "player/source.h"
#include "player/wait.h"

namespace {

Session StartSession(const PlayArgs& args, const StreamAttributes& file) {
  Session s;
  s.loopCount = args.loopCount;
  s.selection.start =
      args.inSeconds == 0 ? 0 : std::max<int64_t>(FramesFromSeconds(file.sampleRate, args.inSeconds), 0);
  s.selection.stop = args.outSeconds == 0 ? LengthAsFrame(file.lengthFrames)
                                          : FramesFromSeconds(file.sampleRate, args.outSeconds);
  return s;
}

void OpenOutput(const std::string& name, const Source& source, Output* out) {
  DeviceError error;
  const auto rate = static_cast<uint32_t>(source.first.sampleRate);
  if (!OpenDevice(name, source.encoding, rate, source.first.channels, source.first.bytesPerSample, out,
                  &error)) {
    std::string line = DeviceErrorLine(error);
    if (error.what == kSetFormatFailed) line += "\n" + ConvertingDeviceHint(name);
    Fatal(1, stderr, line);
  }
  const std::string refusal = RateRefusal(rate, out->rate);
  if (!refusal.empty()) Fatal(1, stderr, refusal);
  if (out->encoding != source.encoding)
    std::puts("The device does not take 64-bit float samples: playing them as 32-bit float.");
}

// Plays the selection until a pass runs to its end or is stopped. In follow
// mode a save restarts it at once: the queued sound is dropped, the file read
// again, and the selection played from its start with the full loop count.
// `untilHeard`: a pass ends only when its sound has played.
PassEnd PlayFollowingSaves(Session* session, Source* source, Output* out, bool untilHeard) {
  for (;;) {
    PassEnd end = PlayPass(session, source, out);
    DeviceError error;
    if (end == PassEnd::Played && untilHeard) {
      switch (WaitUntilPlayed(out, &source->watch, &error)) {
        case WriteResult::Done: break;
        case WriteResult::Stopped: end = PassEnd::Stopped; break;
        case WriteResult::Saved: end = PassEnd::Saved; break;
        case WriteResult::Failed: Fatal(1, stderr, DeviceErrorLine(error));
      }
    }
    if (end != PassEnd::Saved) return end;
    std::putchar('\n');
    // saves that come together count once; a file not whole yet plays when its save comes
    for (;;) {
      if (SettleSaves(&source->watch) == Wake::Stop) return PassEnd::Stopped;
      if (ReopenSource(source, &session->selection, true)) break;
      if (Sleep(&source->watch, -1) == Wake::Stop) return PassEnd::Stopped;
    }
    DropQueued(*out);
  }
}

// A pass that returns to the menu ends when its sound has played. Ctrl-C stops
// it, and drops what is queued; anywhere else Ctrl-C ends the program.
void PlayStoppable(Session* session, Source* source, Output* out) {
  CatchInterrupts();
  if (PlayFollowingSaves(session, source, out, true) == PassEnd::Stopped || StopRequested())
    DropQueued(*out);
  DefaultInterrupts();
}

// The last pass's sound plays out before the device closes; a device that
// fails meanwhile is reported, since the tail was never heard.
void Release(Output* out) {
  std::putchar('\n');
  DeviceError error;
  if (WaitUntilPlayed(out, nullptr, &error) == WriteResult::Failed || !CloseDevice(out, &error))
    Fatal(1, stderr, DeviceErrorLine(error));
}

// Menu and passes until a word or the end of a pass ends the run.
void Run(const PlayArgs& args, Session* session, Source* source, Output* out) {
  Console console;
  console.buffered = args.typedAhead;
  console.watch = &source->watch;
  const std::string* firstWord = args.autoCommand ? &args.commandText : nullptr;
  for (;;) {
    bool bySave = false;
    const Next next = RunMenu(session, source, &console, firstWord, &bySave);
    firstWord = nullptr;
    // the file is read again before every pass, and before the end, so a change
    // is reported; a save of a file not whole yet plays when its own save comes
    if (!ReopenSource(source, &session->selection, bySave)) continue;
    if (next == Next::End) return;
    if (next == Next::PlayAndEnd) {
      PlayFollowingSaves(session, source, out, false);
      return;
    }
    PlayStoppable(session, source, out);
    std::putchar('\n');
  }
}

}  // namespace

void PLAY(const PlayArgs& args) {
  InitInterrupts();
  Source source;
  OpenSource(args.path, &source);
  Session session = StartSession(args, source.first);
  Output out;
  OpenOutput(args.deviceName, source, &out);
  if (args.follow) FollowSaves(&source);
  Run(args, &session, &source, &out);
  Release(&out);
}
