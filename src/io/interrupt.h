// Signals the loop hears: Ctrl-C during a pass that returns to the menu stops
// the sound, not the session; and a program continued after Ctrl-Z does not
// count the time it was stopped against the device.
#pragma once

// Once, at start-up: notes whether the caller left interrupts ignored (a
// background job): then they stay ignored throughout, and nothing below
// changes that. Installs the handler for SIGCONT.
void InitInterrupts();

// Installs the handler: the first interrupt asks for a stop, a second one
// ends the process as an interrupt always did.
void CatchInterrupts();

// Back to how the program started (an interrupt ends it, or stays ignored);
// forgets any stop request.
void DefaultInterrupts();

bool StopRequested();

// How many times the program was continued after being stopped (Ctrl-Z, fg).
unsigned Continues();

// Readable once a stop was asked for or the program continued; the loop polls
// it and empties it with TakeSignals.
int SignalFd();
void TakeSignals();
