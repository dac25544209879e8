#include "io/wait.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>

#include "io/interrupt.h"

namespace {

constexpr size_t kStopFd = 0, kWatchFd = 1, kInputFd = 2;
constexpr int64_t kGlanceMs = 5;

// A save latched by the watch, or an event of the file since the wait began
// (`seen` events before it), as the caller asked.
Event Latched(const Watch* watch, unsigned wants, uint64_t seen) {
  if (watch && (wants & kSave) && watch->follow && watch->saved) return Event::Save;
  if (watch && (wants & kChange) && watch->events != seen) return Event::Change;
  return Event::Timeout;
}

// Reads the watch's events; a watch that cannot be kept stops follow mode, in one line.
void KeepWatch(Watch* watch) {
  std::string why;
  if (ReadWatch(watch, NowMs(), &why)) return;
  if (watch->follow) std::printf("Follow mode has stopped: %s\n", why.c_str());
  watch->fd.Reset();
  watch->follow = false;
}

}  // namespace

int64_t NowMs() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1'000'000;
}

void StartWaiter(Waiter* w) { w->fds.assign(kDeviceFds, {-1, POLLIN, 0}); }

void WaitOnDevice(Waiter* w, const std::vector<pollfd>& fds) {
  w->fds.resize(kDeviceFds);
  w->fds.insert(w->fds.end(), fds.begin(), fds.end());
}

Event Wait(Waiter* w, unsigned wants, Deadline until) {
  std::fflush(stdout);
  w->fds[kStopFd] = {StopFd(), POLLIN, 0};
  w->fds[kWatchFd] = {w->watch && w->watch->fd.Valid() ? w->watch->fd.Get() : -1, POLLIN, 0};
  // what is not asked for must not wake the wait, or it would spin
  w->fds[kInputFd] = {(wants & kInput) ? 0 : -1, POLLIN, 0};
  const nfds_t count = (wants & kRoom) ? w->fds.size() : kDeviceFds;
  const uint64_t seen = w->watch ? w->watch->events : 0;
  for (;;) {
    if (StopRequested()) return Event::Stop;
    if (const Event latched = Latched(w->watch, wants, seen); latched != Event::Timeout) return latched;
    const int64_t now = w->lastLook = NowMs();
    // a deadline already past still gets one look
    const int ms = until == kNever ? -1 : static_cast<int>(std::clamp<int64_t>(until - now, 0, 60'000));
    const int n = poll(w->fds.data(), count, ms);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Event::Timeout;  // nothing that works to wait on: never spin
    if (w->fds[kWatchFd].revents) {
      KeepWatch(w->watch);
      continue;  // a save or a change is latched above; other files' events wait on
    }
    if (w->fds[kInputFd].revents) return Event::Input;
    for (nfds_t i = kDeviceFds; i < count; ++i)
      if (w->fds[i].revents) return Event::Ready;
    if (n == 0 && NowMs() >= until) return Event::Timeout;
  }
}

Event Glance(Waiter* w, unsigned wants) {
  if (NowMs() - w->lastLook < kGlanceMs && !StopRequested()) return Event::Timeout;
  return Wait(w, wants & ~(kRoom | kInput), NowMs());
}
