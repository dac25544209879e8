// The ALSA playback device: opened for a file's format, written a period at a
// time, drained and closed. Nothing here waits: the caller polls the device's
// descriptors with the rest (see feed.h).
#pragma once
#include <alsa/asoundlib.h>
#include <poll.h>

#include <memory>
#include <string>
#include <vector>

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
  snd_pcm_uframes_t periodFrames = 0, bufferFrames = 0;
  size_t frameBytes = 0;                    // of one stereo device frame
  std::vector<unsigned char> fileFrames;    // one period as read, when it needs widening or converting
  std::vector<unsigned char> deviceFrames;  // one period of stereo device frames
  std::vector<pollfd> pollFds;              // the device's descriptors, as the waiter polls them
  int error = 0;                            // the library's code for the last failure
  int underruns = 0;                        // since the device last took audio
  bool played = false;                      // it took audio since it was made ready for a pass
};

// What the device is asked for, and the failure of a call, as "<what>: <library's text>".
struct DeviceRequest {
  std::string name;
  SampleEncoding encoding;
  uint32_t rate, channels;
  size_t fileSampleBytes;
};
extern const char kOpenFailed[], kSetFormatFailed[], kWriteFailed[];
std::string DeviceErrorLine(const char* what, int code);

// Opens the device and configures it for interleaved stereo in the request's
// encoding near its rate, with a period near 4096 and a buffer near 16384
// frames, silence past the written audio, and a start once the buffer is full.
// A device without 64-bit float gets 32-bit float. Sizes the buffers for a
// file of the request's channels. On failure, the line that says why.
bool OpenDevice(const DeviceRequest& request, Output* out, std::string* why);

// A second line for a device that refused the file's format: a converting one.
std::string ConvertingDeviceHint(const std::string& name);

// A second line for a device that would not open because it names a wave
// file (given where the device goes): the command as meant; empty otherwise.
std::string DeviceFirstHint(const std::string& name);

// The line that refuses a device that granted `granted` Hz for a file of
// `wanted` Hz (it would play at the wrong speed); empty when they are equal.
std::string RateRefusal(unsigned int wanted, unsigned int granted);

// Writes up to `count` frames from `frames`: how many were taken, -EAGAIN when
// there is no room, or the library's error.
snd_pcm_sframes_t WriteSome(Output* out, const unsigned char* frames, snd_pcm_uframes_t count);

// Fills the device's slots of the waiter's poll array before it waits: some
// plugins (PipeWire's) clear a wake only here, and would otherwise wake the
// wait again and again.
int PollDescriptors(Output* out, pollfd* fds, size_t count);

// After the waiter saw the device's descriptors wake: 1 when there is room, 0
// when not yet, or the library's error.
int HasRoom(Output* out, pollfd* fds, size_t count);

// Recovers from an underrun or a suspend; the library's result.
int Recover(Output* out, int error);

// The device ready for the first write of a pass; the library's result.
int Ready(Output* out);

// Silences what is queued at once; the library's result.
int Drop(Output* out);

// Frames queued and not yet heard, starting a device that waits for a full
// buffer to start; 0 when it holds none, or the library's error.
snd_pcm_sframes_t Queued(Output* out);

// Starts the drain without waiting: 0 when the device has played all it
// held, -EAGAIN while it plays on, or the library's error.
int StartDrain(Output* out);
bool Draining(Output* out);

// Closes the device: 0, or the error that kept the last of the audio from it.
int CloseDevice(Output* out);

// Leaves a device that took no audio for too long open and forgets it: a hung
// sound server would hold any call on it, the close included, for good.
void Abandon(Output* out);
