#include "audio/feed.h"

#include <cerrno>

namespace {

// A device that takes no audio for this long, while there is audio to give, is lost.
constexpr int64_t kLostMs = 2000;
// Underruns one after another, with no audio taken between them, mean a lost
// device too: a dead stream of some sound servers answers every recovery so.
constexpr int kMaxUnderruns = 3;
// After a wake that brought no room: a nap, so that a descriptor that stays
// readable (a server gone away) cannot make the wait spin.
constexpr int64_t kNapMs = 10;

Event Fail(Output* out, int error) {
  out->error = error;
  return Event::Failed;
}

Event Lost(Output* out) {
  Abandon(out);
  return Fail(out, -EIO);
}

// Waits for the device's descriptors as the device fills them now, or for what `wants` allows.
Event WaitForDevice(Output* out, Waiter* w, unsigned wants, Deadline until, int* room) {
  pollfd* fds = w->fds.data() + kDeviceFds;
  const size_t count = w->fds.size() - kDeviceFds;
  const int r = PollDescriptors(out, fds, count);
  if (r < 0) return *room = r, Event::Ready;
  const Event e = Wait(w, wants | kRoom, until);
  if (e == Event::Ready) *room = HasRoom(out, fds, count);
  return e;
}

}  // namespace

Event Feed(Output* out, Waiter* w, snd_pcm_uframes_t count, unsigned wants) {
  const unsigned char* frames = out->deviceFrames.data();
  Deadline lost = NowMs() + kLostMs;
  while (count > 0) {
    const snd_pcm_sframes_t n = WriteSome(out, frames, count);
    if (n > 0) {
      frames += static_cast<size_t>(n) * out->frameBytes;
      count -= static_cast<snd_pcm_uframes_t>(n);
      lost = NowMs() + kLostMs;
      out->played = true;
      continue;
    }
    if (n == -EPIPE || n == -ESTRPIPE) {
      const int r = ++out->underruns > kMaxUnderruns ? static_cast<int>(n) : Recover(out, static_cast<int>(n));
      if (r < 0) return Fail(out, r);
      continue;
    }
    if (n != -EAGAIN) return Fail(out, static_cast<int>(n));
    int room = 0;
    const Event e = WaitForDevice(out, w, wants, lost, &room);
    if (e == Event::Timeout) return Lost(out);
    if (e != Event::Ready) return e;
    if (room < 0) return Fail(out, room);
    if (room > 0) {
      out->underruns = 0;  // the device played what it held
    } else if (const Event nap = Wait(w, wants, NowMs() + kNapMs); nap != Event::Timeout) {
      return nap;
    }
  }
  return Event::Ready;
}

Event Drain(Output* out, Waiter* w, unsigned wants) {
  // the sound plays out meanwhile; waiting here, not in the drain, keeps a stop at once
  const snd_pcm_sframes_t queued = Queued(out);
  if (queued < 0) return Fail(out, static_cast<int>(queued));
  if (queued > 0) {
    const Event e = Wait(w, wants, NowMs() + queued * 1000 / out->rate);
    if (e != Event::Timeout) return e;
  }
  // what is left is the device's own latency; some plugins' drains wait it out themselves
  int r = StartDrain(out);
  const Deadline lost = NowMs() + static_cast<int64_t>(out->bufferFrames * 1000 / out->rate) + kLostMs;
  while (r == -EAGAIN || (r >= 0 && Draining(out))) {
    Event e = WaitForDevice(out, w, wants, lost, &r);
    // a device's descriptors may stay ready while it drains: look again a little later
    if (e == Event::Ready && r >= 0 && Draining(out)) e = Wait(w, wants, NowMs() + kNapMs);
    if (e == Event::Timeout && NowMs() >= lost) return Lost(out);
    if (e != Event::Ready && e != Event::Timeout) return e;
  }
  return r < 0 ? Fail(out, r) : Event::Ready;
}

Failure DeviceFailure(int error) { return {1, DeviceErrorLine(kWriteFailed, error), true}; }
