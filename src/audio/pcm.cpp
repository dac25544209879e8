#include "audio/pcm.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <unistd.h>

#include "io/loop.h"

const char kOpenFailed[] = "unable to open pcm device";
const char kSetFormatFailed[] = "Unable to set playback format";
const char kWriteFailed[] = "Unable to write to pcm device";

namespace {

constexpr const char* kHwParamsFailed = "Unable to set hardware parameters";
constexpr const char* kSwParamsFailed = "Unable to set software parameters";

snd_pcm_format_t AlsaFormat(SampleEncoding e) {
  switch (e) {
    case SampleEncoding::U8: return SND_PCM_FORMAT_U8;
    case SampleEncoding::S16: return SND_PCM_FORMAT_S16_LE;
    case SampleEncoding::S24Packed: return SND_PCM_FORMAT_S24_3LE;
    case SampleEncoding::S32: return SND_PCM_FORMAT_S32_LE;
    case SampleEncoding::Float32: return SND_PCM_FORMAT_FLOAT_LE;
    case SampleEncoding::Float64: return SND_PCM_FORMAT_FLOAT64_LE;
    case SampleEncoding::ALaw: return SND_PCM_FORMAT_A_LAW;
    case SampleEncoding::MuLaw: return SND_PCM_FORMAT_MU_LAW;
  }
  return SND_PCM_FORMAT_UNKNOWN;
}

// Every call below is checked the same way: the first failure is the line.
bool Check(int result, const char* what, std::string* why) {
  if (result >= 0) return true;
  *why = DeviceErrorLine(what, result);
  return false;
}

// Sets the file's encoding, unless the device lacks 64-bit float: then 32-bit, which the pass converts to.
int SetFormat(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, SampleEncoding file, Granted* out) {
  const bool narrow =
      file == SampleEncoding::Float64 && snd_pcm_hw_params_test_format(pcm, hw, SND_PCM_FORMAT_FLOAT64_LE) < 0;
  out->encoding = narrow ? SampleEncoding::Float32 : file;
  return snd_pcm_hw_params_set_format(pcm, hw, AlsaFormat(out->encoding));
}

bool ConfigureHardware(snd_pcm_t* pcm, SampleEncoding encoding, Granted* out, std::string* why) {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  snd_pcm_uframes_t period = 4096;
  out->bufferFrames = 16384;
  return Check(snd_pcm_hw_params_any(pcm, hw), kHwParamsFailed, why) &&
         Check(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), kHwParamsFailed, why) &&
         Check(SetFormat(pcm, hw, encoding, out), kSetFormatFailed, why) &&
         // always stereo: mono files are widened before they are written
         Check(snd_pcm_hw_params_set_channels(pcm, hw, 2), kHwParamsFailed, why) &&
         Check(snd_pcm_hw_params_set_rate_near(pcm, hw, &out->rate, nullptr), kHwParamsFailed, why) &&
         Check(snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr), kHwParamsFailed, why) &&
         Check(snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &out->bufferFrames), kHwParamsFailed, why) &&
         Check(snd_pcm_hw_params(pcm, hw), kHwParamsFailed, why) &&
         Check(snd_pcm_hw_params_get_period_size(hw, &out->periodFrames, nullptr), kHwParamsFailed, why) &&
         Check(snd_pcm_hw_params_get_buffer_size(hw, &out->bufferFrames), kHwParamsFailed, why);
}

bool ConfigureSoftware(snd_pcm_t* pcm, snd_pcm_uframes_t buffer, std::string* why) {
  snd_pcm_sw_params_t* sw;
  snd_pcm_sw_params_alloca(&sw);
  snd_pcm_uframes_t boundary = 0;
  return Check(snd_pcm_sw_params_current(pcm, sw), kSwParamsFailed, why) &&
         Check(snd_pcm_sw_params_get_boundary(sw, &boundary), kSwParamsFailed, why) &&
         // a full buffer before the start, so that the first periods never run dry
         Check(snd_pcm_sw_params_set_start_threshold(pcm, sw, buffer), kSwParamsFailed, why) &&
         // the device plays silence past the written audio, never what the ring held before
         Check(snd_pcm_sw_params_set_silence_threshold(pcm, sw, 0), kSwParamsFailed, why) &&
         Check(snd_pcm_sw_params_set_silence_size(pcm, sw, boundary), kSwParamsFailed, why) &&
         Check(snd_pcm_sw_params(pcm, sw), kSwParamsFailed, why);
}

bool CountPollDescriptors(snd_pcm_t* pcm, Pcm* p, std::string* why) {
  const int count = snd_pcm_poll_descriptors_count(pcm);
  if (!Check(count > 0 ? 0 : -EINVAL, kHwParamsFailed, why)) return false;
  p->fds.resize(1 + static_cast<size_t>(count));
  return true;
}

// The system error behind the library's last diagnostic, on the thread that
// made the call. Some failures reach us only this way: a file device that
// cannot write the last of the audio while draining still returns success.
thread_local int lastSystemError = 0;

// After a wake that brought no room: a nap, so that a descriptor that stays
// readable (a server gone away) cannot make the wait spin.
constexpr int kNapMs = 10;
// Underruns one after another, with no audio taken between them, mean a lost
// device too: a dead stream of some sound servers answers every recovery so.
constexpr int kMaxUnderruns = 3;
constexpr int kTimedOut = -ETIMEDOUT;
// A wait looks at the clock at least this often, so that it can tell when it overslept.
constexpr int64_t kStepMs = 250;

// Waits for the device's descriptors, as it fills them now, a cancel, or
// `*until`: 1 when the device has room, 0 when it woke with none or the call
// was cancelled, kTimedOut, or the library's error. Time the thread did not
// run (the program stopped by Ctrl-Z) is not the device's: it moves `*until` on.
int WaitForDevice(Pcm* p, const Cancel& cancel, Deadline* until) {
  snd_pcm_t* pcm = p->handle.get();
  pollfd* fds = p->fds.data();
  const auto count = static_cast<unsigned>(p->fds.size() - 1);
  // some plugins (PipeWire's) clear a wake only here, and would otherwise wake every wait at once
  const int filled = snd_pcm_poll_descriptors(pcm, fds + 1, count);
  if (filled < 0) return filled;
  fds[0] = {cancel.fd, POLLIN, 0};
  for (;;) {
    if (cancel.Requested()) return 0;
    const int64_t now = NowMs();
    const int64_t step = std::min<int64_t>(std::max<int64_t>(*until - now, 0), kStepMs);
    const int n = poll(fds, count + 1, static_cast<int>(step));
    if (n < 0 && errno != EINTR) return -errno;
    if (const int64_t late = NowMs() - (now + step); late > kStepMs) *until += late;
    if (n == 0 && NowMs() >= *until) return kTimedOut;
    if (n <= 0) continue;
    if (fds[0].revents) {
      uint64_t drained;  // a cancel for an older call wakes it too
      const ssize_t ignored = read(cancel.fd, &drained, sizeof drained);
      (void)ignored;
      continue;
    }
    unsigned short revents = 0;
    const int r = snd_pcm_poll_descriptors_revents(pcm, fds + 1, count, &revents);
    if (r < 0) return r;
    // an error wake is told by the write that follows
    return (revents & (POLLOUT | POLLERR)) ? 1 : 0;
  }
}

// A nap that a cancel cuts short.
void Nap(const Cancel& cancel) {
  pollfd fd = {cancel.fd, POLLIN, 0};
  if (!cancel.Requested()) poll(&fd, 1, kNapMs);
}

// One wait for room, as the writes and the wait before a loop share it: 0 to
// try again, or the error (-EIO once the device took no audio in time).
int AwaitRoom(Pcm* p, const Cancel& cancel, Deadline* lost) {
  const int room = WaitForDevice(p, cancel, lost);
  if (room == kTimedOut) return -EIO;
  if (room < 0) return room;
  if (room > 0) {
    p->underruns = 0;  // the device played what it held
  } else {
    Nap(cancel);
  }
  return 0;
}

// The library's own diagnostics would repeat, less clearly, the one line we print.
void Quiet(const char*, int, const char*, int err, const char*, ...) {
  if (err > 0) lastSystemError = err;
}

}  // namespace

std::string DeviceErrorLine(const char* what, int code) { return std::string(what) + ": " + snd_strerror(code); }

bool OpenPcm(const DeviceRequest& r, Pcm* p, std::string* why) {
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* raw = nullptr;
  // non-blocking: waits for room are the thread's own, so that a cancel cuts them short
  if (!Check(snd_pcm_open(&raw, r.name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK), kOpenFailed, why))
    return false;
  p->handle.reset(raw);
  // a plugin's own drain takes this, not the open's mode, as leave to answer -EAGAIN
  if (!Check(snd_pcm_nonblock(raw, 1), kOpenFailed, why)) return false;
  Granted& g = p->granted;
  g.rate = r.rate;
  if (!ConfigureHardware(raw, r.encoding, &g, why) || !ConfigureSoftware(raw, g.bufferFrames, why) ||
      !CountPollDescriptors(raw, p, why))
    return false;
  g.frameBytes = 2 * SampleBytes(g.encoding);
  return true;
}

std::string ConvertingDeviceHint(const std::string& name) {
  const bool plain = name.find_first_not_of(
                         "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_-") ==
                     std::string::npos;
  std::string device = name.rfind("hw:", 0) == 0 ? "plug" + name : plain ? "plug:" + name : "";
  if (device.empty()) return "Try a device that converts, such as plughw:0,0 or plug:default";
  return "Try " + device + ", which converts";
}

std::string DeviceFirstHint(const std::string& name) {
  struct stat st;
  const bool wave = name.size() > 4 && name.compare(name.size() - 4, 4, ".wav") == 0;
  if (!wave || stat(name.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  return "The device comes first, then the file: zuvaroza d " + name;
}

std::string RateRefusal(unsigned int wanted, unsigned int granted) {
  if (wanted == granted) return "";
  return "Unable to play " + std::to_string(wanted) + " Hz on this device (it offers " +
         std::to_string(granted) + " Hz); a plughw: device converts";
}

int64_t WritePcm(Pcm* p, const unsigned char* frames, uint64_t count, const Cancel& cancel, bool* waited,
                 std::atomic<int64_t>* progress) {
  snd_pcm_t* pcm = p->handle.get();
  uint64_t done = 0;
  Deadline lost = NowMs() + kLostMs;
  while (done < count && !cancel.Requested()) {
    snd_pcm_sframes_t n = snd_pcm_writei(pcm, frames + done * p->granted.frameBytes, count - done);
    if (n > 0) {
      done += static_cast<uint64_t>(n);
      lost = NowMs() + kLostMs;
      progress->store(NowMs());
      continue;
    }
    if (n == -EPIPE || n == -ESTRPIPE) {
      const int r = ++p->underruns > kMaxUnderruns ? static_cast<int>(n) : snd_pcm_recover(pcm, static_cast<int>(n), 1);
      if (r < 0) return r;
      continue;
    }
    if (n != 0 && n != -EAGAIN) return n;
    *waited = true;
    if (const int r = AwaitRoom(p, cancel, &lost); r < 0) return r;
  }
  return static_cast<int64_t>(done);
}

int RoomPcm(Pcm* p, uint64_t frames, const Cancel& cancel) {
  Deadline lost = NowMs() + kLostMs;
  for (;;) {
    const snd_pcm_sframes_t avail = snd_pcm_avail_update(p->handle.get());
    if (avail < 0) return static_cast<int>(avail);
    if (static_cast<uint64_t>(avail) >= frames || cancel.Requested()) return 0;
    if (const int r = AwaitRoom(p, cancel, &lost); r < 0) return r;
  }
}

int PreparePcm(Pcm* p) {
  p->underruns = 0;
  const snd_pcm_state_t state = snd_pcm_state(p->handle.get());
  return state == SND_PCM_STATE_PREPARED || state == SND_PCM_STATE_RUNNING ? 0 : snd_pcm_prepare(p->handle.get());
}

int64_t QueuedPcm(Pcm* p) {
  snd_pcm_t* pcm = p->handle.get();
  snd_pcm_sframes_t delay = 0;
  if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED &&
      snd_pcm_avail(pcm) < static_cast<snd_pcm_sframes_t>(p->granted.bufferFrames)) {
    // less than a buffer was written: it waits for its start
    const int r = snd_pcm_start(pcm);
    if (r < 0) return r;
  }
  if (snd_pcm_state(pcm) != SND_PCM_STATE_RUNNING) return 0;
  const int r = snd_pcm_delay(pcm, &delay);
  return r < 0 ? r : std::max<snd_pcm_sframes_t>(delay, 0);
}

int DrainPcm(Pcm* p, const Cancel& cancel) {
  snd_pcm_t* pcm = p->handle.get();
  lastSystemError = 0;
  // what is left is the device's own latency; a sound card's drain answers
  // -EAGAIN meanwhile, and is asked again after each wake until it is done
  const int64_t span = static_cast<int64_t>(p->granted.bufferFrames * 1000 / p->granted.rate) + kLostMs;
  Deadline lost = NowMs() + span;
  int r;
  while ((r = snd_pcm_drain(pcm)) == -EAGAIN && !cancel.Requested()) {
    const int woke = WaitForDevice(p, cancel, &lost);
    if (woke == kTimedOut) return -EIO;
    if (woke < 0) return woke;
    // a device's descriptors may stay ready while it drains: look again a little later
    if (woke >= 0) Nap(cancel);
  }
  if (r == -EAGAIN) r = 0;  // cancelled
  return r >= 0 && lastSystemError != 0 ? -lastSystemError : std::min(r, 0);
}

int DropPcm(Pcm* p) { return snd_pcm_drop(p->handle.get()); }

int ClosePcm(Pcm* p) {
  lastSystemError = 0;
  const int r = snd_pcm_close(p->handle.release());
  return r >= 0 && lastSystemError != 0 ? -lastSystemError : r;
}
