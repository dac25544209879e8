// What the user edits from the menu: the selection and its changes, the nudge
// amount, the loop count, follow mode, and whether the run ends after the next pass.
#pragma once
#include <cstdint>
#include <vector>

#include "player/selection.h"

struct Session {
  Selection selection;
  std::vector<Selection> changes;  // the selections before each change, for "u"
  int64_t nudgeFrames = 12000;
  int loopCount = 1;
  bool follow = false;        // a save of the file plays the selection, and restarts a pass
  bool audition = false;      // a pass from the menu loops until stopped, and words act while it plays
  bool endAfterPass = false;  // "px" or "wx": holds until a pass has played
};
