// The ALSA playback device: opened for a file's format, written a period at a
// time, drained and closed.
#pragma once
#include <alsa/asoundlib.h>
#include <poll.h>

#include <memory>
#include <string>
#include <vector>

#include "player/follow.h"
#include "wave/sample_format.h"

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

// The device as configured, and the buffers that feed it one period at a time.
struct Output {
  PcmHandle pcm;
  SampleEncoding encoding = SampleEncoding::S16;  // the file's, or 32-bit float for 64-bit
  unsigned int rate = 0;  // as granted
  snd_pcm_uframes_t periodFrames = 0;
  size_t frameBytes = 0;                    // of one stereo device frame
  std::vector<unsigned char> fileFrames;    // one period as read, when it needs widening or converting
  std::vector<unsigned char> deviceFrames;  // one period of stereo device frames
  std::vector<pollfd> pollFds;              // for waiting on it (see wait.h)
};

// A failed device call: what failed, and the library's error code.
struct DeviceError {
  const char* what = nullptr;
  int code = 0;
};

// What a refused sample format reports.
extern const char kSetFormatFailed[];

// The line that reports `error`: "<what>: <the library's text>".
std::string DeviceErrorLine(const DeviceError& error);

// Opens `name` and configures it for interleaved stereo in `encoding` near
// `rate`, with a period near 4096 and a buffer near 16384 frames, and silence
// past the written audio. A device without 64-bit float gets 32-bit float.
// Sizes the buffers for a file of `channels` channels of `fileSampleBytes`.
bool OpenDevice(const std::string& name, SampleEncoding encoding, uint32_t rate, uint32_t channels,
                size_t fileSampleBytes, Output* out, DeviceError* error);

// A second line for a device that refused the file's format: a converting one.
std::string ConvertingDeviceHint(const std::string& name);

// The line that refuses a device that granted `granted` Hz for a file of
// `wanted` Hz (it would play at the wrong speed); empty when they are equal.
std::string RateRefusal(unsigned int wanted, unsigned int granted);

// How a write or a wait on the device ended: done, stopped by Ctrl-C, cut
// short by a save of the file (follow mode), or failed.
enum class WriteResult { Done, Stopped, Saved, Failed };

// Writes `count` frames from `out.deviceFrames`, waiting for room when the
// device is full, continuing short writes and recovering from underruns and
// suspends. Ends early for a stop or a save.
WriteResult WriteFrames(Output* out, Watch* watch, snd_pcm_uframes_t count, DeviceError* error);

// Waits until the device has played what it was given, or a stop or a save.
WriteResult WaitUntilPlayed(Output* out, Watch* watch, DeviceError* error);

// Silences what is queued at once and readies the device for the next pass.
void DropQueued(const Output& out);

// Lets the device play what it holds, then closes it; false when the last of
// the audio could not be played.
bool CloseDevice(Output* out, DeviceError* error);
