// The one place the program waits: one poll over the signals' pipe, the
// device's answer, the watch and standard input, until the nearest deadline
// on the monotonic clock. What the run does with each wake is the run's.
#pragma once
#include <cstdint>

using Deadline = int64_t;  // milliseconds on the monotonic clock
constexpr Deadline kNever = INT64_MAX;
int64_t NowMs();

// What a wait listens to besides the signals: -1 or false for what it must
// not wake for (a descriptor that is not read would wake it again and again).
struct Want {
  int deviceFd = -1;
  int watchFd = -1;
  bool input = false;
  Deadline until = kNever;
};

enum class Wake { Signal, Device, Watch, Input, Time };

// Waits for one of `want`, a signal, or its deadline (a deadline already past
// still gets one look). Of several ready at once, the first in Wake's order.
Wake Poll(const Want& want);
