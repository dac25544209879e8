// One play pass: the selection, loopCount times, period by period.
#pragma once
#include "player/device.h"
#include "player/session.h"
#include "player/source.h"

enum class PassEnd { Played, Stopped };

// Prints the pass's lines and plays `session`'s selection from the file open
// in `source`. A failed device write ends the program with status 1.
PassEnd PlayPass(const Session& session, const Source& source, Output* out);
