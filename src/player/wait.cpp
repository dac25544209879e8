#include "player/wait.h"

#include <cerrno>
#include <cstdio>
#include <ctime>

#include "player/interrupt.h"

namespace {

// Saves within this long of each other count as one.
constexpr int kSettleMs = 10;
constexpr int kMaxSettleMs = 100;

// Polls `count` descriptors of `fds`, the first two being the stop request and
// the watch, until something happens or `ms` pass; says which woke it first.
Wake Poll(pollfd* fds, nfds_t count, Watch* watch, int ms, int* error) {
  std::fflush(stdout);
  fds[kStopSlot] = {StopFd(), POLLIN, 0};
  fds[kWatchSlot] = {watch && Following(*watch) ? watch->fd.Get() : -1, POLLIN, 0};
  for (;;) {
    const int n = poll(fds, count, ms);
    if (StopRequested()) return Wake::Stop;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = -errno;
      return Wake::Failed;
    }
    if (fds[kWatchSlot].revents != 0 && TakeSaves(watch)) return Wake::Save;
    // events for other files were read; any other wake is for the caller
    if (n == 0 || n > (fds[kWatchSlot].revents != 0 ? 1 : 0)) return Wake::Ready;
  }
}

}  // namespace

Wake WaitForRoom(Output* out, Watch* watch, int* error) {
  pollfd* device = out->pollFds.data() + kFirstDeviceSlot;
  const nfds_t count = out->pollFds.size() - kFirstDeviceSlot;
  for (;;) {
    const Wake wake = Poll(out->pollFds.data(), out->pollFds.size(), watch, -1, error);
    if (wake != Wake::Ready) return wake;
    unsigned short revents = 0;
    const int r = snd_pcm_poll_descriptors_revents(out->pcm.get(), device, static_cast<unsigned>(count), &revents);
    if (r < 0) {
      *error = r;
      return Wake::Failed;
    }
    // Any wake of the device's descriptors goes back to a write, which tells:
    // a sound server that went away leaves them readable with no events, and
    // only a write attempt turns that into an error instead of a busy loop.
    for (nfds_t i = 0; i < count; ++i)
      if (device[i].revents != 0) return Wake::Ready;
  }
}

Wake Sleep(Watch* watch, int ms) {
  pollfd fds[kFirstDeviceSlot];
  int error = 0;
  const Wake wake = Poll(fds, kFirstDeviceSlot, watch, ms, &error);
  return wake == Wake::Failed ? Wake::Ready : wake;
}

Wake WaitForInput(int fd, Watch* watch) {
  pollfd fds[kFirstDeviceSlot + 1];
  fds[kFirstDeviceSlot] = {fd, POLLIN, 0};
  int error = 0;
  for (;;) {
    const Wake wake = Poll(fds, kFirstDeviceSlot + 1, watch, -1, &error);
    if (wake == Wake::Save) return Wake::Save;
    // readable, ended or failed: the read that follows tells which
    if (wake != Wake::Ready || fds[kFirstDeviceSlot].revents != 0) return Wake::Ready;
  }
}

Wake SettleSaves(Watch* watch) {
  for (int waited = 0; waited < kMaxSettleMs; waited += kSettleMs) {
    const Wake wake = Sleep(watch, kSettleMs);
    if (wake != Wake::Save) return wake;
  }
  return Wake::Ready;
}
