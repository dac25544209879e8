#include "audio/device.h"

#include <algorithm>
#include <sys/stat.h>

#include <cerrno>

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
int SetFormat(snd_pcm_t* pcm, snd_pcm_hw_params_t* hw, SampleEncoding file, Output* out) {
  const bool narrow =
      file == SampleEncoding::Float64 && snd_pcm_hw_params_test_format(pcm, hw, SND_PCM_FORMAT_FLOAT64_LE) < 0;
  out->encoding = narrow ? SampleEncoding::Float32 : file;
  return snd_pcm_hw_params_set_format(pcm, hw, AlsaFormat(out->encoding));
}

bool ConfigureHardware(snd_pcm_t* pcm, SampleEncoding encoding, Output* out, std::string* why) {
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

bool GetPollDescriptors(snd_pcm_t* pcm, Output* out, std::string* why) {
  const int count = snd_pcm_poll_descriptors_count(pcm);
  if (!Check(count > 0 ? 0 : -EINVAL, kHwParamsFailed, why)) return false;
  out->pollFds.resize(static_cast<size_t>(count));
  return Check(snd_pcm_poll_descriptors(pcm, out->pollFds.data(), static_cast<unsigned>(count)), kHwParamsFailed,
               why);
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

std::string DeviceErrorLine(const char* what, int code) { return std::string(what) + ": " + snd_strerror(code); }

bool OpenDevice(const DeviceRequest& r, Output* out, std::string* why) {
  snd_lib_error_set_handler(Quiet);
  snd_pcm_t* raw = nullptr;
  // non-blocking: the player waits for room itself, so that it can also wait for a stop
  if (!Check(snd_pcm_open(&raw, r.name.c_str(), SND_PCM_STREAM_PLAYBACK, SND_PCM_NONBLOCK), kOpenFailed, why))
    return false;
  out->pcm.reset(raw);
  out->rate = r.rate;
  if (!ConfigureHardware(raw, r.encoding, out, why) || !ConfigureSoftware(raw, out->bufferFrames, why) ||
      !GetPollDescriptors(raw, out, why))
    return false;
  out->frameBytes = 2 * SampleBytes(out->encoding);
  out->deviceFrames.resize(out->periodFrames * out->frameBytes);
  // stereo in the device's format is read straight into the device's buffer
  const bool direct = r.channels == 2 && out->encoding == r.encoding;
  out->fileFrames.resize(direct ? 0 : out->periodFrames * r.channels * r.fileSampleBytes);
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

snd_pcm_sframes_t WriteSome(Output* out, const unsigned char* frames, snd_pcm_uframes_t count) {
  const snd_pcm_sframes_t n = snd_pcm_writei(out->pcm.get(), frames, count);
  return n == 0 ? -EAGAIN : n;
}

int PollDescriptors(Output* out, pollfd* fds, size_t count) {
  return snd_pcm_poll_descriptors(out->pcm.get(), fds, static_cast<unsigned>(count));
}

int HasRoom(Output* out, pollfd* fds, size_t count) {
  unsigned short revents = 0;
  const int r = snd_pcm_poll_descriptors_revents(out->pcm.get(), fds, static_cast<unsigned>(count), &revents);
  if (r < 0) return r;
  // an error wake is told by the write that follows
  return (revents & (POLLOUT | POLLERR)) ? 1 : 0;
}

int Recover(Output* out, int error) { return snd_pcm_recover(out->pcm.get(), error, 1); }

int Ready(Output* out) {
  out->underruns = 0;
  out->played = false;
  const snd_pcm_state_t state = snd_pcm_state(out->pcm.get());
  return state == SND_PCM_STATE_PREPARED || state == SND_PCM_STATE_RUNNING ? 0 : snd_pcm_prepare(out->pcm.get());
}

int Drop(Output* out) { return snd_pcm_drop(out->pcm.get()); }

snd_pcm_sframes_t Queued(Output* out) {
  snd_pcm_t* pcm = out->pcm.get();
  snd_pcm_sframes_t delay = 0;
  if (snd_pcm_state(pcm) == SND_PCM_STATE_PREPARED && snd_pcm_avail(pcm) < static_cast<snd_pcm_sframes_t>(out->bufferFrames)) {
    // less than a buffer was written: it waits for its start
    const int r = snd_pcm_start(pcm);
    if (r < 0) return r;
  }
  if (snd_pcm_state(pcm) != SND_PCM_STATE_RUNNING) return 0;
  const int r = snd_pcm_delay(pcm, &delay);
  return r < 0 ? r : std::max<snd_pcm_sframes_t>(delay, 0);
}

int StartDrain(Output* out) {
  lastSystemError = 0;
  const int r = snd_pcm_drain(out->pcm.get());
  return r >= 0 && lastSystemError != 0 ? -lastSystemError : r;
}

bool Draining(Output* out) { return snd_pcm_state(out->pcm.get()) == SND_PCM_STATE_DRAINING; }

int CloseDevice(Output* out) {
  if (!out->pcm) return 0;  // abandoned
  lastSystemError = 0;
  const int r = snd_pcm_close(out->pcm.release());
  return r >= 0 && lastSystemError != 0 ? -lastSystemError : r;
}

void Abandon(Output* out) {
  static std::vector<snd_pcm_t*> abandoned;  // still reachable, so not a leak
  abandoned.push_back(out->pcm.release());
}
