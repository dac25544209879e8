#include "player/player.h"

#include <algorithm>
#include <cstdio>

#include "player/menu.h"
#include "io/interrupt.h"
#include "audio/feed.h"
#include "player/play_pass.h"
#include "player/session.h"
#include "player/source.h"

namespace {

// Saves within this long of each other count as one, up to the longest merge.
constexpr int64_t kSettleMs = 10;
constexpr int64_t kMaxSettleMs = 100;

struct Run {
  const PlayArgs& args;
  Session session;
  Source source;
  Output out;
  Waiter* waiter;
};

Session StartSession(const PlayArgs& args, const StreamAttributes& file, std::string* outside) {
  Session s;
  s.loopCount = args.loopCount;
  s.selection = ArgumentSelection(args.in, args.out, file.sampleRate, file.lengthFrames, outside);
  return s;
}

std::optional<Failure> OpenOutput(Run* r) {
  const Source& s = r->source;
  const auto rate = static_cast<uint32_t>(s.configured.sampleRate);
  std::string why;
  r->out = Output();
  if (!OpenDevice({r->args.deviceName, s.encoding, rate, s.configured.channels, s.configured.bytesPerSample},
                  &r->out, &why)) {
    const std::string& name = r->args.deviceName;
    if (why.rfind(kSetFormatFailed, 0) == 0) why += "\n" + ConvertingDeviceHint(name);
    if (why.rfind(kOpenFailed, 0) == 0 && !DeviceFirstHint(name).empty()) why += "\n" + DeviceFirstHint(name);
    return Failure{1, why, true};
  }
  const std::string refusal = RateRefusal(rate, r->out.rate);
  if (!refusal.empty()) return Failure{1, refusal, true};
  WaitOnDevice(r->waiter, r->out.pollFds);
  return std::nullopt;
}

// After a save: saves that come together count once.
Event SettleSaves(Waiter* w) {
  const Deadline last = NowMs() + kMaxSettleMs;
  Event e;
  do {
    w->watch->saved = false;
    e = Wait(w, kSave, std::min(NowMs() + kSettleMs, last));
  } while (e == Event::Save);
  return e == Event::Stop ? e : Event::Ready;
}

// After a save: the file as saved, saves that come together counted once.
// A save of a file not whole yet is waited out, to the next one, or, with
// `inMenu`, left to the menu (Save). Ready, after a line that says so; Stop;
// or Failed for a new shape.
Outcome LoadSaved(Run* r, bool inMenu) {
  for (;;) {
    if (SettleSaves(r->waiter) == Event::Stop) return {Event::Stop};
    Found found;
    if (Reload(&r->source, r->waiter, &found) == Event::Stop) return {Event::Stop};
    if (found == Found::Whole) {
      if (auto failure = Take(&r->source, ~uint64_t{0}, "")) return {Event::Failed, *failure};
      std::puts("The file was saved: playing the selection from its start.");
      return {};
    }
    const Event e = inMenu ? Event::Save : Wait(r->waiter, kSave, kNever);
    if (e != Event::Save || inMenu) return {e};
  }
}

// Plays the selection until a pass runs to its end or is stopped. In follow
// mode a save restarts it at once: the queued sound is dropped, the file read
// again, and the selection played from its start with the full loop count.
// `untilHeard`: a pass ends only when its sound has played.
Outcome PlayFollowingSaves(Run* r, bool untilHeard) {
  for (;;) {
    Output* out = &r->out;
    if (const int e = Ready(out); e < 0) return {Event::Failed, DeviceFailure(e)};
    Outcome o = PlayPass(r->session, &r->source, out, r->waiter);
    if (o.event == Event::Ready && untilHeard) {
      o.event = Drain(out, r->waiter, r->source.watch.follow ? kSave : 0u);
      if (o.event == Event::Failed) o.failure = DeviceFailure(out->error);
    }
    if (o.event != Event::Save) return o;
    std::putchar('\n');
    // the old sound stops now; the device is made ready again above
    if (const int e = Drop(out); e < 0) return {Event::Failed, DeviceFailure(e)};
    o = LoadSaved(r, false);
    if (o.event != Event::Ready) return o;
  }
}

// A pass that returns to the menu ends when its sound has played. Ctrl-C stops
// it, and drops what is queued; anywhere else Ctrl-C ends the program.
Outcome PlayStoppable(Run* r) {
  CatchInterrupts();
  Outcome o = PlayFollowingSaves(r, true);
  // a device lost while the menu waited (a sound server started again) is opened again, once
  if (o.event == Event::Failed && o.failure.toStderr && !r->out.played) {
    std::puts("The device was lost: opening it again.");
    const auto failure = OpenOutput(r);
    o = failure ? Outcome{Event::Failed, *failure} : PlayFollowingSaves(r, true);
  }
  if (o.event == Event::Stop)
    if (const int e = Drop(&r->out); e < 0) o = {Event::Failed, DeviceFailure(e)};
  DefaultInterrupts();
  return o;
}

// The last pass's sound plays out before the device closes; a device that
// fails meanwhile is reported, since the tail was never heard.
std::optional<Failure> Release(Run* r) {
  std::putchar('\n');
  int error = 0;
  if (Drain(&r->out, r->waiter, 0) == Event::Failed) error = r->out.error;
  const int closed = CloseDevice(&r->out);
  if (error == 0) error = closed;
  if (error < 0) return DeviceFailure(error);
  return std::nullopt;
}

// Before a pass the file is read again: a new shape ends the run, as does a
// missing file or data chunk with follow mode off; in follow mode a file not
// whole yet plays when its own save comes.
Outcome LoadForPass(Run* r, bool bySave) {
  if (bySave) return LoadSaved(r, true);
  Found found;
  Reload(&r->source, r->waiter, &found);
  auto refusal = Refusal(r->source, found);
  if (found != Found::Whole && r->source.watch.follow) {
    if (refusal) std::puts(refusal->line.c_str());
    return {Event::Save};  // nothing to play until the next save
  }
  if (refusal) return {Event::Failed, *refusal};
  // before a pass the warning is given every time, the reminder of a changed file
  if (auto failure = Take(&r->source, ~uint64_t{0}, "")) return {Event::Failed, *failure};
  return {};
}

// "x": the end the user asked for. With follow mode off the file is checked
// once more; in follow mode a file missing or in flux is the renderer's affair.
std::optional<Failure> End(Run* r) {
  Source& s = r->source;
  if (s.watch.follow && s.watch.writing) return std::nullopt;
  Found found;
  Reload(&s, r->waiter, &found);
  if (s.watch.follow && found != Found::Whole) return std::nullopt;
  if (auto refusal = Refusal(s, found)) return refusal;
  return Take(&s, ~uint64_t{0}, "");
}

// Menu and passes until a word or the end of a pass ends the run.
std::optional<Failure> Loop(Run* r, Console* console) {
  const std::string* firstWord = r->args.autoCommand ? &r->args.commandText : nullptr;
  for (;;) {
    bool bySave = false;
    const bool scripted = firstWord != nullptr;
    const Next next = RunMenu(&r->session, &r->source, console, firstWord, &bySave);
    firstWord = nullptr;
    if (next == Next::End) return End(r);
    if (next == Next::Nothing) return Failure{1};  // what was wrong was said
    Outcome o = LoadForPass(r, bySave);
    if (o.event == Event::Save) continue;
    if (o.event == Event::Failed) return o.failure;
    // a script's "px" or "wx" that plays nothing has failed; its message says why
    const bool nothing = scripted && next == Next::PlayAndEnd && PlaysNothing(r->session, r->source);
    o = next == Next::PlayAndEnd ? PlayFollowingSaves(r, false) : PlayStoppable(r);
    if (o.event == Event::Failed) return o.failure;
    if (nothing) return Failure{1};
    if (next == Next::PlayAndEnd) return std::nullopt;
    std::putchar('\n');
  }
}

}  // namespace

std::optional<Failure> Play(const PlayArgs& args, Console* console) {
  InitInterrupts();
  Run r{args, {}, {}, {}, console->waiter};
  if (auto failure = OpenSource(args.path, args.follow, r.waiter, &r.source)) return failure;
  std::string outside;  // a START or STOP past the end
  r.session = StartSession(args, r.source.configured, &outside);
  if (!outside.empty() && args.endsByItself) return Failure{1, outside, true};
  if (!outside.empty()) std::fprintf(stderr, "%s\n", outside.c_str());
  if (auto failure = OpenOutput(&r)) return failure;
  if (r.out.encoding != r.source.encoding)
    std::puts("The device does not take 64-bit float samples: playing them as 32-bit float.");
  if (auto failure = Loop(&r, console)) return failure;
  return Release(&r);
}
