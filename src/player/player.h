// One player run: set-up, the menu and play passes, release.
#pragma once
#include <optional>
#include <string>

#include "io/console.h"
#include "player/failure.h"
#include "player/selection.h"

struct PlayArgs {
  std::string path;
  std::string deviceName = "default";
  TypedTime in, out;        // START and STOP
  std::string commandText;  // acted on before the menu when autoCommand is set
  bool autoCommand = false;
  bool endsByItself = false;  // "px" or "wx" given: a START or STOP past the end fails the run
  int loopCount = 1;
  bool follow = false;    // a save of the file plays the selection
  bool audition = false;  // a pass from the menu loops until stopped
};

// Plays `args.path` on `args.deviceName`, reading words from `console`, until
// the user or the first command ends the run; returns after releasing
// everything: nothing for a normal end, or the failure that ended it.
std::optional<Failure> Play(const PlayArgs& args, Console* console);
