// The ALSA playback device: open and configure for a file, write whole blocks, release.
#pragma once
#include <alsa/asoundlib.h>

#include <memory>
#include <string>

#include "wave/sample_format.h"

struct PcmCloser {
  void operator()(snd_pcm_t* pcm) const { snd_pcm_close(pcm); }
};
using PcmHandle = std::unique_ptr<snd_pcm_t, PcmCloser>;

// A failed set-up step: the line to print (with "%s" for the library's text)
// and the library's error code.
struct DeviceError {
  const char* format = nullptr;
  int code = 0;
};

// Opens `name` for blocking playback and configures it for interleaved stereo
// in `encoding` near `rate`, with a period near 4096 and a buffer near 16384
// frames. On success fills `pcm` and the granted `periodFrames`.
bool OpenDevice(const std::string& name, SampleEncoding encoding, uint32_t rate,
                PcmHandle* pcm, snd_pcm_uframes_t* periodFrames, DeviceError* error);

enum class WriteResult { Done, Stopped, Failed };

// Writes all `frames` frames, continuing short writes and recovering from
// underruns, suspends and interruptions. Stops early, between writes or in an
// interrupted one, when an interrupt asked for it. On failure `*error` holds
// the library's code.
WriteResult WriteFrames(snd_pcm_t* pcm, const unsigned char* frames, snd_pcm_uframes_t count,
                        size_t frameBytes, int* error);
