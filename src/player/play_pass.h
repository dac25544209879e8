// One play pass: the selection, loopCount times, period by period.
#pragma once
#include "player/device.h"
#include "player/session.h"
#include "player/source.h"

// Stopped: by Ctrl-C. Saved: a save of the file came (follow mode).
enum class PassEnd { Played, Stopped, Saved };

// Prints the pass's lines and plays the session's selection from the file
// open in `source`, following the file if it changes under the pass. A
// failed device write ends the program with status 1.
PassEnd PlayPass(Session* session, Source* source, Output* out);
