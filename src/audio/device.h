// The playback device as the run sees it. Every call into the sound library
// runs on a thread of the device's own, one call at a time: a sound server's
// plugin may wait on its server in any call, and a server that hangs must not
// hang the program. A call's answer wakes the loop through a descriptor; a
// call not answered by its deadline loses the device, whose thread is then
// abandoned, never waited on again.
#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "audio/pcm.h"
#include "io/loop.h"

enum class Call { None, Open, Prepare, Room, Write, Queued, Drain, Drop, Close };

struct Answer {
  Call call = Call::None;
  int64_t result = 0;  // frames for Write and Queued, else 0; or the library's error
  bool waited = false;  // Write: the device made it wait for room
  std::string why;      // Open: the line when it failed
};

struct Line;  // what the caller shares with the thread

struct Device {
  std::shared_ptr<Line> line;
  std::thread thread;
  Granted granted;           // by the last Open that succeeded
  Call busy = Call::None;    // the calls on the thread: one, or up to kWrites writes
  int inHand = 0;            // how many
  int next = 0;              // the write buffer the next Write takes its frames from
  int64_t started = 0;       // when the thread last went from idle to a call
  bool lost = false;         // abandoned: a new one must be opened
};

// Most frames a Write may take, and the buffer it takes them from: a device
// that never makes a write wait (null, a file) is given many periods at a
// time, so that the thread costs nothing per period.
uint64_t WriteCapacity(const Device& device);
unsigned char* WriteBuffer(Device* device);

// Starts a thread and opens the device on it (any open device is closed first, or abandoned when busy).
void OpenDevice(Device* device, const DeviceRequest& request);

// Writes that may be in hand at once: the thread goes from one to the next
// without waiting for the caller, who refills two while it writes two.
constexpr int kWrites = 4;

// Whether `call` may be asked for now: any on an idle device, and more
// Writes while one runs, up to kWrites.
bool CanAsk(const Device& device, Call call);

// Starts a call (CanAsk says when); a Write takes the first `frames` of WriteBuffer as it is now,
// and Room waits until the device has room for `frames`.
void Ask(Device* device, Call call, uint64_t frames = 0);

// Readable when the call has returned; -1 when the device is idle.
int AnswerFd(const Device& device);

// When the call is overdue: the device is then lost. kNever when idle.
Deadline Due(const Device& device);

// The answer of the first call in hand, once its descriptor is readable; false while it runs.
bool TakeAnswer(Device* device, Answer* answer);

// Asks the calls in hand to return at once; a stuck one does not.
void CancelCall(Device* device);

// The program was stopped and continued: the call's time starts again.
void Continued(Device* device);

// Gives the device up: its thread and the library's handle are left as they are, never waited on.
void Abandon(Device* device);

// Whether any device was abandoned: then the program ends without tidying up
// after them, so that no stuck plugin holds up its exit.
bool AnyAbandoned();
