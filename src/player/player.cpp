// One player run: its set-up, the one loop every wait of the run is in, each
// wake handed to the run's state (start, menu, pass, close), and the release.
#include "player/player.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "io/interrupt.h"
#include "player/menu.h"
#include "player/pass.h"
#include "player/run.h"

namespace {

// The device's answer: to the call the run waits for, or to one it let go of
// (cancelled by a stop or a save), after which the device drops or closes.
void OnAnswer(Run* r) {
  for (Answer a; r->device.line && TakeAnswer(&r->device, &a);) {
    const bool idle = r->device.busy == Call::None;
    if (!r->awaited) {
      if (idle && (r->closeNext || r->dropNext)) {
        Ask(&r->device, r->closeNext ? Call::Close : Call::Drop);
        r->awaited = r->closeNext;
        r->closeNext = r->dropNext = false;
      }
      if (idle && r->mode == Mode::Pass) Advance(r);  // a pass may wait for the device to be idle
      continue;
    }
    if (idle) r->awaited = false;
    if (r->mode != Mode::Close) {
      PassOnAnswer(r, a);
    } else if (a.call == Call::Close) {
      if (a.result < 0 && !r->failure)
        r->failure = Failure{1, DeviceErrorLine(kWriteFailed, static_cast<int>(a.result)), true};
      r->mode = Mode::Done;
    }
  }
}

// A call overdue: the device is lost, and abandoned.
void OnOverdue(Run* r) {
  const bool awaited = r->awaited;
  Answer lost{r->device.busy, -EIO, false, ""};
  if (lost.call == Call::Open) lost.why = DeviceErrorLine(kOpenFailed, -ETIMEDOUT);
  Abandon(&r->device);
  r->awaited = r->dropNext = r->closeNext = false;
  if (r->mode == Mode::Close) {
    r->mode = Mode::Done;
  } else if (awaited) {
    PassOnAnswer(r, lost);
  } else if (r->mode == Mode::Pass) {
    Advance(r);  // a pass waiting for the device to be idle opens it again
  }
}

void OnWatch(Run* r) {
  Source& s = r->source;
  KeepWatching(&s);
  if (r->mode == Mode::Menu) return MenuOnWatch(r);
  PassOnWatch(r);
}

void OnSignal(Run* r) {
  TakeSignals();
  if (Continues() != r->continues) {
    r->continues = Continues();
    Continued(&r->device);  // the time the program was stopped is not the device's
  }
  if (StopRequested() && r->mode == Mode::Pass) PassOnStop(r);
}

void OnTime(Run* r) {
  if (r->device.busy != Call::None && NowMs() >= Due(r->device)) return OnOverdue(r);
  if (r->mode == Mode::Pass || r->mode == Mode::Start) PassOnTime(r);
}

Want Wants(const Run& r) {
  Want w;
  w.deviceFd = AnswerFd(r.device);
  w.watchFd = r.source.watch.fd.Get();
  w.input = (r.mode == Mode::Menu || Auditioning(r)) && !r.console->ended;
  w.until = Due(r.device);
  if (r.mode == Mode::Pass || r.mode == Mode::Start) w.until = std::min(w.until, PassDeadline(r));
  return w;
}

// A watch that could not be kept stops follow mode, in one line.
void SayWatchLost(Run* r) {
  std::string& lost = r->source.watch.lost;
  if (lost.empty()) return;
  if (r->session.follow) std::printf("Follow mode has stopped: %s\n", lost.c_str());
  r->session.follow = false;
  lost.clear();
}

// The one loop: every wait of the run is here, each wake handed to the run.
void Drive(Run* r) {
  bool outputFailed = false;
  while (r->mode != Mode::Done) {
    // words typed ahead, during a pass or at the file prompt, wait in the console
    if (r->mode == Mode::Menu || Auditioning(*r)) TakeWords(r);
    if (r->mode == Mode::Done) break;
    SayWatchLost(r);
    // the console is up to date whenever the program waits; a console that
    // cannot be written to ends the run, as it would any command-line tool
    if (std::fflush(stdout) != 0 && !outputFailed) {
      outputFailed = true;
      EndRun(r, Failure{1, std::string("Unable to write to standard output: ") + std::strerror(errno), true});
      continue;
    }
    switch (Poll(Wants(*r))) {
      case Wake::Signal: OnSignal(r); break;
      case Wake::Device: OnAnswer(r); break;
      case Wake::Watch: OnWatch(r); break;
      case Wake::Input: ReadInput(r->console); break;
      case Wake::Time: OnTime(r); break;
    }
  }
}

}  // namespace

void EndRun(Run* r, std::optional<Failure> failure) {
  if (r->mode == Mode::Close || r->mode == Mode::Done) return;
  DefaultInterrupts();
  if (!failure) std::putchar('\n');  // the release's line end
  r->failure = std::move(failure);
  Device& d = r->device;
  r->mode = Mode::Close;
  if (d.busy != Call::None) {
    CancelCall(&d);
    r->awaited = r->dropNext = false;
    r->closeNext = true;
  } else if (d.line) {
    Ask(&d, Call::Close);
    r->awaited = true;
  } else {
    r->mode = Mode::Done;
  }
}

std::optional<Failure> Play(const PlayArgs& args, Console* console) {
  InitInterrupts();
  Run r{args, console};
  r.menu.firstTurn = args.autoCommand;
  Source& s = r.source;
  s.path = args.path;
  s.where = AbsolutePath(args.path);
  // the watch comes first, so that a writer at work now is seen
  std::string why;
  StartWatch(s.where, &s.watch, &why);
  StartRun(&r);
  Drive(&r);
  return r.failure;
}
