#include "player/menu.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "player/pass.h"
#include "player/seam_commands.h"

namespace {

using Prompt = MenuState::Prompt;

const char kAuditionOn[] = "Audition mode is on: a pass loops until Enter, and words act while it plays.";

enum class Do { Stay, Play, End };

uint32_t Rate(const Run& r) { return static_cast<uint32_t>(r.source.latest.sampleRate); }

void PrintMenu(const Session& s, uint64_t rate) {
  std::printf(
      "\n'i' to set in"
      "\n'o' to set out"
      "\n'l' to change number of loops (%i)"
      "\n'p' to play with current settings: %.2f to %.2f sec"
      "\n'w' to play whole file"
      "\n'x' to exit"
      "\n'+' to show additional commands\n",
      s.loopCount, static_cast<double>(SecondsFromFrames(s.selection.start, rate)),
      static_cast<double>(SecondsFromFrames(s.selection.stop, rate)));
}

// Whether "p" may play: a reversed selection plays (nothing), an empty one does not.
Do MayPlay(const Run& r) {
  const Selection& sel = r.session.selection;
  if (const char* nothing = NothingBetween(sel)) std::puts(nothing);
  // a reversed one goes on to the pass, which shows the times and plays nothing
  return sel.start == sel.stop ? Do::Stay : Do::Play;
}

// While an audition plays, an edit that leaves nothing to play is refused,
// and the loop plays on as it was.
bool Refused(const Run& r, const Selection& now) {
  const char* nothing = Auditioning(r) ? NothingBetween(now) : nullptr;
  if (nothing) std::puts(nothing);
  return nothing != nullptr;
}

// A point of the selection exactly, as sox takes it; in audition in seconds too.
void PrintPoint(const Run& r, const char* name, int64_t frame) {
  std::printf("%s = %" PRId64 "s", name, frame);
  if (Auditioning(r)) std::printf(" = %.3f sec", static_cast<double>(SecondsFromFrames(frame, Rate(r))));
  std::putchar('\n');
}

// Where the points an edit moved stand now, exactly.
void PrintMoved(const Run& r, const Selection& was, const Selection& now) {
  if (now.start != was.start) PrintPoint(r, "start", now.start);
  if (now.stop != was.stop) PrintPoint(r, "stop ", now.stop);
}

Do Prompted(Run& r, const char* line, Prompt prompt) {
  std::puts(line);
  r.menu.prompt = prompt;
  return Do::Stay;
}

// The in-time and out-time prompts: seconds, or frames as "96038s".
Do SetIn(Run& r) { return Prompted(r, "Enter in-time in seconds.", Prompt::In); }
Do SetOut(Run& r) { return Prompted(r, "Enter out-time in seconds.", Prompt::Out); }
Do SetLoops(Run& r) { return Prompted(r, "Enter number of loops.", Prompt::Loops); }

Do SetNudge(Run& r) {
  const Session& s = r.session;
  std::printf("\nCurrent Nudge Amount = %" PRId64 " samples or %.3f sec\n", s.nudgeFrames,
              static_cast<double>(SecondsFromFrames(s.nudgeFrames, Rate(r))));
  return Prompted(r, "Enter new nudge amount (in samples) or '0' to keep settings", Prompt::Nudge);
}

// The answer to a number prompt: a reply that is not a number leaves the value
// as it was; what the number does not use is the next word.
void AnswerPrompt(Run& r, const std::string& word) {
  Session& s = r.session;
  const Prompt prompt = r.menu.prompt;
  r.menu.prompt = Prompt::None;
  size_t used = 0;
  if (prompt == Prompt::In || prompt == Prompt::Out) {
    const int64_t limit = LengthAsFrame(r.source.latest.lengthFrames);
    double seconds = 0;
    int64_t frame = 0;
    bool frames = false;
    used = ParseTime(word, &seconds, &frame, &frames);
    Selection now = s.selection;
    if (prompt == Prompt::In) now.start = frames ? InFrameAt(limit, frame) : InFrameFor(Rate(r), limit, seconds);
    if (prompt == Prompt::Out) now.stop = frames ? OutFrameAt(limit, frame) : OutFrameFor(Rate(r), limit, seconds);
    if (used > 0 && !Refused(r, now)) {
      if (Auditioning(r)) PrintMoved(r, s.selection, now);
      s.selection = now;
    }
  } else if (prompt == Prompt::Loops) {
    int loops = 0;
    used = ParseInt(word, &loops);
    if (used > 0 && loops < 0) std::printf("The number of loops cannot be below 0: it stays %i.\n", s.loopCount);
    if (used > 0 && loops >= 0) s.loopCount = loops;
  } else {
    int64_t amount = 0;
    used = ParseInt64(word, &amount);
    if (used > 0 && amount > 0) s.nudgeFrames = amount;
  }
  r.console->pending = word.substr(used);
}


Do Exactly(Run& r) {
  const Selection& sel = r.session.selection;
  PrintPoint(r, "start", sel.start);
  PrintPoint(r, "stop ", sel.stop);
  const int64_t length = SubFrames(sel.stop, sel.start);
  std::printf("length = %" PRId64 "s = %.3f sec\n", length, static_cast<double>(length) / Rate(r));
  return Do::Stay;
}

Do ToggleFollow(Run& r) {
  if (r.session.follow) {
    r.session.follow = false;
    std::puts("Follow mode is off.");
  } else {
    FollowSaves(&r);
  }
  return Do::Stay;
}

Do ToggleAudition(Run& r) {
  r.session.audition = !r.session.audition;
  std::puts(r.session.audition ? kAuditionOn : "Audition mode is off.");
  if (Auditioning(r)) r.pass.audition = false;  // the loop playing is the pass's last
  return Do::Stay;
}

Do Compare(Run& r) {
  if (Auditioning(r))
    SwitchRender(&r);
  else
    std::puts("Nothing plays: 'ab' switches renders while an audition plays.");
  return Do::Stay;
}

Do View(Run& r) {
  ViewSeam(r.session, &r.source);
  return Do::Stay;
}


template <void (*snap)(Session*, Source*)>
Do Snap(Run& r) {
  const Selection was = r.session.selection;
  snap(&r.session, &r.source);
  PrintMoved(r, was, r.session.selection);
  return Do::Stay;
}

// Takes back the last change to the selection.
Do Undo(Run& r) {
  std::vector<Selection>& changes = r.session.changes;
  if (changes.empty()) {
    std::puts("There is no change to take back: this is the selection the run began with.");
    return Do::Stay;
  }
  if (Refused(r, changes.back())) return Do::Stay;
  r.session.selection = changes.back();
  changes.pop_back();
  PrintPoint(r, "start", r.session.selection.start);
  PrintPoint(r, "stop ", r.session.selection.stop);
  return Do::Stay;
}

// A nudge or a jump, and where the points it moved stand now.
template <Edit edit>
Do EditWord(Run& r) {
  Selection& sel = r.session.selection;
  const Selection was = sel;
  const Selection now = ApplyEdit(edit, sel, r.source.latest.lengthFrames, r.session.nudgeFrames);
  if (Refused(r, now)) return Do::Stay;
  sel = now;
  if (edit != Edit::WholeFile || Auditioning(r)) PrintMoved(r, was, sel);
  return Do::Stay;
}

Do PlayWord(Run& r) { return MayPlay(r); }
Do PlayAndEnd(Run& r) {
  r.session.endAfterPass = true;  // holds until a pass has played, even when this one may not
  return MayPlay(r);
}
Do Whole(Run& r) {
  EditWord<Edit::WholeFile>(r);
  return Do::Play;
}
Do WholeAndEnd(Run& r) {
  r.session.endAfterPass = true;
  return Whole(r);
}
Do Exit(Run&) { return Do::End; }

void PrintMoreCommands(const Session& s);

Do More(Run& r) {
  PrintMoreCommands(r.session);
  return Do::Stay;
}

// Every word the menu knows, and its line in the '+' list (none for the menu's own).
const struct Word {
  const char* word;
  Do (*apply)(Run&);
  const char* more;
} kWords[] = {
    {"+", More, nullptr},
    {"x", Exit, nullptr},
    {"p", PlayWord, nullptr},
    {"px", PlayAndEnd, nullptr},
    {"w", Whole, nullptr},
    {"wx", WholeAndEnd, nullptr},
    {"i", SetIn, nullptr},
    {"o", SetOut, nullptr},
    {"l", SetLoops, nullptr},
    {"j", EditWord<Edit::JumpAhead>, "\t'j' to jump time selection ahead"},
    {"J", EditWord<Edit::JumpBack>, "\t'J' to jump time selection back"},
    {"n", EditWord<Edit::StartForward>, "\t'n' to nudge start forward"},
    {"b", EditWord<Edit::StartBack>, "\t'b' to nudge start backward"},
    {"no", EditWord<Edit::StopForward>, "\t'no' to nudge stop point forward"},
    {"bo", EditWord<Edit::StopBack>, "\t'bo' to nudge stop point backward"},
    {"N", EditWord<Edit::BothForward>, "\t'N' to nudge both start and stop forward"},
    {"B", EditWord<Edit::BothBack>, "\t'B' to nudge both start and stop backward"},
    {"nn", SetNudge, "\t'nn' to set nudge amount"},
    {"f", ToggleFollow, "\t'f' to toggle follow mode"},
    {"v", View, "\t'v' to view the loop's seam"},
    {"z", Snap<SnapToCrossings>, "\t'z' to snap start and stop to zero crossings"},
    {"zl", Snap<SnapKeepingLength>, "\t'zl' to snap the start to a zero crossing, the stop with it"},
    {"e", Exactly, "\t'e' to show the selection exactly, in frames"},
    {"u", Undo, "\t'u' to take back the last change to the selection"},
    {"a", ToggleAudition, "\t'a' to toggle audition mode: a pass loops until Enter, words act while it plays"},
    {"ab", Compare, "\t'ab' to switch between the current render and the one before, in audition"},
};

// The '+' list's lines, from `first` on; with `on`, follow mode's and audition mode's lines say
// whether they are on.
void PrintWords(const Word* first, const bool* on) {
  for (const Word* w = first; w != std::end(kWords); ++w) {
    if (!w->more) continue;
    std::fputs(w->more, stdout);
    if (on && w->apply == ToggleFollow) std::fputs(on[0] ? " (on)" : " (off)", stdout);
    if (on && w->apply == ToggleAudition) std::fputs(on[1] ? " (on)" : " (off)", stdout);
    std::putchar('\n');
  }
}

void PrintMoreCommands(const Session& s) {
  std::puts("\nAdditional Commands:");
  const bool on[] = {s.follow, s.audition};
  PrintWords(kWords, on);
}

// A word that moved a point is a change `u` can take back.
void NoteChange(Run& r, const Selection& was) {
  const Selection& now = r.session.selection;
  if (now.start != was.start || now.stop != was.stop) r.session.changes.push_back(was);
}

Do ApplyWord(Run& r, const std::string& word) {
  for (const Word& w : kWords) {
    if (word != w.word) continue;
    // every word sees the file's length as it is now, when it changed
    Refresh(&r.source);
    const Selection was = r.session.selection;
    const Do what = w.apply(r);
    if (w.apply != Undo) NoteChange(r, was);
    return what;
  }
  std::printf("Unknown command: %s ('+' lists them all)\n", word.c_str());
  return Do::Stay;
}

void End(Run* r);

// The menu again, or what a save latched meanwhile asks for.
void ShowMenu(Run* r) {
  Watch& watch = r->source.watch;
  while (r->session.follow && watch.saved) {
    // a save, while waiting here or at a prompt: played as "p" plays
    watch.saved = false;
    if (MayPlay(*r) == Do::Play) return StartPass(r, true);
  }
  PrintMenu(r->session, r->source.latest.sampleRate);
}

void Act(Run* r, Do what, bool scripted) {
  if (what == Do::Play) return StartPass(r, false, scripted);
  if (what == Do::End) return End(r);
  if (r->menu.prompt == Prompt::None) ShowMenu(r);
}

// "x", or the end of input: the end the user asked for. With follow mode off
// the file is checked once more; in follow mode a file missing or in flux is
// the renderer's affair.
void End(Run* r) {
  Source& s = r->source;
  const bool follow = r->session.follow;
  if (follow && s.watch.writing) return EndRun(r, std::nullopt);
  Deadline again;
  const Found found = LookAt(&s, true);
  const Verdict verdict = JudgeLook(&s, found, true, &again);
  if (verdict == Verdict::Wait || (follow && found != Found::Whole)) return EndRun(r, std::nullopt);
  if (verdict == Verdict::Refuse) return EndRun(r, Refusal(s, found));
  EndRun(r, Take(&s, ~uint64_t{0}, ""));
}

}  // namespace

void EnterMenu(Run* r) {
  r->mode = Mode::Menu;
  r->statusOpen = false;
  r->menu.prompt = Prompt::None;
  if (!r->menu.firstTurn) return ShowMenu(r);
  r->menu.firstTurn = false;
  const Do what = ApplyWord(*r, r->args.commandText);
  // a "px" or "wx" given on the command line found nothing to play: what was wrong was said
  if (what == Do::Stay && r->session.endAfterPass) return EndRun(r, Failure{1});
  Act(r, what, true);
}

void TakeWords(Run* r) {
  std::string word;
  bool empty = false;
  for (bool audition; (audition = Auditioning(*r)) || r->mode == Mode::Menu;) {
    if (!TakeWord(r->console, &word, audition ? &empty : nullptr)) break;
    if (r->statusOpen) std::putchar('\n');
    r->statusOpen = false;
    if (audition && empty) {
      PassOnStop(r);  // Enter alone stops an audition
    } else if (r->menu.prompt != Prompt::None) {
      const Selection was = r->session.selection;
      AnswerPrompt(*r, word);
      NoteChange(*r, was);
      if (!audition) Act(r, Do::Stay, false);
    } else if (const Do what = ApplyWord(*r, word); !audition || what == Do::End) {
      Act(r, what, false);  // while an audition plays, words that play have nothing to start
    }
  }
  // the end of input ends the run as "x" does, rather than repeating the last word
  if ((r->mode == Mode::Menu || Auditioning(*r)) && InputDone(*r->console)) End(r);
}

void MenuOnWatch(Run* r) {
  if (r->session.follow && r->source.watch.saved && r->menu.prompt == Prompt::None) ShowMenu(r);
}

void FollowSaves(Run* r) {
  Source& s = r->source;
  std::string why;
  if (!s.watch.fd.Valid() && !StartWatch(s.where, &s.watch, &why)) {
    std::printf("Follow mode is off: %s\n", why.c_str());
    return;
  }
  r->session.follow = true;
  s.watch.saved = false;
  std::puts("Follow mode is on: a save of the file plays the selection.");
}

void PrintAddedWords() {
  // the words added since the list's first ten, which end with "nn"
  const auto isNudge = [](const Word& w) { return w.apply == SetNudge; };
  PrintWords(std::find_if(std::begin(kWords), std::end(kWords), isNudge) + 1, nullptr);
}

bool IsMenuWord(const std::string& word) {
  return std::any_of(std::begin(kWords), std::end(kWords), [&](const Word& w) { return word == w.word; });
}

void StartAudition(Run* r) {
  r->session.audition = true;
  std::puts(kAuditionOn);
}
