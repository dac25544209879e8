// The one place the program waits: for room on the device, a word on standard
// input, a stop (Ctrl-C during a pass), a save or a change of the file, or a
// deadline on the monotonic clock. Events that are not asked for, or not for
// the file, never extend a deadline. Standard output is flushed first, so the
// console is up to date whenever the program waits.
#pragma once
#include <poll.h>

#include <cstdint>
#include <vector>

#include "io/event.h"
#include "io/watch.h"

// What a wait may end for, besides a stop and its deadline.
constexpr unsigned kRoom = 1, kInput = 2, kSave = 4, kChange = 8;

using Deadline = int64_t;  // milliseconds on the monotonic clock
constexpr Deadline kNever = INT64_MAX;
int64_t NowMs();

struct Waiter {
  Watch* watch = nullptr;
  std::vector<pollfd> fds;  // the stop request, the watch, standard input, then the device's
  int64_t lastLook = 0;     // when the descriptors were last polled
};
constexpr size_t kDeviceFds = 3;

// Sets up the waiter for standard input and the stop request; the watch and
// the device join it when they are opened.
void StartWaiter(Waiter* waiter);
void WaitOnDevice(Waiter* waiter, const std::vector<pollfd>& fds);

// Waits for one of `wants`, a stop, or `until`.
Event Wait(Waiter* waiter, unsigned wants, Deadline until);

// For a device that never makes the program wait: a look, without waiting,
// at most every few milliseconds; Timeout when there is nothing to act on.
Event Glance(Waiter* waiter, unsigned wants);
