// What happened, as every wait, write, drain and pass tells it; and how a run
// ends when it cannot go on, which only main prints.
#pragma once
#include <string>
#include <utility>

enum class Event {
  Ready,    // what was waited for: the device's descriptors woke, or the work is done
  Input,    // standard input has bytes, or has ended
  Stop,     // Ctrl-C asked to stop the pass
  Save,     // the file was saved, in follow mode (latched until taken)
  Change,   // the file was written, saved, made or removed while the wait went on
  Timeout,  // the deadline passed
  Failed,   // the device failed or was lost, or the file can no longer be played
};

// The exit status and the one line that says why.
struct Failure {
  Failure(int s = 1, std::string l = "", bool e = false) : status(s), line(std::move(l)), toStderr(e) {}
  int status;
  std::string line;  // empty when what happened was said already
  bool toStderr;     // the sound library's errors; the file's go to standard output
};

// What ended a pass or a run: an event, and for Failed, the failure.
struct Outcome {
  Outcome(Event e = Event::Ready, Failure f = Failure()) : event(e), failure(std::move(f)) {}
  Event event;
  Failure failure;
};
