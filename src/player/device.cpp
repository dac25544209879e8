#include "player/device.h"

#include <algorithm>
#include <cerrno>
#include <limits>

#include "player/wait.h"

const char kSetFormatFailed[] = "Unable to set playback format";

namespace {

constexpr const char* kHwParamsFailed = "Unable to set hardware parameters";

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

// Records the first failure; every call below is checked the same way.
bool Check(int result, const char* what, DeviceError* error) {
  if (result >= 0) return true;
  *error = {what, result};
  return false;
}

// Sets the file's encoding, unless the device lacks 64-bit float: then 32-bit, which the pass converts to.
int SetFormat(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, SampleEncoding file, Output* out) {
  const bool narrow =
      file == SampleEncoding::Float64 && snd_pcm_hw_params_test_format(pcm, hw, SND_PCM_FORMAT_FLOAT64_LE) < 0;
  out->encoding = narrow ? SampleEncoding::Float32 : file;
  return snd_pcm_hw_params_set_format(pcm, hw, AlsaFormat(out->encoding));
}

bool ConfigureHardware(snd_pcm_t* pcm, SampleEncoding encoding, Output* out, DeviceError* error) {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  snd_pcm_uframes_t period = 4096, buffer = 16384;
  return Check(snd_pcm_hw_params_any(pcm, hw), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED), kHwParamsFailed, error) &&
         Check(SetFormat(pcm, hw, encoding, out), kSetFormatFailed, error) &&
         // always stereo: mono files are widened before they are written
         Check(snd_pcm_hw_params_set_channels(pcm, hw, 2), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params_set_rate_near(pcm, hw, &out->rate, nullptr), kHwParamsFailed,
               error) &&
         Check(snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr), kHwParamsFailed,
               error) &&
         Check(snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params(pcm, hw), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params_get_period_size(hw, &out->periodFrames, nullptr), kHwParamsFailed,
               error);
}

bool ConfigureSoftware(snd_pcm_t* pcm, DeviceError* error) {
  constexpr const char* kSwParamsFailed = "Unable to set software parameters";
  snd_pcm_sw_params_t* sw;
  snd_pcm_sw_params_alloca(&sw);
  snd_pcm_uframes_t boundary = 0;
  return Check(snd_pcm_sw_params_current(pcm, sw), kSwParamsFailed, error) &&
         Check(snd_pcm_sw_params_get_boundary(sw, &boundary), kSwParamsFailed, error) &&
         // the device plays silence past the written audio, never what the ring held before
         Check(snd_pcm_sw_params_set_silence_threshold(pcm, sw, 0), kSwParamsFailed, error) &&
         Check(snd_pcm_sw_params_set_silence_size(pcm, sw, boundary), kSwParamsFailed, error) &&
         Check(snd_pcm_sw_params(pcm, sw), kSwParamsFailed, error);
}

// Fills the device's slots of the waiter's poll array.
bool GetPollDescriptors(snd_pcm_t* pcm, Output* out, DeviceError* error) {
  const int count = snd_pcm_poll_descriptors_count(pcm);
  if (!Check(count > 0 ? 0 : -EINVAL, kHwParamsFailed, error)) return false;
  out->pollFds.resize(kFirstDeviceSlot + static_cast<size_t>(count));
  return Check(snd_pcm_poll_descriptors(pcm, out->pollFds.data() + kFirstDeviceSlot,
                                        static_cast<unsigned>(count)),
               kHwParamsFailed, error);
}

// The system error behind the library's last diagnostic. Some failures reach
// us only this way: a file device that cannot write the last of the audio
// while draining still returns success.
int lastSystemError = 0;

// The library's own diagnostics would repeat, less clearly, the one line we print.
void Quiet(const char*, int, const char*, int err, const char*, ...) {
  if (err > 0) lastSystemError = err;
}

}  // namespace

std::string DeviceErrorLine(const DeviceError& error) {
  return std::string(error.what) + ": " + snd_strerror(error.code);
}

bool OpenDevice(const std::string& name, SampleEncoding encoding, uint32_t rate, uint32_t channels,
                size_t fileSampleBytes, Output* out, DeviceError* error) {
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* raw = nullptr;
  // non-blocking: the player waits for room itself, so that it can also wait for a stop
  if (!Check(snd_pcm_open(&raw, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK),
             "unable to open pcm device", error))
    return false;
  out->pcm.reset(raw);
  out->rate = rate;
  if (!ConfigureHardware(raw, encoding, out, error) || !ConfigureSoftware(raw, error) ||
      !GetPollDescriptors(raw, out, error))
    return false;
  out->frameBytes = 2 * SampleBytes(out->encoding);
  out->deviceFrames.resize(out->periodFrames * out->frameBytes);
  // stereo in the device's format is read straight into the device's buffer
  if (channels == 1 || out->encoding != encoding) out->fileFrames.resize(out->periodFrames * channels * fileSampleBytes);
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

std::string RateRefusal(unsigned int wanted, unsigned int granted) {
  if (wanted == granted) return "";
  return "Unable to play " + std::to_string(wanted) + " Hz on this device (it offers " +
         std::to_string(granted) + " Hz); a plughw: device converts";
}

WriteResult WriteFrames(Output* out, Watch* watch, snd_pcm_uframes_t count, DeviceError* error) {
  snd_pcm_t* pcm = out->pcm.get();
  const unsigned char* frames = out->deviceFrames.data();
  while (count > 0) {
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm, frames, count);
    if (n > 0) {
      frames += static_cast<size_t>(n) * out->frameBytes;
      count -= static_cast<snd_pcm_uframes_t>(n);
      continue;
    }
    int result = static_cast<int>(n);
    if (n == 0 || n == -EAGAIN) {
      const Wake wake = WaitForRoom(out, watch, &result);
      if (wake == Wake::Stop) return WriteResult::Stopped;
      if (wake == Wake::Save) return WriteResult::Saved;
      if (wake == Wake::Ready) continue;
    }
    if (result == -EPIPE || result == -ESTRPIPE || result == -EINTR) result = snd_pcm_recover(pcm, result, 1);
    if (result < 0) {
      *error = {"Unable to write to pcm device", result};
      return WriteResult::Failed;
    }
  }
  return WriteResult::Done;
}

WriteResult WaitUntilPlayed(Output* out, Watch* watch, DeviceError* error) {
  snd_pcm_t* pcm = out->pcm.get();
  // a device stopped, or never started, holds no sound (and a sound server
  // may not know the delay of such a stream)
  const snd_pcm_state_t state = snd_pcm_state(pcm);
  if (state != SND_PCM_STATE_RUNNING && state != SND_PCM_STATE_XRUN) return WriteResult::Done;
  for (snd_pcm_sframes_t before = std::numeric_limits<snd_pcm_sframes_t>::max();;) {
    snd_pcm_sframes_t delay = 0;
    const int r = snd_pcm_delay(pcm, &delay);
    // A device that ran dry has played all. A sound server's stream that ran
    // dry may go on showing its sink's share of the delay without counting
    // it down: a delay that no longer falls has played too.
    if (r == -EPIPE || (r == 0 && (delay <= 0 || delay >= before))) return WriteResult::Done;
    before = delay;
    if (r < 0) {
      *error = {"Unable to write to pcm device", r};
      return WriteResult::Failed;
    }
    // sleep until the queued frames should have played, waking for a stop
    const int ms = static_cast<int>(std::min<snd_pcm_sframes_t>(delay * 1000 / out->rate + 1, 1000));
    const Wake wake = Sleep(watch, ms);
    if (wake == Wake::Stop) return WriteResult::Stopped;
    if (wake == Wake::Save) return WriteResult::Saved;
  }
}

void DropQueued(const Output& out) {
  snd_pcm_drop(out.pcm.get());
  snd_pcm_prepare(out.pcm.get());
}

bool CloseDevice(Output* out, DeviceError* error) {
  snd_pcm_t* pcm = out->pcm.get();
  int result = 0;
  // only a running device holds sound to drain: a stopped or dried-up one has
  // nothing, and a sound server can fail the drain of an idle stream
  if (snd_pcm_state(pcm) == SND_PCM_STATE_RUNNING) {
    // blocking, so that the drain waits until the sound has played
    snd_pcm_nonblock(pcm, 0);
    lastSystemError = 0;
    result = snd_pcm_drain(pcm);
    if (result >= 0 && lastSystemError != 0) result = -lastSystemError;
  }
  out->pcm.reset();
  return Check(result, "Unable to write to pcm device", error);
}
