#include "player/pass.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "audio/feed.h"
#include "io/interrupt.h"
#include "player/menu.h"
#include "wave/wave_file.h"

namespace {

using Step = Pass::Step;

// Saves within this long of each other count as one, up to the longest merge.
constexpr int64_t kSettleMs = 10;
constexpr int64_t kMaxSettleMs = 100;
// A script's file that stays in flux this long ends the run: nobody is there to wait.
constexpr int64_t kGiveUpMs = 10000;

// The frame a loop ends at: the stop, or the end of the file if sooner.
int64_t LoopEnd(const Selection& sel, const Source& source) {
  return std::min(sel.stop, LengthAsFrame(source.latest.lengthFrames));
}

void PrintClock(int64_t pos, uint64_t rate) {
  std::printf("\rclock = %.2f sec", static_cast<double>(SecondsFromFrames(pos, rate)));
}

void AskFor(Run* r, Call call, uint64_t frames = 0) {
  Ask(&r->device, call, frames);
  r->awaited = true;
}

Failure DeviceFailure(int error) { return {1, DeviceErrorLine(kWriteFailed, error), true}; }

DeviceRequest RequestFor(const Run& r) {
  return {r.args.deviceName, r.source.encoding, static_cast<uint32_t>(r.source.configured.sampleRate)};
}

// The device failed, or was lost: a device lost while the menu waited (a
// sound server started again) is opened again, once, before it plays;
// otherwise the run ends.
void DeviceTrouble(Run* r, int error) {
  Pass& p = r->pass;
  if (error == -EIO) Abandon(&r->device);  // it took no audio: never waited on again
  if (r->mode == Mode::Pass && p.toMenu && !p.played && !p.reopened) {
    std::puts("The device was lost: opening it again.");
    p.reopened = true;
    p.step = Step::Ready;
    OpenDevice(&r->device, RequestFor(*r));
    r->awaited = true;
    return;
  }
  EndRun(r, DeviceFailure(error));
}

// The device opened, for the run or again: a refusal ends the run.
bool Opened(Run* r, const Answer& a) {
  const std::string& name = r->args.deviceName;
  std::string why = a.why;
  if (a.result < 0) {
    if (why.rfind(kSetFormatFailed, 0) == 0) why += "\n" + ConvertingDeviceHint(name);
    if (why.rfind(kOpenFailed, 0) == 0 && !DeviceFirstHint(name).empty()) why += "\n" + DeviceFirstHint(name);
  } else {
    why = RateRefusal(static_cast<unsigned>(r->source.configured.sampleRate), r->device.granted.rate);
  }
  if (!why.empty()) {
    EndRun(r, Failure{1, why, true});
    return false;
  }
  const Source& s = r->source;
  r->fileFrames.resize(WriteCapacity(r->device) * s.configured.channels * s.configured.bytesPerSample);
  return true;
}

// Reads up to `want` frames at the pass's position into the device's buffer,
// converting where the device needs it: from the file, or in audition's A/B
// from the render before the last save. The frames read, and where they are
// as the file holds them.
uint64_t ReadInto(Run* r, uint64_t want, const unsigned char** frames) {
  const Source& s = r->source;
  const StreamAttributes& a = s.latest;
  const SampleEncoding device = r->device.granted.encoding;
  const bool convert = NeedsConverting(a.channels, s.encoding, device);
  unsigned char* out = WriteBuffer(&r->device);
  unsigned char* in = convert ? r->fileFrames.data() : out;
  uint64_t got = want;
  if (r->pass.other)
    std::memcpy(in, OtherFrames(r->renders, r->pass.readPos, FrameBytes(a)), want * FrameBytes(a));
  else
    got = ReadFrames(s.file.Get(), a, static_cast<uint64_t>(r->pass.readPos), want, in);
  if (convert) ToDevice(got, a.channels, a.bytesPerSample, s.encoding, device, in, out);
  *frames = in;
  return got;
}

// The file as taken now is another render than the one kept as it played:
// that one is the other now, and the new one plays.
void TakeRender(Run* r) {
  Renders& kept = r->renders;
  Render& now = kept.render[kept.current];
  if (SameFile(now.mark, r->source.mark)) return;
  r->pass.other = false;
  if (now.filled > 0) return NewRender(&kept, r->source.mark);
  now.mark = r->source.mark;
}

// The run's first look, taken: the device is opened for the file's shape.
void SetUp(Run* r, Found found) {
  Source& s = r->source;
  std::string why;
  if (auto refused = Refusal(s, found)) return EndRun(r, refused);
  if (!ChooseEncoding(s.looked, &s.encoding, &why)) return EndRun(r, Failure{2, why});
  s.configured = s.latest = s.played = s.looked;
  const PlayArgs& args = r->args;
  std::string outside;  // a START or STOP past the end
  r->session.loopCount = args.loopCount;
  const StreamAttributes& a = s.configured;
  r->session.selection = ArgumentSelection(args.in, args.out, a.sampleRate, a.lengthFrames, &outside);
  if (!outside.empty() && args.endsByItself) return EndRun(r, Failure{1, outside, true});
  if (!outside.empty()) std::fprintf(stderr, "%s\n", outside.c_str());
  if (r->args.follow) FollowSaves(r);
  if (r->args.audition) StartAudition(r);
  r->pass.step = Step::Open;
  OpenDevice(&r->device, RequestFor(*r));
  r->awaited = true;
}

// A look found the file gone or without audio, and no writer at work.
void Refused(Run* r, Found found) {
  Pass& p = r->pass;
  if (p.afterLook == Step::Setup) return SetUp(r, found);
  if (p.step == Step::Flux) {
    r->source.latest.lengthFrames = 0;  // nothing left to play in this pass; the next look says why
    p.step = Step::Feed;
    return Advance(r);
  }
  if (!r->session.follow) return EndRun(r, Refusal(r->source, found));
  if (p.toMenu) {
    // in follow mode the next save plays it
    if (auto refused = Refusal(r->source, found)) std::puts(refused->line.c_str());
    DefaultInterrupts();
    return EnterMenu(r);
  }
  p.refused = found;  // a script waits for the next save, for a while
  if (p.fluxSince == kNever) p.fluxSince = NowMs();
}

// A look found the file whole (or, with no writer at work, as whole as it will be).
void Took(Run* r, Found found) {
  Pass& p = r->pass;
  Source& s = r->source;
  if (p.step == Step::Flux) {
    // in follow mode the file changed under the pass is a save
    if (r->session.follow) {
      std::putchar('\n');
      Silence(r);
      return StartPass(r, true);
    }
    if (auto failure = Take(&s, s.latest.lengthFrames, "\n")) return EndRun(r, failure);
    TakeRender(r);
    p.step = Step::Feed;
    return Advance(r);
  }
  switch (p.afterLook) {
    case Step::Setup: return SetUp(r, found);
    case Step::Loop:
      if (auto failure = Take(&s, s.latest.lengthFrames, "\n")) return EndRun(r, failure);
      break;
    default:
      // before a pass the warning is given every time, the reminder of a changed file
      if (auto failure = Take(&s, ~uint64_t{0}, "")) return EndRun(r, failure);
      if (p.bySave) std::puts("The file was saved: playing the selection from its start.");
      break;
  }
  if (p.afterLook != Step::Setup) TakeRender(r);
  p.step = p.afterLook;
  Advance(r);
}

// Looks at the file, by name or (under a pass) the open one, and waits while it is in flux.
void LookStep(Run* r) {
  Pass& p = r->pass;
  Source& s = r->source;
  const bool under = p.step == Step::Flux;
  if (!under) s.watch.saved = false;  // what was saved so far is what this look reads
  const Found found = LookAt(&s, !under);
  p.refused = Found::Whole;
  const Verdict verdict = JudgeLook(&s, found, p.afterLook != Step::Setup, &p.lookAgain);
  if (verdict == Verdict::Wait) {
    if (p.fluxSince == kNever) p.fluxSince = NowMs();
    return;  // the watch, or the time, looks again
  }
  p.fluxSince = kNever;
  if (verdict == Verdict::Refuse) return Refused(r, found);
  Took(r, found);
}

// The sound has played, or there was none: back to the menu, or the run's end.
void Finish(Run* r) {
  DefaultInterrupts();
  if (r->pass.toMenu) {
    std::putchar('\n');
    return EnterMenu(r);
  }
  EndRun(r, r->pass.nothing ? std::optional<Failure>(Failure{1}) : std::nullopt);
}

void PrintSelection(int64_t start, int64_t end, uint64_t rate) {
  std::puts("Playing...");
  std::printf("start = %.2f sec\n", static_cast<double>(SecondsFromFrames(start, rate)));
  std::printf("stop  = %.2f sec\n", static_cast<double>(SecondsFromFrames(end, rate)));
}

// A loop begins: with follow mode off it plays the file as it is now.
void LoopStep(Run* r) {
  Pass& p = r->pass;
  const Session& session = r->session;
  const Selection& sel = session.selection;
  if (!p.audition && p.loop >= session.loopCount) {
    p.step = Step::Tail;
    return Advance(r);
  }
  // an audition's next loop takes the selection as late as it can: once the device has room for it
  if (p.audition && p.loop > 0 && !p.roomy) {
    p.step = Step::Room;
    return AskFor(r, Call::Room, r->device.granted.periodFrames);
  }
  p.roomy = false;
  if (p.loop > 0 && !session.follow && p.afterLook != Step::Loop) {
    p.afterLook = Step::Loop;
    p.step = Step::Look;
    return Advance(r);
  }
  p.afterLook = Step::Ready;
  // a file shorter than the start has nothing to loop over: no loop is counted
  if (std::max<int64_t>(sel.start, 0) >= LoopEnd(sel, r->source)) {
    // "p" said why a reversed selection plays nothing; "w" of an empty file did not
    if (sel.start < sel.stop) std::puts("Start time is past the end of the file!");
    if (sel.start == sel.stop) std::puts(NothingBetween(sel));
    p.step = Step::Tail;
    return Advance(r);
  }
  // the selection as it is when the loop begins: an edit made while it plays is heard from the next
  p.lastSel = p.loopSel;
  p.loopSel = sel;
  p.pos = p.readPos = p.from = std::max<int64_t>(sel.start, 0);
  if (p.other && !OtherHolds(r->renders, p.pos, LoopEnd(sel, r->source))) {
    std::puts("The previous render was not kept for this selection: the current one plays.");
    p.other = false;
  }
  // a loop of the frames measured last is as loud: its level is not measured again
  const FileMark& mark = p.other ? r->renders.render[1 - r->renders.current].mark : r->source.mark;
  p.measure = !(p.lastSel.start == sel.start && p.lastSel.stop == sel.stop && SameFile(mark, p.lastMark));
  p.lastMark = mark;
  if (p.measure) p.level = Level();
  if (!p.audition && session.loopCount != 1)
    std::printf("\nLoops remaining: %i\n", session.loopCount - p.loop - 1);
  p.step = Step::Feed;
  Advance(r);
}

// An audition's loop ends with a line that says how loud it was.
void SayLoop(Run* r, int64_t end) {
  Pass& p = r->pass;
  if (!p.measure) p.level = p.lastLevel;
  p.lastLevel = p.level;
  std::fputs(StatusLine(p.loop + 1, p.loopSel.start, end, r->source.latest.sampleRate, p.level, p.other).c_str(),
             stdout);
  r->statusOpen = true;
}

// Reads and hands over the loop's frames, writes ahead of the one the
// device takes, so that its thread goes from one to the next without a
// wait; never past the loop's end, where an edit waits to be heard.
void FeedStep(Run* r) {
  Pass& p = r->pass;
  Source& s = r->source;
  const int64_t end = LoopEnd(p.loopSel, s);
  while (p.readPos < end && CanAsk(r->device, Call::Write)) {
    const uint64_t want = std::min({p.batch, static_cast<uint64_t>(end - p.readPos), WriteCapacity(r->device)});
    const unsigned char* frames;
    const uint64_t got = ReadInto(r, want, &frames);
    if (!p.other && ChangedUnder(&s, got, want)) {
      // nothing read through a stale layout is played: the file is looked at again first
      p.step = Step::Flux;
      return Advance(r);
    }
    if (p.audition && !p.other) KeepFrames(&r->renders, p.loopSel, s.mark, p.readPos, frames, got, FrameBytes(s.latest));
    if (p.audition && p.measure) MeasureLevel(s.encoding, frames, got * s.latest.channels, &p.level);
    AskFor(r, Call::Write, got);
    p.readPos += static_cast<int64_t>(got);
  }
  if (r->device.busy == Call::Write) return;  // its answers move the loop on
  // where the loop ended
  if (p.pos == end && p.audition) SayLoop(r, end);
  if (p.pos == end && !p.audition) PrintClock(end, s.latest.sampleRate);
  ++p.loop;
  p.step = Step::Loop;
  Advance(r);
}

// Audition's A/B: the feed goes back to the frame heard now, `queued` frames
// before the next one to read, in this loop or the last.
void GoBack(Run* r, int64_t queued) {
  Pass& p = r->pass;
  if (queued <= p.pos - p.from) {
    p.pos -= queued;
  } else {
    const int64_t back = queued - (p.pos - p.from);
    p.loopSel = p.lastSel;
    p.pos = std::max(LoopEnd(p.loopSel, r->source) - back, std::max<int64_t>(p.loopSel.start, 0));
    --p.loop;
  }
  p.from = p.readPos = p.pos;
  p.measure = false;  // a loop played in two parts is not measured whole
}

}  // namespace

bool PlaysNothing(const Session& session, const Source& source) {
  // a start before the data would play the header as sound
  return session.loopCount > 0 && std::max<int64_t>(session.selection.start, 0) >= LoopEnd(session.selection, source);
}

void StartRun(Run* r) {
  r->mode = Mode::Start;
  r->pass = Pass();
  r->pass.afterLook = Step::Setup;
  const std::string& first = r->args.commandText;
  r->pass.giveUp = r->args.autoCommand && (first == "px" || first == "wx");
  Advance(r);
}

void StartPass(Run* r, bool bySave, bool scripted) {
  Pass& p = r->pass;
  const bool restart = r->mode == Mode::Pass;
  const bool toMenu = restart ? p.toMenu : !r->session.endAfterPass;
  scripted = restart ? p.scripted : scripted;
  p = Pass();
  r->mode = Mode::Pass;
  p.toMenu = toMenu;
  p.scripted = scripted;
  p.audition = toMenu && r->session.audition;
  p.giveUp = !toMenu;
  p.bySave = bySave;
  p.batch = r->device.granted.periodFrames;
  if (toMenu) CatchInterrupts();
  if (bySave) {
    p.step = Step::Settle;
    p.settle = NowMs() + kSettleMs;
    p.settleMost = NowMs() + kMaxSettleMs;
    r->source.watch.saved = false;
  }
  Advance(r);
}

void Advance(Run* r) {
  Pass& p = r->pass;
  if (r->mode != Mode::Pass && r->mode != Mode::Start) return;
  switch (p.step) {
    case Step::Settle:
      if (NowMs() < std::min(p.settle, p.settleMost)) return;
      p.step = Step::Look;
      return Advance(r);
    case Step::Look:
    case Step::Flux: return LookStep(r);
    case Step::Ready:
      if (r->device.busy != Call::None) return;  // a call let go of is still in hand
      if (r->device.lost) return DeviceTrouble(r, -EIO);
      return AskFor(r, Call::Prepare);
    case Step::Loop: return LoopStep(r);
    case Step::Feed: return FeedStep(r);
    case Step::Tail:
      if (!p.played) return Finish(r);
      return AskFor(r, Call::Queued);
    case Step::Setup:
    case Step::Open:
    case Step::Room:
    case Step::Drain:
    case Step::Switch: return;  // an answer moves them on
  }
}

void Silence(Run* r) {
  Device& d = r->device;
  r->awaited = false;
  if (d.busy != Call::None) {
    CancelCall(&d);
    r->dropNext = true;
  } else if (d.line && !d.lost) {
    Ask(&d, Call::Drop);
  }
}

void PassOnAnswer(Run* r, const Answer& a) {
  Pass& p = r->pass;
  const Session& session = r->session;
  switch (a.call) {
    case Call::Open:
      if (!Opened(r, a)) return;
      if (p.step == Step::Open) {
        if (r->device.granted.encoding != r->source.encoding)
          std::puts("The device does not take 64-bit float samples: playing them as 32-bit float.");
        return EnterMenu(r);
      }
      return AskFor(r, Call::Prepare);
    case Call::Prepare:
      if (a.result < 0) return DeviceTrouble(r, static_cast<int>(a.result));
      if (p.step == Step::Switch) {
        p.step = Step::Feed;
        return Advance(r);
      }
      PrintSelection(session.selection.start, LoopEnd(session.selection, r->source), r->source.latest.sampleRate);
      p.nothing = p.scripted && session.endAfterPass && PlaysNothing(session, r->source);
      p.step = Step::Loop;
      return Advance(r);
    case Call::Write:
      if (a.result < 0) return DeviceTrouble(r, static_cast<int>(a.result));
      p.played = true;
      if (!p.audition) PrintClock(p.pos, r->source.latest.sampleRate);
      p.pos += a.result;
      // a device that took more than its buffer without making a write wait
      // never will (null, a file): it is given more at a time
      p.unwaited = a.waited ? 0 : p.unwaited + static_cast<uint64_t>(a.result);
      p.batch = p.unwaited <= r->device.granted.bufferFrames ? r->device.granted.periodFrames
                                                              : std::min(2 * p.batch, WriteCapacity(r->device));
      if (p.step == Step::Switch && r->device.busy == Call::None) return AskFor(r, Call::Queued);  // cut short for A/B
      if (p.step == Step::Feed) Advance(r);  // in a flux, the file is waited for first
      return;
    case Call::Queued:
      if (a.result < 0) return DeviceTrouble(r, static_cast<int>(a.result));
      if (p.step == Step::Switch) {
        GoBack(r, a.result);
        return AskFor(r, Call::Drop);
      }
      p.heard = NowMs() + a.result * 1000 / r->device.granted.rate;
      return;
    case Call::Drop:
      if (a.result < 0) return DeviceTrouble(r, static_cast<int>(a.result));
      return AskFor(r, Call::Prepare);
    case Call::Room:
      if (a.result < 0) return DeviceTrouble(r, static_cast<int>(a.result));
      if (p.step == Step::Switch) return AskFor(r, Call::Queued);  // cut short for A/B
      p.roomy = true;
      p.step = Step::Loop;
      return Advance(r);
    case Call::Drain:
      if (a.result < 0) return DeviceTrouble(r, static_cast<int>(a.result));
      return Finish(r);
    default: return;
  }
}

void PassOnWatch(Run* r) {
  Pass& p = r->pass;
  const bool saved = r->session.follow && r->source.watch.saved && r->mode == Mode::Pass;
  if (saved && p.step == Step::Settle) {
    r->source.watch.saved = false;
    p.settle = NowMs() + kSettleMs;
    return;
  }
  if (p.step == Step::Look || p.step == Step::Flux) return Advance(r);
  if (!saved || p.step == Step::Ready) return;
  // a save restarts the pass at once: what is queued is dropped
  std::putchar('\n');
  Silence(r);
  StartPass(r, true);
}

void PassOnStop(Run* r) {
  std::putchar('\n');
  Silence(r);
  DefaultInterrupts();
  EnterMenu(r);
}

void PassOnTime(Run* r) {
  Pass& p = r->pass;
  const int64_t now = NowMs();
  const bool waiting = (p.step == Step::Look || p.step == Step::Flux) && p.fluxSince != kNever;
  if (waiting && p.giveUp && now >= p.fluxSince + kGiveUpMs) {
    if (p.refused != Found::Whole) return EndRun(r, Refusal(r->source, p.refused));
    return EndRun(r, Failure{1, "The file is still being written after 10 s."});
  }
  if (p.step == Step::Settle || (waiting && now >= p.lookAgain)) return Advance(r);
  if (p.step == Step::Tail && now >= p.heard) {
    p.heard = kNever;
    p.step = Step::Drain;
    AskFor(r, Call::Drain);
  }
}

Deadline PassDeadline(const Run& r) {
  const Pass& p = r.pass;
  switch (p.step) {
    case Step::Settle: return std::min(p.settle, p.settleMost);
    case Step::Look:
    case Step::Flux:
      return p.fluxSince == kNever ? kNever : std::min(p.lookAgain, p.giveUp ? p.fluxSince + kGiveUpMs : kNever);
    case Step::Tail: return p.heard;
    default: return kNever;
  }
}

void SwitchRender(Run* r) {
  Pass& p = r->pass;
  if (!p.other && !OtherHolds(r->renders, p.loopSel.start, LoopEnd(p.loopSel, r->source))) {
    const auto frames = static_cast<uint64_t>(SubFrames(p.loopSel.stop, p.loopSel.start));
    const uint64_t bytes = frames * FrameBytes(r->source.latest);
    std::puts(bytes > kMostKeptBytes ? "The selection is longer than 64 MiB: no other render of it is kept."
                                     : "There is no other render of this selection yet: the next save makes one.");
    return;
  }
  p.other = !p.other;
  // at once: what is queued is dropped, and the other render plays from the frame heard
  if (p.step != Step::Feed && p.step != Step::Loop && p.step != Step::Room) return;
  if (p.step == Step::Room) --p.loop;  // the loop waited after is not over: its end comes again
  p.step = Step::Switch;
  if (r->device.busy != Call::None)
    CancelCall(&r->device);
  else
    AskFor(r, Call::Queued);
}
