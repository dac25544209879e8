#include "player/interrupt.h"

#include <csignal>

namespace {

volatile sig_atomic_t stopRequested = 0;

void OnInterrupt(int sig) {
  if (stopRequested) {
    signal(sig, SIG_DFL);
    raise(sig);
    return;
  }
  stopRequested = 1;
}

void Install(void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  // a console write the signal lands in must go on, not lose its text
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
}

}  // namespace

void CatchInterrupts() {
  stopRequested = 0;
  Install(OnInterrupt);
}

void DefaultInterrupts() {
  Install(SIG_DFL);
  stopRequested = 0;
}

bool StopRequested() { return stopRequested != 0; }
