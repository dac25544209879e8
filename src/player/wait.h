// The one place the program sleeps: until the device has room, a time has
// passed, or standard input has bytes; a stop request (Ctrl-C during a pass)
// and, in follow mode, a save of the file wake it too. Standard output is
// flushed first, so the console is up to date whenever the program waits.
#pragma once
#include "player/device.h"
#include "player/follow.h"

enum class Wake { Ready, Stop, Save, Failed };

// Output::pollFds holds the waiter's own descriptors first, then the device's.
constexpr size_t kStopSlot = 0;
constexpr size_t kWatchSlot = 1;
constexpr size_t kFirstDeviceSlot = 2;

// Until the device has room for a write. On Failed, `*error` holds the code.
Wake WaitForRoom(Output* out, Watch* watch, int* error);

// Until `ms` milliseconds have passed (Ready); -1 waits for a stop or a save.
Wake Sleep(Watch* watch, int ms);

// Until `fd` has bytes to read, or has ended (Ready). Not woken by a stop:
// in the menu Ctrl-C ends the program.
Wake WaitForInput(int fd, Watch* watch);

// After a save: until the watch has been quiet for a moment, so that saves
// that come together count once.
Wake SettleSaves(Watch* watch);
