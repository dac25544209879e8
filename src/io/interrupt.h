// Ctrl-C during a pass that returns to the menu stops the sound, not the session.
#pragma once

// Once, at start-up: notes whether the caller left interrupts ignored (a
// background job): then they stay ignored throughout, and nothing below
// changes that.
void InitInterrupts();

// Installs the handler: the first interrupt asks for a stop, a second one
// ends the process as an interrupt always did.
void CatchInterrupts();

// Back to how the program started (an interrupt ends it, or stays ignored);
// forgets any stop request.
void DefaultInterrupts();

bool StopRequested();

// Readable once a stop has been asked for: a waiter polls it beside the device.
int StopFd();
