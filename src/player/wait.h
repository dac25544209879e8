// The one place a pass sleeps: until the device has room, or a stop is asked
// for, or a time has passed. Standard output is flushed first, so the console
// is up to date whenever the program waits.
#pragma once
#include "player/device.h"

enum class Wake { Ready, Stop, Failed };

// Output::pollFds holds the waiter's own descriptors first, then the device's.
constexpr size_t kStopSlot = 0;
constexpr size_t kFirstDeviceSlot = 1;

// Until the device has room for a write. On Failed, `*error` holds the code.
Wake WaitForRoom(Output* out, int* error);

// Until `ms` milliseconds have passed (Ready), or a stop is asked for.
Wake Sleep(Output* out, int ms);
