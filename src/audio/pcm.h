// The ALSA playback device as its call thread drives it (see device.h): opened
// for a file's format, written, drained and closed. A call here may wait on
// the device, but never without a limit, and a cancel cuts any wait short.
#pragma once
#include <alsa/asoundlib.h>
#include <poll.h>

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "wave/sample_format.h"

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

// What the device is opened for.
struct DeviceRequest {
  std::string name;
  SampleEncoding encoding;
  uint32_t rate;
};

// What it granted.
struct Granted {
  SampleEncoding encoding = SampleEncoding::S16;  // the file's, or 32-bit float for 64-bit
  unsigned int rate = 0;
  snd_pcm_uframes_t periodFrames = 0, bufferFrames = 0;
  size_t frameBytes = 0;  // of one stereo device frame
};

struct Pcm {
  PcmHandle handle;
  Granted granted;
  std::vector<pollfd> fds;  // a cancel's descriptor, then the device's
  int underruns = 0;        // since the device last took audio
};

// A call's cancel: `fd` wakes its waits, and the call `seq` is cancelled
// once `cancelled` reaches it.
struct Cancel {
  int fd;
  const std::atomic<uint64_t>* cancelled;
  uint64_t seq;
  bool Requested() const { return cancelled->load() >= seq; }
};

// A device that takes no audio for this long, while there is audio to give, is lost.
constexpr int64_t kLostMs = 2000;

// The failure of a call, as "<what>: <library's text>".
extern const char kOpenFailed[], kSetFormatFailed[], kWriteFailed[];
std::string DeviceErrorLine(const char* what, int code);

// Opens the device and configures it for interleaved stereo in the request's
// encoding near its rate, with a period near 4096 and a buffer near 16384
// frames, silence past the written audio, and a start once the buffer is full.
// A device without 64-bit float gets 32-bit float. On failure, the line that says why.
bool OpenPcm(const DeviceRequest& request, Pcm* pcm, std::string* why);

// Writes `count` frames, waiting for room: the frames taken (fewer when
// cancelled), or the library's error; -EIO when the device took no audio for
// kLostMs, the time the program was stopped not counted. `*waited` says
// whether the device made it wait. `*progress` is set whenever audio is taken.
int64_t WritePcm(Pcm* pcm, const unsigned char* frames, uint64_t count, const Cancel& cancel, bool* waited,
                 std::atomic<int64_t>* progress);

// Until the device has room for `frames`, as WritePcm waits for it: 0, the
// library's error, or -EIO when it takes no audio for kLostMs.
int RoomPcm(Pcm* pcm, uint64_t frames, const Cancel& cancel);

// The device ready for the first write of a pass; the library's result.
int PreparePcm(Pcm* pcm);

// Frames queued and not yet heard, starting a device that waits for a full
// buffer to start; 0 when it holds none, or the library's error.
int64_t QueuedPcm(Pcm* pcm);

// Until the device has played all it holds: 0, the library's error, or -EIO
// when it does not finish within its buffer's time and kLostMs.
int DrainPcm(Pcm* pcm, const Cancel& cancel);

// Silences what is queued at once.
int DropPcm(Pcm* pcm);

// Closes the device: 0, or the error that kept the last of the audio from it.
int ClosePcm(Pcm* pcm);

// A second line for a device that refused the file's format: a converting one.
std::string ConvertingDeviceHint(const std::string& name);

// A second line for a device that would not open because it names a wave
// file (given where the device goes): the command as meant; empty otherwise.
std::string DeviceFirstHint(const std::string& name);

// The line that refuses a device that granted `granted` Hz for a file of
// `wanted` Hz (it would play at the wrong speed); empty when they are equal.
std::string RateRefusal(unsigned int wanted, unsigned int granted);
