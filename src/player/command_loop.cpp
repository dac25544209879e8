#include "player/command_loop.h"

#include <cinttypes>
#include <cstdio>

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

std::string MenuText(int loopCount, float startSeconds, float stopSeconds) {
  const char* format =
      "\n'i' to set in"
      "\n'o' to set out"
      "\n'l' to change number of loops (%i)"
      "\n'p' to play with current settings: %.2f to %.2f sec"
      "\n'w' to play whole file"
      "\n'x' to exit"
      "\n'+' to show additional commands\n";
  const double start = startSeconds, stop = stopSeconds;
  const int n = std::snprintf(nullptr, 0, format, loopCount, start, stop);
  std::string text(static_cast<size_t>(n) + 1, '\0');
  std::snprintf(&text[0], text.size(), format, loopCount, start, stop);
  text.pop_back();
  return text;
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

namespace {

uint32_t Rate32(const PlayerState& s) { return static_cast<uint32_t>(s.current.sampleRate); }

void CheckSelectionForPlay(PlayerState* s) {
  if (s->startFrame > s->stopFrame) {
    std::puts("Start time is set later than stop time!");
    s->action = kPlay;  // the pass shows the times and plays nothing
  } else if (s->startFrame == s->stopFrame) {
    std::puts("Start time and stop time are the same!");
  } else {
    s->action = kPlay;
  }
}

void AskNudgeAmount(PlayerState* s) {
  if (s->current.sampleRate != 0)
    s->nudgeSeconds = SecondsFromFrames(s->nudgeFrames, s->current.sampleRate);
  std::printf("\nCurrent Nudge Amount = %" PRId64 " samples or %.3f sec\n", s->nudgeFrames,
              static_cast<double>(s->nudgeSeconds));
  std::puts("Enter new nudge amount (in samples) or '0' to keep settings");
  int64_t amount = 0;
  if (ReadInt64(&s->console, &amount) && amount > 0) s->nudgeFrames = amount;
}

void RecomputeSeconds(PlayerState* s) {
  if (s->current.sampleRate == 0) return;
  s->startSeconds = SecondsFromFrames(s->startFrame, s->current.sampleRate);
  s->stopSeconds = SecondsFromFrames(s->stopFrame, s->current.sampleRate);
}

}  // namespace

void ApplyWord(PlayerState* s, const std::string& word) {
  if (word == "+") std::fputs(kMoreCommands, stdout);
  s->action = word == "x" ? kExit : kStay;
  if (word == "p" || word == "px") CheckSelectionForPlay(s);
  if (word == "px" || word == "wx") s->exitMode = kEndAfterPass;
  Edit edit;
  if (word == "i") {
    SetInTime(&s->console, Rate32(*s), LengthAsFrame(s->fileLength), &s->startFrame);
  } else if (word == "o") {
    SetOutTime(&s->console, Rate32(*s), LengthAsFrame(s->fileLength), &s->stopFrame);
  } else if (word == "l") {
    std::puts("Enter number of loops.");
    ReadInt(&s->console, &s->loopCount);
  } else if (word == "nn") {
    AskNudgeAmount(s);
  } else if (EditForWord(word, &edit)) {
    const Selection moved =
        ApplyEdit(edit, {s->startFrame, s->stopFrame}, s->fileLength, s->nudgeFrames);
    s->startFrame = moved.start;
    s->stopFrame = moved.stop;
    if (edit == Edit::WholeFile) s->action = kPlay;
  }
}

void RunCommandLoop(PlayerState* s) {
  do {
    RecomputeSeconds(s);
    if (s->action == kStay) {
      std::fputs(MenuText(s->loopCount, s->startSeconds, s->stopSeconds).c_str(), stdout);
      // the end of input ends the run as "x" does, rather than repeating the last word
      if (!ReadWord(&s->console, &s->commandText)) s->commandText = "x";
    }
    ApplyWord(s, s->commandText);
  } while (s->action == kStay);
}
