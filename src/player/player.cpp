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
  if (!OpenDevice(name, source.encoding, static_cast<uint32_t>(source.first.sampleRate),
                  source.first.bytesPerSample, out, &error))
    Fatal(1, stderr, DeviceErrorLine(error));
}

// A pass that returns to the menu can be stopped by Ctrl-C; any other ends the program.
PassEnd PlayStoppable(const Session& session, const Source& source, Output* out) {
  CatchInterrupts();
  PassEnd end = PlayPass(session, source, out);
  if (StopRequested()) end = PassEnd::Stopped;
  if (end == PassEnd::Stopped) DropQueued(*out);  // silence what is queued at once
  DefaultInterrupts();
  return end;
}

// Menu and passes until a word or the end of a pass ends the run.
void Run(const PlayArgs& args, Session* session, Source* source, Output* out) {
  Console console;
  const std::string* firstWord = args.autoCommand ? &args.commandText : nullptr;
  for (;;) {
    const Next next = RunMenu(session, *source, &console, firstWord);
    firstWord = nullptr;
    // the file is read again before every pass, and before the end, so a change is reported
    ReopenSource(source, &session->selection);
    if (next == Next::End) return;
    if (next == Next::PlayAndEnd) {
      PlayPass(*session, *source, out);
      return;
    }
    PlayStoppable(*session, *source, out);
    std::putchar('\n');
  }
}

}  // namespace

void PLAY(const PlayArgs& args) {
  Source source;
  OpenSource(args.path, &source);
  Session session = StartSession(args, source.first);
  Output out;
  OpenOutput(args.deviceName, source, &out);
  Run(args, &session, &source, &out);
  std::putchar('\n');
  std::fflush(stdout);
  CloseDevice(&out);
}
