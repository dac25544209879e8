// One run as the loop moves it: set-up, the menu, passes, the end. Every
// source the loop hears (a word, a save, a stop, a device's answer, a
// deadline) is handed to the run, whose state says what it means now.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "audio/device.h"
#include "io/console.h"
#include "io/loop.h"
#include "player/audition.h"
#include "player/failure.h"
#include "player/player.h"
#include "player/session.h"
#include "player/source.h"

enum class Mode {
  Start,  // the file looked at, then the device opened
  Menu,   // words, and follow mode's saves
  Pass,   // the selection played
  Close,  // the device closing
  Done,
};

// A pass, from the look at the file to the sound heard.
struct Pass {
  enum class Step {
    Setup,   // the run's first look taken: the device opened for it
    Open,    // the device opening
    Settle,  // saves that come together counted once
    Look,    // the file read, and waited for while in flux
    Ready,   // the device made ready (opened again when lost)
    Room,    // an audition's next loop waits for room on the device, to take its selection late
    Loop,    // a loop begins
    Feed,    // frames read and handed to the device, which takes them
    Flux,    // the file changed under the pass: waited out in silence
    Tail,    // all handed over: the sound plays out
    Drain,   // the device's own latency
    Switch,  // audition's A/B: what is queued dropped, the other render played from the frame heard
  };
  Step step = Step::Look;
  Step afterLook = Step::Ready;  // Setup at the start, Ready for a pass, Feed for a loop's look
  bool toMenu = false;    // Ctrl-C stops it, and it ends when heard; else a script's, which ends the run
  bool giveUp = false;    // a file in flux for kGiveUpMs ends the run: a script waits for no one
  bool bySave = false;    // said before it plays
  bool reopened = false;  // the device was opened again in this pass
  bool played = false;    // the device took audio in this pass
  bool scripted = false;  // the command line's first word asked for it
  bool nothing = false;   // a script's pass that plays nothing: the run fails after it
  bool audition = false;  // loops until stopped, words act while it plays
  bool other = false;     // the render before the last save plays (audition's A/B)
  bool measure = true;    // this loop's level is measured: its frames are not those measured last
  bool roomy = false;     // the device has room for the next loop's first frames
  int loop = 0;           // loops played
  int64_t pos = 0;        // the next frame to be handed over and taken
  int64_t readPos = 0;    // the next frame to read: writes ahead of `pos`
  int64_t from = 0;       // where this loop's frames began to be handed over since the device last dropped
  Selection loopSel, lastSel;  // this loop's, and the last one's: edits wait for the next loop
  Level level, lastLevel;      // of this loop's frames, and of the last loop measured
  FileMark lastMark;           // the file the last measured loop came from
  uint64_t batch = 0;     // frames one read takes: more while the device never makes a write wait
  uint64_t unwaited = 0;  // frames written since a write last waited
  Deadline settle = kNever, settleMost = kNever;
  Deadline fluxSince = kNever;  // when the file was found in flux
  Found refused = Found::Whole; // what the last look refused, for a script that gives up
  Deadline lookAgain = kNever;
  Deadline heard = kNever;      // when the queued sound has played
};

// The menu's state between words.
struct MenuState {
  enum class Prompt { None, In, Out, Loops, Nudge };
  Prompt prompt = Prompt::None;
  bool firstTurn = false;  // the word given in advance, until it is applied
};

struct Run {
  Run(const PlayArgs& a, Console* c) : args(a), console(c) {}
  const PlayArgs& args;
  Console* console;
  Session session;
  Source source;
  Device device;
  Mode mode = Mode::Start;
  Pass pass;
  MenuState menu;
  bool awaited = false;   // the run waits for the call in hand; else its answer is let go
  bool dropNext = false;  // the device drops what it holds once the call in hand returns
  bool closeNext = false; // the device closes once the call in hand returns
  std::vector<unsigned char> fileFrames;  // a read's frames as the file holds them, when they need converting
  Renders renders;         // audition's, for A/B
  bool statusOpen = false; // a status line ends the console's output: what comes next begins a line
  unsigned continues = 0;  // the program's, as last seen
  std::optional<Failure> failure;
};

// Ends the run: with `failure`, or normally (the release's line end first).
void EndRun(Run* run, std::optional<Failure> failure);

// Whether an audition pass plays: words are then taken while it does.
inline bool Auditioning(const Run& run) { return run.mode == Mode::Pass && run.pass.audition; }
