// The seam commands of the menu: "v" draws the waveform where the loop joins,
// "z" moves the selection's ends to zero crossings going up.
#pragma once
#include "player/session.h"
#include "player/source.h"

void ViewSeam(const Session& session, Source* source);

void SnapToCrossings(Session* session, Source* source);
