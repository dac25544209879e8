#include "io/interrupt.h"

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t stopRequested = 0;
bool ignoredAtStart = false;
// The handler writes a byte here, so that a wait in poll() wakes at once
// however the signal's arrival falls between the flag check and the poll.
int wakePipe[2] = {-1, -1};

void OnInterrupt(int sig) {
  if (stopRequested) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  stopRequested = 1;
  const int saved = errno;
  const ssize_t ignored = write(wakePipe[1], "", 1);
  (void)ignored;  // a full pipe is already readable
  errno = saved;
}

void Install(void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  // a console write the signal lands in must go on, not lose its text
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
}

void Forget() {
  stopRequested = 0;
  char drain[64];
  while (read(wakePipe[0], drain, sizeof drain) > 0) {
  }
}

}  // namespace

void InitInterrupts() {
  struct sigaction now {};
  sigaction(SIGINT, nullptr, &now);
  ignoredAtStart = now.sa_handler == SIG_IGN;
  if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
}

void CatchInterrupts() {
  if (ignoredAtStart) return;
  Install(OnInterrupt);
}

void DefaultInterrupts() {
  if (ignoredAtStart) return;
  Install(SIG_DFL);
  Forget();
}

bool StopRequested() { return stopRequested != 0; }

int StopFd() { return wakePipe[0]; }
