// Ctrl-C during a pass that returns to the menu stops the sound, not the session.
#pragma once

// Installs the handler: the first interrupt sets the stop flag, a second one
// ends the process as an interrupt always did.
void CatchInterrupts();

// Back to the default disposition (an interrupt ends the process); clears the flag.
void DefaultInterrupts();

bool StopRequested();
