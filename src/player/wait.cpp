#include "player/wait.h"

#include <cerrno>
#include <cstdio>

#include "player/interrupt.h"

namespace {

// Polls the stop descriptor and, when `device` is set, the device's; returns
// poll's count, or -errno.
int Poll(Output* out, bool device, int ms) {
  std::vector<pollfd>& fds = out->pollFds;
  fds[kStopSlot] = {StopFd(), POLLIN, 0};
  const nfds_t count = device ? fds.size() : kFirstDeviceSlot;
  for (;;) {
    const int n = poll(fds.data(), count, ms);
    if (n >= 0) return n;
    if (errno != EINTR) return -errno;
    if (StopRequested()) return 1;  // the wake byte is there too; poll again to see it
  }
}

}  // namespace

Wake WaitForRoom(Output* out, int* error) {
  std::fflush(stdout);
  for (;;) {
    const int n = Poll(out, true, -1);
    if (StopRequested()) return Wake::Stop;
    if (n < 0) {
      *error = n;
      return Wake::Failed;
    }
    unsigned short revents = 0;
    pollfd* device = out->pollFds.data() + kFirstDeviceSlot;
    const nfds_t count = out->pollFds.size() - kFirstDeviceSlot;
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

Wake Sleep(Output* out, int ms) {
  std::fflush(stdout);
  Poll(out, false, ms);
  return StopRequested() ? Wake::Stop : Wake::Ready;
}
