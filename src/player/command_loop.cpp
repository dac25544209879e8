#include "player/command_loop.h"

#include <cinttypes>
#include <cstdio>

#include "player/seam_tools.h"
#include "player/wait.h"

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

void PrintMoreCommands(bool following) {
  std::fputs(kMoreCommands, stdout);
  std::printf("\t'f' to toggle follow mode (%s)\n", following ? "on" : "off");
  std::puts("\t'v' to view the loop's seam");
  std::puts("\t'z' to snap start and stop to zero crossings");
}

void ToggleFollow(Source* source, Console* console) {
  if (Following(source->watch)) {
    StopWatch(&source->watch);
    console->saved = false;
    std::puts("Follow mode is off.");
    return;
  }
  if (FollowSaves(source)) std::puts("Follow mode is on: a save of the file plays the selection.");
}

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

bool EditForWord(const std::string& word, Edit* edit) {
  static const struct {
    const char* word;
    Edit edit;
  } kEdits[] = {
      {"w", Edit::WholeFile},     {"wx", Edit::WholeFile},   {"j", Edit::JumpAhead},
      {"J", Edit::JumpBack},      {"n", Edit::StartForward}, {"b", Edit::StartBack},
      {"N", Edit::BothForward},   {"B", Edit::BothBack},     {"no", Edit::StopForward},
      {"bo", Edit::StopBack},
  };
  for (const auto& e : kEdits) {
    if (word == e.word) {
      *edit = e.edit;
      return true;
    }
  }
  return false;
}

// Whether "p" may play: a reversed selection plays (nothing), an empty one does not.
bool MayPlay(const Selection& sel) {
  if (sel.start > sel.stop) {
    std::puts("Start time is set later than stop time!");
    return true;  // the pass shows the times and plays nothing
  }
  if (sel.start == sel.stop) {
    std::puts("Start time and stop time are the same!");
    return false;
  }
  return true;
}

void AskNudgeAmount(Session* s, uint64_t rate, Console* console) {
  std::printf("\nCurrent Nudge Amount = %" PRId64 " samples or %.3f sec\n", s->nudgeFrames,
              static_cast<double>(SecondsFromFrames(s->nudgeFrames, rate)));
  std::puts("Enter new nudge amount (in samples) or '0' to keep settings");
  int64_t amount = 0;
  if (ReadInt64(console, &amount) && amount > 0) s->nudgeFrames = amount;
}

enum class Outcome { Stay, Play, End };

Outcome ApplyWord(const std::string& word, Session* s, Source* source, Console* console) {
  const StreamAttributes& file = source->now;
  const auto rate = static_cast<uint32_t>(file.sampleRate);
  const int64_t length = LengthAsFrame(file.lengthFrames);
  Outcome outcome = word == "x" ? Outcome::End : Outcome::Stay;
  if (word == "+") PrintMoreCommands(Following(source->watch));
  if ((word == "p" || word == "px") && MayPlay(s->selection)) outcome = Outcome::Play;
  if (word == "px" || word == "wx") s->endAfterPass = true;
  Edit edit;
  if (word == "i") {
    SetInTime(console, rate, length, &s->selection.start);
  } else if (word == "o") {
    SetOutTime(console, rate, length, &s->selection.stop);
  } else if (word == "l") {
    std::puts("Enter number of loops.");
    ReadInt(console, &s->loopCount);
  } else if (word == "nn") {
    AskNudgeAmount(s, rate, console);
  } else if (word == "f") {
    ToggleFollow(source, console);
  } else if (word == "v") {
    ViewSeam(*s, source);
  } else if (word == "z") {
    SnapToCrossings(s, source);
  } else if (EditForWord(word, &edit)) {
    s->selection = ApplyEdit(edit, s->selection, file.lengthFrames, s->nudgeFrames);
    if (edit == Edit::WholeFile) outcome = Outcome::Play;
  }
  return outcome;
}

}  // namespace

Next RunMenu(Session* s, Source* source, Console* console, const std::string* firstWord, bool* bySave) {
  Outcome outcome = Outcome::Stay;
  std::string word;
  if (firstWord) outcome = ApplyWord(*firstWord, s, source, console);
  while (outcome == Outcome::Stay) {
    if (!console->saved) {
      PrintMenu(*s, source->now.sampleRate);
      const Got got = ReadCommand(console, &word);
      // the end of input ends the run as "x" does, rather than repeating the last word
      if (got != Got::Save) {
        *bySave = false;
        outcome = ApplyWord(got == Got::Word ? word : "x", s, source, console);
        continue;
      }
    }
    // a save, while waiting here or at a prompt: played as "p" plays, once for saves together
    console->saved = false;
    SettleSaves(&source->watch);
    outcome = ApplyWord("p", s, source, console);
    *bySave = true;
  }
  if (outcome == Outcome::End) return Next::End;
  return s->endAfterPass ? Next::PlayAndEnd : Next::Play;
}
