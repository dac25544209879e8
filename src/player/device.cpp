#include "player/device.h"

#include <cerrno>

#include "player/wait.h"

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

bool Configure(snd_pcm_t* pcm, SampleEncoding encoding, uint32_t rate,
               snd_pcm_uframes_t* periodFrames, DeviceError* error) {
  snd_pcm_hw_params_t* hw;
  snd_pcm_hw_params_alloca(&hw);
  snd_pcm_uframes_t period = 4096, buffer = 16384;
  unsigned int grantedRate = rate;
  return Check(snd_pcm_hw_params_any(pcm, hw), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params_set_access(pcm, hw, SND_PCM_ACCESS_RW_INTERLEAVED),
               kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params_set_format(pcm, hw, AlsaFormat(encoding)),
               "Unable to set playback format", error) &&
         // always stereo: mono files are widened before they are written
         Check(snd_pcm_hw_params_set_channels(pcm, hw, 2), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params_set_rate_near(pcm, hw, &grantedRate, nullptr), kHwParamsFailed,
               error) &&
         Check(snd_pcm_hw_params_set_period_size_near(pcm, hw, &period, nullptr), kHwParamsFailed,
               error) &&
         Check(snd_pcm_hw_params_set_buffer_size_near(pcm, hw, &buffer), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params(pcm, hw), kHwParamsFailed, error) &&
         Check(snd_pcm_hw_params_get_period_size(hw, periodFrames, nullptr), kHwParamsFailed,
               error);
}

// The library's own diagnostics would repeat, less clearly, the one line we print.
void Quiet(const char*, int, const char*, int, const char*, ...) {}

}  // namespace

std::string DeviceErrorLine(const DeviceError& error) {
  return std::string(error.what) + ": " + snd_strerror(error.code);
}

bool OpenDevice(const std::string& name, SampleEncoding encoding, uint32_t rate, size_t sampleBytes,
                Output* out, DeviceError* error) {
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* raw = nullptr;
  // non-blocking: the player waits for room itself, so that it can also wait for a stop
  if (!Check(snd_pcm_open(&raw, name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK),
             "unable to open pcm device", error))
    return false;
  out->pcm.reset(raw);
  if (!Configure(raw, encoding, rate, &out->periodFrames, error)) return false;
  const int fds = snd_pcm_poll_descriptors_count(raw);
  if (!Check(fds > 0 ? 0 : -EINVAL, kHwParamsFailed, error)) return false;
  out->pollFds.resize(static_cast<size_t>(fds));
  if (!Check(snd_pcm_poll_descriptors(raw, out->pollFds.data(), static_cast<unsigned>(fds)),
             kHwParamsFailed, error))
    return false;
  out->frameBytes = 2 * sampleBytes;
  out->fileFrames.resize(out->periodFrames * sampleBytes);
  out->deviceFrames.resize(out->periodFrames * out->frameBytes);
  return true;
}

WriteResult WriteFrames(Output* out, snd_pcm_uframes_t count, DeviceError* error) {
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
      const Wake wake = WaitForRoom(pcm, &out->pollFds, &result);
      if (wake == Wake::Stop) return WriteResult::Stopped;
      if (wake == Wake::Room) continue;
    }
    if (result == -EPIPE || result == -ESTRPIPE || result == -EINTR) result = snd_pcm_recover(pcm, result, 1);
    if (result < 0) {
      *error = {"Unable to write to pcm device", result};
      return WriteResult::Failed;
    }
  }
  return WriteResult::Done;
}

void DropQueued(const Output& out) {
  snd_pcm_drop(out.pcm.get());
  snd_pcm_prepare(out.pcm.get());
}

void CloseDevice(Output* out) {
  // the last pass's sound plays out before the device goes
  snd_pcm_nonblock(out->pcm.get(), 0);
  snd_pcm_drain(out->pcm.get());
  out->pcm.reset();
}
