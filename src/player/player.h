// One player run: set-up, the menu and play passes, release.
#pragma once
#include <string>

struct PlayArgs {
  std::string path;
  std::string deviceName = "default";
  float inSeconds = 0;   // 0: from the beginning
  float outSeconds = 0;  // 0: to the end
  std::string commandText;  // acted on before the menu when autoCommand is set
  bool autoCommand = false;
  int loopCount = 1;
  bool follow = false;  // a save of the file plays the selection
  std::string typedAhead;  // input read at the file prompt, not yet used
};

// Plays `args.path` on `args.deviceName` until the user or the first command
// ends the run; returns after releasing everything. Fatal problems end the
// program with status 1 or 2.
void PLAY(const PlayArgs& args);
