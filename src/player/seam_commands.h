// The seam commands of the menu: "v" draws the waveform where the loop joins,
// "z" moves the selection's ends to zero crossings going up, "zl" moves the
// start so and the stop with it, keeping the loop's length.
#pragma once
#include "player/session.h"
#include "player/source.h"

void ViewSeam(const Session& session, Source* source);

void SnapToCrossings(Session* session, Source* source);

void SnapKeepingLength(Session* session, Source* source);
