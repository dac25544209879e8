#include "player/menu.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>

#include "seam/seam_commands.h"

namespace {

const char kMoreCommands[] =
    "\nAdditional Commands:\n"
    "\t'j' to jump time selection ahead\n"
    "\t'J' to jump time selection back\n"
    "\t'n' to nudge start forward\n"
    "\t'b' to nudge start backward\n"
    "\t'no' to nudge stop point forward\n"
    "\t'bo' to nudge stop point backward\n"
    "\t'N' to nudge both start and stop forward\n"
    "\t'B' to nudge both start and stop backward\n"
    "\t'nn' to set nudge amount\n";

enum class Do { Stay, Play, End };

struct Menu {
  Session* session;
  Source* source;
  Console* console;
};

uint32_t Rate(const Menu& m) { return static_cast<uint32_t>(m.source->latest.sampleRate); }

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
Do MayPlay(const Menu& m) {
  const Selection& sel = m.session->selection;
  if (const char* nothing = NothingBetween(sel)) std::puts(nothing);
  // a reversed one goes on to the pass, which shows the times and plays nothing
  return sel.start == sel.stop ? Do::Stay : Do::Play;
}

// The in-time and out-time prompts: seconds, or frames as "96038s". A reply
// that is not a number leaves the point as it was.
template <bool in>
Do SetTime(Menu& m) {
  std::puts(in ? "Enter in-time in seconds." : "Enter out-time in seconds.");
  const int64_t limit = LengthAsFrame(m.source->latest.lengthFrames);
  double seconds = 0;
  int64_t frame = 0;
  bool frames = false;
  if (!ReadTime(m.console, &seconds, &frame, &frames)) return Do::Stay;
  int64_t& point = in ? m.session->selection.start : m.session->selection.stop;
  if (in)
    point = frames ? InFrameAt(limit, frame) : InFrameFor(Rate(m), limit, seconds);
  else
    point = frames ? OutFrameAt(limit, frame) : OutFrameFor(Rate(m), limit, seconds);
  return Do::Stay;
}

// A point of the selection exactly, as sox takes it.
void PrintPoint(const char* name, int64_t frame) { std::printf("%s = %" PRId64 "s\n", name, frame); }

Do Exactly(Menu& m) {
  const Selection& sel = m.session->selection;
  PrintPoint("start", sel.start);
  PrintPoint("stop ", sel.stop);
  const int64_t length = SubFrames(sel.stop, sel.start);
  std::printf("length = %" PRId64 "s = %.3f sec\n", length, static_cast<double>(length) / Rate(m));
  return Do::Stay;
}

Do SetLoops(Menu& m) {
  std::puts("Enter number of loops.");
  ReadInt(m.console, &m.session->loopCount);
  return Do::Stay;
}

Do SetNudge(Menu& m) {
  Session* s = m.session;
  std::printf("\nCurrent Nudge Amount = %" PRId64 " samples or %.3f sec\n", s->nudgeFrames,
              static_cast<double>(SecondsFromFrames(s->nudgeFrames, Rate(m))));
  std::puts("Enter new nudge amount (in samples) or '0' to keep settings");
  int64_t amount = 0;
  if (ReadInt64(m.console, &amount) && amount > 0) s->nudgeFrames = amount;
  return Do::Stay;
}

Do ToggleFollow(Menu& m) {
  Watch& watch = m.source->watch;
  if (watch.follow) {
    watch.follow = false;
    std::puts("Follow mode is off.");
  } else {
    FollowSaves(m.source);
  }
  return Do::Stay;
}

Do View(Menu& m) {
  ViewSeam(*m.session, m.source);
  return Do::Stay;
}

// Where the points an edit moved stand now, exactly.
void PrintMoved(const Selection& was, const Selection& now) {
  if (now.start != was.start) PrintPoint("start", now.start);
  if (now.stop != was.stop) PrintPoint("stop ", now.stop);
}

Do Snap(Menu& m) {
  const Selection was = m.session->selection;
  SnapToCrossings(m.session, m.source);
  PrintMoved(was, m.session->selection);
  return Do::Stay;
}

// A nudge or a jump, and where the points it moved stand now.
template <Edit edit>
Do EditWord(Menu& m) {
  Selection& sel = m.session->selection;
  const Selection was = sel;
  sel = ApplyEdit(edit, sel, m.source->latest.lengthFrames, m.session->nudgeFrames);
  if (edit != Edit::WholeFile) PrintMoved(was, sel);
  return Do::Stay;
}

Do PlayWord(Menu& m) { return MayPlay(m); }
Do PlayAndEnd(Menu& m) {
  m.session->endAfterPass = true;  // holds until a pass has played, even when this one may not
  return MayPlay(m);
}
Do Whole(Menu& m) {
  EditWord<Edit::WholeFile>(m);
  return Do::Play;
}
Do WholeAndEnd(Menu& m) {
  m.session->endAfterPass = true;
  return Whole(m);
}
Do Exit(Menu&) { return Do::End; }

void PrintMoreCommands(bool following);

Do More(Menu& m) {
  PrintMoreCommands(m.source->watch.follow);
  return Do::Stay;
}

// Every word the menu knows. `more`: its line in the '+' list, for the words
// added since the list's first ten; `length`: it needs the file's length.
const struct Word {
  const char* word;
  Do (*apply)(Menu&);
  bool length;
  const char* more;
} kWords[] = {
    {"+", More, false, nullptr},
    {"x", Exit, false, nullptr},
    {"p", PlayWord, false, nullptr},
    {"px", PlayAndEnd, false, nullptr},
    {"w", Whole, true, nullptr},
    {"wx", WholeAndEnd, true, nullptr},
    {"i", SetTime<true>, true, nullptr},
    {"o", SetTime<false>, true, nullptr},
    {"l", SetLoops, false, nullptr},
    {"j", EditWord<Edit::JumpAhead>, true, nullptr},
    {"J", EditWord<Edit::JumpBack>, false, nullptr},
    {"n", EditWord<Edit::StartForward>, false, nullptr},
    {"b", EditWord<Edit::StartBack>, false, nullptr},
    {"N", EditWord<Edit::BothForward>, true, nullptr},
    {"B", EditWord<Edit::BothBack>, false, nullptr},
    {"no", EditWord<Edit::StopForward>, true, nullptr},
    {"bo", EditWord<Edit::StopBack>, false, nullptr},
    {"nn", SetNudge, false, nullptr},
    {"f", ToggleFollow, false, "\t'f' to toggle follow mode"},
    {"v", View, false, "\t'v' to view the loop's seam"},
    {"z", Snap, false, "\t'z' to snap start and stop to zero crossings"},
    {"e", Exactly, false, "\t'e' to show the selection exactly, in frames"},
};

// The added words' lines; with `following`, follow mode's line says whether it is on.
void PrintWords(const bool* following) {
  for (const Word& w : kWords) {
    if (!w.more) continue;
    std::fputs(w.more, stdout);
    if (following && w.apply == ToggleFollow) std::fputs(*following ? " (on)" : " (off)", stdout);
    std::putchar('\n');
  }
}

void PrintMoreCommands(bool following) {
  std::fputs(kMoreCommands, stdout);
  PrintWords(&following);
}

Do ApplyWord(const std::string& word, Menu& m) {
  for (const Word& w : kWords) {
    if (word != w.word) continue;
    // a word waits while the file is being written; one that needs its length reads it as it is now
    Settle(m.source, m.console->waiter, 0);
    if (w.length) Refresh(m.source, m.console->waiter);
    return w.apply(m);
  }
  return Do::Stay;
}

}  // namespace

void PrintAddedWords() { PrintWords(nullptr); }

bool IsMenuWord(const std::string& word) {
  return std::any_of(std::begin(kWords), std::end(kWords), [&](const Word& w) { return word == w.word; });
}

Next RunMenu(Session* s, Source* source, Console* console, const std::string* firstWord, bool* bySave) {
  Menu m{s, source, console};
  Do outcome = firstWord ? ApplyWord(*firstWord, m) : Do::Stay;
  if (firstWord && s->endAfterPass && outcome == Do::Stay) return Next::Nothing;
  *bySave = false;
  std::string word;
  while (outcome == Do::Stay) {
    // a save latched while a prompt waited for its answer plays now
    const bool saved = source->watch.follow && source->watch.saved;
    Got got = Got::Save;
    if (!saved) {
      PrintMenu(*s, source->latest.sampleRate);
      got = ReadCommand(console, &word);
    }
    // the end of input ends the run as "x" does, rather than repeating the last word
    if (got != Got::Save) {
      outcome = ApplyWord(got == Got::Word ? word : "x", m);
      continue;
    }
    // a save, while waiting here or at a prompt: played as "p" plays
    source->watch.saved = false;
    *bySave = true;
    outcome = MayPlay(m);
  }
  if (outcome == Do::End) return Next::End;
  return s->endAfterPass ? Next::PlayAndEnd : Next::Play;
}
