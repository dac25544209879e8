// What the user edits from the menu: the selection, the nudge amount, the loop
// count, follow mode, and whether the run ends after the next pass.
#pragma once
#include <cstdint>

#include "player/selection.h"

struct Session {
  Selection selection;
  int64_t nudgeFrames = 12000;
  int loopCount = 1;
  bool follow = false;        // a save of the file plays the selection, and restarts a pass
  bool endAfterPass = false;  // "px" or "wx": holds until a pass has played
};
