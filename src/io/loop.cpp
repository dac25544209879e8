#include "io/loop.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

#include "io/interrupt.h"

int64_t NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

Wake Poll(const Want& want) {
  // in Wake's order
  pollfd fds[] = {{SignalFd(), POLLIN, 0},
                  {want.deviceFd, POLLIN, 0},
                  {want.watchFd, POLLIN, 0},
                  {want.input ? 0 : -1, POLLIN, 0}};
  for (;;) {
    const int64_t left = want.until == kNever ? -1 : std::clamp<int64_t>(want.until - NowMs(), 0, 60'000);
    const int n = poll(fds, sizeof fds / sizeof *fds, static_cast<int>(left));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Wake::Time;  // nothing that works to wait on
    for (const pollfd& p : fds)
      if (p.revents) return static_cast<Wake>(&p - fds);
    if (left >= 0 && NowMs() >= want.until) return Wake::Time;
  }
}
