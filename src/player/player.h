// One player run: set-up, the menu and play passes, release.
#pragma once
#include <optional>
#include <string>

#include "io/console.h"
#include "io/event.h"

struct PlayArgs {
  std::string path;
  std::string deviceName = "default";
  double inSeconds = 0;   // 0: from the beginning
  double outSeconds = 0;  // 0: to the end
  std::string commandText;  // acted on before the menu when autoCommand is set
  bool autoCommand = false;
  int loopCount = 1;
  bool follow = false;  // a save of the file plays the selection
};

// Plays `args.path` on `args.deviceName`, reading words from `console`, until
// the user or the first command ends the run; returns after releasing
// everything: nothing for a normal end, or the failure that ended it.
std::optional<Failure> Play(const PlayArgs& args, Console* console);
