#include "player/device.h"

#include <cerrno>

#include "player/interrupt.h"

namespace {

constexpr const char* kHwParamsFailed = "Unable to set hardware parameters: %s\n";

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
bool Check(int result, const char* format, DeviceError* error) {
  if (result >= 0) return true;
  *error = {format, result};
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
               "Unable to set playback format: %s\n", error) &&
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

bool OpenDevice(const std::string& name, SampleEncoding encoding, uint32_t rate,
                PcmHandle* pcm, snd_pcm_uframes_t* periodFrames, DeviceError* error) {
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* raw = nullptr;
  if (!Check(snd_pcm_open(&raw, name.c_str(), SND_PCM_STREAM_PLAYBACK, 0),
             "unable to open pcm device: %s\n", error))
    return false;
  pcm->reset(raw);
  return Configure(raw, encoding, rate, periodFrames, error);
}

WriteResult WriteFrames(snd_pcm_t* pcm, const unsigned char* frames, snd_pcm_uframes_t count,
                        size_t frameBytes, int* error) {
  while (count > 0) {
    if (StopRequested()) return WriteResult::Stopped;
    const snd_pcm_sframes_t n = snd_pcm_writei(pcm, frames, count);
    if (n > 0) {
      frames += static_cast<size_t>(n) * frameBytes;
      count -= static_cast<snd_pcm_uframes_t>(n);
    } else if (n == -EINTR && StopRequested()) {
      return WriteResult::Stopped;
    } else if (n == -EPIPE || n == -ESTRPIPE || n == -EINTR) {
      const int r = snd_pcm_recover(pcm, static_cast<int>(n), 1);
      if (r < 0) {
        *error = r;
        return WriteResult::Failed;
      }
    } else if (n == 0) {
      snd_pcm_wait(pcm, 1000);  // nothing accepted: wait for room rather than spin
    } else {
      *error = static_cast<int>(n);
      return WriteResult::Failed;
    }
  }
  return WriteResult::Done;
}
