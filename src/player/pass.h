// A pass: the file looked at (and waited for while in flux), the device made
// ready, the selection played loopCount times a read at a time, the sound
// heard. Each step waits on the loop, never on its own; the handlers below are
// the pass's part of the loop.
#pragma once
#include "audio/device.h"
#include "player/run.h"

// Whether a pass would play no frame at all: the selection empty, reversed,
// or past the end of the file, with one loop or more to play.
bool PlaysNothing(const Session& session, const Source& source);

// Starts a pass: from the menu (Ctrl-C stops it, and it returns to the menu
// once heard), or, after "px" or "wx", the run's last. A save in follow mode
// restarts a pass as it was.
// `bySave`: a save in follow mode, which is said before the pass plays;
// `scripted`: the command line's first word, which fails when it plays nothing.
void StartPass(Run* run, bool bySave, bool scripted = false);

// The run's first look at the file, then the device opened for it.
void StartRun(Run* run);

// The steps that need no wait, until one does.
void Advance(Run* run);

// Stops the sound: the call in hand cancelled, what the device holds dropped.
void Silence(Run* run);

// Audition's A/B: plays the render before the last save if the current one
// plays, and the current one if the other does, at once, from the frame heard.
void SwitchRender(Run* run);

// What the pass (or the start) does with a device's answer, a change of the
// file, a stop, and the time; the deadline it waits for.
void PassOnAnswer(Run* run, const Answer& answer);
void PassOnWatch(Run* run);
void PassOnStop(Run* run);
void PassOnTime(Run* run);
Deadline PassDeadline(const Run& run);
