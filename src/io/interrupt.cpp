#include "io/interrupt.h"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile sig_atomic_t stopRequested = 0;
std::atomic<unsigned> continues{0};
static_assert(std::atomic<unsigned>::is_always_lock_free, "bumped in a signal handler");
bool ignoredAtStart = false;
// The handlers write a byte here, so that a wait in poll() wakes at once
// however the signal's arrival falls between the flag check and the poll.
int wakePipe[2] = {-1, -1};

void Wake() {
  const int saved = errno;
  const ssize_t ignored = write(wakePipe[1], "", 1);
  (void)ignored;  // a full pipe is already readable
  errno = saved;
}

void OnInterrupt(int sig) {
  if (stopRequested) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  stopRequested = 1;
  Wake();
}

void OnContinue(int) {
  continues.fetch_add(1);
  Wake();
}

void Install(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  // a console write the signal lands in must go on, not lose its text
  sa.sa_flags = SA_RESTART;
  sigaction(sig, &sa, nullptr);
}

}  // namespace

void InitInterrupts() {
  struct sigaction now {};
  sigaction(SIGINT, nullptr, &now);
  ignoredAtStart = now.sa_handler == SIG_IGN;
  if (pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
  Install(SIGCONT, OnContinue);
}

void CatchInterrupts() {
  if (ignoredAtStart) return;
  Install(SIGINT, OnInterrupt);
}

void DefaultInterrupts() {
  if (ignoredAtStart) return;
  Install(SIGINT, SIG_DFL);
  stopRequested = 0;
}

bool StopRequested() { return stopRequested != 0; }

unsigned Continues() { return continues.load(); }

int SignalFd() { return wakePipe[0]; }

void TakeSignals() {
  char drain[64];
  while (read(wakePipe[0], drain, sizeof drain) > 0) {
  }
}
