// The device fed through the waiter: writes that wait for room, and the wait
// until the sound has been heard. A stop or a save cuts either short; a device
// that no longer takes audio is given up on, never waited for without end.
#pragma once
#include "audio/device.h"
#include "io/wait.h"

// Writes `count` frames from out->deviceFrames. Ready when all were taken;
// Stop or Save as `wants` allows; Failed when the device failed or was lost
// (out->error holds the library's code).
Event Feed(Output* out, Waiter* waiter, snd_pcm_uframes_t count, unsigned wants);

// Until the device has played all it holds: Ready, or as Feed.
Event Drain(Output* out, Waiter* waiter, unsigned wants);

// The failure of a device call that returned `error`: the run ends with status 1.
Failure DeviceFailure(int error);
