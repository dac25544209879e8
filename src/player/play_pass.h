// One play pass: the selection, loopCount times, period by period, from the
// file as it is: a shorter file clips the pass, never the selection.
#pragma once
#include "io/event.h"
#include "audio/feed.h"
#include "player/session.h"
#include "player/source.h"

// Whether a pass would play no frame at all: the selection empty, reversed,
// or past the end of the file, with one loop or more to play.
bool PlaysNothing(const Session& session, const Source& source);

// Prints the pass's lines and plays the session's selection from the file
// open in `source`. Ready when it ran to its end; Stop; Save in follow mode
// when the file was saved or written under it; Failed with the failure.
Outcome PlayPass(const Session& session, Source* source, Output* out, Waiter* waiter);
