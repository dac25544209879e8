// One play pass: the header re-check, then the selection loopCount times.
#pragma once
#include "player/player.h"

enum class HeaderChange { None, SampleRate, BitDepth, Channels };

// The first difference that makes the file unplayable with the device as set up.
HeaderChange CompareHeaders(const StreamAttributes& initial, const StreamAttributes& current);

// The end of what a pass plays: the stop, or the end of the data if sooner.
int64_t PlayEnd(int64_t stopFrame, uint64_t lengthFrames);

enum class PassEnd { EndRun, BackToMenu };

// Runs a pass on `s`. A changed format or a failed device write ends the process.
PassEnd PlayPass(PlayerState* s);
