#include "player/wait.h"

#include <cerrno>
#include <cstdio>

#include "player/interrupt.h"

Wake WaitForRoom(snd_pcm_t* pcm, std::vector<pollfd>* fds, int* error) {
  std::fflush(stdout);
  for (;;) {
    if (StopRequested()) return Wake::Stop;
    if (poll(fds->data(), fds->size(), -1) < 0) {
      if (errno == EINTR) continue;
      *error = -errno;
      return Wake::Failed;
    }
    unsigned short revents = 0;
    const int r = snd_pcm_poll_descriptors_revents(pcm, fds->data(), static_cast<unsigned>(fds->size()), &revents);
    if (r < 0) {
      *error = r;
      return Wake::Failed;
    }
    // an error state (an underrun) is met, and recovered, by the next write
    if (revents & (POLLOUT | POLLERR)) return Wake::Room;
  }
}
